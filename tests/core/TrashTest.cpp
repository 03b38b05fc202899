// The freedesktop trash: where an entry goes on the home file system and on another one,
// what its info file says, the directorysizes cache, and what stays when nothing can move.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <regex>

#include "TempDir.h"
#include "desktop/FreedesktopTrash.h"

namespace {

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? resolved : path;
}

// The info file's text up to its date, and whether the date has the form the desktops
// read (local time, no zone).
void ExpectInfo(const std::string& infoFile, const std::string& recordedPath) {
    const std::string text = ReadText(infoFile);
    const std::string head = "[Trash Info]\nPath=" + recordedPath + "\nDeletionDate=";
    ASSERT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_TRUE(
        std::regex_match(text.substr(head.size()),
                         std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\n")))
        << text;
}

TEST(Trash, HomeFileSystemGoesToTheHomeTrashWithItsInfoFileAndFolderSize) {
    TempDir dir;
    dir.MakeFolder("home");
    dir.MakeFolder("home/a b%c");
    dir.MakeFile("home/a b%c/f", 10);
    FreedesktopTrash trash(dir / "data", 0);

    TrashOutcome first = trash.Move(dir / "home/a b%c", 12345);
    ASSERT_TRUE(first.moved) << first.reason;
    const std::string home = dir / "data/Trash";
    EXPECT_EQ(first.trashedAs, home + "/files/a b%c");
    EXPECT_FALSE(Exists(dir / "home/a b%c"));
    EXPECT_EQ(ReadText(home + "/files/a b%c/f"), std::string(10, 'x'));
    ExpectInfo(home + "/info/a b%c.trashinfo",
               TrashText::PercentEncoded(RealPath(dir / "home") + "/a b%c"));
    EXPECT_EQ(TrashText::PercentEncoded("/x/a b%c\n\xC3\xA9~._-"), "/x/a%20b%25c%0A%C3%A9~._-");
    struct stat info;
    ASSERT_EQ(::stat((home + "/info/a b%c.trashinfo").c_str(), &info), 0);
    EXPECT_EQ(ReadText(home + "/directorysizes"),
              "12345 " + std::to_string(info.st_mtime) + " a%20b%25c\n");

    // The same name again is kept apart; a file adds nothing to the folder sizes.
    dir.MakeFolder("home/a b%c");
    dir.MakeFile("home/file", 1);
    ASSERT_TRUE(trash.Move(dir / "home/a b%c/", 7).moved);
    EXPECT_TRUE(Exists(home + "/files/a b%c.2"));
    EXPECT_TRUE(Exists(home + "/info/a b%c.2.trashinfo"));
    ASSERT_TRUE(trash.Move(dir / "home/file", 99).moved);
    const std::string sizes = ReadText(home + "/directorysizes");
    EXPECT_EQ(std::count(sizes.begin(), sizes.end(), '\n'), 2);

    TrashOutcome missing = trash.Move(dir / "home/gone", 0);
    EXPECT_FALSE(missing.moved);
    EXPECT_EQ(missing.reason, "No such file or directory");
}

// A tmpfs of the test's own, and a read-only bind mount of a folder of it.
class OtherFileSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.MakeFolder("mnt");
        if (::geteuid() != 0 || ::mount("tmpfs", (dir / "mnt").c_str(), "tmpfs", 0, "size=4m") != 0)
            GTEST_SKIP() << "mounting a tmpfs needs root: the other file system is not tested";
        mounted.push_back(dir / "mnt");
    }
    void TearDown() override {
        for (auto it = mounted.rbegin(); it != mounted.rend(); ++it)
            ::umount2(it->c_str(), MNT_DETACH);
    }

    TempDir dir;
    std::vector<std::string> mounted;
};

TEST_F(OtherFileSystem, GoesToTheTrashAtItsTopWithARelativePathOrStaysAndSaysWhy) {
    const std::string top = dir / "mnt";
    ::mkdir((top + "/sub").c_str(), 0755);
    ::mkdir((top + "/sub/d").c_str(), 0755);
    WriteText(top + "/sub/d/f", "data");
    FreedesktopTrash trash(dir / "data", 0);

    ASSERT_TRUE(trash.Move(top + "/sub/d", 4096).moved);
    EXPECT_EQ(ReadText(top + "/.Trash-0/files/d/f"), "data");
    ExpectInfo(top + "/.Trash-0/info/d.trashinfo", "sub/d");
    EXPECT_FALSE(Exists(dir / "data/Trash"));  // the home trash is not touched

    // An administrator's shared trash, sticky: the user's folder inside it.
    ::mkdir((top + "/.Trash").c_str(), 01777);
    ::chmod((top + "/.Trash").c_str(), 01777);
    WriteText(top + "/sub/e", "e");
    ASSERT_TRUE(trash.Move(top + "/sub/e", 0).moved);
    ExpectInfo(top + "/.Trash/0/info/e.trashinfo", "sub/e");

    TrashOutcome mountPoint = trash.Move(top, 0);
    EXPECT_FALSE(mountPoint.moved);
    EXPECT_EQ(mountPoint.reason, "it is a mount point");

    // Where no trash can be made, nothing moves.
    ::mkdir((top + "/ro").c_str(), 0755);
    WriteText(top + "/ro/keep", "keep");
    dir.MakeFolder("ro");
    ASSERT_EQ(::mount((top + "/ro").c_str(), (dir / "ro").c_str(), nullptr, MS_BIND, nullptr), 0);
    mounted.push_back(dir / "ro");
    ASSERT_EQ(
        ::mount(nullptr, (dir / "ro").c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
        0);
    TrashOutcome readOnly = trash.Move(dir / "ro/keep", 0);
    EXPECT_FALSE(readOnly.moved);
    EXPECT_EQ(readOnly.reason, "no trash folder can be made at " + RealPath(dir / "ro") +
                                   " (Read-only file system)");
    EXPECT_EQ(ReadText(dir / "ro/keep"), "keep");
}

}  // namespace
