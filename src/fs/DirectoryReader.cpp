// Folder listings through getdents64 + statx, with a bounded set of open descriptors.
#include "fs/DirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <functional>
#include <utility>

#include "fs/MountTable.h"

namespace {

constexpr std::size_t kDentsBufferSize = 256 * 1024;
// A folder with this many entries to stat has them stat'ed on several threads.
constexpr std::size_t kSplitStatsFrom = 2048;
// A folder, never through a symbolic link, never blocking on a FIFO's name.
constexpr int kOpenFolder = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

// The fixed part of a getdents64 record; the name follows it, zero-terminated.
struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

// Stats one entry; identity and count are set when it is a file with other hard links.
void StatEntry(int dirFd, const char* name, bool typeUnknown, FolderEntry& entry,
               LinkIdentity& identity, std::uint32_t& count) {
    struct statx info;
    unsigned mask =
        STATX_SIZE | STATX_BLOCKS | STATX_NLINK | STATX_INO | (typeUnknown ? STATX_TYPE : 0);
    identity = LinkIdentity();
    count = 0;
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &info) != 0) {
        return;  // vanished or unreadable: a file of 0 bytes
    }
    if (typeUnknown && (info.stx_mask & STATX_TYPE)) {
        if (S_ISDIR(info.stx_mode)) {
            entry.isDirectory = true;
            return;
        }
        entry.special = !S_ISREG(info.stx_mode);
    }
    entry.size = info.stx_size;
    if ((info.stx_mask & STATX_NLINK) && info.stx_nlink > 1 && (info.stx_mask & STATX_INO)) {
        identity = {makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino};
        count = info.stx_nlink;
    }
    if (info.stx_mask & STATX_BLOCKS)
        entry.sizeOnDisk = info.stx_blocks * 512;
    entry.compressed = (info.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
                       (info.stx_attributes & STATX_ATTR_COMPRESSED) &&
                       (info.stx_mask & STATX_BLOCKS);
}

}  // namespace

bool ReadFolder(int dirFd, ReadScratch& scratch, FolderListing& out, const ScanRules& rules,
                WorkSplitter* splitter) {
    constexpr std::uint32_t kTypeUnknown = 1u << 31;
    out.Clear();
    scratch.stat.clear();
    if (scratch.dents.size() < kDentsBufferSize)
        scratch.dents.resize(kDentsBufferSize);
    for (;;) {
        long got = ::syscall(SYS_getdents64, dirFd, scratch.dents.data(), scratch.dents.size());
        if (got < 0 && out.entries.empty()) {
            out.Fail(ListOutcome::Unreadable, errno);
            return false;
        }
        if (got <= 0)
            break;  // the end, or an error after entries were read: keep those
        for (long offset = 0; offset < got;) {
            const char* record = scratch.dents.data() + offset;
            const auto* dirent = reinterpret_cast<const LinuxDirent64*>(record);
            offset += dirent->d_reclen;
            const char* name = record + offsetof(LinuxDirent64, d_name);
            const auto index = static_cast<std::uint32_t>(out.entries.size());
            FolderEntry& entry = out.Add(name);
            entry.isDirectory = dirent->d_type == DT_DIR;
            entry.special = dirent->d_type != DT_DIR && dirent->d_type != DT_REG &&
                            dirent->d_type != DT_UNKNOWN;
            if (!rules.excludes.empty() && rules.Excludes(name))
                entry.excluded = true;
            else if (!entry.isDirectory)
                scratch.stat.push_back(index | (dirent->d_type == DT_UNKNOWN ? kTypeUnknown : 0));
        }
    }
    scratch.links.resize(scratch.stat.size());
    scratch.linkCounts.resize(scratch.stat.size());
    auto statRange = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            FolderEntry& entry = out.entries[scratch.stat[i] & ~kTypeUnknown];
            StatEntry(dirFd, out.CName(entry), scratch.stat[i] & kTypeUnknown, entry,
                      scratch.links[i], scratch.linkCounts[i]);
        }
    };
    if (splitter && scratch.stat.size() >= kSplitStatsFrom)
        splitter->Run(scratch.stat.size(), statRange);
    else
        statRange(0, scratch.stat.size());
    for (std::size_t i = 0; i < scratch.stat.size(); ++i) {  // files with other links
        if (scratch.links[i].inode != 0) {
            out.links.push_back(scratch.links[i]);
            out.linkCounts.push_back(scratch.linkCounts[i]);
            out.entries[scratch.stat[i] & ~kTypeUnknown].link =
                static_cast<std::uint32_t>(out.links.size());
        }
    }
    return true;
}

int OpenSubFolder(int dirFd, std::string_view name) {
    std::string terminated(name);
    return ::openat(dirFd, terminated.c_str(), kOpenFolder);
}

int OpenStartFolder(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
}

