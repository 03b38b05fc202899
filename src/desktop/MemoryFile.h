// A file that lives in memory only (a memfd), with a path for code that will write only to
// a file it opens by name, such as Qt's PDF printer: the output is collected whole before
// it goes anywhere on disk.
#pragma once

#include <optional>
#include <string>

class MemoryFile {
  public:
    // Creates an empty file; Valid() is false when the system refuses one.
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    bool Valid() const { return fd_ >= 0; }
    // A path that opens this very file ("/proc/self/fd/N") while the object lives.
    std::string Path() const;
    // Everything written to the file so far; nothing when it cannot be read.
    std::optional<std::string> Contents();
    // Why the file could not be created or read, in the system's words.
    std::string ErrorText() const;

  private:
    int fd_ = -1;
    int error_ = 0;
};
