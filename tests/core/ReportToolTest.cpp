// brimwell-report as a user runs it: output, units, errors and exit statuses, names shown
// on a terminal, and a scan file larger than memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <vector>

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
          "--shard 2/2" + folder, "--shard 1" + folder, std::string("--shard auto -f x.json"),
          "--plan x.json" + folder, std::string("-a -f x.json -f y.json -o z.json")}) {
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

// A terminal for one run: a pseudo-terminal with nothing translated, so that what it shows is
// what was written to it.
class Terminal {
  public:
    Terminal() {
        ::openpty(&master_, &slave_, nullptr, nullptr, nullptr);
        termios raw{};
        ::tcgetattr(slave_, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(slave_, TCSANOW, &raw);
    }
    ~Terminal() {
        ::close(master_);
        CloseSlave();
    }
    // False where the system has no pseudo-terminals to give (a chroot without /dev/pts).
    bool Opened() const { return master_ >= 0 && slave_ >= 0; }
    int Slave() const { return slave_; }
    void CloseSlave() {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }
    // Everything shown, once the program has closed its side.
    std::string Shown() const {
        std::string shown;
        char buffer[4096];
        for (ssize_t got; (got = ::read(master_, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, static_cast<std::size_t>(got));
        return shown;
    }

  private:
    int master_ = -1;
    int slave_ = -1;
};

// brimwell-report with its standard output and standard error on terminals; nothing when
// no terminal can be opened.
std::optional<ToolRun> RunOnTerminals(const std::vector<std::string>& arguments) {
    Terminal out, err;
    if (!out.Opened() || !err.Opened())
        return std::nullopt;
    std::vector<char*> argv{const_cast<char*>(BRIMWELL_REPORT_PATH)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.Slave(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.Slave(), 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), nullptr);
    posix_spawn_file_actions_destroy(&actions);
    out.CloseSlave();
    err.CloseSlave();
    if (spawned != 0)
        return ToolRun{-1, "", ""};
    std::string shownOut = out.Shown(), shownErr = err.Shown();
    int status = 0;
    ::waitpid(pid, &status, 0);
    return ToolRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, shownOut, shownErr};
}

std::string Replaced(std::string text, const std::map<std::string, std::string>& replacements) {
    for (const auto& [from, to] : replacements) {
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, from.size(), to);
    }
    return text;
}

TEST(ReportTool, NamesOnATerminalShowControlCharactersAsQuestionMarksInTheirColumns) {
    TempDir dir;
    // From another machine: names that set the terminal's title, clear its screen, break a
    // line, hold a C1 control (NEL) and a plain accented letter.
    WriteText(dir / "odd.json",
              "[1,2,{},\n[{\"name\":\"/srv\\u001b]0;owned\\u0007\",\"dev\":1},\n"
              "[{\"name\":\"clear\\u001b[2J\"},{\"name\":\"f\",\"asize\":2097152}],\n"
              "[{\"name\":\"fake\\n( 9.00 M ) |\"},{\"name\":\"f\",\"asize\":1048576}],\n"
              "[{\"name\":\"nel\\u0085\\u00e9\"}],\n"
              "[{\"name\":\"locked\\u001b[2J\",\"read_error\":true}]]]\n");
    const std::string file = dir / "odd.json";
    ToolRun piped = RunTool("-f " + Quote(file));  // to files: byte for byte
    ASSERT_EQ(piped.status, 0);
    EXPECT_NE(piped.out.find("/srv\x1b]0;owned\x07   ( 3.00 M"), std::string::npos) << piped.out;
    EXPECT_NE(piped.out.find("\nfake\n( 9.00 M ) | ( 1.00 M ) |"), std::string::npos);
    EXPECT_NE(piped.err.find("cannot read /srv\x1b]0;owned\x07/locked\x1b[2J:"), std::string::npos);

    std::optional<ToolRun> onTerminals = RunOnTerminals({"-f", file});
    if (!onTerminals)
        GTEST_SKIP() << "no pseudo-terminal to be had here (no /dev/pts?)";
    const ToolRun& shown = *onTerminals;
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out,
              Replaced(piped.out,
                       {{"\x1b", "?"}, {"\x07", "?"}, {"fake\n(", "fake?("}, {"\xc2\x85", "?"}}));
    EXPECT_NE(shown.out.find("\nclear?[2J         ( 2.00 M ) |"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\nnel?\xc3\xa9             ( 0.00 M ) |"), std::string::npos);
    EXPECT_NE(shown.err.find("cannot read /srv?]0;owned?/locked?[2J:"), std::string::npos)
        << shown.err;
    EXPECT_EQ(shown.err.find("\x1b]"), std::string::npos);

    // A comparison names the same folders, in its header and in its lines.
    WriteText(dir / "empty.json", "[1,2,{},\n[{\"name\":\"/srv\\u001b]0;owned\\u0007\"}]]\n");
    std::optional<ToolRun> compared = RunOnTerminals({"--compare", dir / "empty.json", "-f", file});
    ASSERT_TRUE(compared.has_value());
    EXPECT_EQ(compared->status, 0);
    EXPECT_EQ(compared->out.rfind("/srv?]0;owned?   ( 3.00 M", 0), 0u) << compared->out;
    EXPECT_NE(compared->out.find("\nclear?[2J "), std::string::npos) << compared->out;
    EXPECT_EQ(compared->out.find_first_of("\x1b\x07"), std::string::npos);
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
