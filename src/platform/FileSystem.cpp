// Folder checks through stat, terminal check through isatty.
#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<std::string> FolderProblem(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return std::string(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return std::string(std::strerror(ENOTDIR));
    return std::nullopt;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}
