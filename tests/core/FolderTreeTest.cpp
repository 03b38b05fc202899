// The scan over fake listings: labels, records, FILES entries, order, stop and rescans.
#include <gtest/gtest.h>

#include "FakeFolderSource.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "ui/ItemStore.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;

class ScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SizeUnit::Reset();
        StopRequested = false;
    }
    void TearDown() override {
        SizeUnit::Reset();
        StopRequested = false;
    }

    void Scan(const std::string& root) {
        ScanContext context{source};
        FolderTree::ScanRoot(tree, root, context);
    }
    // The labels of item's children, in tree order.
    std::vector<std::string> Labels(TreeItem item) {
        std::vector<std::string> labels;
        for (TreeItem c = tree.GetChild(item); c != TreeItem::None; c = tree.GetNextItem(c)) {
            labels.push_back(tree.Node(c)->text);
        }
        return labels;
    }
    TreeItem Child(TreeItem item, std::size_t index) {
        TreeItem c = tree.GetChild(item);
        while (index-- > 0)
            c = tree.GetNextItem(c);
        return c;
    }

    ItemStore tree;
    FakeFolderSource source;
};

TEST(LabelFormat, FolderSuffixAndFilesEntriesInBothUnits) {
    SizeUnit::Reset();
    EXPECT_EQ(FolderTree::FolderLabelSuffix(1294536704, 876, 43),
              "   ( 1234.57 M , Files : 876 , Folders : 43 )");
    EXPECT_EQ(FolderTree::FolderLabelSuffix(0, 0, 0), "   ( 0.00 M , Files : 0 , Folders : 0 )");
    EXPECT_EQ(FolderTree::FilesEntryLabel(3670016, false), "FILES   ( 3.50 ) M ");
    EXPECT_EQ(FolderTree::FilesEntryLabel(3670016, true), "FILES   ( 3.50 M ");
    EXPECT_EQ(FolderTree::FolderLabelSuffix(524288, 1, 0),
              "   ( 0.50 M , Files : 1 , Folders : 0 )");
    EXPECT_EQ(FolderTree::FolderLabelSuffix(1536, 1, 0), "   ( 0.00 M , Files : 1 , Folders : 0 )");
    SizeUnit::Toggle();
    EXPECT_EQ(FolderTree::FolderLabelSuffix(524288, 1, 0),
              "   ( 512.00 K , Files : 1 , Folders : 0 )");
    EXPECT_EQ(FolderTree::FolderLabelSuffix(1536, 1, 0), "   ( 1.50 K , Files : 1 , Folders : 0 )");
    EXPECT_EQ(FolderTree::FilesEntryLabel(0, false), "FILES   ( 0.00 ) K ");
    SizeUnit::Reset();
}

TEST(LabelFormat, WorkingPathAddsOneSlash) {
    EXPECT_EQ(FolderTree::WorkingPath("/data"), "/data/");
    EXPECT_EQ(FolderTree::WorkingPath("/data/"), "/data/");
    EXPECT_EQ(FolderTree::WorkingPath("/"), "/");
}

TEST(CompareBySize, LargerFirstAsUnsignedAndMissingRecordsAsZero) {
    FolderRecord small, huge, same;
    small.totalBytes = 5;
    huge.totalBytes = (std::uint64_t{1} << 63) + 10;  // negative if read as signed
    same.totalBytes = 5;
    EXPECT_EQ(FolderTree::CompareBySize(&small, &huge, 0), 1);
    EXPECT_EQ(FolderTree::CompareBySize(&huge, &small, 0), -1);
    EXPECT_EQ(FolderTree::CompareBySize(&small, &same, 99), 0);
    EXPECT_EQ(FolderTree::CompareBySize(nullptr, &small, 0), 1);
    EXPECT_EQ(FolderTree::CompareBySize(nullptr, nullptr, 0), 0);
}

