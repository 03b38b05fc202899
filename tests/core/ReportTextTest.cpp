// The text report: header, rule, aligned child lines and asterisk bars.
#include <gtest/gtest.h>

#include <sstream>

#include "report/ReportText.h"
#include "scan/SizeUnit.h"
#include "ui/ItemStore.h"

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

TEST_F(ReportTest, BarsScaleToTheLargestChildAndTruncate) {
    TreeItem root = Folder("/r", 0, 0, 0);
    Child(root, "half", 500);
    Child(root, "full", 1000);
    Child(root, "tiny", 32);  // 1/31.25 of the largest: 0.96 of a star
    store.InsertItem("no record", 0, root, InsertAt::Last);
    store.Select(root);
    std::string report = Report();
    EXPECT_NE(report.find("half ( 0.00 M ) |" + std::string(15, '*') + "\n"), std::string::npos);
    EXPECT_NE(report.find("full ( 0.00 M ) |" + std::string(30, '*') + "\n"), std::string::npos);
    EXPECT_NE(report.find("tiny ( 0.00 M ) |\n"), std::string::npos);
    EXPECT_EQ(report.find("no record"), std::string::npos);
}

TEST_F(ReportTest, AllEmptyChildrenGetNoStars) {
    TreeItem root = Folder("/r", 0, 2, 0);
    Child(root, "a", 0);
    Child(root, "b", 0);
    store.Select(root);
    EXPECT_EQ(Report(), "/r   ( 0.00 M , Folders : 2 , Files : 0 ) \n" + rule +
                            "a ( 0.00 M ) |\nb ( 0.00 M ) |\n");
}

TEST_F(ReportTest, NameColumnIsCappedAtFiftyCharacters) {
    TreeItem root = Folder("/r", 0, 0, 0);
    std::string longName(60, 'n');
    Child(root, longName, 10);
    Child(root, "short", 10);
    store.Select(root);
    std::string report = Report();
    // "short ( 0.00 M ) " is 17 characters: 33 blanks bring it to the 50-character column.
    EXPECT_NE(report.find("short" + std::string(33, ' ') + " ( 0.00 M ) |"), std::string::npos);
    EXPECT_NE(report.find(longName + " ( 0.00 M ) |"), std::string::npos);
}

TEST_F(ReportTest, ColumnsCountUtf8CharactersAndInvalidBytesOneEach) {
    EXPECT_EQ(ReportText::Utf8Length("abc"), 3u);
    EXPECT_EQ(ReportText::Utf8Length("\xc3\xa9t\xc3\xa9"), 3u);         // été
    EXPECT_EQ(ReportText::Utf8Length("\xe6\x97\xa5\xe6\x9c\xac"), 2u);  // 日本
    EXPECT_EQ(ReportText::Utf8Length("\xf0\x9f\x98\x80"), 1u);          // one emoji
    EXPECT_EQ(ReportText::Utf8Length("a\xff\xfe"), 3u);
    EXPECT_EQ(ReportText::Utf8Length("\xc3"), 1u);          // truncated sequence
    EXPECT_EQ(ReportText::Utf8Length("\xe0\x80\xaf"), 3u);  // overlong form
    EXPECT_EQ(ReportText::Utf8Length("\xed\xa0\x80"), 3u);  // surrogate

    TreeItem root = Folder("/r", 0, 0, 0);
    Child(root, "\xc3\xa9t\xc3\xa9", 10);
    Child(root, "abcd", 10);
    store.Select(root);
    std::string report = Report();
    EXPECT_NE(report.find("\xc3\xa9t\xc3\xa9  ( 0.00 M ) |"),
              std::string::npos);  // one blank of fill
    EXPECT_NE(report.find("abcd ( 0.00 M ) |"), std::string::npos);
}

TEST_F(ReportTest, NamesAndPathsAreWrittenLiterally) {
    TreeItem root = Folder("/100%d/%s", 0, 0, 0);
    Child(root, "50%n%%", 1);
    Child(root, "line\nbreak", 1);
    store.Select(root);
    std::string report = Report();
    EXPECT_EQ(report.rfind("/100%d/%s   ( ", 0), 0u);
    EXPECT_NE(report.find("50%n%%"), std::string::npos);
    EXPECT_NE(report.find("line\nbreak"), std::string::npos);
}

TEST_F(ReportTest, NothingSelectedWritesNothingAndAChildlessItemOnlyTheHeader) {
    TreeItem root = Folder("/r", 0, 0, 0);
    EXPECT_EQ(Report(), "");
    TreeItem bare = store.InsertItem("bare", 0, TreeItem::None, InsertAt::Last);
    store.Select(bare);
    EXPECT_EQ(Report(), "");
    TreeItem files = store.InsertItem("FILES", 0, root, InsertAt::Last);
    store.SetItemData(files, FolderRecord::Full("/r", "FILES", 3145728, 3145728, 0, 4, true));
    store.Select(files);
    EXPECT_EQ(Report(), "/r   ( 3.00 M , Folders : 0 , Files : 4 ) \n" + rule);
}

}  // namespace
