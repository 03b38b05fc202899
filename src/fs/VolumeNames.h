// The names the Desktop menu shows for mount points, so that two of them can be told
// apart: the file system's label, as udev lists it in /dev/disk/by-label, followed by the
// mount point in parentheses, or the mount point alone.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "fs/MountTable.h"

struct VolumeLabel {
    std::string label;
    dev_t device = 0;  // the block device that carries it
    std::string path;  // that device's canonical path, "/dev/sda1"
};

// The labels of folder's entries: symbolic links named after a label (udev's "\x20"
// escapes undone) that lead to a block device. Anything else is left out; a folder that
// cannot be read gives none.
std::vector<VolumeLabel> ReadVolumeLabels(const std::string& folder = "/dev/disk/by-label");

// For each real mount point (the pseudo file systems left out): "LABEL (/mount/point)"
// when the mounted device has a label, otherwise the mount point itself ("/" for the root
// file system). A label belongs to a mount whose device numbers or source path are its
// device's; the source path is what btrfs and other file systems with their own device
// numbers give.
std::map<std::string, std::string> MountDisplayNames(const std::vector<Mount>& mounts,
                                                     const std::vector<VolumeLabel>& labels);

// MountDisplayNames of this system's mounts and labels, with mount sources under /dev taken
// in their canonical form ("/dev/mapper/vg-root" is "/dev/dm-0").
std::map<std::string, std::string> ReadMountDisplayNames();
