// The scan over fake listings: labels, records, FILES entries, order, stop and rescans.
#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>

#include "FakeFolderSource.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace {

constexpr std::uint64_t kMiB = 1048576;
using Strings = std::vector<std::string>;

class ScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SizeUnit::Reset();
        StopRequested = false;
    }
    void TearDown() override { SetUp(); }

    void Scan(const std::string& root) {
        ScanContext context{source};
        FolderTree::ScanRoot(tree, root, context);
    }
    TreeItem Root() { return tree.GetChild(TreeItem::None); }
    TreeItem Child(TreeItem item, std::size_t index = 0) {
        TreeItem c = tree.GetChild(item);
        while (index-- > 0)
            c = tree.GetNextItem(c);
        return c;
    }
    std::string Text(TreeItem item) { return tree.Node(item)->Text(); }
    std::string Record(TreeItem item) {
        return tree.Record(item) ? RecordText(*tree.Record(item)) : "none";
    }
    Strings Labels(TreeItem item) {
        Strings labels;
        for (TreeItem c = tree.GetChild(item); c != TreeItem::None; c = tree.GetNextItem(c))
            labels.push_back(Text(c));
        return labels;
    }

    ItemStore tree;
    FakeFolderSource source;
};

TEST_F(ScanTest, FiguresLabelsRecordsAndFilesEntries) {
    FakeFolder& data = source.roots["/data"];
    FakeFolder& docs = data.Folder("docs");
    docs.File("a", kMiB).File("b", kMiB).File("c", kMiB).Folder("empty");
    data.Folder("gone").File("lost", kMiB);
    data.entries.back().folder->unreadable = true;  // vanished: counts as empty
    data.File(".profile", 2048);                    // bytes count, the file does not
    data.Folder(".cache").File("big", 50 * kMiB);   // never entered
    data.File("packed", 10 * kMiB, kMiB);           // compressed
    Scan("/data");

    TreeItem root = Root();
    EXPECT_EQ(Text(root), "/data   ( 4.00 M , Files : 4 , Folders : 3 )");
    EXPECT_EQ(Labels(root),
              (Strings{"docs   ( 3.00 M , Files : 3 , Folders : 1 )", "FILES   ( 1.00 M ",
                       "gone   ( 0.00 M , Files : 0 , Folders : 0 )"}));
    TreeItem docsItem = Child(root);
    EXPECT_EQ(Labels(docsItem),
              (Strings{"FILES   ( 3.00 ) M ", "empty   ( 0.00 M , Files : 0 , Folders : 0 )"}));
    EXPECT_EQ(Labels(Child(root, 2)), Strings{"FILES   ( 0.00 ) M "});

    EXPECT_EQ(Record(root), "/data|/data|4196352|1048576|3|4");
    EXPECT_EQ(Record(Child(root, 1)), "/data|FILES|1048576|1048576|0|1|F");
    EXPECT_EQ(Record(docsItem), "/data/docs|docs|3145728|3145728|1|3");
    EXPECT_EQ(tree.Selection(), root);
    EXPECT_EQ(source.enterCount, source.leaveCount);
}

TEST_F(ScanTest, ProgressNameOrderWhileScanningThenSizeOrderAndAKeptSelection) {
    FakeFolder& data = source.roots["/d"];
    data.Folder("beta").File("f", kMiB);
    data.Folder("Alpha");
    FakeFolder& gamma = data.Folder("gamma");
    gamma.Folder("x").File("f", kMiB);
    gamma.Folder("y");
    Strings atGamma;
    std::string rootAtGamma, gammaAtY;
    source.beforeList = [&](const std::string& path) {
        if (path == "/d/gamma") {
            atGamma = Labels(Root());
            rootAtGamma = Text(Root());
            tree.Select(Child(Root(), 2));  // the user clicks the folder being scanned
        }
        if (path == "/d/gamma/y")
            gammaAtY = Text(Child(Root(), 2));
    };
    Scan("/d");

    ASSERT_EQ(atGamma.size(), 3u);  // name order; gamma, still being scanned, has its bare name
    EXPECT_EQ(atGamma[0].substr(0, 5) + atGamma[1].substr(0, 4) + atGamma[2], "Alphabetagamma");
    EXPECT_EQ(rootAtGamma, "/d/   ( 1.00 M , Files : 1 , Folders : 2 )");
    EXPECT_EQ(gammaAtY, "/d/gamma/   ( 1.00 M , Files : 1 , Folders : 1 )");

    TreeItem root = Root();
    EXPECT_EQ(Text(root), "/d   ( 2.00 M , Files : 2 , Folders : 5 )");
    EXPECT_TRUE(tree.Node(root)->Expanded());
    Strings labels = Labels(root);
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0], "beta   ( 1.00 M , Files : 1 , Folders : 0 )");
    EXPECT_EQ(labels[1].substr(0, 5) + labels[2].substr(0, 5), "gammaAlpha");
    EXPECT_EQ(tree.Selection(), Child(root, 1));  // the selection inside the root is kept
}

