// Running a program as a user runs it from a shell: its exit status, standard output and
// standard error.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "TempDir.h"

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// text in single quotes for the shell.
inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs program with arguments (already quoted for the shell), with no standard input;
// prefix goes before the program (another user, an environment).
inline ToolRun RunProgram(const std::string& program, const std::string& arguments,
                          const std::string& prefix = "") {
    TempDir scratch;
    std::string command = prefix + program + " " + arguments + " >" + Quote(scratch / "out") +
                          " 2>" + Quote(scratch / "err") + " </dev/null";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(scratch / "out"),
            ReadText(scratch / "err")};
}
