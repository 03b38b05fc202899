// Whole-file reads and atomic replacement with POSIX calls: mkstemp, fsync, rename, flock.
#include "desktop/AtomicFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "desktop/TemporaryFile.h"

namespace {

// Owns one descriptor; Close() reports the result of close(), which can carry a failed
// write, and the destructor closes whatever is still open.
class ScopedFd {
  public:
    explicit ScopedFd(int fd) : fd_(fd) {}
    ~ScopedFd() { Close(); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;

    int Get() const { return fd_; }
    bool Close() {
        int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

void SyncFolder(const std::filesystem::path& folder) {
    ScopedFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
}

}  // namespace

FileContents ReadWholeFile(const std::filesystem::path& file) {
    FileContents contents;
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; the type
    // is checked only once the file is open. Reads of a regular file ignore the flag.
    ScopedFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        bool absent = errno == ENOENT || errno == ENOTDIR;
        contents.status = absent ? FileContents::Status::Missing : FileContents::Status::Unreadable;
        return contents;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        contents.status = FileContents::Status::Unreadable;
        return contents;
    }
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            contents.status = FileContents::Status::Unreadable;
            contents.bytes.clear();
            return contents;
        }
        if (got == 0)
            break;
        contents.bytes.append(buffer, static_cast<size_t>(got));
    }
    contents.status = FileContents::Status::Ok;
    return contents;
}

bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path folder = file.parent_path();
    std::error_code error;
    if (!folder.empty())
        std::filesystem::create_directories(folder, error);

    mode_t mode = 0644;
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;

    std::string prefix = ".";  // appended piece by piece: GCC 12 at -O3 misreads a + chain
    prefix += file.filename().string();
    prefix += ".";
    // Removed when anything fails, and also when a second termination signal ends the
    // process while it is being written.
    const std::filesystem::path where = folder.empty() ? std::filesystem::path(".") : folder;
    TemporaryFile temporary(where, prefix);
    if (!temporary.Valid())
        return false;
    const int fd = temporary.Fd();
    bool written = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    written = temporary.Close() && written;
    if (!written || !temporary.RenameOver(file))
        return false;
    SyncFolder(where);
    return true;
}

FileLock::FileLock(const std::filesystem::path& file) {
    std::filesystem::path lockFile = file;
    lockFile += ".lock";
    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0)
        return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_);  // closing the descriptor releases the lock
}

bool UpdateFile(const std::filesystem::path& file,
                const std::function<std::optional<std::string>(std::string_view)>& change,
                const std::function<void()>& afterReplace) {
    FileLock lock(file);
    if (!lock.Held())
        return false;
    FileContents current = ReadWholeFile(file);
    if (current.status == FileContents::Status::Unreadable)
        return false;
    std::optional<std::string> next = change(current.bytes);
    if (!next)
        return false;
    if (current.status == FileContents::Status::Ok && *next == current.bytes)
        return true;
    if (!ReplaceFile(file, *next))
        return false;
    if (afterReplace)
        afterReplace();
    return true;
}
