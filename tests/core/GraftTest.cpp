// Grafting several scan files into one tree, as users run it: a fresh scan of a sub-folder in
// place of that folder in an older scan, scans of separate folders below their common folder,
// scans that left out what the other read, written as one file that ncdu reads and reported
// as the disk's scan; the files that cannot be grafted, each with its reason; devices that
// files took from their folders; and the item reader's faults against the loading reader's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"
#include "scanfile/ExportItemReader.h"
#include "scanfile/ScanFileReader.h"

namespace {

ToolRun Report(const std::string& arguments) {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments);
}

std::string Export(const TempDir& dir, const std::string& name, const std::string& options) {
    const std::string file = dir / ("out/" + name);
    EXPECT_EQ(Report(options + " -o " + Quote(file)).status, 0) << name;
    return Quote(file);
}

TEST(Graft, FilesGoWhereTheirFoldersAreAndReportAsTheDisksScan) {
    TempDir dir;
    for (const char* folder :
         {"out", "t", "t/a", "t/a/x", "t/a/x/old", "t/b", "u", "u/c", "u/d", "u/d/e"})
        dir.MakeFolder(folder);
    for (const char* file :
         {"t/top", "t/a/one", "t/a/x/old/gone", "t/b/two", "u/c/three", "u/d/e/four"})
        dir.MakeFile(file, std::string(file).size() * 1000);
    const std::string full = Export(dir, "full.json", Quote(dir / "t"));
    // Since the full scan: x changed, and a new folder grew three levels below t.
    ASSERT_EQ(std::system(("rm -r " + Quote(dir / "t/a/x/old")).c_str()), 0);
    dir.MakeFile("t/a/x/new", 70000);
    for (const char* folder : {"t/n", "t/n/m", "t/n/m/k"})
        dir.MakeFolder(folder);
    dir.MakeFile("t/n/m/k/deep", 5000);
    const std::string fresh = Export(dir, "x.json.gz", Quote(dir / "t/a/x"));
    const std::string added = Export(dir, "k.json", Quote(dir / "t/n/m/k"));
    // The fresh scans replace and add, whatever order the files come in.
    const std::string now = Report(Quote(dir / "t")).out;
    EXPECT_EQ(Report("-f " + fresh + " -f " + full + " -f " + added).out, now);
    ToolRun written =
        Report("-f " + full + " " + fresh + " " + added + " -o " + Quote(dir / "out/graft.json"));
    ASSERT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(Report("-f " + Quote(dir / "out/graft.json")).out, now);
    ToolRun ncdu = RunProgram("ncdu", "--ignore-config -f " + Quote(dir / "out/graft.json") +
                                          " -o " + Quote(dir / "out/ncdu.json"));
    ASSERT_EQ(ncdu.status, 0) << ncdu.err;
    EXPECT_EQ(Report("-f " + Quote(dir / "out/ncdu.json")).out, now);

    // Separate folders hang below the folder they have in common.
    EXPECT_EQ(Report("-f " + Export(dir, "c.json", Quote(dir / "u/c")) + " " +
                     Export(dir, "e.json", Quote(dir / "u/d/e")))
                  .out,
              Report(Quote(dir / "u")).out);
    // Scans of one folder that each left out what the other read make one whole.
    EXPECT_EQ(Report("-f " + Export(dir, "no-c.json", "--exclude c " + Quote(dir / "u")) + " " +
                     Export(dir, "no-d.json", "--exclude d " + Quote(dir / "u")))
                  .out,
              Report(Quote(dir / "u")).out);
}

