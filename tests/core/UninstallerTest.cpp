// Uninstall: the "Wininit.ini" lines and header detection, paths that must not be
// scheduled, the autostart entry actually run, and the whole uninstall sequence.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include "SetupTestSupport.h"
#include "platform/PendingDeletions.h"
#include "platform/Registry.h"
#include "setup/Setup.h"
#include "setup/Uninstaller.h"

extern char** environ;

using namespace setuptest;

class UninstallerTest : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());
    ScriptedDialogs dialogs;
    PendingDeletions pending{paths};
    fs::path wininit = paths.BrimwellConfig() / "Wininit.ini";
    std::string lines = "NUL=" + paths.programPath.string() +
                        "\r\nNUL=" + paths.programPath.parent_path().string() + "\r\n";

    // Runs the autostart entry's Exec line as a launcher would; true when it exits with 0.
    bool RunAutostartEntry() {
        std::vector<std::string> words = SplitExec(ReadDesktopEntry(pending.RunnerEntry())["Exec"]);
        if (words.empty())
            return false;
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t child = 0;
        if (::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            return false;
        }
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }
};

TEST_F(UninstallerTest, WithoutAFileTheHeaderAndTwoLinesAreWritten) {
    EXPECT_EQ(wininit, pending.InstructionFile());
    ASSERT_TRUE(Uninstaller(paths, dialogs).ScheduleDeletion(paths.programPath));
    EXPECT_EQ(ReadText(wininit), "[rename]\r\n" + lines);
    EXPECT_TRUE(fs::exists(pending.RunnerEntry()));
}

TEST_F(UninstallerTest, HeaderCountsOnlyInTheFirst10000BytesAndInItsExactCase) {
    const std::string filler(9990, ';');
    struct Case {
        std::string before;
        bool headerAdded;
    };
    const std::vector<Case> cases = {
        {"[rename]\r\nNUL=/old\r\n[other]\r\nk=v\r\n", false},
        {filler + "\r\n[rename]\r\n", false},  // bytes 9992 to 9999: inside
        {filler + ";\r\n[rename]\r\n", true},  // its last byte is byte 10001
        {"[RENAME]\r\nNUL=/old\r\n", true},
        {"[other]\r\n[\r\nk=[v]\r\n", true},
        {"[other]\r\nno final line break", true},
    };
    for (const Case& c : cases) {
        WriteText(wininit, c.before);
        ASSERT_TRUE(Uninstaller(paths, dialogs).ScheduleDeletion(paths.programPath));
        const std::string after = ReadText(wininit);
        ASSERT_EQ(after.substr(0, c.before.size()), c.before);
        std::string separator = c.before.back() == '\n' ? "" : "\r\n";
        std::string header = c.headerAdded ? "[rename]\r\n" : "";
        EXPECT_EQ(after.substr(c.before.size()), separator + header + lines)
            << "file of " << c.before.size() << " bytes: " << c.before.substr(0, 12);
    }
}

TEST_F(UninstallerTest, SchedulingTwiceAddsTwoMoreLinesUnderOneHeader) {
    Uninstaller uninstaller(paths, dialogs);
    ASSERT_TRUE(uninstaller.ScheduleDeletion(paths.programPath));
    ASSERT_TRUE(uninstaller.ScheduleDeletion(paths.programPath));
    EXPECT_EQ(ReadText(wininit), "[rename]\r\n" + lines + lines);
}

TEST_F(UninstallerTest, PathsThatCouldNameAnotherFileAreNotScheduled) {
    Uninstaller uninstaller(paths, dialogs);
    EXPECT_FALSE(uninstaller.ScheduleDeletion(temp.Path() / "odd\nname/brimwell"));
    EXPECT_FALSE(uninstaller.ScheduleDeletion("relative/brimwell"));
    EXPECT_FALSE(uninstaller.ScheduleDeletion(""));
    EXPECT_FALSE(fs::exists(wininit));
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));

    ASSERT_TRUE(uninstaller.ScheduleDeletion("/brimwell"));  // never the root folder
    EXPECT_EQ(ReadText(wininit), "[rename]\r\nNUL=/brimwell\r\n");
}

TEST_F(UninstallerTest, AutostartEntryDeletesTheFileThenItsFolderAndClearsUp) {
    // A folder name that would break any unquoted or spliced shell use.
    paths.programPath = temp.Path() / "Brim \"quoted\" it's $HOME `id` 100% \\ end/brimwell";
    WriteText(paths.programPath, "program");
    WriteText(temp.Path() / "Brim", "a neighbour that must stay");
    WriteText(wininit, "[other]\r\nkey=value\r\n");
    Uninstaller uninstaller(paths, dialogs);
    ASSERT_TRUE(uninstaller.ScheduleDeletion(paths.programPath));

    ASSERT_TRUE(RunAutostartEntry());
    EXPECT_FALSE(fs::exists(paths.programPath));
    EXPECT_FALSE(fs::exists(paths.programPath.parent_path()));
    EXPECT_TRUE(fs::exists(temp.Path() / "Brim"));
    EXPECT_EQ(ReadText(wininit), "[other]\r\nkey=value\r\n[rename]\r\n");
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));
}

TEST_F(UninstallerTest, AutostartEntryKeepsAFolderThatStillHoldsFiles) {
    WriteText(paths.programPath.parent_path() / "notes.txt", "mine");
    ASSERT_TRUE(Uninstaller(paths, dialogs).ScheduleDeletion(paths.programPath));
    ASSERT_TRUE(RunAutostartEntry());
    EXPECT_FALSE(fs::exists(paths.programPath));
    EXPECT_EQ(ReadText(paths.programPath.parent_path() / "notes.txt"), "mine");
    EXPECT_FALSE(fs::exists(wininit));  // nothing but the header was left
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));
}

TEST_F(UninstallerTest, RunRemovesEntriesAndShortcutsSchedulesAndAsksForARestart) {
    ::Setup(paths).Run(false);
    ::Setup(paths).WriteUninstallEntry();
    WriteText(paths.configHome / "Brimwell.ini", "[USERPREFS]\nMainWndW=640\n");

    Uninstaller(paths, dialogs).Run();
    EXPECT_FALSE(Registry(paths).KeyExists(
        RegistryRoot::Machine,
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwell"));
    EXPECT_FALSE(fs::exists(paths.userApplications / "Brimwell.desktop"));
    EXPECT_FALSE(fs::exists(paths.userApplications / "Brimwell"));
    EXPECT_EQ(ReadText(wininit), "[rename]\r\n" + lines);
    EXPECT_TRUE(fs::exists(paths.programPath));  // only at the next login
    EXPECT_EQ(ReadText(paths.configHome / "Brimwell.ini"), "[USERPREFS]\nMainWndW=640\n");
    EXPECT_EQ(dialogs.shown,
              (std::vector<std::pair<std::string, std::string>>{
                  {"Brimwell", "You must restart your machine to complete the uninstall"}}));
}

TEST_F(UninstallerTest, RunShowsTheMessageEvenWhenNothingCanBeWritten) {
    paths.configHome = Uncreatable(temp.Path());
    paths.machineRoot = Uncreatable(temp.Path());
    Uninstaller(paths, dialogs).Run();
    EXPECT_EQ(dialogs.shown.size(), 1u);
}
