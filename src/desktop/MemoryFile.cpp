// memfd_create and a read through the descriptor we hold; whoever opened the path wrote
// through a descriptor of its own, so ours still reads from the start.
#include "desktop/MemoryFile.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

MemoryFile::MemoryFile() : fd_(::memfd_create("brimwell-output", MFD_CLOEXEC)) {
    if (fd_ < 0)
        error_ = errno;
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string MemoryFile::Path() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

std::optional<std::string> MemoryFile::Contents() {
    std::string contents;
    char buffer[65536];
    for (off_t offset = 0;;) {
        ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error_ = errno;
            return std::nullopt;
        }
        if (got == 0)
            return contents;
        contents.append(buffer, static_cast<std::size_t>(got));
        offset += got;
    }
}

std::string MemoryFile::ErrorText() const {
    return std::strerror(error_);
}
