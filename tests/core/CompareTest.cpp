// brimwell-report --compare as a user runs it: a tree changed in known ways against its
// earlier export, an unchanged tree whose hard links are listed in another order, and an
// earlier scan made with other options.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

ToolRun RunTool(const std::string& arguments) {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

constexpr std::size_t kHeaderLines = 4;  // now, before, change, rule

TEST(Compare, NamesTheDeepFolderThatGrewFirstAndSaysWhatIsNewAndGone) {
    TempDir dir;
    for (const char* folder :
         {"tree", "tree/projects", "tree/projects/app", "tree/projects/app/build", "tree/old",
          "tree/old/inner", "tree/docs"}) {
        dir.MakeFolder(folder);
    }
    dir.MakeFile("tree/projects/app/build/out", 1048576);
    dir.MakeFile("tree/projects/app/main.c", 1000);
    dir.MakeFile("tree/old/inner/a", 3 * 1048576);
    dir.MakeFile("tree/docs/a", 524288);
    dir.MakeFile("tree/docs/b", 524288);
    ASSERT_EQ(RunTool("-o " + Quote(dir / "before.json") + " " + Quote(dir / "tree")).status, 0);

    dir.MakeFile("tree/projects/app/build/out2", 5 * 1048576);  // the deep folder grows
    std::filesystem::remove_all(dir / "tree/old");              // a folder is removed
    dir.MakeFolder("tree/new");                                 // one is added
    dir.MakeFile("tree/new/n", 262144);
    std::filesystem::remove(dir / "tree/docs/a");  // files deleted in one folder

    ToolRun run = RunTool("--compare " + Quote(dir / "before.json") + " " + Quote(dir / "tree"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), kHeaderLines + 4) << run.out;
    EXPECT_EQ(lines[0], dir / "tree" + "   ( 6.75 M , Folders : 5 , Files : 5 )   now");
    EXPECT_EQ(lines[1].rfind(dir / "tree" + "   ( 5.00 M , Folders : 6 , Files : 5 )   ", 0), 0u);
    EXPECT_EQ(lines[2], "Change   ( +1.75 M , Folders : -1 , Files : +0 )");
    EXPECT_EQ(lines[3], std::string(88, '-'));
    // projects and projects/app change only as much as the build folder below them; old and
    // new are named as a whole.
    EXPECT_EQ(lines[4], "projects/app/build ( 6.00 M ) +5.00 M , Folders : +0 , Files : +1");
    EXPECT_EQ(lines[5], "old                ( 0.00 M ) -3.00 M , Folders : -1 , Files : -1   gone");
    EXPECT_EQ(lines[6], "docs               ( 0.50 M ) -0.50 M , Folders : +0 , Files : -1");
    EXPECT_EQ(lines[7], "new                ( 0.25 M ) +0.25 M , Folders : +0 , Files : +1   new");

    ToolRun kilo =
        RunTool("-k --compare " + Quote(dir / "before.json") + " -f " + Quote(dir / "before.json"));
    EXPECT_EQ(Lines(kilo.out).at(2), "Change   ( +0.00 K , Folders : +0 , Files : +0 )");
    EXPECT_EQ(Lines(kilo.out).size(), kHeaderLines) << kilo.out;

    // Compared as space on disk, a sparse file grows its folder by the blocks it holds only.
    ASSERT_EQ(RunTool("-o " + Quote(dir / "after.json") + " " + Quote(dir / "tree")).status, 0);
    dir.MakeFolder("tree/sparse");
    dir.MakeFile("tree/sparse/hole", 0);
    std::filesystem::resize_file(dir / "tree/sparse/hole", 64 * 1048576);
    const std::string again = "--compare " + Quote(dir / "after.json") + " " + Quote(dir / "tree");
    const std::string grown = " ) +64.00 M , Folders : +0 , Files : +1   new";
    EXPECT_NE(RunTool(again).out.find("( 64.00 M" + grown), std::string::npos);
    ToolRun onDisk = RunTool("--disk-usage " + again);
    EXPECT_EQ(onDisk.status, 0) << onDisk.err;
    EXPECT_NE(onDisk.out.find("( 0.00 M ) +0.00 M , Folders : +0 , Files : +1   new"),
              std::string::npos)
        << onDisk.out;
    EXPECT_EQ(onDisk.out.find("64.00 M"), std::string::npos) << onDisk.out;
}

// The same files, the folders and their entries listed in another order, as another file
// system or a restored copy lists them: the file linked from x and y counts at the same link
// in both, so nothing changed anywhere.
TEST(Compare, AnUnchangedTreeWithHardLinksListedInAnotherOrderHasNoChange) {
    TempDir dir;
    const std::string head = "[1,2,{\"progname\":\"ncdu\",\"timestamp\":1700000000},\n";
    auto link = [](const char* name) {
        return std::string("{\"name\":\"") + name +
               "\",\"asize\":4000,\"ino\":77,\"dev\":1,\"hlnkc\":true,\"nlink\":3}";
    };
    WriteText(dir / "a.json", head + "[{\"name\":\"/data\",\"dev\":1},[{\"name\":\"x\"}," +
                                  link("l1") + "],[{\"name\":\"y\"}," + link("l2") +
                                  ",{\"name\":\"f\",\"asize\":10}],[{\"name\":\"z\"},[{\"name\":"
                                  "\"deep\"}," +
                                  link(".hidden") + "]]]]\n");
    WriteText(dir / "b.json", head +
                                  "[{\"name\":\"/copy\",\"dev\":1},[{\"name\":\"z\"},[{\"name\":"
                                  "\"deep\"}," +
                                  link(".hidden") +
                                  "]],[{\"name\":\"y\"},{\"name\":\"f\","
                                  "\"asize\":10}," +
                                  link("l2") + "],[{\"name\":\"x\"}," + link("l1") + "]]]\n");
    ToolRun run = RunTool("--compare " + Quote(dir / "a.json") + " -f " + Quote(dir / "b.json"));
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), kHeaderLines) << run.out;
    EXPECT_EQ(lines[2], "Change   ( +0.00 M , Folders : +0 , Files : +0 )");
    // Whichever order, the file counts at x/l1, the first of its links in name order.
    ToolRun plain = RunTool("-k -f " + Quote(dir / "b.json"));
    EXPECT_NE(plain.out.find("x     ( 3.91 K )"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("z     ( 0.00 K )"), std::string::npos) << plain.out;
}

