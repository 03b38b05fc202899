// Real folders on disk: odd names, sparse and linked files, deep chains within a small
// descriptor limit, and pseudo file systems.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TempDir.h"
#include "platform/DirectoryReader.h"
#include "platform/MountTable.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "ui/ItemStore.h"

namespace {

const FolderRecord& ScanWithReader(ItemStore& store, const std::string& root,
                                   std::size_t maxOpen = 64) {
    StopRequested = false;
    DirectoryReader reader(maxOpen);
    ScanContext context{reader};
    FolderTree::ScanRoot(store, root, context);
    EXPECT_EQ(reader.OpenDescriptors(), 0u);
    return *store.Record(store.Selection());
}

TEST(DirectoryReader, HostileNamesSparseFilesAndLinks) {
    TempDir dir;
    const std::string odd[] = {"new\nline", "bad\xff\xfe", "100%s%n", " blank "};
    for (const std::string& name : odd) {
        dir.MakeFolder(name);
        dir.MakeFile(name + "/f", 10);
    }
    {  // a sparse file above 4 GiB: its listed size counts, not its blocks
        int fd = ::open((dir / "sparse").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_EQ(::ftruncate(fd, 5LL << 30), 0);
        ::close(fd);
    }
    dir.MakeFolder("loop");
    ASSERT_EQ(::symlink("..", (dir / "loop/up").c_str()), 0);  // a cycle, never followed
    ASSERT_EQ(::link((dir / "bad\xff\xfe/f").c_str(), (dir / "hard").c_str()), 0);

    ItemStore store;
    const FolderRecord& root = ScanWithReader(store, dir.Path());
    EXPECT_EQ(root.folderCount, 5);
    EXPECT_EQ(root.fileCount, 4 + 1 + 1 + 1);  // the four f, sparse, loop/up, hard
    EXPECT_EQ(root.totalBytes, (5ULL << 30) + 4 * 10 + 2 + 10);  // the link's size is "..": 2
    EXPECT_EQ(root.filesBytes, (5ULL << 30) + 10);

    std::vector<std::string> names;
    for (const auto& child : store.Node(store.Selection())->children) {
        names.push_back(child->record->name);
    }
    for (const std::string& name : odd) {
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
}

TEST(DirectoryReader, DeepChainBeyondPathMaxWithinADescriptorLimit) {
    TempDir dir;
    constexpr int kDepth = 5000;
    int fd = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < kDepth; ++level) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    int file = ::openat(fd, "bottom", O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::write(file, "12345", 5), 5);
    ::close(file);
    ::close(fd);

    rlimit saved;
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    ::setrlimit(RLIMIT_NOFILE, &limited);
    ItemStore store;
    const FolderRecord& root = ScanWithReader(store, dir.Path(), 16);
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_EQ(root.folderCount, kDepth);
    EXPECT_EQ(root.fileCount, 1);
    EXPECT_EQ(root.totalBytes, 5u);
    const ItemNode* node = store.Node(store.Selection());
    int depth = 0;
    while (!node->children.empty() && node->children.front()->record->name == "d") {
        node = node->children.front().get();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_GT(node->record->path.size(), 4096u);
}

TEST(DirectoryReader, ReopensClosedAncestorsForLaterSiblings) {
    TempDir dir;  // two deep branches under every level of a chain deeper than the budget
    std::string path;
    for (int level = 0; level < 12; ++level) {
        path += "a/";
        dir.MakeFolder(path);
        dir.MakeFile(path + "f", 1);
        dir.MakeFolder(path + "z");
        dir.MakeFile(path + "z/g", 2);
    }
    ItemStore store;
    const FolderRecord& root = ScanWithReader(store, dir.Path(), 3);
    EXPECT_EQ(root.folderCount, 24);
    EXPECT_EQ(root.fileCount, 24);
    EXPECT_EQ(root.totalBytes, 12u * 3);
}

TEST(DirectoryReader, StartFolderThatIsNotAFolderOrIsPseudoCountsAsEmpty) {
    TempDir dir;
    dir.MakeFile("plain", 7);
    ItemStore store;
    EXPECT_EQ(ScanWithReader(store, dir / "plain").totalBytes, 0u);
    EXPECT_EQ(ScanWithReader(store, dir / "absent").totalBytes, 0u);
    if (std::filesystem::exists("/proc/self/status")) {
        EXPECT_EQ(ScanWithReader(store, "/proc").totalBytes, 0u);
    }
}

TEST(MountTable, ParsesMountInfoLinesAndKnowsPseudoFileSystems) {
    std::vector<Mount> mounts = ParseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
        "24 22 0:5 / /mnt/with\\040blank rw master:3 shared:4 - btrfs /dev/sdb rw\n"
        "garbage\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].type, "ext4");
    EXPECT_EQ(mounts[1].type, "proc");
    EXPECT_EQ(mounts[2].mountPoint, "/mnt/with blank");
    EXPECT_EQ(mounts[2].type, "btrfs");
    EXPECT_TRUE(IsPseudoFileSystem("proc"));
    EXPECT_TRUE(IsPseudoFileSystem("devtmpfs"));
    EXPECT_TRUE(IsPseudoFileSystem("autofs"));
    EXPECT_FALSE(IsPseudoFileSystem("tmpfs"));
    EXPECT_FALSE(IsPseudoFileSystem("ext4"));
}

}  // namespace
