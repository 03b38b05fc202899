// Which mounted file systems a user picks from: the ones a desktop's file manager shows
// (GIO's rule for user-visible mounts), not the mounts the system keeps for itself
// (/sys/fs/cgroup, /run/user/1000, a snap's image, a bind mount). They stand in for the drive
// roots of the Desktop menu, after "/", which the menu always offers.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "fs/MountTable.h"

// Whose menu it is: the rule depends on the user's name, home folder and rights.
struct MountViewer {
    std::string userName;
    std::string home;   // absolute, without a trailing "/"
    bool root = false;  // the administrator, who sees every user's /run/media
    // Whether the user may list and enter a folder; asked only of local folders (a folder in
    // /media, a mount point of a block device), never of a network mount that may hang.
    std::function<bool(const std::string& folder)> canEnter;
};

// This process's user: name and rights from the system, home as given (Qt's, which follows
// $HOME); canEnter asks access().
MountViewer ThisUser(std::string home);

// True for a mount the system keeps for itself: a kernel, virtual or cluster file system, a
// source that is no device ("none", "sunrpc", ...), a folder of the system's own (/boot,
// /home, /var, /run, ...) or anything below /dev, /proc and /sys, a ".gvfs" folder, or only
// part of a file system (a bind mount, a sub-volume: its root is not "/").
bool IsSystemMount(const Mount& mount);

// True for a mount the user's file manager shows: not a system mount, not inside a folder
// whose name begins with "."; in /media (where the user may enter the folder above it),
// in /run/media/<user> (any user's for the administrator), or below the home folder. A block
// device's mount point the user may not enter is left out.
bool IsUserVisibleMount(const Mount& mount, const MountViewer& viewer);

// "/" first, then the user-visible mount points in the table's order, each once: the stand-in
// for the list of drive roots.
std::vector<std::string> UserMountRoots(const std::vector<Mount>& mounts,
                                        const MountViewer& viewer);