TEST(Compare, WarnsWhenTheEarlierScanWasMadeWithOtherOptions) {
    TempDir dir;
    dir.MakeFolder("tree");
    dir.MakeFolder("tree/.cache");
    dir.MakeFile("tree/.cache/c", 1000);
    ASSERT_EQ(
        RunTool("-a --exclude '*.o' -o " + Quote(dir / "all.json") + " " + Quote(dir / "tree"))
            .status,
        0);
    ToolRun differ = RunTool("--compare " + Quote(dir / "all.json") + " " + Quote(dir / "tree"));
    EXPECT_EQ(differ.status, 0);
    EXPECT_EQ(differ.err, "brimwell-report: warning: " + dir / "all.json" +
                              ": the earlier scan was made with -a --exclude '*.o', this one with "
                              "no options: some changes may come from the options\n");
    ToolRun same = RunTool("-a --exclude '*.o' --compare " + Quote(dir / "all.json") + " " +
                           Quote(dir / "tree"));
    EXPECT_EQ(same.err, "");
    EXPECT_EQ(Lines(same.out).size(), kHeaderLines) << same.out;

    // Shards scanned with -a, grafted into one file, keep saying so.
    for (const char* shard : {"0", "1"}) {
        ASSERT_EQ(RunTool(std::string("-a --shard ") + shard + "/2 -o " +
                          Quote(dir / ("shard-" + std::string(shard) + ".json")) + " " +
                          Quote(dir / "tree"))
                      .status,
                  0);
    }
    ASSERT_EQ(RunTool("-f " + Quote(dir / "shard-0.json") + " " + Quote(dir / "shard-1.json") +
                      " -o " + Quote(dir / "graft.json"))
                  .status,
              0);
    ToolRun graft = RunTool("--compare " + Quote(dir / "graft.json") + " " + Quote(dir / "tree"));
    EXPECT_NE(graft.err.find("made with -a, this one with no options"), std::string::npos)
        << graft.err;
    ASSERT_GE(Lines(graft.out).size(), 2u);
    EXPECT_EQ(Lines(graft.out)[1].find("an unknown time"), std::string::npos) << graft.out;

    // Bad input is refused as -f refuses it.
    WriteText(dir / "broken.json", "[1,2,{}");
    ToolRun broken = RunTool("--compare " + Quote(dir / "broken.json") + " " + Quote(dir / "tree"));
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "");
    EXPECT_EQ(broken.err.rfind("brimwell-report: " + dir / "broken.json" + ":", 0), 0u);
}

}  // namespace