TEST(Graft, RefusesFilesThatHoldTheSameEntryOrAreNotOneWholeSetOfShards) {
    TempDir dir;
    for (const char* folder : {"out", "t", "t/a", "t/b", "t/c"})
        dir.MakeFolder(folder);
    for (const char* file : {"t/a/1", "t/b/2", "t/c/3"})
        dir.MakeFile(file, 10);
    const std::string full = Export(dir, "full.json", Quote(dir / "t"));
    const std::string again = Export(dir, "again.json", Quote(dir / "t"));
    auto shard = [&](const std::string& numbers, const std::string& name) {
        return Export(dir, name, "--shard " + numbers + " " + Quote(dir / "t"));
    };
    const std::string zeroOfTwo = shard("0/2", "s0.json"), oneOfTwo = shard("1/2", "s1.json");
    const std::string zeroOfThree = shard("0/3", "t0.json"), oneOfThree = shard("1/3", "t1.json");
    WriteText(dir / "out/holder.json", "[1,2,{},[{\"name\":\"/x\"},{\"name\":\"f\"}]]");
    WriteText(dir / "out/below.json", "[1,2,{},[{\"name\":\"/x/f/g\"},{\"name\":\"h\"}]]");
    const std::string path = dir / "t";
    const std::pair<std::string, std::string> cases[] = {
        {full + " " + again, "out/full.json and " + dir / "out/again.json both hold " + path + "/"},
        {zeroOfTwo + " " + oneOfTwo + " " + full, " both hold " + path + "/"},
        {zeroOfThree + " " + oneOfThree, "shard 2 of 3 of " + path + " is missing"},
        {zeroOfTwo + " " + oneOfThree, "are shards of different cuts of " + path},
        {zeroOfTwo + " " + zeroOfTwo + " " + oneOfTwo, "are both shard 0 of 2 of " + path},
        {Quote(dir / "out/holder.json") + " " + Quote(dir / "out/below.json"),
         "holder.json and " + dir / "out/below.json both hold /x/f"},
    };
    for (const auto& [files, problem] : cases) {
        for (const std::string& output : {std::string(), " -o " + Quote(dir / "out/g.json")}) {
            ToolRun run = Report("-f " + files + output);
            EXPECT_EQ(run.status, 1) << files << output;
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err.find(problem), std::string::npos) << run.err;
        }
    }
    EXPECT_EQ(Report("-f " + zeroOfTwo + " " + oneOfTwo).out, Report(Quote(path)).out);
}

// Names pass through the graft byte for byte, whatever the escapes they were written with; a
// file cut short stops the graft with its own name and place, also while the report's
// reader is loading the graft from the other end of its pipe.
TEST(Graft, NamesPassByteForByteAndAFileCutShortIsNamed) {
    TempDir dir;
    dir.MakeFolder("t");
    for (const char* name :
         {"t/bad\xff\xfe", "t/new\nline", "t/q\"uote\\back", "t/ctl\x01", "t/\xc3\xa9t\xc3\xa9"}) {
        dir.MakeFolder(name);
        dir.MakeFile(std::string(name) + "/f\x80", 10);
    }
    const std::string ours = dir / "t.json";
    ASSERT_EQ(Report("-o " + Quote(ours) + " " + Quote(dir / "t")).status, 0);
    // The same names as escapes, and a pair of surrogates, in a file of a sibling folder.
    WriteText(dir / "u.json", "[1,2,{},[{\"name\":\"" + dir / "u" +
                                  "\"},[{\"name\":\"\\u00e9t\\u00E9\\ud83d\\ude00\"},"
                                  "{\"name\":\"n\\nl\\u0001\\\"q\",\"asize\":5}]]]");
    const std::string graft = dir / "graft.json";
    ASSERT_EQ(
        Report("-f " + Quote(ours) + " " + Quote(dir / "u.json") + " -o " + Quote(graft)).status,
        0);
    auto names = [](const std::string& file) {
        std::vector<std::string> all;
        ExportItemReader reader;
        EXPECT_TRUE(reader.Open(file));
        while (reader.Next())
            all.push_back(reader.Current().name);
        return all;
    };
    // Below their common folder: t with all it holds, then u, each with its end ("").
    std::vector<std::string> expected{"t"};
    for (const std::string& file : {ours, dir / "u.json"}) {
        for (const std::string& name : names(file))
            expected.push_back(name);
        expected.push_back("u");
    }
    expected.back() = "";
    EXPECT_EQ(names(graft), expected);
    EXPECT_NE(std::find(expected.begin(), expected.end(), "\xc3\xa9t\xc3\xa9\xf0\x9f\x98\x80"),
              expected.end());
    // As written: bytes from 0x80 up as they are, control characters escaped, as in ours.
    const std::string written = ReadText(graft);
    for (const char* name :
         {"\"name\":\"\xc3\xa9t\xc3\xa9\xf0\x9f\x98\x80\"", "\"name\":\"n\\nl\\u0001\\\"q\"",
          "\"name\":\"bad\xff\xfe\"", "\"name\":\"new\\nline\"", "\"name\":\"q\\\"uote\\\\back\"",
          "\"name\":\"ctl\\u0001\"", "\"name\":\"f\x80\""})
        EXPECT_NE(written.find(name), std::string::npos) << name;
    EXPECT_EQ(Report("-f " + Quote(graft)).out,
              Report("-f " + Quote(ours) + " " + Quote(dir / "u.json")).out);

    const std::string text = ReadText(ours);
    WriteText(dir / "cut.json", text.substr(0, text.size() * 2 / 3));
    for (const std::string& output : {std::string(), " -o " + Quote(dir / "g.json")}) {
        ToolRun run =
            Report("-f " + Quote(dir / "u.json") + " " + Quote(dir / "cut.json") + output);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(dir / "cut.json:"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(": the file ends before the export does"), std::string::npos)
            << run.err;
    }
    // Cut anywhere in a name's escapes, the file is still one cut short.
    const std::string escapes =
        "[1,2,{},[{\"name\":\"/x\"},{\"name\":\"\\u00e9\\ud83d\\ude00\\n\"}]]";
    for (std::size_t cut = escapes.find("\\u00e9"); cut < escapes.rfind('"'); ++cut) {
        WriteText(dir / "esc.json", escapes.substr(0, cut));
        ExportItemReader reader;
        if (reader.Open(dir / "esc.json"))
            while (reader.Next()) {
            }
        ASSERT_TRUE(reader.Error());
        EXPECT_EQ(reader.Error()->what, "the file ends before the export does") << cut;
    }
}

