// Folder checks through stat and open, terminal check through isatty.
#include "fs/FileSystem.h"

#include <fcntl.h>
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
    // A folder that cannot be opened would scan as empty: say why instead.
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::string(std::strerror(errno));
    ::close(fd);
    return std::nullopt;
}

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StandardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

void ReserveDescriptorTable(int count) {
    int fd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, count - 1);
    if (fd >= 0)
        ::close(fd);  // the table keeps its size
}
