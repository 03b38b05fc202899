// Helpers for the settings and setup tests: a temporary folder with PlatformPaths pointing
// into it, and a desktop entry reader that undoes the escapes and Exec quoting the way a
// launcher does.
#pragma once

#include <gtest/gtest.h>
#include <wordexp.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "desktop/PlatformPaths.h"

namespace setuptest {

namespace fs = std::filesystem;

// Every base folder below `root`; the program file exists, in a folder whose name holds a
// blank; the all-users folder does not exist.
inline PlatformPaths PathsUnder(const fs::path& root) {
    PlatformPaths paths{root / "home/.config",           root / "home/.local/share/applications",
                        root / "home/.config/autostart", root / "usr/local/share/applications",
                        root / "etc/Brimwell",           root / "opt/Brim Tools/brimwell",
                        root / "home/.local/share"};
    WriteText(paths.programPath, "program");
    return paths;
}

// A path that nobody, root included, can create: its parent is a regular file.
inline fs::path Uncreatable(const fs::path& root) {
    WriteText(root / "plain-file", "not a folder");
    return root / "plain-file/inside";
}

// A test with its own temporary folder and base folders inside it.
class TempPathsTest : public ::testing::Test {
  protected:
    TempDir temp;
    fs::path root{temp.Path()};
    PlatformPaths paths = PathsUnder(root);
};

// The keys of the file's "[Desktop Entry]" group, with \s \n \t \r \\ undone.
inline std::map<std::string, std::string> ReadDesktopEntry(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadText(file));
    std::string line;
    if (!std::getline(in, line) || line != "[Desktop Entry]")
        return keys;
    while (std::getline(in, line)) {
        std::string value;
        for (size_t i = line.find('=') + 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\\' && i + 1 < line.size()) {
                c = line[++i];
                c = c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
            }
            value += c;
        }
        keys[line.substr(0, line.find('='))] = value;
    }
    return keys;
}

// The words a launcher makes of an Exec value: its quoting is the shell's double quoting
// (which wordexp undoes; it fails on a command substitution) and %% becomes %; field codes
// stay as they are.
inline std::vector<std::string> SplitExec(const std::string& exec) {
    std::vector<std::string> words;
    wordexp_t parsed;
    if (::wordexp(exec.c_str(), &parsed, WRDE_NOCMD | WRDE_UNDEF) != 0)
        return words;
    for (std::size_t i = 0; i < parsed.we_wordc; ++i) {
        std::string word = parsed.we_wordv[i];
        for (std::size_t at = word.find("%%"); at != std::string::npos;
             at = word.find("%%", at + 1))
            word.erase(at, 1);
        words.push_back(word);
    }
    ::wordfree(&parsed);
    return words;
}

}  // namespace setuptest
