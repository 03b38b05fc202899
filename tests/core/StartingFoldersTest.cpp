// The list of starting folders, the mount roots that stand in for drives with the names
// the Desktop menu gives them, and the long form of a command-line folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "TempDir.h"
#include "fs/MountTable.h"
#include "fs/PathForm.h"
#include "fs/UserMounts.h"
#include "fs/VolumeNames.h"
#include "scan/RootList.h"

TEST(RootList, AppendsInOrderAndSkipsOnlyExactDuplicatesWhenAsked) {
    RootList list;
    list.Add("/cmd", false);
    list.FillDefaults({"/home/u/Desktop", "", {"/", "/cmd"}});
    list.Add("/cmd", false);
    list.Add("/Data", true);
    list.Add("/Data", true);
    list.Add("/data", true);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/cmd", "/home/u/Desktop", "/", "/cmd",
                                                        "/cmd", "/Data", "/data"}));
}

TEST(MountRoots, ParsedFromMountInfoRootFirstThenTheUsersMountsInTableOrderOnce) {
    std::vector<Mount> mounts = ParseMountInfo(
        "22 1 0:21 / /proc rw - proc proc rw\n"
        "25 1 8:1 / /home rw shared:1 - ext4 /dev/sda2 rw\n"
        "26 1 8:2 / / rw - ext4 /dev/sda1 rw\n"
        "27 1 0:5 / /dev rw - devtmpfs udev rw\n"
        "28 25 8:3 / /home/u/My\\040Disk rw master:3 shared:4 - btrfs /dev/sdb1 rw\n"
        "garbage\n"
        "29 1 8:1 / /home rw - ext4 /dev/sda2 rw\n"
        "30 1 0:40 / /run rw - tmpfs tmpfs rw\n"
        "31 1 0:41 / /net rw - autofs auto rw\n");
    ASSERT_EQ(mounts.size(), 8u);
    EXPECT_EQ(mounts[4].type, "btrfs");
    EXPECT_EQ(mounts[4].device, makedev(8, 3));
    EXPECT_EQ(mounts[4].source, "/dev/sdb1");
    EXPECT_EQ(mounts[4].root, "/");
    const MountViewer u{"u", "/home/u", false, nullptr};
    EXPECT_EQ(UserMountRoots(mounts, u), (std::vector<std::string>{"/", "/home/u/My Disk"}));
}

// What a file manager shows a user: removable media and disks mounted for him, and his own
// mounts below his home, never the system's (GIO's rule).
TEST(MountRoots, OnlyTheMountsAUsersFileManagerShows) {
    const std::vector<Mount> mounts = {
        {"/", "ext4", 0, "/dev/sda1", "/"},
        {"/sys/fs/cgroup", "cgroup2", 0, "cgroup2", "/"},
        {"/dev/shm", "tmpfs", 0, "tmpfs", "/"},
        {"/run/user/1000", "tmpfs", 0, "tmpfs", "/"},
        {"/run/lock", "tmpfs", 0, "tmpfs", "/"},
        {"/boot/efi", "vfat", 0, "/dev/sda2", "/"},
        {"/home", "ext4", 0, "/dev/sda3", "/"},
        {"/mnt/backup", "ext4", 0, "/dev/sdc1", "/"},
        {"/snap/core/1", "squashfs", 0, "/dev/loop3", "/"},
        {"/media/u/STICK", "vfat", 0, "/dev/sdb1", "/"},
        {"/media/v/DISK", "ext4", 0, "/dev/sdd1", "/"},  // v's folder keeps u out
        {"/run/media/u/CARD", "exfat", 0, "/dev/mmcblk0p1", "/"},
        {"/run/media/v/PHONE", "fuse.jmtpfs", 0, "jmtpfs", "/"},  // v's, not u's
        {"/home/u/remote", "fuse.sshfs", 0, "u@host:", "/"},
        {"/home/u/.cache/doc", "fuse.portal", 0, "portal", "/"},
        {"/home/u/.local/mnt", "fuse.sshfs", 0, "u@other:", "/"},  // in a dot folder
        {"/home/u/shared", "ext4", 0, "/dev/sda3", "/u/shared"},   // a bind mount
        {"/media/u/STICK", "vfat", 0, "/dev/sdb1", "/"},           // mounted twice
    };
    const MountViewer u{"u", "/home/u", false,
                        [](const std::string& folder) { return folder != "/media/v"; }};
    EXPECT_EQ(
        UserMountRoots(mounts, u),
        (std::vector<std::string>{"/", "/media/u/STICK", "/run/media/u/CARD", "/home/u/remote"}));
    MountViewer root{"root", "/root", true, nullptr};
    EXPECT_EQ(UserMountRoots(mounts, root),
              (std::vector<std::string>{"/", "/media/u/STICK", "/media/v/DISK", "/run/media/u/CARD",
                                        "/run/media/v/PHONE"}));
}

