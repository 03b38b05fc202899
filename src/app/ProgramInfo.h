// What `brimwell --help` and `brimwell --version` print. They are answered before anything
// else happens: no window, no display needed, and no set-up step runs.
#pragma once

#include <optional>
#include <string>

// The usage text for a command-line text of exactly "--help", the program's name and
// version for exactly "--version"; nothing for any other text, which start-up handles.
std::optional<std::string> InformationRequested(const std::string& commandLine);
