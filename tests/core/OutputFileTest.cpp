// Files the user names for output: replaced whole or left as they were, with the reason
// on a full disk, and written in place where the folder refuses a temporary file.
#include <gtest/gtest.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "SmallFileSystem.h"
#include "TempDir.h"
#include "desktop/OutputFile.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

std::string Write(const std::string& path, const std::string& bytes) {
    return WriteOutputFile(QString::fromStdString(path), QByteArrayView(bytes))
        .value_or(QString())
        .toStdString();
}

// Runs body with an ordinary user's rights on files: as root, this thread's file-system
// user becomes "nobody", which also drops the right to ignore permission bits.
template <class Body>
void AsOrdinaryUser(Body body) {
    const bool root = ::geteuid() == 0;
    if (root)
        ::setfsuid(65534);
    body();
    if (root)
        ::setfsuid(0);
}

}  // namespace

// Small writes included, which a buffered file would only fail to flush at the end, and a
// large one that the disk takes in part before it is full.
TEST(OutputFile, FullDiskGivesItsReasonAndLeavesTheOldFile) {
    SmallFileSystem disk(64 * 1024);
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const std::string report = disk / "report.txt";
    WriteText(report, "old report\n");
    EXPECT_EQ(Write(report, std::string(200000, 'r')), "No space left on device");
    EXPECT_EQ(ReadText(report), "old report\n");
    ASSERT_TRUE(disk.Fill());
    for (std::size_t size : {3000, 40000}) {
        EXPECT_EQ(Write(report, std::string(size, 'r')), "No space left on device") << size;
        EXPECT_EQ(ReadText(report), "old report\n");
        EXPECT_EQ(Names(disk / ""), (std::set<std::string>{"filler", "report.txt"}));
    }
}

TEST(OutputFile, ReadOnlyFolderWritesAWritableFileInPlaceAndNothingElse) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    dir.MakeFolder("locked");
    const std::string writable = dir / "locked/report.txt";
    const std::string readOnly = dir / "locked/kept.txt";
    WriteText(writable, "old report\n");
    WriteText(readOnly, "kept\n");
    ::chmod(writable.c_str(), 0666);
    ::chmod(readOnly.c_str(), 0444);
    ::chmod((dir / "locked").c_str(), 0555);

    AsOrdinaryUser([&] {
        ASSERT_NE(::mkdir((dir / "locked/probe").c_str(), 0755), 0);  // the folder refuses
        EXPECT_EQ(Write(writable, "new report\n"), "");
        EXPECT_NE(Write(readOnly, "new\n"), "");  // with the reason
        EXPECT_EQ(Write(dir / "locked/new.txt", "new\n"), "Permission denied");
    });
    EXPECT_EQ(ReadText(writable), "new report\n");
    EXPECT_EQ(ReadText(readOnly), "kept\n");
    EXPECT_EQ(Names(dir / "locked"), (std::set<std::string>{"kept.txt", "report.txt"}));
    ::chmod((dir / "locked").c_str(), 0755);
}
