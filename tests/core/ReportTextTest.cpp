// The text report: its exact lines in megabytes and kilobytes, and bars that never divide by zero.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "report/ReportText.h"
#include "scan/SizeUnit.h"
#include "ui/ItemStore.h"

namespace {

class ReportTextTest : public ::testing::Test {
  protected:
    void TearDown() override { SizeUnit::Reset(); }

    TreeItem Add(TreeItem parent, const std::string& name, std::uint64_t bytes,
                 std::int32_t folders = 0, std::int32_t files = 0) {
        TreeItem item = store_.InsertItem(name, 0, parent, InsertAt::Last);
        store_.SetItemData(item, FolderRecord::Full(name, name, bytes, 0, folders, files, false));
        return item;
    }

    std::string Report() {
        std::ostringstream out;
        ReportText::WriteReport(store_, out);
        return out.str();
    }

    ItemStore store_;
};

const std::string kRule(88, '-');

std::string Stars(int n) {
    return std::string(static_cast<std::size_t>(n), '*');
}

}  // namespace

TEST_F(ReportTextTest, SameTreeInMegabytesAndKilobytes) {
    TreeItem root = Add(TreeItem::None, "E:\\Data", 1310720, 1, 9);
    Add(root, "Photos", 1048576);
    Add(root, "FILES", 262144);
    store_.Select(root);

    EXPECT_EQ(Report(),
              "E:\\Data   ( 1.25 M , Folders : 1 , Files : 9 ) \n" + kRule + "\n" +
                  "Photos ( 1.00 M ) |" + Stars(30) + "\n" +  //
                  "FILES  ( 0.25 M ) |" + Stars(7) + "\n");

    SizeUnit::Toggle();
    EXPECT_EQ(Report(),
              "E:\\Data   ( 1280.00 K , Folders : 1 , Files : 9 ) \n" + kRule + "\n" +
                  "Photos ( 1024.00 K ) |" + Stars(30) + "\n" +  //
                  "FILES   ( 256.00 K ) |" + Stars(7) + "\n");
    EXPECT_EQ(ReportText::ChildText(*store_.Record(root)), "E:\\Data ( 1280.00 K ) ");
}

TEST_F(ReportTextTest, BarsScaleToTheLargestChildWithoutDividingByZero) {
    TreeItem root = Add(TreeItem::None, "/r", 0);
    Add(root, "half", 500);
    Add(root, "big", 1000);
    Add(root, "tiny", 32);  // 1000 / 32 > 30.5: no asterisk
    TreeItem empty = Add(TreeItem::None, "/e", 0);
    Add(empty, "a", 0);
    Add(empty, "b", 0);

    store_.Select(root);
    std::istringstream lines(Report());
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line);
    for (int stars : {15, 30, 0}) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.substr(line.find('|') + 1), Stars(stars)) << line;
    }

    store_.Select(empty);
    EXPECT_EQ(Report(), "/e   ( 0.00 M , Folders : 0 , Files : 0 ) \n" + kRule +
                            "\na ( 0.00 M ) |\nb ( 0.00 M ) |\n");
}
