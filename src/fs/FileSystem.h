// Small file-system and terminal queries for the programs' start.
#pragma once

#include <optional>
#include <string>

// Why path cannot be scanned as a folder ("No such file or directory", "Not a directory",
// "Permission denied", ...), or nothing when it is a folder this process can open.
std::optional<std::string> FolderProblem(const std::string& path);

// Whether the standard error stream is a terminal.
bool StandardErrorIsTerminal();