// Labelled devices are found by their numbers, or by their path where the file system
// has numbers of its own (btrfs); pseudo file systems get no name.
TEST(MountRoots, DisplayNamesAreTheLabelAndMountPointOrTheMountPoint) {
    const std::vector<Mount> mounts = {
        {"/", "ext4", makedev(8, 1), "/dev/sda1", "/"},
        {"/home", "ext4", makedev(8, 2), "/dev/sda2", "/"},
        {"/media/u/stick", "btrfs", makedev(0, 45), "/dev/sdb1", "/"},
        {"/proc", "proc", makedev(0, 21), "proc", "/"},
        {"/run", "tmpfs", makedev(0, 40), "tmpfs", "/"}};
    const std::vector<VolumeLabel> labels = {{"Data (old)", makedev(8, 5), "/dev/sda5"},
                                             {"root fs", makedev(8, 1), "/dev/sda1"},
                                             {"STICK", makedev(8, 17), "/dev/sdb1"}};
    EXPECT_EQ(MountDisplayNames(mounts, labels),
              (std::map<std::string, std::string>{{"/", "root fs (/)"},
                                                  {"/home", "/home"},
                                                  {"/media/u/stick", "STICK (/media/u/stick)"},
                                                  {"/run", "/run"}}));
}

// udev's entries: links named after the label lead to block devices; links to anything
// else, or to nothing, are not labels.
TEST(MountRoots, LabelsAreReadFromLinksToBlockDevices) {
    TempDir dir;
    EXPECT_TRUE(ReadVolumeLabels(dir / "missing").empty());
    ASSERT_EQ(::symlink("/dev/null", (dir / "not\\x20a\\x20disk").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/no-such-device", (dir / "gone").c_str()), 0);
    const char* disk = nullptr;
    struct stat info {};
    for (const char* device : {"/dev/loop0", "/dev/sda", "/dev/vda", "/dev/nvme0n1"}) {
        if (::stat(device, &info) == 0 && S_ISBLK(info.st_mode)) {
            disk = device;
            break;
        }
    }
    if (!disk) {
        EXPECT_TRUE(ReadVolumeLabels(dir.Path()).empty());
        GTEST_SKIP() << "no block device to link a label to";
    }
    ASSERT_EQ(::symlink(disk, (dir / "My\\x20Disk\\x2fA\\xZZ").c_str()), 0);
    const std::vector<VolumeLabel> labels = ReadVolumeLabels(dir.Path());
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0].label, "My Disk/A\\xZZ");
    EXPECT_EQ(labels[0].device, info.st_rdev);
    EXPECT_EQ(labels[0].path, disk);
}

TEST(LongPathForm, AbsoluteNormalFormOfExistingPathsOtherwiseUnchanged) {
    TempDir dir;
    dir.MakeFolder("a b");
    EXPECT_EQ(LongPathForm(dir.Path() + "/./a b/../a b/"), dir / "a b");
    EXPECT_EQ(LongPathForm("/"), "/");
    EXPECT_EQ(LongPathForm(dir / "missing/.."), dir / "missing/..");
    EXPECT_EQ(LongPathForm(""), "");
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    EXPECT_EQ(LongPathForm("a b"), dir / "a b");
    ASSERT_EQ(::chdir(cwd), 0);
}
