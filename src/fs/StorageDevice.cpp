// Processor count from the affinity mask; rotating disks from sysfs.
#include "fs/StorageDevice.h"

#include <sched.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <system_error>

unsigned ProcessorCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof(set), &set) == 0) {
        int count = CPU_COUNT(&set);
        if (count > 0)
            return static_cast<unsigned>(count);
    }
    long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 1;
}

bool IsRotatingDevice(dev_t device, const std::string& sysRoot) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path link = fs::path(sysRoot) / "dev" / "block" /
                    (std::to_string(major(device)) + ":" + std::to_string(minor(device)));
    fs::path node = fs::canonical(link, error);
    if (error)
        return false;
    // A partition (sda1) has a "partition" file and sits inside its disk's folder (sda).
    if (fs::exists(node / "partition", error))
        node = node.parent_path();
    // virtio-blk reports every disk as rotating unless the host says otherwise, so on a
    // virtual machine the flag says nothing about the disk behind it.
    if (fs::canonical(node / "device" / "driver", error).filename() == "virtio_blk")
        return false;
    std::ifstream flag(node / "queue" / "rotational");
    int rotational = 0;
    return flag >> rotational && rotational == 1;
}

bool IsOnRotatingDisk(const std::string& path, const std::string& sysRoot) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return false;
    return IsRotatingDevice(info.st_dev, sysRoot);
}
