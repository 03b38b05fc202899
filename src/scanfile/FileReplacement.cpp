// Following links to the file a write lands on, and a temporary file beside it that takes on
// the owner and mode of the file it replaces before anything is written into it.
#include "scanfile/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <vector>

#include "scanfile/SignalCleanup.h"

namespace {

// The system's own bound on a chain of links (ELOOP beyond it).
constexpr int kMaxLinks = 40;

// The path a write to path lands on; nothing, with errno set, for a chain of links too long.
std::optional<std::string> LinkTarget(std::string path) {
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;  // the file, or the name of one to create
        std::vector<char> target(static_cast<std::size_t>(info.st_size) + 2);
        ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            return path;
        if (static_cast<std::size_t>(length) >= target.size()) {
            --hop;  // the link changed meanwhile: read it again
            continue;
        }
        std::string next(target.data(), static_cast<std::size_t>(length));
        if (next.empty() || next.front() != '/') {  // relative to the link's folder
            std::size_t slash = path.rfind('/');
            next = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + next;
        }
        path = std::move(next);
    }
    errno = ELOOP;
    return std::nullopt;
}

}  // namespace

FileReplacement::~FileReplacement() {
    RemoveTemporary();
}

void FileReplacement::RemoveTemporary() {
    if (temporary_.empty())
        return;
    SignalCleanup::Forget();
    ::unlink(temporary_.c_str());
    temporary_.clear();
}

int FileReplacement::CreateTemporary(unsigned mode) {
    auto seed =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target_ + ".tmp" + std::to_string(::getpid()) + "-" +
                           std::to_string((seed + attempt) % 1000000);
        // Watched before it exists: a signal right after it is made still finds its name.
        SignalCleanup::Watch(name);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            temporary_ = std::move(name);
            return fd;
        }
        int error = errno;
        SignalCleanup::Forget();
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    return -1;
}

int FileReplacement::Open(const std::string& path) {
    RemoveTemporary();
    // What is not a regular file is written through its own name: /proc/self/fd/N names a
    // pipe by a link whose text is no path.
    struct stat current;
    if (::stat(path.c_str(), &current) == 0 && !S_ISREG(current.st_mode) &&
        !S_ISDIR(current.st_mode))
        return ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    std::optional<std::string> target = LinkTarget(path);
    if (!target)
        return -1;
    target_ = std::move(*target);
    struct stat old;
    if (::stat(target_.c_str(), &old) != 0)
        return CreateTemporary(0666);  // a new file: the system applies the user's umask
    if (S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    if (!S_ISREG(old.st_mode))
        return ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    // Nobody else can open the new file before it has the old one's owner and mode.
    int fd = CreateTemporary(0600);
    if (fd < 0)
        return -1;
    struct stat made;
    bool owned = ::fstat(fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid;
    if (!owned && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only its owner (or root) could have made it: write into the file itself.
        ::close(fd);
        RemoveTemporary();
        return ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    }
    // After the owner: changing it clears the set-user and set-group bits.
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        int error = errno;
        ::close(fd);
        RemoveTemporary();
        errno = error;
        return -1;
    }
    return fd;
}

bool FileReplacement::Commit() {
    if (temporary_.empty())
        return true;
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        return false;
    SignalCleanup::Forget();
    temporary_.clear();
    return true;
}