TEST_F(ScanTest, ThreeFilesAndAnEmptyFolderGiveFigures_FilesEntryFirst) {
    FakeFolder& data = source.roots["/data"];
    FakeFolder& docs = data.Folder("docs");
    docs.File("a", kMiB).File("b", kMiB).File("c", kMiB);
    docs.Folder("empty");
    Scan("/data");

    TreeItem root = tree.GetChild(TreeItem::None);
    EXPECT_EQ(tree.Node(root)->text, "/data   ( 3.00 M , Files : 3 , Folders : 2 )");
    EXPECT_EQ(Labels(root), (std::vector<std::string>{"docs   ( 3.00 M , Files : 3 , Folders : 1 )",
                                                      "FILES   ( 0.00 M "}));
    TreeItem docsItem = Child(root, 0);
    EXPECT_EQ(Labels(docsItem),
              (std::vector<std::string>{"FILES   ( 3.00 ) M ",
                                        "empty   ( 0.00 M , Files : 0 , Folders : 0 )"}));
    EXPECT_EQ(Labels(Child(docsItem, 1)), std::vector<std::string>{"FILES   ( 0.00 ) M "});

    const FolderRecord* docsRecord = tree.Record(docsItem);
    ASSERT_NE(docsRecord, nullptr);
    EXPECT_EQ(docsRecord->path, "/data/docs");
    EXPECT_EQ(docsRecord->name, "docs");
    EXPECT_EQ(docsRecord->totalBytes, 3 * kMiB);
    EXPECT_EQ(docsRecord->filesBytes, 3 * kMiB);
    EXPECT_EQ(docsRecord->fileCount, 3);
    EXPECT_EQ(docsRecord->folderCount, 1);
    EXPECT_TRUE(docsRecord->complete);
    EXPECT_FALSE(docsRecord->isFilesEntry);

    const FolderRecord* files = tree.Record(Child(docsItem, 0));
    ASSERT_NE(files, nullptr);
    EXPECT_TRUE(files->isFilesEntry);
    EXPECT_EQ(files->path, "/data/docs");
    EXPECT_EQ(files->name, "FILES");
    EXPECT_EQ(files->totalBytes, 3 * kMiB);
    EXPECT_EQ(files->fileCount, 3);
    EXPECT_EQ(files->folderCount, 0);

    const FolderRecord* rootRecord = tree.Record(root);
    EXPECT_EQ(rootRecord->path, "/data");
    EXPECT_EQ(rootRecord->name, "/data");
    EXPECT_EQ(tree.Selection(), root);
    EXPECT_EQ(source.enterCount, source.leaveCount);
}

TEST_F(ScanTest, DotEntriesAddBytesButAreNeitherCountedNorEntered) {
    FakeFolder& home = source.roots["/home/u"];
    home.File(".profile", 2048).File("notes", 1024);
    home.Folder(".cache").File("big", 50 * kMiB);
    Scan("/home/u");

    TreeItem root = tree.GetChild(TreeItem::None);
    const FolderRecord* record = tree.Record(root);
    EXPECT_EQ(record->totalBytes, 3072u);  // .cache is not entered: its file is not seen
    EXPECT_EQ(record->fileCount, 1);
    EXPECT_EQ(record->filesBytes, 1024u);
    EXPECT_EQ(record->folderCount, 0);
    EXPECT_EQ(Labels(root), std::vector<std::string>{"FILES   ( 0.00 M "});
}

TEST_F(ScanTest, CompressedFilesCountTheirSizeOnDisk) {
    source.roots["/c"].CompressedFile("packed", 10485760, 4194304).File("plain", 100);
    Scan("/c");
    EXPECT_EQ(tree.Record(tree.GetChild(TreeItem::None))->totalBytes, 4194304u + 100u);
}

TEST_F(ScanTest, ProgressLabelsUseTheWorkingPathAndTheFinalLabelThePath) {
    FakeFolder& data = source.roots["/data"];
    data.Folder("one").File("x", kMiB);
    data.Folder("two").File("y", 2 * kMiB);
    std::vector<std::string> rootLabels;
    source.beforeList = [&](const std::string& path) {
        if (path == "/data/two")
            rootLabels.push_back(tree.Node(tree.GetChild(TreeItem::None))->text);
    };
    Scan("/data");
    ASSERT_EQ(rootLabels.size(), 1u);
    EXPECT_EQ(rootLabels[0], "/data/   ( 1.00 M , Files : 1 , Folders : 1 )");
    TreeItem root = tree.GetChild(TreeItem::None);
    EXPECT_EQ(tree.Node(root)->text, "/data   ( 3.00 M , Files : 2 , Folders : 2 )");
    EXPECT_TRUE(tree.Node(root)->expanded);
    EXPECT_EQ(tree.Node(Child(root, 0))->text, "two   ( 2.00 M , Files : 1 , Folders : 0 )");
}