TEST_F(ScanTest, RescanReusesTheRootAtItsPlaceWhateverRecordAStoppedScanLeftOnIt) {
    source.roots["/a"].Folder("old").File("f", 1);
    source.roots["/b"].File("g", 2);
    Scan("/a");
    TreeItem a = Root();
    tree.Select(Child(a));
    Scan("/b");
    EXPECT_EQ(tree.Selection(), tree.GetNextItem(a));  // the selection was outside /b

    for (const char* spelling : {"/a", "/a/"}) {
        source.roots[spelling] = FakeFolder();
        source.roots[spelling].Folder("new");
        source.roots[spelling].Folder("newer").File("f", 1);
    }
    Scan("/a");
    EXPECT_EQ(Root(), a);
    EXPECT_EQ(tree.Top().Children().Size(), 2u);
    const Strings labels = Labels(a);
    ASSERT_EQ(labels.size(), 3u);
    EXPECT_EQ(labels[1].substr(0, 3), "new");
    EXPECT_EQ(tree.Selection(), a);

    // Stopped before its first sub-folder finished (the placeholder stays), then after it
    // (a progress record whose path ends in "/"): each time the next request, spelt with or
    // without the "/", scans the same root again at its place.
    const std::pair<std::string, std::string> stops[] = {{"/a/new", "/a||0|0|0|0|P"},
                                                         {"/a/newer", "/a/|/a/|0|0|1|0"}};
    for (const auto& [stopAt, stoppedRecord] : stops) {
        source.beforeList = [stopAt = stopAt](const std::string& path) {
            if (path == stopAt)
                StopRequested = true;
        };
        Scan("/a");
        EXPECT_EQ(Record(a), stoppedRecord);
        source.beforeList = nullptr;
        StopRequested = false;
        Scan(stopAt == "/a/new" ? "/a" : "/a/");
        EXPECT_EQ(Root(), a) << stopAt;
        EXPECT_EQ(tree.Top().Children().Size(), 2u) << stopAt;
        EXPECT_EQ(Labels(a).size(), 3u) << stopAt;
        EXPECT_TRUE(tree.Record(a)->complete) << stopAt;
    }
}

TEST_F(ScanTest, StopLeavesInterruptedItemsWithoutRecordsAndTheRootWithoutFilesEntry) {
    FakeFolder& data = source.roots["/s"];
    data.Folder("done").File("a", kMiB);
    data.Folder("deep").Folder("inner").File("b", kMiB);
    data.Folder("later");
    source.beforeList = [](const std::string& path) {
        if (path == "/s/deep/inner")
            StopRequested = true;
    };
    Scan("/s");
    TreeItem root = Root();
    EXPECT_EQ(Text(root), "/s/   ( 1.00 M , Files : 1 , Folders : 1 )");
    EXPECT_EQ(Record(root), "/s/|/s/|1048576|0|1|1");  // the progress figures
    Strings labels = Labels(root);
    ASSERT_EQ(labels.size(), 2u);  // no "later", no FILES entry
    EXPECT_EQ(labels[0], "deep");
    EXPECT_EQ(Record(Child(root)), "none");
    EXPECT_EQ(Text(Child(Child(root))) + Record(Child(Child(root))), "innernone");
    EXPECT_EQ(tree.Selection(), TreeItem::None);
}

