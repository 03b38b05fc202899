// Desktop entry files (the freedesktop.org .desktop format), which stand in for shell
// links and for folder verbs: building their text and writing them safely.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// One word of an Exec line: a plain argument, or a field code such as %f that the
// launcher replaces (written as it stands, never quoted).
struct ExecArgument {
    std::string text;
    bool fieldCode = false;
};

// The Exec value for `arguments`: a plain argument is enclosed in double quotes when it is
// empty or holds a reserved character, with ", `, $ and \ escaped inside the quotes, and
// every % doubled, so the launcher hands it over as exactly one argument.
std::string FormatExec(const std::vector<ExecArgument>& arguments);

// The group "[Desktop Entry]" with its keys in the order they are set. Values are given as
// plain text; Text() applies the escapes of the string type (\\, \n, \t, \r, leading \s).
class DesktopEntry {
  public:
    void Set(std::string key, std::string value) {
        fields_.emplace_back(std::move(key), std::move(value));
    }
    std::string Text() const;

  private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// Writes the entry to `file` atomically, creating missing folders. False on failure.
bool WriteDesktopEntry(const std::filesystem::path& file, const DesktopEntry& entry);
