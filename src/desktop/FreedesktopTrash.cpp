// The freedesktop.org trash: finding the trash of a path's file system, reserving an entry's
// name with its info file before anything moves, the move itself, and the directorysizes
// cache that lets the desktop show a trashed folder's size without measuring it.
#include "desktop/FreedesktopTrash.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace {

constexpr int kMostNames = 100000;  // name.2, name.3 ... before giving up
// Names in the trash stay this short, so that ".trashinfo" still fits in a file name.
constexpr std::size_t kLongestName = 200;

std::string ErrorText(int error) {
    return std::strerror(error);
}

std::string Parent(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

// Where a folder lies: its device and, where the kernel says, its mount (two mounts of one
// file system, a bind mount, share a device but not a mount; rename never crosses them).
struct Mount {
    std::uint64_t device = 0;
    std::uint64_t id = 0;
    bool operator==(const Mount&) const = default;
};

std::optional<Mount> MountOf(const std::string& path) {
    struct statx info;
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &info) != 0)
        return std::nullopt;
    Mount mount;
    mount.device = (std::uint64_t{info.stx_dev_major} << 32) | info.stx_dev_minor;
    if (info.stx_mask & STATX_MNT_ID)
        mount.id = info.stx_mnt_id;
    return mount;
}

// The top folder of the mount that holds folder (absolute, without symbolic links).
std::string TopOf(const std::string& folder) {
    std::string current = folder;
    std::optional<Mount> here = MountOf(current);
    while (current != "/") {
        std::string parent = Parent(current);
        std::optional<Mount> above = MountOf(parent);
        if (!here || !above || !(*above == *here))
            return current;
        current = std::move(parent);
    }
    return current;
}

// The nearest folder at or above path that exists.
std::string ExistingAncestor(std::string path) {
    struct stat info;
    while (path != "/" && ::stat(path.c_str(), &info) != 0)
        path = Parent(path);
    return path;
}

// Makes folder unless it exists; true when it is a folder now, not a link to one, and,
// when owner is given, that user's.
bool MakeOwnFolder(const std::string& folder, std::optional<uid_t> owner, int& error) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = errno;
        return false;
    }
    struct stat info;
    if (::lstat(folder.c_str(), &info) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISDIR(info.st_mode) || (owner && info.st_uid != *owner)) {
        error = EPERM;
        return false;
    }
    return true;
}

// A trash folder with its files and info folders, and how Path= is written there.
struct Trash {
    std::string folder;
    std::string pathsFrom;  // "" for absolute paths (the home trash), else the top folder
};

std::optional<Trash> Prepare(Trash trash, std::optional<uid_t> owner, int& error) {
    if (!MakeOwnFolder(trash.folder, owner, error) ||
        !MakeOwnFolder(trash.folder + "/files", owner, error) ||
        !MakeOwnFolder(trash.folder + "/info", owner, error))
        return std::nullopt;
    return trash;
}

// The trash at the top of a file system: $top/.Trash/$uid when an administrator made
// $top/.Trash a sticky folder (not a link), else $top/.Trash-$uid.
std::optional<Trash> TopTrash(const std::string& top, uid_t uid, int& error) {
    const std::string shared = Join(top, ".Trash");
    struct stat info;
    if (::lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        if (auto trash = Prepare({Join(shared, std::to_string(uid)), top}, uid, error))
            return trash;
    }
    return Prepare({Join(top, ".Trash-" + std::to_string(uid)), top}, uid, error);
}