// A file takes its device from its folder in its own file; written below a folder of another
// file, it carries its own.
TEST(Graft, EntriesKeepTheirDevicesBelowAnotherFilesFolders) {
    TempDir dir;
    WriteText(dir / "outer.json",
              "[1,2,{},[{\"name\":\"/m\",\"dev\":5},[{\"name\":\"s\"},{\"name\":\"a\"}]]]");
    WriteText(dir / "inner.json",
              "[1,2,{},[{\"name\":\"/m/s/t\",\"dev\":9},{\"name\":\"g\"},"
              "[{\"name\":\"u\"},{\"name\":\"h\",\"dev\":5}]]]");
    ASSERT_EQ(Report("-f " + Quote(dir / "outer.json") + " " + Quote(dir / "inner.json") + " -o " +
                     Quote(dir / "graft.json"))
                  .status,
              0);
    ExportItemReader reader;
    ASSERT_TRUE(reader.Open(dir / "graft.json"));
    std::vector<std::pair<std::string, std::uint64_t>> devices;
    while (reader.Next()) {
        if (!reader.Current().IsEnd())
            devices.emplace_back(reader.Current().name, reader.Current().device);
    }
    const std::vector<std::pair<std::string, std::uint64_t>> expected = {
        {"s", 5}, {"a", 5}, {"t", 9}, {"g", 9}, {"u", 9}, {"h", 5}};
    EXPECT_EQ(devices, expected);
}

// What is wrong with a file is said the same way whichever reader finds it.
TEST(Graft, TheItemReaderFindsTheFaultsTheLoadingReaderFinds) {
    TempDir dir;
    const char* const bad[] = {
        "",
        "{}",
        "[2,0,{},[{\"name\":\"/\"}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"asize\":1}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"a/b\"}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"f\",\"asize\":-3}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"f\",\"dsize\":1.5}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"f\",\"asize\":\"1\"}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"f\",\"hlnkc\":1}]]",
        "[1,2,{},[{\"name\":\"/\"},[{\"name\":\"d\"},{\"name\":\"f\"}]]",
        "[1,2,{},[{\"name\":\"/\"},{\"name\":\"\\x\"}]]",
        "[1,2,{},[{\"name\":\"/\"},7]]",
        "[1,2,{},[{\"name\":\"/\"}]] []",
        "[1,2,{},[[{\"name\":\"/\"}]]]",
        "[1,2,{}]",
    };
    for (const char* text : bad) {
        WriteText(dir / "bad.json", std::string(text) + "\n");
        ScanFileReader loading;
        std::optional<ScanFileError> loaded = loading.Load(dir / "bad.json");
        ASSERT_TRUE(loaded) << text;
        ExportItemReader items;
        if (items.Open(dir / "bad.json")) {
            while (items.Next()) {
            }
        }
        ASSERT_TRUE(items.Error()) << text;
        EXPECT_EQ(items.Error()->what, loaded->what) << text;
        EXPECT_EQ(items.Error()->line, loaded->line) << text;
    }
}

}  // namespace
