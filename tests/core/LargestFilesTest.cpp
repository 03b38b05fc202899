// The largest files below a folder: the bounded heap, the walk's rules, a folder reached
// through a scan file's names, and brimwell-report --largest against a listing made here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "FakeFolderSource.h"
#include "TempDir.h"
#include "ToolRun.h"
#include "largest/LargestFiles.h"

namespace {

using Strings = std::vector<std::string>;

Strings Paths(const std::vector<LargeFile>& files) {
    Strings paths;
    for (const LargeFile& file : files)
        paths.push_back(file.path + "=" + std::to_string(file.size));
    return paths;
}

TEST(LargestFiles, KeepsTheLargestOnlyInOrderWithTiesByPath) {
    LargestFiles kept(3);
    for (auto [path, size] : {std::pair<const char*, std::uint64_t>{"e", 5},
                              {"a", 1},
                              {"i", 9},
                              {"g", 7},
                              {"c", 3},
                              {"h", 9},
                              {"b", 2}})
        kept.Offer(LargeFile{path, size, 0, {}}, size);
    EXPECT_FALSE(kept.Wants(6));
    EXPECT_TRUE(kept.Wants(7));
    EXPECT_EQ(Paths(kept.TakeLargestFirst()), (Strings{"h=9", "i=9", "g=7"}));
}

TEST(LargestFiles, WalksWhatTheScanEntersBelowTheFolderReachedByName) {
    FakeFolderSource source;
    FakeFolder& top = source.roots["/r"];
    top.File("outside", 1000);
    FakeFolder& a = top.Folder("a");
    a.File("one", 10).File(".dot", 50);
    a.Folder("deep").File("two", 30).File("three", 20);
    a.Folder(".cache").File("hidden", 900);  // a folder the scan does not enter
    a.File("packed", 100, 40);               // compressed: counts its space on disk

    LargestFilesRequest request;
    request.start = "/r";
    request.below = {"a"};
    request.count = 4;
    LargestFilesResult result = FindLargestFiles(source, request);
    EXPECT_TRUE(result.found);
    EXPECT_EQ(result.filesSeen, 5);
    EXPECT_EQ(source.enterCount, source.leaveCount);
    EXPECT_EQ(Paths(result.files),
              (Strings{".dot=50", "packed=40", "deep/two=30", "deep/three=20"}));

    request.onDisk = true;
    request.below = {"missing"};
    EXPECT_FALSE(FindLargestFiles(source, request).found);
}

TEST(LargestFilesTool, PrintsTheLargestFilesOnceEachAsAListingMadeHereSays) {
    TempDir dir;
    dir.MakeFolder("a");
    dir.MakeFolder("a/b");
    dir.MakeFolder(".cache");
    std::vector<std::pair<std::string, std::size_t>> files = {{"a/one", 3000},    {"a/b/two", 5000},
                                                              {"top", 4000},      {".dot", 2000},
                                                              {".cache/x", 9000}, {"a/b/tiny", 10}};
    for (const auto& [name, size] : files)
        dir.MakeFile(name, size);
    ASSERT_EQ(::link((dir / "a/b/two").c_str(), (dir / "a/two-again").c_str()), 0);

    ToolRun run = RunProgram(BRIMWELL_REPORT_PATH, "--largest 4 -k " + Quote(dir.Path()));
    EXPECT_EQ(run.status, 0);
    // The two names of one file: whichever the walk meets first, once.
    const std::string first = run.out.substr(0, run.out.find('\n') + 1);
    EXPECT_TRUE(first == "4.88 K\t" + dir / "a/b/two\n" ||
                first == "4.88 K\t" + dir / "a/two-again\n")
        << first;
    EXPECT_EQ(run.out.substr(first.size()), "3.91 K\t" + dir / "top\n" + "2.93 K\t" +
                                                dir / "a/one\n" + "1.95 K\t" + dir / ".dot\n");
    EXPECT_EQ(RunProgram(BRIMWELL_REPORT_PATH, "--largest 1 -a " + Quote(dir.Path() + "/")).out,
              "0.01 M\t" + dir / ".cache/x\n");
    EXPECT_EQ(RunProgram(BRIMWELL_REPORT_PATH, "--largest 0 " + Quote(dir.Path())).status, 2);
    EXPECT_EQ(RunProgram(BRIMWELL_REPORT_PATH, "--largest 3 -o - " + Quote(dir.Path())).status, 2);
}

}  // namespace