TEST_F(ScanTest, SubFoldersAppearSortedByNameWhileTheScanRuns) {
    FakeFolder& data = source.roots["/d"];
    data.Folder("beta");
    data.Folder("Alpha");
    data.Folder("gamma");
    std::vector<std::string> seen;
    source.beforeList = [&](const std::string& path) {
        if (path == "/d/gamma")
            seen = Labels(tree.GetChild(TreeItem::None));
    };
    Scan("/d");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].substr(0, 5), "Alpha");
    EXPECT_EQ(seen[1].substr(0, 4), "beta");
    EXPECT_EQ(seen[2], "gamma");  // still being scanned: its bare name
}

TEST_F(ScanTest, UnreadableOrVanishedFolderCountsAsEmpty) {
    FakeFolder& data = source.roots["/v"];
    data.Folder("gone").File("lost", kMiB);
    data.entries.back().folder->unreadable = true;
    data.File("kept", 10);
    Scan("/v");
    TreeItem root = tree.GetChild(TreeItem::None);
    EXPECT_EQ(tree.Record(root)->totalBytes, 10u);
    TreeItem gone = Child(root, 1);
    EXPECT_EQ(tree.Node(gone)->text, "gone   ( 0.00 M , Files : 0 , Folders : 0 )");
    EXPECT_EQ(Labels(gone), std::vector<std::string>{"FILES   ( 0.00 ) M "});

    source.roots.clear();  // a starting folder that cannot be listed at all
    Scan("/missing");
    TreeItem missing = tree.GetNextItem(root);
    EXPECT_EQ(tree.Node(missing)->text, "/missing   ( 0.00 M , Files : 0 , Folders : 0 )");
}

TEST_F(ScanTest, RescanReusesTheRootAtItsPlace) {
    source.roots["/a"].Folder("old").File("f", 1);
    source.roots["/b"].File("g", 2);
    Scan("/a");
    Scan("/b");
    TreeItem a = tree.GetChild(TreeItem::None);
    source.roots["/a"] = FakeFolder();
    source.roots["/a"].Folder("new");
    Scan("/a");
    EXPECT_EQ(tree.GetChild(TreeItem::None), a);
    EXPECT_EQ(tree.Node(a)->row, 0u);
    std::vector<std::string> labels = Labels(a);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].substr(0, 3), "new");
    EXPECT_EQ(tree.Top().children.size(), 2u);
}

TEST_F(ScanTest, RequestForARootStillHoldingItsPlaceholderIsDropped) {
    source.roots["/p"].Folder("sub").File("f", 5);
    TreeItem root = tree.InsertItem("/p", kFolderIcon, TreeItem::None, InsertAt::Last);
    tree.SetItemData(root, FolderRecord::Placeholder("/p"));
    Scan("/p");
    EXPECT_EQ(tree.Node(root)->text, "/p");
    EXPECT_TRUE(tree.Node(root)->children.empty());
    EXPECT_EQ(source.enterCount, 0);
}

