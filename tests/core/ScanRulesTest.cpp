// The rules a scan follows on real folders: hard links counted once, other file systems,
// names beginning with ".", excluded names, and folders that cannot be read, with the
// sequential reader and with the read-ahead.
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

#include <map>

#include "TempDir.h"
#include "fs/ReadAheadReader.h"
#include "scan/FolderTree.h"
#include "tree/ItemStore.h"

namespace {

struct Figures {
    std::uint64_t bytes = 0;
    std::int32_t files = 0;
    std::int32_t folders = 0;
    bool operator==(const Figures&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Figures& f) {
    return out << f.bytes << " bytes, " << f.files << " files, " << f.folders << " folders";
}

// The figures of the root and of each item below it by path, after a scan with rules.
struct Scanned {
    Figures root;
    std::map<std::string, Figures> below;  // by path relative to the root
    std::map<std::string, int> images;
    std::vector<std::string> unreadable;
};

Scanned ScanWith(const std::string& root, const ScanRules& rules, unsigned threads) {
    ItemStore store;
    ReadAheadReader reader(threads, ReadAheadLimits{}, nullptr, rules);
    ScanContext context(reader);
    context.rules = &rules;
    Scanned result;
    context.cannotRead = [&](const std::string& path, int) { result.unreadable.push_back(path); };
    FolderTree::ScanRoot(store, root, context);
    std::vector<const ItemNode*> pending{store.Node(store.GetChild(TreeItem::None))};
    while (!pending.empty()) {
        const ItemNode* node = pending.back();
        pending.pop_back();
        std::optional<FolderRecord> record = node->Record();
        if (record && !record->isFilesEntry) {
            Figures figures{record->totalBytes, record->fileCount, record->folderCount};
            std::string path = node->FolderPath();
            if (path == root)
                result.root = figures;
            else
                result.below[path.substr(root.size() + 1)] = figures;
        }
        if (node->Parent()->Parent())  // not a root
            result.images[node->FolderPath().substr(root.size() + 1)] = node->Image();
        for (const ItemNode& child : node->Children())
            pending.push_back(&child);
    }
    return result;
}

class ScanRulesTest : public ::testing::TestWithParam<unsigned> {};

TEST_P(ScanRulesTest, HardLinksCountOnceUnlessEveryLinkIsAsked) {
    TempDir outside;
    outside.MakeFile("elsewhere", 1000);
    TempDir dir;
    dir.MakeFolder("a");
    dir.MakeFolder("b");
    dir.MakeFile("a/f", 100);
    ASSERT_EQ(::link((dir / "a/f").c_str(), (dir / "b/g").c_str()), 0);   // sibling folders
    ASSERT_EQ(::link((dir / "a/f").c_str(), (dir / "a/f2").c_str()), 0);  // the same folder
    ASSERT_EQ(::link((outside / "elsewhere").c_str(), (dir / "b/in").c_str()), 0);

    Scanned once = ScanWith(dir.Path(), ScanRules{}, GetParam());
    EXPECT_EQ(once.root, (Figures{1100, 2, 2}));  // f once, "in" once: its twin is outside
    EXPECT_EQ(once.below["a"].bytes + once.below["b"].bytes, 1100u);

    ScanRules everyLink;
    everyLink.countEveryLink = true;
    Scanned every = ScanWith(dir.Path(), everyLink, GetParam());
    EXPECT_EQ(every.root, (Figures{1300, 4, 2}));
    EXPECT_EQ(every.below["a"], (Figures{200, 2, 0}));
}

TEST_P(ScanRulesTest, HiddenEntriesAndExcludedNames) {
    TempDir dir;
    dir.MakeFolder(".cache");
    dir.MakeFolder(".cache/.inner");
    dir.MakeFile(".cache/.inner/data", 40);
    dir.MakeFile(".profile", 7);
    dir.MakeFolder("build");
    dir.MakeFile("build/out.o", 500);
    dir.MakeFile("notes.tmp", 30);
    dir.MakeFile("keep", 2);

    Scanned plain = ScanWith(dir.Path(), ScanRules{}, GetParam());
    EXPECT_EQ(plain.root, (Figures{7 + 500 + 30 + 2, 3, 1}));  // .profile counts by size only
    EXPECT_EQ(plain.below.count(".cache"), 0u);

    ScanRules hidden;
    hidden.includeHidden = true;
    hidden.excludes = {"*.tmp", "build"};
    Scanned all = ScanWith(dir.Path(), hidden, GetParam());
    EXPECT_EQ(all.root, (Figures{40 + 7 + 2, 3, 2}));
    EXPECT_EQ(all.below[".cache/.inner"], (Figures{40, 1, 0}));
    EXPECT_EQ(all.below.count("build"), 0u);  // not even listed
}

TEST_P(ScanRulesTest, FoldersOnAnotherFileSystemAreListedButNotEnteredWhenAsked) {
    TempDir dir;
    dir.MakeFolder("mounted");
    dir.MakeFile("here", 3);
    if (::mount("tmpfs", (dir / "mounted").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root); the -x case is not checked";
    TempDir* unmountFirst = &dir;  // unmounted before the folder is removed
    struct Unmount {
        TempDir* dir;
        ~Unmount() { ::umount2((*dir / "mounted").c_str(), MNT_DETACH); }
    } unmount{unmountFirst};
    dir.MakeFile("mounted/there", 5000);

    Scanned crossing = ScanWith(dir.Path(), ScanRules{}, GetParam());
    EXPECT_EQ(crossing.root, (Figures{5003, 2, 1}));
    EXPECT_EQ(crossing.images["mounted"], kFolderIcon);
    ScanRules oneFileSystem;
    oneFileSystem.oneFileSystem = true;
    Scanned staying = ScanWith(dir.Path(), oneFileSystem, GetParam());
    EXPECT_EQ(staying.root, (Figures{3, 1, 1}));
    EXPECT_EQ(staying.below["mounted"], (Figures{}));
    EXPECT_EQ(staying.images["mounted"], kMountPointIcon);  // not taken for an empty folder
    EXPECT_TRUE(staying.unreadable.empty());                // kept out on purpose, not a failure
}

// While it lives, this thread (and the threads it starts) reaches files as nobody: root
// gives up its right to read every folder.
struct FilesAsNobody {
    FilesAsNobody() : saved(::setfsuid(65534)) {}
    ~FilesAsNobody() { ::setfsuid(saved); }
    int saved;
};

TEST_P(ScanRulesTest, AFolderThatCannotBeReadIsNamedAndMarked) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    dir.MakeFolder("locked");
    dir.MakeFile("locked/inside", 9);
    ::chmod((dir / "locked").c_str(), 0);
    Scanned scanned;
    {
        FilesAsNobody nobody;
        scanned = ScanWith(dir.Path(), ScanRules{}, GetParam());
    }
    ::chmod((dir / "locked").c_str(), 0755);
    EXPECT_EQ(scanned.unreadable, std::vector<std::string>{dir / "locked"});
    EXPECT_EQ(scanned.images["locked"], kUnreadableFolderIcon);
    EXPECT_EQ(scanned.below["locked"], (Figures{}));
}

INSTANTIATE_TEST_SUITE_P(Readers, ScanRulesTest, ::testing::Values(1u, 4u), [](const auto& info) {
    return info.param == 1 ? "Sequential" : "ReadAhead";
});

}  // namespace
