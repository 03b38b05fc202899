// The mounted file systems of this process, read from /proc/self/mountinfo, and which of
// them are pseudo file systems whose "sizes" are not disk space.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

struct Mount {
    std::string mountPoint;
    std::string type;
    dev_t device = 0;    // the major:minor of the files below the mount point
    std::string source;  // what was mounted: "/dev/sda1", "tmpfs", ...
    std::string root;    // the folder of the file system mounted there: "/" unless only part
};

// True for proc, sysfs, devtmpfs and the other kernel file systems a scan never enters.
bool IsPseudoFileSystem(const std::string& type);

// Parses the text of a mountinfo file (octal escapes in mount points decoded), in its order.
std::vector<Mount> ParseMountInfo(const std::string& text);

// The mounts of this process; empty when /proc is not available.
std::vector<Mount> ReadMountTable();
