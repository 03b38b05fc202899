// brimwell-report as a user runs it: output, units, errors and exit statuses.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "TempDir.h"

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

ToolRun RunTool(const std::string& arguments) {
    TempDir scratch;
    std::string command = std::string(BRIMWELL_REPORT_PATH) + " " + arguments + " >" +
                          Quote(scratch / "out") + " 2>" + Quote(scratch / "err") + " </dev/null";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(scratch / "out"), Slurp(scratch / "err")};
}

TEST(ReportTool, PrintsTheReportOfTheRootInMegabytesOrKilobytes) {
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

    ToolRun kilo = RunTool("-k " + Quote(dir.Path() + "/"));
    EXPECT_EQ(kilo.status, 0);
    EXPECT_EQ(kilo.out.substr(0, kilo.out.find('\n')),
              dir.Path() + "/   ( 3584.00 K , Folders : 2 , Files : 3 ) ");
    EXPECT_NE(kilo.out.find("big   ( 2048.00 K ) |"), std::string::npos);
}

TEST(ReportTool, RefusesWhatIsNotAFolderAndWrongUsage) {
    TempDir dir;
    dir.MakeFile("file", 1);
    ToolRun missing = RunTool(Quote(dir / "missing"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "brimwell-report: " + dir / "missing" + ": No such file or directory\n");

    ToolRun file = RunTool(Quote(dir / "file"));
    EXPECT_EQ(file.status, 1);
    EXPECT_EQ(file.out, "");
    EXPECT_EQ(file.err, "brimwell-report: " + dir / "file" + ": Not a directory\n");

    ToolRun none = RunTool("");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find("Usage: brimwell-report"), std::string::npos);

    ToolRun unknown = RunTool("-x " + Quote(dir.Path()));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.out, "");

    ToolRun help = RunTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: brimwell-report"), std::string::npos);
    EXPECT_EQ(help.err, "");
}

TEST(ReportTool, AFolderNamedLikeAnOptionCanFollowDoubleDash) {
    TempDir dir;
    dir.MakeFolder("-k");
    ToolRun run = RunTool("-- " + Quote(dir / "-k"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(dir / "-k" + "   ( 0.00 M", 0), 0u);
}

TEST(ReportTool, ReadsOnAnyNumberOfThreadsWithTheSameReport) {
    TempDir dir;
    for (int i = 0; i < 12; ++i) {
        std::string folder = "f" + std::to_string(i);
        dir.MakeFolder(folder);
        dir.MakeFolder(folder + "/sub");
        dir.MakeFile(folder + "/sub/data", 1000 * i);
    }
    ToolRun one = RunTool("-j 1 " + Quote(dir.Path()));
    ToolRun four = RunTool("-j4 " + Quote(dir.Path()));
    EXPECT_EQ(one.status, 0);
    EXPECT_EQ(four.status, 0);
    EXPECT_EQ(one.out.rfind(dir.Path() + "   ( 0.06 M , Folders : 24 , Files : 12 ) ", 0), 0u);
    EXPECT_EQ(four.out, one.out);

    for (const char* bad : {"-j 0 ", "-j x ", "-j 257 ", "-j "}) {
        ToolRun run = RunTool(bad + Quote(dir.Path()));
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_EQ(run.out, "") << bad;
    }
    EXPECT_NE(RunTool("--help").out.find("-j N"), std::string::npos);
}

}  // namespace
