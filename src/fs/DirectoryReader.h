// Lists folders with getdents64 and statx relative to the folder's own descriptor, so that
// depth is not limited by PATH_MAX, and keeps at most a fixed number of descriptors open,
// so that depth is not limited by the open-file limit either.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "fs/FileDescriptor.h"
#include "fs/FolderSource.h"

// Spreads pieces of work over threads: calls work(first, last) for ranges that together
// cover 0 to count once, and returns when all of them are done.
class WorkSplitter {
  public:
    virtual ~WorkSplitter() = default;
    virtual void Run(std::size_t count,
                     const std::function<void(std::size_t first, std::size_t last)>& work) = 0;
};

// Scratch space of ReadFolder, kept between calls so that a folder costs no allocation.
struct ReadScratch {
    std::vector<char> dents;                // getdents64 records
    std::vector<std::uint32_t> stat;        // entries to stat; the top bit: the type is unknown too
    std::vector<LinkIdentity> links;        // per entry to stat: its identity if it has other links
    std::vector<std::uint32_t> linkCounts;  // beside links: its number of names
};

// Reads one folder's entries into out, from an open directory descriptor. Directories get
// no statx (they count 0 bytes); entries the rules exclude are not examined; everything
// else is stat'ed without following links, on splitter's threads when the folder has many
// such entries (splitter may be null). Returns false, with out saying why, when the folder
// cannot be read.
bool ReadFolder(int dirFd, ReadScratch& scratch, FolderListing& out, const ScanRules& rules,
                WorkSplitter* splitter = nullptr);

// Opens sub-folder name of dirFd without following a symbolic link; -1 on failure.
int OpenSubFolder(int dirFd, std::string_view name);
// Opens a starting folder by its path (a link given as the start is followed); -1 on failure.
int OpenStartFolder(const std::string& path);

// Which open folders a scan may list: none on a pseudo file system (proc, sysfs, ...), and
// with the rules' oneFileSystem none on another file system than the starting folder's.
// Only a starting folder or a folder named like the last part of a mount point can be the
// root of a file system, and only those cost a system call to check.
class MountBoundaries {
  public:
    explicit MountBoundaries(const ScanRules& rules);
    // Remembers the starting folder's file system (or the rules' fileSystem, when set).
    void SetStart(int startFd);
    // Listed when the open folder may be listed, otherwise why not. name is its name in its
    // parent, or "/" for a starting folder. device is set to the folder's device when it was
    // looked at, 0 when it cannot be the root of a file system.
    ListOutcome Check(int dirFd, std::string_view name, std::uint64_t& device) const;

  private:
    bool oneFileSystem_;
    std::uint64_t fileSystem_;  // the rules' fixed file system, or 0
    dev_t start_ = 0;
    std::unordered_set<dev_t> pseudo_;
    std::vector<std::string> mountNames_;  // sorted, each once
};

// Opens a starting folder by its path, makes its file system the start of mounts, and
// checks that it may be listed: a descriptor, or -1 with out failed (Unreadable with the
// reason, or a file system the scan does not enter). Either way out.device is the folder's.
int OpenStart(const std::string& path, MountBoundaries& mounts, FolderListing& out);
// Opens sub-folder name of parentFd the same way.
int OpenForListing(int parentFd, const std::string& name, const MountBoundaries& mounts,
                   FolderListing& out);

// Keeps the current folder and the deepest ancestors open, at most maxOpen of them. An
// ancestor closed to stay within that number is opened again as its child's ".." when the
// scan climbs back to it, so no level keeps a name and depth costs a few bytes a level.
class DirectoryReader : public FolderSource {
  public:
    // maxOpen: directory descriptors kept open at most (the current path's deepest ones).
    explicit DirectoryReader(std::size_t maxOpen = 64, ScanRules rules = {});
    ~DirectoryReader() override;

    void EnterRoot(const std::string& path) override;
    // Starts at a folder that is already open, as if it were a starting folder.
    void EnterRootAt(FileDescriptor folder);
    void Enter(std::string_view name) override;
    void Leave() override;
    bool List(FolderListing& out) override;

    std::size_t OpenDescriptors() const { return openCount_; }

  private:
    struct Level {
        FileDescriptor fd;
        bool failed = false;                        // not opened: nothing below it is either
        ListOutcome outcome = ListOutcome::Listed;  // why it was not opened
        int error = 0;
        std::uint64_t device = 0;  // as its listing gives it
    };

    void Adopt(int fd, const FolderListing& why);
    void CloseShallowest();

    std::vector<Level> levels_;
    ReadScratch scratch_;
    ScanRules rules_;
    MountBoundaries mounts_;
    FolderListing why_;  // why the last folder opened could not be
    std::size_t maxOpen_;
    std::size_t openCount_ = 0;
    std::size_t shallowestOpen_ = 0;  // no level above this one is open
};