TEST_F(ScanTest, StopLeavesInterruptedItemsWithoutRecordsAndTheRootWithoutFilesEntry) {
    FakeFolder& data = source.roots["/s"];
    data.Folder("done").File("a", kMiB);
    FakeFolder& deep = data.Folder("deep");
    deep.Folder("inner").File("b", kMiB);
    data.Folder("later");
    source.beforeList = [](const std::string& path) {
        if (path == "/s/deep/inner")
            StopRequested = true;
    };
    Scan("/s");
    TreeItem root = tree.GetChild(TreeItem::None);
    EXPECT_EQ(tree.Node(root)->text, "/s/   ( 1.00 M , Files : 1 , Folders : 1 )");
    const FolderRecord* progress = tree.Record(root);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->name, "/s/");
    std::vector<std::string> labels = Labels(root);
    ASSERT_EQ(labels.size(), 2u);  // no "later", no FILES entry
    EXPECT_EQ(labels[0], "deep");
    EXPECT_EQ(tree.Record(Child(root, 0)), nullptr);
    EXPECT_EQ(tree.Node(Child(Child(root, 0), 0))->text, "inner");
    EXPECT_EQ(tree.Record(Child(Child(root, 0), 0)), nullptr);
    EXPECT_EQ(tree.Selection(), TreeItem::None);
}

TEST_F(ScanTest, SelectionInsideTheRootIsKeptOtherwiseTheRootIsSelected) {
    source.roots["/r"].Folder("sub").Folder("leaf");
    source.roots["/other"].File("x", 1);
    Scan("/r");
    TreeItem root = tree.GetChild(TreeItem::None);
    tree.Select(Child(Child(root, 0), 0));
    Scan("/other");
    EXPECT_EQ(tree.Selection(), tree.GetNextItem(root));  // the selection was outside

    TreeItem chosen = TreeItem::None;
    source.beforeList = [&](const std::string& path) {  // the user clicks while /r is scanned
        if (path == "/r/sub/leaf") {
            chosen = tree.GetChild(tree.GetChild(root));
            tree.Select(chosen);
        }
    };
    Scan("/r");
    ASSERT_NE(chosen, TreeItem::None);
    EXPECT_EQ(tree.Selection(), chosen);
}

TEST_F(ScanTest, SelectedFolderShowsProgressWhileItIsScanned) {
    FakeFolder& data = source.roots["/q"];
    FakeFolder& sub = data.Folder("sub");
    sub.Folder("x").File("f", kMiB);
    sub.Folder("y");
    std::string subLabelDuringY;
    source.beforeList = [&](const std::string& path) {
        TreeItem root = tree.GetChild(TreeItem::None);
        if (path == "/q/sub/x")
            tree.Select(tree.GetChild(root));
        if (path == "/q/sub/y")
            subLabelDuringY = tree.Node(tree.GetChild(root))->text;
    };
    Scan("/q");
    EXPECT_EQ(subLabelDuringY, "/q/sub/   ( 1.00 M , Files : 1 , Folders : 1 )");
}

TEST_F(ScanTest, RelabelTurnsFilesEntriesIntoTheFolderFormatAndSkipsItemsWithoutRecords) {
    source.roots["/t"].Folder("sub").File("f", 524288);
    Scan("/t");
    TreeItem root = tree.GetChild(TreeItem::None);
    TreeItem bare = tree.InsertItem("interrupted", kFolderIcon, root, InsertAt::Last);
    TreeItem placeholder = tree.InsertItem("/p", kFolderIcon, TreeItem::None, InsertAt::Last);
    tree.SetItemData(placeholder, FolderRecord::Placeholder("/p"));

    SizeUnit::Toggle();
    FolderTree::Relabel(tree, TreeItem::None);
    EXPECT_EQ(tree.Node(root)->text, "/t   ( 512.00 K , Files : 1 , Folders : 1 )");
    TreeItem sub = Child(root, 0);
    EXPECT_EQ(tree.Node(sub)->text, "sub   ( 512.00 K , Files : 1 , Folders : 0 )");
    EXPECT_EQ(Labels(sub),
              std::vector<std::string>{"FILES   ( 512.00 K , Files : 1 , Folders : 0 )"});
    EXPECT_EQ(tree.Node(bare)->text, "interrupted");
    EXPECT_EQ(tree.Node(placeholder)->text, "   ( 0.00 K , Files : 0 , Folders : 0 )");

    SizeUnit::Toggle();
    FolderTree::Relabel(tree, TreeItem::None);
    EXPECT_EQ(tree.Node(sub)->text, "sub   ( 0.50 M , Files : 1 , Folders : 0 )");
}

}  // namespace
