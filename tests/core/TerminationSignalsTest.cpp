// A second termination signal that lands while a file is being replaced (the settings as the
// window closes): the process ends by that signal, the old file stays whole, and the
// temporary file is not left behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>

#include <csignal>
#include <filesystem>

#include "TempDir.h"
#include "desktop/AtomicFile.h"
#include "desktop/TerminationSignals.h"

namespace fs = std::filesystem;

namespace {

// Sends the two signals from inside the write that exceeds the file size limit below.
void SignalTwice(int) {
    std::raise(SIGTERM);
    std::raise(SIGTERM);
}

}  // namespace

TEST(TerminationSignals, ASecondSignalEndsTheProcessWithoutTheTemporaryFileBeingWritten) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "ThreadSanitizer runs signal handlers itself, at points of its own, and a "
                    "signal raised inside one with the default action does not end the process";
#endif
    TempDir dir;
    const fs::path settings = dir / "Brimwell.ini";
    WriteText(settings, "[USERPREFS]\nMainWndW=640\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int argc = 1;
        char name[] = "probe";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        TerminationSignals termination([] {});
        // A write past 4 KiB raises SIGXFSZ in the middle of ReplaceFile, while its temporary
        // file exists; the two termination signals come from there.
        struct sigaction tooLarge {};
        tooLarge.sa_handler = SignalTwice;
        ::sigaction(SIGXFSZ, &tooLarge, nullptr);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ReplaceFile(settings, std::string(65536, 's'));
        ::_exit(0);  // not reached: the second signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(ReadText(settings), "[USERPREFS]\nMainWndW=640\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Brimwell.ini"});
}
