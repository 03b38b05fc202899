// A temporary file beside the file it will replace, which the process does not leave behind
// even when a termination signal ends it part-way: the file's path is registered before the
// file is created and until it has been renamed or removed, and
// RemoveRegisteredTemporaryFiles (called by the handler of a second termination signal,
// just before the process ends) unlinks whatever is registered.
#pragma once

#include <filesystem>
#include <string>

class TemporaryFile {
  public:
    // Creates "<folder>/<prefix>XXXXXX" (six random letters and digits), readable and
    // writable by the owner only. Valid() is false when it cannot be created; errno says why.
    TemporaryFile(const std::filesystem::path& folder, const std::string& prefix);
    // Closes the file, and removes it unless RenameOver succeeded.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool Valid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Closes the descriptor; false when close() reports a failed write.
    bool Close();
    // Renames the file over target; false when that fails (the file is then removed when
    // this object goes).
    bool RenameOver(const std::filesystem::path& target);

  private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;  // the file exists under path_: this object removes it
    int slot_ = -1;         // where path_ is registered; -1: nowhere
};

// Unlinks every temporary file that exists under a registered path. Async-signal-safe.
void RemoveRegisteredTemporaryFiles();
