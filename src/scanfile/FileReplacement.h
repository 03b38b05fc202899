// A file written whole before it takes the place of the one at a path, and left as a shell's
// redirection would leave it: a symbolic link is written through to its target, and the
// file replaced keeps its owner and mode (a private scan stays private).
#pragma once

#include <string>

class FileReplacement {
  public:
    FileReplacement() = default;
    // Removes the temporary file unless Commit put it in place.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Opens what is written in place of path's target (links are followed to the end of their
    // chain; a dangling link names the file to create): a new temporary file beside it, with
    // the owner and mode of the regular file it will replace, or the umask's mode for a new
    // one. Written directly, without a temporary file: a target that is not a regular file
    // (/dev/null, a pipe), and a file whose owner a new file cannot be given (another user's,
    // when not root), which is emptied, as a redirection does. A descriptor for writing, or
    // -1 with errno set. The temporary file is removed if a termination signal ends the
    // process (SignalCleanup).
    int Open(const std::string& path);
    // Puts the temporary file in the target's place; false with errno set when it cannot.
    // Nothing to do when the target was written directly.
    bool Commit();

  private:
    // A new file beside target_; -1 with errno set.
    int CreateTemporary(unsigned mode);
    void RemoveTemporary();

    std::string target_;
    std::string temporary_;  // empty when written directly, or once committed
};
