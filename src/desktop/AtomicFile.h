// Whole-file reads, crash-safe whole-file replacement and an advisory lock between
// processes: the building blocks of every settings, registry and setup file we write.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct FileContents {
    enum class Status {
        Ok,          // `bytes` holds the whole file
        Missing,     // no such file (or a parent that is not a folder)
        Unreadable,  // it exists but cannot be read: not a regular file (a folder, a FIFO,
                     // a device), no permission, an I/O error
    };
    Status status = Status::Missing;
    std::string bytes;
};

// Never waits for another process: a FIFO or device is Unreadable, whoever holds its other end.
FileContents ReadWholeFile(const std::filesystem::path& file);

// Replaces `file` by `bytes`: they go to a temporary file in the same folder, which is
// flushed to disk and renamed over `file`, so a reader or a crash sees either the old or
// the new contents, never a mixture. Missing parent folders are created. An existing file
// keeps its permission bits; a new one gets 0644. On false nothing has changed.
bool ReplaceFile(const std::filesystem::path& file, std::string_view bytes);

// Holds an exclusive advisory lock (flock) on "<file>.lock" for its lifetime, so that
// processes that read, change and replace `file` take turns. Creating the lock file
// needs write access to the folder, so Held() is false exactly where `file` could not be
// replaced either.
class FileLock {
  public:
    explicit FileLock(const std::filesystem::path& file);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool Held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Under a FileLock: reads `file`, asks `change` for the new contents and replaces the file
// when they differ; `afterReplace`, when given, then runs while the lock is still held.
// `change` gets the current bytes (empty when the file is missing) and returns the new
// bytes, or nothing to abandon the update. False when the update is abandoned, the lock
// cannot be taken, the existing file cannot be read (replacing it would lose what it
// holds) or the replacement fails; true also when nothing needed to change.
bool UpdateFile(const std::filesystem::path& file,
                const std::function<std::optional<std::string>(std::string_view)>& change,
                const std::function<void()>& afterReplace = {});
