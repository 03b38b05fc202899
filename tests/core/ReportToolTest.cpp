// brimwell-report as a user runs it: output, units, errors and exit statuses, and a scan
// file larger than memory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

ToolRun RunTool(const std::string& arguments, const std::string& prefix = "") {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments, prefix);
}

TEST(ReportTool, PrintsTheReportInMegabytesOrKilobytesOnAnyNumberOfThreads) {
    TempDir dir;
    dir.MakeFolder("big");
    dir.MakeFile("big/a", 2 * 1048576);
    dir.MakeFolder("small");
    dir.MakeFile("small/b", 1048576);
    dir.MakeFile("top", 524288);
    ToolRun run = RunTool(Quote(dir.Path()));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, dir.Path() + "   ( 3.50 M , Folders : 2 , Files : 3 ) \n" +
                           std::string(88, '-') + "\n" +
                           "big   ( 2.00 M ) |******************************\n"
                           "small ( 1.00 M ) |***************\n"
                           "FILES ( 0.50 M ) |*******\n");
    for (const char* threads : {"-j 1 ", "-j4 "})
        EXPECT_EQ(RunTool(threads + Quote(dir.Path())).out, run.out) << threads;

    ToolRun kilo = RunTool("-k " + Quote(dir.Path() + "/"));
    EXPECT_EQ(kilo.out.substr(0, kilo.out.find('\n')),
              dir.Path() + "/   ( 3584.00 K , Folders : 2 , Files : 3 ) ");

    dir.MakeFolder("-k");
    ToolRun dash = RunTool("-- " + Quote(dir / "-k"));  // a folder named like an option
    EXPECT_EQ(dash.status, 0);
    EXPECT_EQ(dash.out.rfind(dir / "-k" + "   ( 0.00 M", 0), 0u);
}

TEST(ReportTool, RefusesWhatIsNotAFolderAndWrongUsage) {
    TempDir dir;
    dir.MakeFile("file", 1);
    for (auto [name, problem] :
         {std::pair<std::string, std::string>{"missing", "No such file or directory"},
          {"file", "Not a directory"}}) {
        ToolRun run = RunTool(Quote(dir / name));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "brimwell-report: " + dir / name + ": " + problem + "\n");
    }
    // A folder the user may not read: as root, the tool runs as nobody to see it.
    dir.MakeFolder("locked");
    ::chmod(dir.Path().c_str(), 0711);
    ::chmod((dir / "locked").c_str(), 0);
    const std::string asUser =
        ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (asUser.empty() || std::system((asUser + "test -x " + BRIMWELL_REPORT_PATH).c_str()) == 0) {
        ToolRun run = RunTool(Quote(dir / "locked"), asUser);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "brimwell-report: " + dir / "locked" + ": Permission denied\n");
        // Below a folder that can be read, it is named and the report goes on.
        ::chmod(dir.Path().c_str(), 0755);
        run = RunTool(Quote(dir.Path()), asUser);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err,
                  "brimwell-report: cannot read " + dir / "locked" + ": Permission denied\n");
        EXPECT_NE(run.out.find("locked ( 0.00 M ) |"), std::string::npos);
    }
    ::chmod((dir / "locked").c_str(), 0755);
    const std::string folder = " " + Quote(dir.Path());
    for (const std::string& wrong :
         {std::string(), "-q" + folder, "-j 0" + folder, "-j 257" + folder,
          "--exclude" + std::string(), "--exclude-from " + dir / "absent" + folder,
          "--exclude-from " + dir.Path() + folder, "-f" + std::string(), "-o" + folder.substr(0, 0),
          "-f x.json" + folder}) {
        ToolRun run = RunTool(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_EQ(run.out, "") << wrong;
        EXPECT_NE(run.err.find("Usage: brimwell-report"), std::string::npos) << wrong;
    }
    ToolRun help = RunTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: brimwell-report"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

// ASan and TSan reserve address space of their own: a limit on it means nothing there.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(ReportTool, AScanFileLargerThanMemoryEndsInTheReadersOwnError) {
    TempDir dir;
    // Two million files in one folder: a 40 MB export, some 200 MB once listed. A limit of
    // 100 MB of address space, which a small export does not come near, cannot hold that.
    {
        std::ofstream huge(dir / "huge.json");
        huge << "[1,2,{},\n[{\"name\":\"/h\"}";
        for (int file = 0; file < 2000000; ++file)
            huge << ",{\"name\":\"f" << file << "\"}";
        huge << "]]\n";
    }
    WriteText(dir / "small.json", "[1,2,{},\n[{\"name\":\"/s\"},{\"name\":\"f\"}]]\n");
    const std::string limit = "ulimit -v 100000; ";
    ASSERT_EQ(RunTool("-f " + Quote(dir / "small.json"), limit).status, 0);
    for (const std::string& convert : {std::string(), " -o " + Quote(dir / "out/huge.json")}) {
        dir.MakeFolder("out");
        ToolRun run = RunTool("-f " + Quote(dir / "huge.json") + convert, limit);
        EXPECT_EQ(run.status, 1) << convert;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
                  "brimwell-report: " + dir / "huge.json" + ": not enough memory for the export\n");
        EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));  // no half-written scan file
    }
}
#endif

}  // namespace
