// Rotating disks get no read-ahead: the flag is read from the disk itself, also for a
// partition, and a virtio disk's flag is not trusted.
#include <gtest/gtest.h>
#include <sys/sysmacros.h>

#include <filesystem>

#include "TempDir.h"
#include "fs/StorageDevice.h"

TEST(StorageDevice, RotationalFlagOfTheDiskOrOfThePartitionsDisk) {
    TempDir sys;
    for (const char* folder :
         {"dev", "dev/block", "devices", "devices/sda", "devices/sda/queue", "devices/sda/sda1",
          "devices/nvme0n1", "devices/nvme0n1/queue", "devices/vda", "devices/vda/queue",
          "devices/vda/device", "bus", "bus/virtio_blk"})
        sys.MakeFolder(folder);
    WriteText(sys / "devices/sda/queue/rotational", "1\n");
    WriteText(sys / "devices/sda/sda1/partition", "1\n");
    WriteText(sys / "devices/nvme0n1/queue/rotational", "0\n");
    WriteText(sys / "devices/vda/queue/rotational", "1\n");
    namespace fs = std::filesystem;
    fs::create_directory_symlink("../../devices/sda", sys / "dev/block/8:0");
    fs::create_directory_symlink("../../devices/sda/sda1", sys / "dev/block/8:1");
    fs::create_directory_symlink("../../devices/nvme0n1", sys / "dev/block/259:0");
    fs::create_directory_symlink("../../../bus/virtio_blk", sys / "devices/vda/device/driver");
    fs::create_directory_symlink("../../devices/vda", sys / "dev/block/254:0");

    EXPECT_TRUE(IsRotatingDevice(makedev(8, 0), sys.Path()));
    EXPECT_TRUE(IsRotatingDevice(makedev(8, 1), sys.Path()));
    EXPECT_FALSE(IsRotatingDevice(makedev(259, 0), sys.Path()));
    EXPECT_FALSE(IsRotatingDevice(makedev(254, 0), sys.Path()));  // a virtio disk says nothing
    EXPECT_FALSE(IsRotatingDevice(makedev(0, 42), sys.Path()));   // tmpfs and the like
}