// The name of the entry when tried for the n-th time (from 1): name, name.2, name.3 ...
std::string Candidate(std::string_view name, int n) {
    std::string candidate(name.substr(0, kLongestName));
    if (n > 1)
        candidate += "." + std::to_string(n);
    return candidate;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Appends a trashed folder to the trash's directorysizes, replacing the file at once.
// Only a cache: a failure changes nothing else.
void NoteFolderSize(const Trash& trash, const std::string& name, const std::string& infoFile,
                    std::uint64_t size) {
    struct stat info;
    if (::stat(infoFile.c_str(), &info) != 0)
        return;
    const std::string sizes = trash.folder + "/directorysizes";
    std::string text;
    if (int in = ::open(sizes.c_str(), O_RDONLY | O_CLOEXEC); in >= 0) {
        char buffer[65536];
        for (ssize_t got; (got = ::read(in, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(got));
        ::close(in);
    }
    if (!text.empty() && text.back() != '\n')
        text.push_back('\n');
    text += std::to_string(size) + " " + std::to_string(info.st_mtime) + " " +
            TrashText::PercentEncoded(name) + "\n";
    std::string temporary = sizes + ".XXXXXX";
    int out = ::mkstemp(temporary.data());
    if (out < 0)
        return;
    bool written = WriteAll(out, text) && ::fsync(out) == 0;
    ::close(out);
    if (!written || ::rename(temporary.c_str(), sizes.c_str()) != 0)
        ::unlink(temporary.c_str());
}

// Moves the entry at path (folder/name, folder without links) into trash. error is set
// when it stays.
std::optional<std::string> MoveInto(const Trash& trash, const std::string& folder,
                                    const std::string& name, bool isFolder,
                                    std::uint64_t folderSize, int& error) {
    const std::string original = Join(folder, name);
    std::string recorded = original;
    if (!trash.pathsFrom.empty())
        recorded = trash.pathsFrom == "/" ? original.substr(1)
                                          : original.substr(trash.pathsFrom.size() + 1);
    const std::string infoText = TrashText::Info(recorded, std::time(nullptr));
    for (int n = 1; n <= kMostNames; ++n) {
        const std::string entry = Candidate(name, n);
        const std::string infoFile = trash.folder + "/info/" + entry + ".trashinfo";
        const std::string target = trash.folder + "/files/" + entry;
        // The info file comes first, created only if its name is free: it reserves the
        // entry's name, and the entry is never in the trash without it.
        int fd =
            ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            error = errno;
            return std::nullopt;
        }
        struct stat taken;
        if (::lstat(target.c_str(), &taken) == 0) {  // a stray entry without an info file
            ::close(fd);
            ::unlink(infoFile.c_str());
            continue;
        }
        const bool written = WriteAll(fd, infoText) && ::fsync(fd) == 0;
        error = errno;
        ::close(fd);
        if (!written || ::rename(original.c_str(), target.c_str()) != 0) {
            if (written)
                error = errno;
            ::unlink(infoFile.c_str());
            return std::nullopt;
        }
        if (isFolder)
            NoteFolderSize(trash, entry, infoFile, folderSize);
        return target;
    }
    error = EEXIST;
    return std::nullopt;
}

}  // namespace

namespace TrashText {

std::string PercentEncoded(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                     (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                     byte == '~' || byte == '/';
        if (plain) {
            encoded.push_back(c);
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 15]);
        }
    }
    return encoded;
}

std::string Info(std::string_view originalPath, std::time_t deletedAt) {
    std::tm local;
    ::localtime_r(&deletedAt, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + PercentEncoded(originalPath) + "\nDeletionDate=" + date + "\n";
}

}  // namespace TrashText

FreedesktopTrash::FreedesktopTrash(std::filesystem::path dataHome, uid_t uid)
    : dataHome_(std::move(dataHome)), uid_(uid) {}

TrashOutcome FreedesktopTrash::Move(const std::string& path, std::uint64_t folderSizeOnDisk) const {
    TrashOutcome outcome;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    if (trimmed.empty() || trimmed.front() != '/' || trimmed == "/") {
        outcome.reason = "not a path below a folder";
        return outcome;
    }
    const std::string name = trimmed.substr(slash + 1);
    if (name == "." || name == "..") {
        outcome.reason = "not a path below a folder";
        return outcome;
    }
    // The folder that holds it, without symbolic links: the trash's paths are real ones.
    char resolved[PATH_MAX];
    if (!::realpath(Parent(trimmed).c_str(), resolved)) {
        outcome.reason = ErrorText(errno);
        return outcome;
    }
    const std::string folder = resolved;
    const std::string original = Join(folder, name);
    struct stat entry;
    if (::lstat(original.c_str(), &entry) != 0) {
        outcome.reason = ErrorText(errno);
        return outcome;
    }
    const bool isFolder = S_ISDIR(entry.st_mode);
    const std::optional<Mount> itsMount = MountOf(folder);
    if (isFolder && MountOf(original) != itsMount) {
        outcome.reason = "it is a mount point";
        return outcome;
    }

    // The home trash for the home file system; where a rename into it fails anyway (a bind
    // mount of it), and for every other file system, the trash at the top of the mount.
    int error = 0;
    const std::string homeTrash = (dataHome_ / "Trash").string();
    if (itsMount && MountOf(ExistingAncestor(homeTrash)) == itsMount) {
        std::error_code ignored;
        std::filesystem::create_directories(dataHome_, ignored);
        if (auto trash = Prepare({homeTrash, ""}, std::nullopt, error)) {
            if (auto target = MoveInto(*trash, folder, name, isFolder, folderSizeOnDisk, error)) {
                outcome.moved = true;
                outcome.trashedAs = *target;
                return outcome;
            }
            if (error != EXDEV) {
                outcome.reason = ErrorText(error);
                return outcome;
            }
        }
    }
    const std::string top = TopOf(folder);
    std::optional<Trash> trash = TopTrash(top, uid_, error);
    if (!trash) {
        outcome.reason = "no trash folder can be made at " + top + " (" + ErrorText(error) + ")";
        return outcome;
    }
    if (auto target = MoveInto(*trash, folder, name, isFolder, folderSizeOnDisk, error)) {
        outcome.moved = true;
        outcome.trashedAs = *target;
        return outcome;
    }
    outcome.reason = ErrorText(error);
    return outcome;
}