TEST_F(ScanTest, RelabelTurnsFilesEntriesIntoTheFolderFormatAndSkipsItemsWithoutRecords) {
    source.roots["/t"].Folder("sub").File("f", 524288);
    Scan("/t");
    TreeItem root = Root();
    TreeItem bare = tree.InsertItem("interrupted", kFolderIcon, root, InsertAt::Last);
    TreeItem placeholder = tree.InsertItem("/p", kFolderIcon, TreeItem::None, InsertAt::Last);
    tree.SetItemData(placeholder, FolderRecord::Placeholder("/p"));

    SizeUnit::Toggle();
    FolderTree::Relabel(tree, TreeItem::None);
    EXPECT_EQ(Text(root), "/t   ( 512.00 K , Files : 1 , Folders : 1 )");
    TreeItem sub = Child(root);
    EXPECT_EQ(Text(sub), "sub   ( 512.00 K , Files : 1 , Folders : 0 )");
    EXPECT_EQ(Labels(sub), Strings{"FILES   ( 512.00 K , Files : 1 , Folders : 0 )"});
    EXPECT_EQ(Text(bare), "interrupted");
    EXPECT_EQ(Text(placeholder), "   ( 0.00 K , Files : 0 , Folders : 0 )");

    SizeUnit::Toggle();
    FolderTree::Relabel(tree, TreeItem::None);
    EXPECT_EQ(Text(sub), "sub   ( 0.50 M , Files : 1 , Folders : 0 )");
}

// Runs body on a thread whose stack is far too small for a walk that recurses once per
// level: a recursion 30,000 levels deep needs megabytes, this thread has 512 KiB.
void OnSmallStack(std::function<void()> body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, 512 * 1024), 0);
    pthread_t thread;
    auto run = [](void* argument) -> void* {
        (*static_cast<std::function<void()>*>(argument))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, run, &body), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST_F(ScanTest, ChainDeeperThanTheStackScansRelabelsReadsItsPathsAndIsFreed) {
    constexpr int kDepth = 30000;
    FakeFolder* level = &source.roots["/c"];
    for (int i = 0; i < kDepth; ++i)
        level = &level->Folder("d");
    level->File("f", 3);
    OnSmallStack([&] {
        ItemStore chain;
        ScanContext context{source};
        FolderTree::ScanRoot(chain, "/c", context);
        TreeItem root = chain.GetChild(TreeItem::None);
        ASSERT_EQ(RecordText(*chain.Record(root)), "/c|/c|3|0|30000|1");
        TreeItem deepest = root;
        for (int i = 0; i < kDepth; ++i)
            deepest = chain.GetChild(deepest);
        std::string path = "/c";
        for (int i = 0; i < kDepth; ++i)
            path += "/d";
        EXPECT_EQ(RecordText(*chain.Record(deepest)), path + "|d|3|3|0|1");
        EXPECT_EQ(chain.Record(chain.GetChild(deepest))->path, path);  // its FILES entry

        SizeUnit::Toggle();
        FolderTree::Relabel(chain, TreeItem::None);
        EXPECT_EQ(chain.Node(deepest)->Text(), "d   ( 0.00 K , Files : 1 , Folders : 0 )");
        chain.ClearSubtreeData(root);
        EXPECT_FALSE(chain.Record(deepest));
        FolderTree::ScanRoot(chain, "/c", context);  // a rescan removes the old chain first
        EXPECT_EQ(chain.ItemCount(), 2u * (kDepth + 1));
        chain.DeleteItem(chain.GetChild(chain.GetChild(TreeItem::None)));
        EXPECT_EQ(chain.ItemCount(), 2u);
        FolderTree::ScanRoot(chain, "/c", context);  // left for the store to free
    });
}

TEST_F(ScanTest, SumsStopAtTheLargestValueInsteadOfWrappingAround) {
    constexpr std::uint64_t kHalf = (std::uint64_t{1} << 63) - 1;
    FakeFolder& data = source.roots["/s"];
    data.Folder("two").File("a", kHalf).File("b", kHalf);
    data.File("c", kHalf);
    Scan("/s");
    std::optional<FolderRecord> root = tree.Record(Root());
    std::optional<FolderRecord> two = tree.Record(Child(Root()));
    ASSERT_TRUE(root && two);
    EXPECT_EQ(two->totalBytes, 2 * kHalf);
    EXPECT_EQ(root->totalBytes, ~std::uint64_t{0});
    EXPECT_EQ(root->filesBytes, kHalf);
    EXPECT_EQ(SaturatingAdd(std::int32_t{2147483600}, 100), 2147483647);
    EXPECT_EQ(SaturatingAdd(std::int32_t{7}, 100), 107);
}

}  // namespace
