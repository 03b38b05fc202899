// What the hardware suggests about reading folders in parallel: how many processors this
// process may run on, and whether a folder lies on a rotating disk, where parallel reads
// make the disk head seek back and forth and are slower than one reader.
#pragma once

#include <sys/types.h>

#include <string>

// Processors this process may run on (its affinity mask); at least 1.
unsigned ProcessorCount();

// Whether block device `device` (an st_dev) is a rotating disk, as
// <sysRoot>/dev/block/MAJOR:MINOR/queue/rotational says; a partition answers for its disk.
// False when the device is not a block device (tmpfs, overlay, ...), when sysfs does not
// say, and for virtio disks, whose flag is 1 whatever the host's storage is.
bool IsRotatingDevice(dev_t device, const std::string& sysRoot = "/sys");

// Whether the folder at path (links followed) lies on a rotating disk; false when unknown.
bool IsOnRotatingDisk(const std::string& path, const std::string& sysRoot = "/sys");
