// The user-visible mounts: sets of system file-system types, sources and folders, then where
// a desktop mounts what a user plugs in or mounts for himself.
#include "fs/UserMounts.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

template <std::size_t N>
bool OneOf(std::string_view value, const std::string_view (&set)[N]) {
    return std::find(std::begin(set), std::end(set), value) != std::end(set);
}

constexpr std::string_view kSystemTypes[] = {
    "adfs",        "afs",       "auto",        "autofs",
    "autofs4",     "cgroup",    "cgroup2",     "configfs",
    "cxfs",        "debugfs",   "devfs",       "devpts",
    "devtmpfs",    "ecryptfs",  "fdescfs",     "fuse.gvfsd-fuse",
    "fuse.portal", "fusectl",   "gfs",         "gfs2",
    "gpfs",        "hugetlbfs", "kernfs",      "linprocfs",
    "linsysfs",    "lustre",    "lustre_lite", "mfs",
    "mqueue",      "ncpfs",     "nfsd",        "nullfs",
    "ocfs2",       "overlay",   "proc",        "procfs",
    "pstore",      "ptyfs",     "rootfs",      "rpc_pipefs",
    "securityfs",  "selinuxfs", "sysfs",       "tmpfs",
    "usbfs"};

constexpr std::string_view kSystemSources[] = {"/dev/loop", "/dev/vn", "devpts",
                                               "nfsd",      "none",    "sunrpc"};

constexpr std::string_view kSystemFolders[] = {"/",
                                               "/bin",
                                               "/boot",
                                               "/boot/efi",
                                               "/cdrom",
                                               "/compat/linux/proc",
                                               "/compat/linux/sys",
                                               "/dev",
                                               "/efi",
                                               "/etc",
                                               "/home",
                                               "/lib",
                                               "/lib32",
                                               "/lib64",
                                               "/libexec",
                                               "/live/cow",
                                               "/live/image",
                                               "/media",
                                               "/mnt",
                                               "/net",
                                               "/opt",
                                               "/proc",
                                               "/rescue",
                                               "/root",
                                               "/run",
                                               "/sbin",
                                               "/snap",
                                               "/srv",
                                               "/sys",
                                               "/tmp",
                                               "/usr",
                                               "/usr/X11R6",
                                               "/usr/local",
                                               "/usr/obj",
                                               "/usr/ports",
                                               "/usr/src",
                                               "/usr/xobj",
                                               "/var",
                                               "/var/crash",
                                               "/var/local",
                                               "/var/log",
                                               "/var/log/audit",
                                               "/var/mail",
                                               "/var/run",
                                               "/var/tmp"};

// The folder that holds path ("/media/u" for "/media/u/stick").
std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool IsBlockDevice(const std::string& source) {
    struct stat info {};
    return StartsWith(source, "/") && ::stat(source.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
}

// A removable medium or a disk the desktop mounted for a user.
bool InUsersMediaFolder(const std::string& path, const MountViewer& viewer) {
    if (StartsWith(path, "/media/"))
        return true;
    if (!StartsWith(path, "/run/media/"))
        return false;
    return viewer.root || StartsWith(path, "/run/media/" + viewer.userName + "/");
}

}  // namespace

MountViewer ThisUser(std::string home) {
    MountViewer viewer;
    viewer.home = std::move(home);
    viewer.root = ::geteuid() == 0;
    std::string buffer(16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        viewer.userName = found->pw_name;
    viewer.canEnter = [](const std::string& folder) {
        return ::access(folder.c_str(), R_OK | X_OK) == 0;
    };
    return viewer;
}

bool IsSystemMount(const Mount& mount) {
    const std::string& path = mount.mountPoint;
    return IsPseudoFileSystem(mount.type) || OneOf(mount.type, kSystemTypes) ||
           OneOf(mount.source, kSystemSources) || OneOf(path, kSystemFolders) ||
           StartsWith(path, "/dev/") || StartsWith(path, "/proc/") || StartsWith(path, "/sys/") ||
           EndsWith(path, "/.gvfs") || (!mount.root.empty() && mount.root != "/");
}

bool IsUserVisibleMount(const Mount& mount, const MountViewer& viewer) {
    const std::string& path = mount.mountPoint;
    if (IsSystemMount(mount) || path.find("/.") != std::string::npos)
        return false;
    auto canEnter = [&](const std::string& folder) {
        return !viewer.canEnter || viewer.canEnter(folder);
    };
    if (InUsersMediaFolder(path, viewer)) {
        // Another user's media: the folder above it keeps others out.
        const std::string above = Parent(path);
        if (StartsWith(above, "/media/") && !canEnter(above))
            return false;
        return !IsBlockDevice(mount.source) || canEnter(path);
    }
    return !viewer.home.empty() && StartsWith(path, viewer.home + "/");
}

std::vector<std::string> UserMountRoots(const std::vector<Mount>& mounts,
                                        const MountViewer& viewer) {
    std::vector<std::string> roots{"/"};
    for (const Mount& mount : mounts) {
        if (!IsUserVisibleMount(mount, viewer))
            continue;
        if (std::find(roots.begin(), roots.end(), mount.mountPoint) == roots.end())
            roots.push_back(mount.mountPoint);
    }
    return roots;
}
