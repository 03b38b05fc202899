// brimwell-report -o over what is there: the replaced file keeps its owner and mode, a link is
// written through to its target, and a termination signal during the write leaves the old
// file and nothing beside it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"

extern char** environ;

namespace {

ToolRun Report(const std::string& arguments, const std::string& prefix = "") {
    return RunProgram(BRIMWELL_REPORT_PATH, arguments, prefix);
}

struct stat StatOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

bool IsScanFile(const std::string& path) {
    return ReadText(path).rfind("[1,2,{\"progname\":\"brimwell-report\"", 0) == 0;
}

TEST(ScanFileOutput, ReplacingAFileKeepsItsModeAndOwnerAndWritesThroughALink) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0777);
    dir.MakeFolder("tree");
    dir.MakeFile("tree/f", 10);
    const std::string tree = " " + Quote(dir / "tree");

    WriteText(dir / "private.json", "old");
    ::chmod((dir / "private.json").c_str(), 0600);
    ASSERT_EQ(Report("-o " + Quote(dir / "private.json") + tree).status, 0);
    EXPECT_TRUE(IsScanFile(dir / "private.json"));
    EXPECT_EQ(StatOf(dir / "private.json").st_mode & 07777, 0600u);

    // A link to a file in another folder, and a dangling one: the links stay, their targets
    // take the scan, and nothing is left beside either.
    dir.MakeFolder("elsewhere");
    WriteText(dir / "elsewhere/target.json", "old");
    ::chmod((dir / "elsewhere/target.json").c_str(), 0640);
    ASSERT_EQ(::symlink("elsewhere/target.json", (dir / "link.json").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "elsewhere/new.json").c_str(), (dir / "dangling.json").c_str()), 0);
    for (const char* link : {"link.json", "dangling.json"})
        ASSERT_EQ(Report("-o " + Quote(dir / link) + tree).status, 0) << link;
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "link.json").st_mode));
    EXPECT_TRUE(S_ISLNK(StatOf(dir / "dangling.json").st_mode));
    EXPECT_TRUE(IsScanFile(dir / "elsewhere/target.json"));
    EXPECT_EQ(StatOf(dir / "elsewhere/target.json").st_mode & 07777, 0640u);
    EXPECT_TRUE(IsScanFile(dir / "elsewhere/new.json"));
    EXPECT_EQ(Entries(dir / "elsewhere"), (std::vector<std::string>{"new.json", "target.json"}));

    if (::geteuid() != 0)
        return;  // the owners below take root
    // Root's scan over nobody's file leaves it nobody's.
    WriteText(dir / "theirs.json", "old");
    ASSERT_EQ(::chown((dir / "theirs.json").c_str(), 65534, 65534), 0);
    ASSERT_EQ(Report("-o " + Quote(dir / "theirs.json") + tree).status, 0);
    EXPECT_TRUE(IsScanFile(dir / "theirs.json"));
    EXPECT_EQ(StatOf(dir / "theirs.json").st_uid, 65534u);
    EXPECT_EQ(StatOf(dir / "theirs.json").st_gid, 65534u);
    // Nobody's scan over root's file that all may write: a new file could not be root's, so
    // the file itself is written, as a shell's redirection writes it.
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    if (std::system((asNobody + "test -x " + BRIMWELL_REPORT_PATH).c_str()) != 0)
        return;  // the build cannot be run as nobody
    WriteText(dir / "shared.json", "old");
    ::chmod((dir / "shared.json").c_str(), 0666);
    ASSERT_EQ(Report("-o " + Quote(dir / "shared.json") + tree, asNobody).status, 0);
    EXPECT_TRUE(IsScanFile(dir / "shared.json"));
    EXPECT_EQ(StatOf(dir / "shared.json").st_uid, 0u);
    EXPECT_EQ(StatOf(dir / "shared.json").st_mode & 07777, 0666u);
}

// Starts brimwell-report with the termination signals at their default action, whatever
// this process does with them; its process id.
pid_t StartReport(const std::vector<std::string>& arguments) {
    std::vector<char*> argv{const_cast<char*>(BRIMWELL_REPORT_PATH)};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, number);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    ::posix_spawn(&pid, argv[0], nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

bool WaitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

TEST(ScanFileOutput, ATerminationSignalDuringTheWriteLeavesTheOldFileAndNothingBeside) {
    TempDir dir;
    // A pipe held open and never written: the tool reads its scan file from it and waits,
    // its output opened and not yet written.
    const std::string pipe = dir / "export.pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int holder = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    WriteText(dir / "out/scan.json", "old");
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        pid_t pid = StartReport({"-f", pipe, "-o", dir / "out/scan.json"});
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(WaitUntil([&] { return Entries(dir / "out").size() == 2; }));  // FILE.tmp...
        ::kill(pid, number);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << number;
        EXPECT_EQ(Entries(dir / "out"), std::vector<std::string>{"scan.json"}) << number;
        EXPECT_EQ(ReadText(dir / "out/scan.json"), "old");
    }
    ::close(holder);
}

}  // namespace
