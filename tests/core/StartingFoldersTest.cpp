// The list of starting folders, the mount roots that stand in for drives, and the long
// form of a command-line folder.
#include <gtest/gtest.h>

#include <sys/sysmacros.h>
#include <unistd.h>

#include "TempDir.h"
#include "fs/MountTable.h"
#include "fs/PathForm.h"
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

TEST(MountRoots, ParsedFromMountInfoRootFirstThenRealFileSystemsInTableOrderOnce) {
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
    EXPECT_EQ(RealMountRoots(mounts),
              (std::vector<std::string>{"/", "/home", "/home/u/My Disk", "/run"}));
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
