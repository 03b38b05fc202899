// Folder checks through stat and open, terminal check through isatty, pipes.
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

std::optional<std::uint64_t> FolderDevice(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_dev);
}

std::optional<PipeEnds> MakePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return std::nullopt;
    return PipeEnds{FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

std::string DescriptorPath(int fd) {
    return "/dev/fd/" + std::to_string(fd);
}

void DrainDescriptor(int fd) {
    char bytes[65536];
    for (;;) {
        ssize_t got = ::read(fd, bytes, sizeof bytes);
        if (got == 0 || (got < 0 && errno != EINTR))
            return;
    }
}
