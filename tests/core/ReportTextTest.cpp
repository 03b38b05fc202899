// The text report: header, rule, aligned child lines and asterisk bars.
#include <gtest/gtest.h>

#include <sstream>

#include "report/ReportText.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace {

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override { SizeUnit::Reset(); }
    void TearDown() override { SizeUnit::Reset(); }

    TreeItem Folder(const std::string& path, std::uint64_t bytes, std::int32_t folders,
                    std::int32_t files) {
        TreeItem item = store.InsertItem(path, 0, TreeItem::None, InsertAt::Last);
        store.SetItemData(item, FolderRecord::Full(path, path, bytes, 0, folders, files, false));
        return item;
    }
    TreeItem Child(TreeItem parent, const std::string& name, std::uint64_t bytes) {
        TreeItem item = store.InsertItem(name, 0, parent, InsertAt::Last);
        store.SetItemData(item, FolderRecord::Full("/x/" + name, name, bytes, 0, 0, 0, false));
        return item;
    }
    std::string Report() {
        std::ostringstream out;
        ReportText::WriteReport(store, out);
        return out.str();
    }

    ItemStore store;
    const std::string rule = std::string(88, '-') + "\n";
};

TEST_F(ReportTest, TheWorkedExampleWithALinuxPath) {
    TreeItem data = Folder("/data", 1310720, 1, 9);
    Child(data, "Photos", 1048576);
    Child(data, "FILES", 262144);
    store.Select(data);
    EXPECT_EQ(Report(), "/data   ( 1.25 M , Folders : 1 , Files : 9 ) \n" + rule +
                            "Photos ( 1.00 M ) |******************************\n"
                            "FILES  ( 0.25 M ) |*******\n");
    SizeUnit::Toggle();
    EXPECT_EQ(Report(), "/data   ( 1280.00 K , Folders : 1 , Files : 9 ) \n" + rule +
                            "Photos ( 1024.00 K ) |******************************\n"
                            "FILES   ( 256.00 K ) |*******\n");
}

TEST_F(ReportTest, BarsTruncateNamesAreLiteralAndColumnsCountCharactersUpToFifty) {
    TreeItem root = Folder("/100%d/%s", 1294536704, 0, 0);  // 1234.567 M
    Child(root, "full", 1000);
    Child(root, "half", 500);
    Child(root, "tiny", 32);  // 1/31.25 of the largest: 0.96 of a star
    Child(root, std::string(60, 'n'), 10);
    Child(root, "\xc3\xa9t\xc3\xa9", 10);  // été: three characters, five bytes
    Child(root, "a\xff\xe0\x80\xaf", 10);  // invalid bytes and an overlong form: one each
    Child(root, "50%n%%", 1);
    Child(root, "line\nbreak", 1);
    store.InsertItem("no record", 0, root, InsertAt::Last);
    store.Select(root);
    // A child's text is its name and " ( 0.00 M ) ", 12 characters; the column is 50 wide.
    auto line = [](const std::string& name, std::size_t fill, std::size_t stars) {
        return name + std::string(fill, ' ') + " ( 0.00 M ) |" + std::string(stars, '*') + "\n";
    };
    EXPECT_EQ(Report(), "/100%d/%s   ( 1234.57 M , Folders : 0 , Files : 0 ) \n" + rule +
                            line("full", 34, 30) + line("half", 34, 15) + line("tiny", 34, 0) +
                            line(std::string(60, 'n'), 0, 0) + line("\xc3\xa9t\xc3\xa9", 35, 0) +
                            line("a\xff\xe0\x80\xaf", 33, 0) + line("50%n%%", 32, 0) +
                            line("line\nbreak", 28, 0));
}

TEST_F(ReportTest, NothingForNoRecordNoStarsForAllEmptyAndHeaderOnlyWithoutChildren) {
    TreeItem root = Folder("/r", 0, 2, 0);
    EXPECT_EQ(Report(), "");  // nothing selected
    store.Select(store.InsertItem("bare", 0, TreeItem::None, InsertAt::Last));
    EXPECT_EQ(Report(), "");  // an item without a record
    Child(root, "a", 0);
    Child(root, "b", 0);
    store.Select(root);
    EXPECT_EQ(Report(), "/r   ( 0.00 M , Folders : 2 , Files : 0 ) \n" + rule +
                            "a ( 0.00 M ) |\nb ( 0.00 M ) |\n");  // all empty: no stars
    TreeItem files = store.InsertItem("FILES", 0, root, InsertAt::Last);
    store.SetItemData(files, FolderRecord::Full("/r", "FILES", 3145728, 3145728, 0, 4, true));
    store.Select(files);
    EXPECT_EQ(Report(), "/r   ( 3.00 M , Folders : 0 , Files : 4 ) \n" + rule);
}

}  // namespace
