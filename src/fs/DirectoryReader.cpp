// Folder listings through getdents64 + statx, with a bounded set of open descriptors.
#include "fs/DirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
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

void StatEntry(int dirFd, const char* name, bool typeUnknown, FolderEntry& entry) {
    struct statx info;
    unsigned mask = STATX_SIZE | STATX_BLOCKS | (typeUnknown ? STATX_TYPE : 0);
    if (::statx(dirFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &info) != 0) {
        return;  // vanished or unreadable: a file of 0 bytes
    }
    if (typeUnknown && (info.stx_mask & STATX_TYPE) && S_ISDIR(info.stx_mode)) {
        entry.isDirectory = true;
        return;
    }
    entry.size = info.stx_size;
    bool compressed = (info.stx_attributes_mask & STATX_ATTR_COMPRESSED) &&
                      (info.stx_attributes & STATX_ATTR_COMPRESSED);
    if (compressed && (info.stx_mask & STATX_BLOCKS)) {
        entry.compressed = true;
        entry.sizeOnDisk = info.stx_blocks * 512;
    }
}

}  // namespace

bool ReadFolder(int dirFd, ReadScratch& scratch, FolderListing& out, WorkSplitter* splitter) {
    constexpr std::uint32_t kTypeUnknown = 1u << 31;
    out.Clear();
    scratch.stat.clear();
    if (scratch.dents.size() < kDentsBufferSize)
        scratch.dents.resize(kDentsBufferSize);
    bool listed = true;
    for (;;) {
        long got = ::syscall(SYS_getdents64, dirFd, scratch.dents.data(), scratch.dents.size());
        if (got <= 0) {
            listed = got == 0 || !out.entries.empty();  // keep what was read before an error
            break;
        }
        for (long offset = 0; offset < got;) {
            const char* record = scratch.dents.data() + offset;
            const auto* dirent = reinterpret_cast<const LinuxDirent64*>(record);
            offset += dirent->d_reclen;
            const auto index = static_cast<std::uint32_t>(out.entries.size());
            FolderEntry& entry = out.Add(record + offsetof(LinuxDirent64, d_name));
            if (dirent->d_type == DT_DIR)
                entry.isDirectory = true;
            else
                scratch.stat.push_back(index | (dirent->d_type == DT_UNKNOWN ? kTypeUnknown : 0));
        }
    }
    auto statRange = [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            const std::uint32_t index = scratch.stat[i] & ~kTypeUnknown;
            FolderEntry& entry = out.entries[index];
            StatEntry(dirFd, out.CName(entry), scratch.stat[i] & kTypeUnknown, entry);
        }
    };
    if (splitter && scratch.stat.size() >= kSplitStatsFrom)
        splitter->Run(scratch.stat.size(), statRange);
    else
        statRange(0, scratch.stat.size());
    return listed;
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

PseudoDevices::PseudoDevices() {
    for (const Mount& mount : ReadMountTable()) {
        if (IsPseudoFileSystem(mount.type)) {
            devices_.insert(mount.device);
            mountNames_.emplace_back(LastPart(mount.mountPoint));
        }
    }
}

bool PseudoDevices::Contains(int dirFd, std::string_view name) const {
    if (devices_.empty())
        return false;
    if (name.find('/') == std::string_view::npos &&
        std::find(mountNames_.begin(), mountNames_.end(), name) == mountNames_.end())
        return false;  // neither a starting folder nor named like a mount point
    struct stat info;
    return ::fstat(dirFd, &info) == 0 && devices_.count(info.st_dev) > 0;
}

DirectoryReader::DirectoryReader(std::size_t maxOpen) : maxOpen_(maxOpen < 2 ? 2 : maxOpen) {}

DirectoryReader::~DirectoryReader() = default;

void DirectoryReader::EnterRoot(const std::string& path) {
    levels_.clear();
    openCount_ = 0;
    shallowestOpen_ = 0;
    levels_.emplace_back();
    int fd = OpenStartFolder(path);
    if (fd >= 0 && pseudo_.Contains(fd, "/"))
        ::close(std::exchange(fd, -1));
    Adopt(fd);
}

void DirectoryReader::EnterRootAt(FileDescriptor folder) {
    levels_.clear();
    openCount_ = 0;
    shallowestOpen_ = 0;
    levels_.emplace_back();
    Adopt(folder.Release());
}

void DirectoryReader::Enter(std::string_view name) {
    // The current folder is always open unless it failed: the budget closes the shallowest.
    const bool parentFailed = levels_.back().failed;
    const int parentFd = levels_.back().fd.Get();
    levels_.emplace_back();
    int fd = -1;
    if (!parentFailed) {
        fd = OpenSubFolder(parentFd, name);
        if (fd >= 0 && pseudo_.Contains(fd, name))
            ::close(std::exchange(fd, -1));
    }
    Adopt(fd);
}

// The new deepest level takes fd (-1: it could not be opened, nor can anything below it).
void DirectoryReader::Adopt(int fd) {
    Level& level = levels_.back();
    if (fd < 0) {
        level.failed = true;
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
    if (levels_.empty() || !levels_.back().fd.IsOpen())
        return false;
    return ReadFolder(levels_.back().fd.Get(), scratch_, out);
}
