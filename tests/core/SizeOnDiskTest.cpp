// Sizes on disk beside apparent sizes: what the scan adds up, what a switch of the measure
// shows, and brimwell-report --disk-usage against du.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "FakeFolderSource.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "report/ReportText.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"
#include "tree/SizeMeasure.h"

namespace {

using Strings = std::vector<std::string>;

class SizeOnDiskScan : public ::testing::Test {
  protected:
    void SetUp() override {
        SizeUnit::Reset();
        SizeMeasure::SetOnDisk(false);
    }
    void TearDown() override { SetUp(); }

    Strings Labels(TreeItem item) {
        Strings labels;
        for (TreeItem c = tree.GetChild(item); c != TreeItem::None; c = tree.GetNextItem(c))
            labels.push_back(tree.Node(c)->Text());
        return labels;
    }

    ItemStore tree;
    FakeFolderSource source;
};

TEST_F(SizeOnDiskScan, BothFiguresAreKeptAndASwitchRelabelsAndReordersWithoutARescan) {
    FakeFolder& root = source.roots["/r"];
    root.ownBlocks = 4096;
    root.Folder("sparse").Allocated("image", 10 << 20, 0);  // holes only
    FakeFolder& small = root.Folder("small");
    small.ownBlocks = 4096;
    small.Allocated("a", 100, 4096).Allocated("b", 100, 4096).Allocated("c", 100, 4096);
    root.Allocated("top", 1000, 4096).Allocated(".hidden", 10, 8192);  // counted by size
    ScanContext context{source};
    FolderTree::ScanRoot(tree, "/r", context);
    SizeUnit::Toggle();  // kilobytes: the small figures stay readable
    FolderTree::Relabel(tree, TreeItem::None);

    TreeItem rootItem = tree.GetChild(TreeItem::None);
    std::optional<FolderRecord> record = tree.Record(rootItem);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->totalBytes, (10u << 20) + 300 + 1000 + 10);
    EXPECT_EQ(record->diskBytes, 4096 + 4096 + 3 * 4096 + 4096 + 8192);
    EXPECT_EQ(tree.Node(rootItem)->Text(), "/r   ( 10241.28 K , Files : 5 , Folders : 2 )");
    EXPECT_EQ(Labels(rootItem), (Strings{"sparse   ( 10240.00 K , Files : 1 , Folders : 0 )",
                                         "FILES   ( 0.98 K , Files : 1 , Folders : 0 )",
                                         "small   ( 0.29 K , Files : 3 , Folders : 0 )"}));

    SizeMeasure::SetOnDisk(true);
    FolderTree::Relabel(tree, TreeItem::None);
    FolderTree::SortAllBySize(tree, TreeItem::None);
    EXPECT_EQ(tree.Node(rootItem)->Text(), "/r   ( 32.00 K , Files : 5 , Folders : 2 )");
    EXPECT_EQ(Labels(rootItem), (Strings{"small   ( 16.00 K , Files : 3 , Folders : 0 )",
                                         "FILES   ( 4.00 K , Files : 1 , Folders : 0 )",
                                         "sparse   ( 0.00 K , Files : 1 , Folders : 0 )"}));
    tree.Select(rootItem);
    EXPECT_EQ(ReportText::HeaderText(*tree.Record(rootItem)),
              "/r   ( 32.00 K , Folders : 2 , Files : 5 ) ");
}

// du's figure for a folder, in bytes.
std::uint64_t DuBytes(const std::string& folder) {
    ToolRun du = RunProgram("du", "-s -B1 " + Quote(folder));
    return std::stoull(du.out);
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(SizeOnDiskTool, DiskUsageIsWhatDuCountsAndTravelsThroughScanFiles) {
    TempDir dir;
    dir.MakeFolder("sub");
    dir.MakeFile("sub/real", 100000);
    int fd = ::open((dir / "sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 10 << 20), 0);
    ::close(fd);
    const std::string folder = Quote(dir.Path());
    const std::string bytes = FormatSize(DuBytes(dir.Path()), 1024.0);

    ToolRun disk = RunProgram(BRIMWELL_REPORT_PATH, "-k --disk-usage " + folder);
    EXPECT_EQ(FirstLine(disk.out),
              dir.Path() + "   ( " + bytes + " K , Folders : 1 , Files : 2 ) ");
    ToolRun apparent = RunProgram(BRIMWELL_REPORT_PATH, "-k " + folder);
    EXPECT_EQ(FirstLine(apparent.out), dir.Path() + "   ( 10337.66 K , Folders : 1 , Files : 2 ) ");

    TempDir out;
    ASSERT_EQ(
        RunProgram(BRIMWELL_REPORT_PATH, "-o " + Quote(out / "scan.json") + " " + folder).status,
        0);
    ToolRun fromFile =
        RunProgram(BRIMWELL_REPORT_PATH, "-k --disk-usage -f " + Quote(out / "scan.json"));
    EXPECT_EQ(fromFile.out, disk.out);
    // Shards grafted again: each folder's own blocks count once, though a folder cut into
    // shards is in every shard's file.
    for (const char* shard : {"0/2", "1/2"}) {
        ASSERT_EQ(RunProgram(BRIMWELL_REPORT_PATH, std::string("--shard ") + shard + " -o " +
                                                       Quote(out / "shard-%k.json") + " " + folder)
                      .status,
                  0);
    }
    ToolRun grafted =
        RunProgram(BRIMWELL_REPORT_PATH, "-k --disk-usage -f " + Quote(out / "shard-0.json") + " " +
                                             Quote(out / "shard-1.json"));
    EXPECT_EQ(grafted.out, disk.out) << grafted.err;

    // The largest file by its length is the sparse one; on disk it is the real one.
    EXPECT_EQ(RunProgram(BRIMWELL_REPORT_PATH, "--largest 1 " + folder).out,
              "10.00 M\t" + dir / "sparse\n");
    EXPECT_EQ(RunProgram(BRIMWELL_REPORT_PATH, "--largest 1 -k --disk-usage " + folder).out,
              FormatSize(DuBytes(dir / "sub/real"), 1024.0) + " K\t" + dir / "sub/real\n");
}

}  // namespace
