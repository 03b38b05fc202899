// Helpers for the settings and setup tests: a temporary folder with PlatformPaths pointing
// into it, small file helpers, scripted dialogs, and a reader for desktop entries that
// undoes their escapes the way a launcher does.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/PlatformPaths.h"

namespace setuptest {

namespace fs = std::filesystem;

// A fresh folder under /tmp, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/brimwell-setup-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        if (made == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        path_ = made ? made : "";
    }
    ~TempFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

inline void WriteText(const fs::path& file, std::string_view text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
}

// The file's bytes, or "" when it cannot be read.
inline std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every base folder below `root`, as a user "home" with a program file that exists in a
// folder whose name holds a blank. The all-users folder does not exist.
inline PlatformPaths PathsUnder(const fs::path& root) {
    PlatformPaths paths;
    paths.configHome = root / "home/.config";
    paths.userApplications = root / "home/.local/share/applications";
    paths.autostart = root / "home/.config/autostart";
    paths.allUsersApplications = root / "usr/local/share/applications";
    paths.machineRoot = root / "etc/Brimwell";
    paths.programPath = root / "opt/Brim Tools/brimwell";
    WriteText(paths.programPath, "program");
    return paths;
}

// A path that nobody, root included, can create: its parent is a regular file.
inline fs::path Uncreatable(const fs::path& root) {
    WriteText(root / "plain-file", "not a folder");
    return root / "plain-file" / "inside";
}

// A folder that exists but where nobody, root included, can create anything.
inline fs::path UnwritableFolder() {
    return "/proc/self";
}

// Answers questions with `answer` and records everything shown, in order.
class ScriptedDialogs : public Dialogs {
  public:
    bool answer = true;
    std::vector<std::pair<std::string, std::string>> shown;  // caption, text

    bool AskYesNo(const std::string& caption, const std::string& text) override {
        shown.emplace_back(caption, text);
        return answer;
    }
    void ShowMessage(const std::string& caption, const std::string& text, Icon) override {
        shown.emplace_back(caption, text);
    }
};

// Undoes the escapes of the string type: \s \n \t \r \\.
inline std::string UnescapeValue(std::string_view value) {
    std::string plain;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            plain += value[i];
            continue;
        }
        char next = value[++i];
        switch (next) {
            case 's':
                plain += ' ';
                break;
            case 'n':
                plain += '\n';
                break;
            case 't':
                plain += '\t';
                break;
            case 'r':
                plain += '\r';
                break;
            default:
                plain += next;
        }
    }
    return plain;
}

// The keys of a desktop entry's "[Desktop Entry]" group with unescaped values; empty when
// the file does not start with that group.
inline std::map<std::string, std::string> ReadDesktopEntry(const fs::path& file) {
    std::map<std::string, std::string> keys;
    std::istringstream in(ReadText(file));
    std::string line;
    if (!std::getline(in, line) || line != "[Desktop Entry]")
        return keys;
    while (std::getline(in, line)) {
        size_t equals = line.find('=');
        if (equals != std::string::npos) {
            keys[line.substr(0, equals)] = UnescapeValue(line.substr(equals + 1));
        }
    }
    return keys;
}

// The words a launcher makes of an (unescaped) Exec value: double quotes group, and inside
// them a backslash escapes " ` $ and \; then %% becomes %. Field codes stay as they are.
inline std::vector<std::string> SplitExec(std::string_view exec) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size() &&
                std::string_view("\"`$\\").find(exec[i + 1]) != std::string_view::npos) {
                word += exec[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == ' ') {
            if (inWord)
                words.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            inWord = true;
            if (c == '"') {
                quoted = true;
            } else {
                word += c;
            }
        }
    }
    if (inWord)
        words.push_back(word);
    for (std::string& w : words) {
        std::string plain;
        for (size_t i = 0; i < w.size(); ++i) {
            plain += w[i];
            if (w[i] == '%' && i + 1 < w.size() && w[i + 1] == '%')
                ++i;
        }
        w = plain;
    }
    return words;
}

}  // namespace setuptest