namespace {

std::string_view LastPart(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

}  // namespace

MountBoundaries::MountBoundaries(const ScanRules& rules)
    : oneFileSystem_(rules.oneFileSystem), fileSystem_(rules.fileSystem) {
    // Every mount, not only those the rules keep out: a folder's device is worth knowing
    // wherever it may differ from its parent's (scan files record it there).
    for (const Mount& mount : ReadMountTable()) {
        if (IsPseudoFileSystem(mount.type))
            pseudo_.insert(mount.device);
        mountNames_.emplace_back(LastPart(mount.mountPoint));
    }
    std::sort(mountNames_.begin(), mountNames_.end());
    mountNames_.erase(std::unique(mountNames_.begin(), mountNames_.end()), mountNames_.end());
}

void MountBoundaries::SetStart(int startFd) {
    struct stat info;
    if (oneFileSystem_ && fileSystem_ != 0)
        start_ = static_cast<dev_t>(fileSystem_);
    else
        start_ = oneFileSystem_ && ::fstat(startFd, &info) == 0 ? info.st_dev : 0;
}

ListOutcome MountBoundaries::Check(int dirFd, std::string_view name, std::uint64_t& device) const {
    device = 0;
    if (name.find('/') == std::string_view::npos &&
        !std::binary_search(mountNames_.begin(), mountNames_.end(), name, std::less<>()))
        return ListOutcome::Listed;  // neither a starting folder nor named like a mount point
    struct stat info;
    if (::fstat(dirFd, &info) != 0)
        return ListOutcome::Listed;
    device = info.st_dev;
    if (pseudo_.count(info.st_dev))
        return ListOutcome::PseudoFileSystem;
    if (oneFileSystem_ && start_ != 0 && info.st_dev != start_)
        return ListOutcome::OtherFileSystem;
    return ListOutcome::Listed;
}

int OpenStart(const std::string& path, MountBoundaries& mounts, FolderListing& out) {
    int fd = OpenStartFolder(path);
    if (fd < 0) {
        out.Fail(ListOutcome::Unreadable, errno);
        return -1;
    }
    mounts.SetStart(fd);
    std::uint64_t device = 0;
    ListOutcome outcome = mounts.Check(fd, "/", device);
    if (outcome != ListOutcome::Listed) {
        ::close(fd);
        out.Fail(outcome);
        out.device = device;
        return -1;
    }
    out.device = device;
    return fd;
}

int OpenForListing(int parentFd, const std::string& name, const MountBoundaries& mounts,
                   FolderListing& out) {
    int fd = parentFd < 0 ? OpenStartFolder(name) : OpenSubFolder(parentFd, name);
    if (fd < 0) {
        out.Fail(ListOutcome::Unreadable, errno);
        return -1;
    }
    std::uint64_t device = 0;
    ListOutcome outcome = mounts.Check(fd, parentFd < 0 ? std::string_view("/") : name, device);
    if (outcome != ListOutcome::Listed) {
        ::close(fd);
        out.Fail(outcome);
        out.device = device;
        return -1;
    }
    out.device = device;
    return fd;
}

DirectoryReader::DirectoryReader(std::size_t maxOpen, ScanRules rules)
    : rules_(std::move(rules)), mounts_(rules_), maxOpen_(maxOpen < 2 ? 2 : maxOpen) {}

DirectoryReader::~DirectoryReader() = default;

void DirectoryReader::EnterRoot(const std::string& path) {
    levels_.clear();
    openCount_ = 0;
    shallowestOpen_ = 0;
    levels_.emplace_back();
    Adopt(OpenStart(path, mounts_, why_), why_);
}

void DirectoryReader::EnterRootAt(FileDescriptor folder) {
    levels_.clear();
    openCount_ = 0;
    shallowestOpen_ = 0;
    levels_.emplace_back();
    why_.Clear();
    // Below the folder it starts at, which the scan entered, the same file system counts.
    mounts_.SetStart(folder.Get());
    Adopt(folder.Release(), why_);
}

void DirectoryReader::Enter(std::string_view name) {
    // The current folder is always open unless it failed: the budget closes the shallowest.
    const bool parentFailed = levels_.back().failed;
    const int parentFd = levels_.back().fd.Get();
    levels_.emplace_back();
    int fd = -1;
    if (parentFailed)
        why_.Fail(ListOutcome::Unreadable);  // not reached: its parent has no listing
    else
        fd = OpenForListing(parentFd, std::string(name), mounts_, why_);
    Adopt(fd, why_);
}

// The new deepest level takes fd; -1: it was not opened, for the reason why gives, and
// nothing below it is either.
void DirectoryReader::Adopt(int fd, const FolderListing& why) {
    Level& level = levels_.back();
    level.device = why.device;
    if (fd < 0) {
        level.failed = true;
        level.outcome = why.outcome;
        level.error = why.error;
        return;
    }
    level.fd.Reset(fd);
    if (++openCount_ > maxOpen_)
        CloseShallowest();
}

void DirectoryReader::Leave() {
    if (levels_.empty())
        return;
    Level& leaving = levels_.back();
    if (levels_.size() > 1) {
        Level& parent = levels_[levels_.size() - 2];
        if (!parent.failed && !parent.fd.IsOpen()) {
            // Closed to stay within the budget: opened again as the leaving folder's "..",
            // which needs no name and no path however deep the folder lies.
            int fd = ::openat(leaving.fd.Get(), "..", kOpenFolder);
            if (fd >= 0) {
                parent.fd.Reset(fd);
                ++openCount_;
                shallowestOpen_ = std::min(shallowestOpen_, levels_.size() - 2);
            } else {
                parent.failed = true;
            }
        }
    }
    if (leaving.fd.IsOpen())
        --openCount_;
    levels_.pop_back();
}

void DirectoryReader::CloseShallowest() {
    // Levels above shallowestOpen_ are all closed, so the search starts there: a chain
    // 100,000 folders deep does not scan the closed part of its path at every level.
    for (std::size_t depth = shallowestOpen_; depth + 1 < levels_.size(); ++depth) {
        if (levels_[depth].fd.IsOpen()) {
            levels_[depth].fd.Reset();
            --openCount_;
            shallowestOpen_ = depth + 1;
            return;
        }
    }
}

bool DirectoryReader::List(FolderListing& out) {
    out.Clear();
    if (levels_.empty())
        return false;
    const Level& level = levels_.back();
    bool listed = false;
    if (!level.fd.IsOpen())
        out.Fail(level.failed ? level.outcome : ListOutcome::Unreadable, level.error);
    else
        listed = ReadFolder(level.fd.Get(), scratch_, out, rules_);
    out.device = level.device;
    return listed;
}
