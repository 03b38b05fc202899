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

#include "fs/MountTable.h"

namespace {

constexpr std::size_t kDentsBufferSize = 256 * 1024;

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

bool ReadFolder(int dirFd, std::vector<char>& buffer, FolderListing& out) {
    out.Clear();
    if (buffer.size() < kDentsBufferSize)
        buffer.resize(kDentsBufferSize);
    for (;;) {
        long got = ::syscall(SYS_getdents64, dirFd, buffer.data(), buffer.size());
        if (got < 0)
            return !out.entries.empty();  // keep what was read before an error
        if (got == 0)
            return true;
        for (long offset = 0; offset < got;) {
            const char* record = buffer.data() + offset;
            const auto* dirent = reinterpret_cast<const LinuxDirent64*>(record);
            const char* name = record + offsetof(LinuxDirent64, d_name);
            offset += dirent->d_reclen;
            FolderEntry& entry = out.Add(name);
            if (dirent->d_type == DT_DIR) {
                entry.isDirectory = true;
            } else {
                StatEntry(dirFd, name, dirent->d_type == DT_UNKNOWN, entry);
            }
        }
    }
}

int OpenSubFolder(int dirFd, std::string_view name) {
    std::string terminated(name);
    return ::openat(dirFd, terminated.c_str(),
                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
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
    levels_.push_back(Level{path, FileDescriptor(), false});
}

void DirectoryReader::Enter(std::string_view name) {
    bool parentFailed = !levels_.empty() && levels_.back().failed;
    levels_.push_back(Level{std::string(name), FileDescriptor(), parentFailed});
}

void DirectoryReader::Leave() {
    if (levels_.empty())
        return;
    if (levels_.back().fd.IsOpen())
        --openCount_;
    levels_.pop_back();
}

void DirectoryReader::CloseShallowestExcept(std::size_t keep) {
    for (std::size_t depth = 0; depth < levels_.size(); ++depth) {
        if (depth != keep && levels_[depth].fd.IsOpen()) {
            levels_[depth].fd.Reset();
            --openCount_;
            return;
        }
    }
}

bool DirectoryReader::OpenLevel(std::size_t depth) {
    Level& level = levels_[depth];
    int fd = depth == 0 ? OpenStartFolder(level.name)
                        : OpenSubFolder(levels_[depth - 1].fd.Get(), level.name);
    if (fd < 0) {
        level.failed = true;
        return false;
    }
    level.fd.Reset(fd);
    if (++openCount_ > maxOpen_)
        CloseShallowestExcept(depth);
    return true;
}

// Opens the current path down to depth, from the deepest ancestor still open; ancestors
// closed to stay within the budget are opened again by name, one level at a time.
bool DirectoryReader::EnsureOpen(std::size_t depth) {
    if (levels_[depth].fd.IsOpen())
        return true;
    if (levels_[depth].failed)
        return false;
    std::size_t start = depth;
    while (start > 0 && !levels_[start - 1].fd.IsOpen())
        --start;
    for (std::size_t d = start; d <= depth; ++d) {
        if (d > 0 && !levels_[d - 1].fd.IsOpen() && !OpenLevel(d - 1))
            return false;
        if (!levels_[d].fd.IsOpen() && !OpenLevel(d))
            return false;
    }
    return true;
}

bool DirectoryReader::List(FolderListing& out) {
    out.Clear();
    if (levels_.empty() || !EnsureOpen(levels_.size() - 1))
        return false;
    int fd = levels_.back().fd.Get();
    if (pseudo_.Contains(fd, levels_.size() == 1 ? std::string_view("/") : levels_.back().name))
        return false;
    return ReadFolder(fd, buffer_, out);
}
