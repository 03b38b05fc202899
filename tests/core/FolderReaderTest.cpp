// Both folder readers, the sequential one and the read-ahead, on real folders: hostile names,
// sparse files, links never followed, a chain deeper than PATH_MAX within a small descriptor
// limit, ancestors reopened for later siblings, and what cannot or must not be listed.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include "ReaderFixture.h"
#include "platform/DirectoryReader.h"
#include "platform/ReadAheadReader.h"
#include "scan/SizeUnit.h"

using namespace reader_test;

namespace {

// The sequential reader or the read-ahead on four threads, with a roomy or a tight budget.
std::unique_ptr<FolderSource> MakeReader(bool readAhead, bool tight) {
    if (readAhead)
        return std::make_unique<ReadAheadReader>(
            4, tight ? ReadAheadLimits{6, 50, 1} : ReadAheadLimits{});
    return std::make_unique<DirectoryReader>(tight ? 3 : 16);
}

// The child of node whose record has this name, or null.
const ItemNode* ChildNamed(const ItemNode& node, const std::string& name) {
    for (const auto& child : node.children) {
        if (child->record && child->record->name == name)
            return child.get();
    }
    return nullptr;
}

// Scans root into store; the root's record, which the scan selects (null if it has none).
const FolderRecord* ScanWith(FolderSource& reader, ItemStore& store, const std::string& root) {
    StopRequested = false;
    ScanContext context{reader};
    FolderTree::ScanRoot(store, root, context);
    return store.Record(store.Selection());
}

TEST(FolderReaders, HostileNamesLinksAndADeepChainWithinTheDescriptorLimit) {
    TempDir dir;
    const std::string odd[] = {"new\nline", "bad\xff\xfe", "100%s%n", " blank "};
    for (const std::string& name : odd) {
        dir.MakeFolder(name);
        dir.MakeFile(name + "/f", 10);
    }
    SparseFile(dir / "sparse", 5LL << 30);  // above 4 GiB: its listed size counts
    dir.MakeFolder("loop");
    ASSERT_TRUE(Link("..", dir / "loop/up"));  // a cycle, never followed
    ASSERT_EQ(::link((dir / "bad\xff\xfe/f").c_str(), (dir / "hard").c_str()), 0);
    dir.MakeFolder("chain");
    Chain(dir / "chain", 5000, false);

    for (bool readAhead : {false, true}) {
        SCOPED_TRACE(readAhead ? "read-ahead" : "sequential");
        rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(1024, saved.rlim_max);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        ItemStore store;
        auto reader = MakeReader(readAhead, false);
        const std::size_t descriptors = CountEntries("/proc/self/fd");
        const FolderRecord* root = ScanWith(*reader, store, dir.Path());
        ::setrlimit(RLIMIT_NOFILE, &saved);

        ASSERT_TRUE(root);
        EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
        EXPECT_EQ(root->folderCount, 4 + 2 + 10000);
        EXPECT_EQ(root->fileCount, 4 + 1 + 1 + 1 + 5000);  // the four f, sparse, loop/up, hard
        EXPECT_EQ(root->totalBytes, (5ULL << 30) + 4 * 10 + 2 + 10);  // "..": 2 bytes
        EXPECT_EQ(root->filesBytes, (5ULL << 30) + 10);

        const ItemNode* top = store.Node(store.Selection());
        for (const std::string& name : odd)
            EXPECT_TRUE(ChildNamed(*top, name)) << name;
        // Down the chain: the folder going on has three children, its sibling one (FILES).
        const ItemNode* level = ChildNamed(*top, "chain");
        ASSERT_TRUE(level);
        int depth = 0;
        for (const ItemNode* next = level; next; ++depth) {
            level = next;
            next = nullptr;
            for (const auto& child : level->children)
                next = child->children.size() > 1 ? child.get() : next;
        }
        EXPECT_EQ(depth, 5000);
        EXPECT_GT(level->record->path.size(), 4096u);
    }
}

TEST(FolderReaders, ReopenClosedAncestorsForLaterSiblingsAndListNoPseudoFileSystem) {
    TempDir dir;
    dir.MakeFolder("chain");
    Chain(dir / "chain", 12, true);
    dir.MakeFile("plain", 7);
    for (bool readAhead : {false, true}) {
        SCOPED_TRACE(readAhead ? "read-ahead" : "sequential");
        ItemStore store;
        auto reader = MakeReader(readAhead, true);
        const FolderRecord* root = ScanWith(*reader, store, dir / "chain");
        ASSERT_TRUE(root);
        EXPECT_EQ(root->folderCount, 24);
        EXPECT_EQ(root->fileCount, 12);

        for (std::string start : {dir / "plain", dir / "absent", std::string("/proc")})
            EXPECT_EQ(ScanWith(*reader, store, start)->totalBytes, 0u) << start;
    }
}

}  // namespace
