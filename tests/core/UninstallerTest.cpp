// Uninstall: the "Wininit.ini" lines and header detection, paths that must not be
// scheduled (also those a package owns), the autostart entry actually run, and the whole
// uninstall sequence.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <set>

#include "SetupTestSupport.h"
#include "desktop/Dialogs.h"
#include "desktop/PackageFiles.h"
#include "desktop/PendingDeletions.h"
#include "setup/Setup.h"
#include "setup/Uninstaller.h"

extern char** environ;

using namespace setuptest;

namespace {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwell";

// Answers every question with Yes and records everything shown, in order.
struct ScriptedDialogs : Dialogs {
    std::vector<std::pair<std::string, std::string>> shown;  // caption, text
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    void ShowMessage(const std::string& caption, const std::string& text, Icon) override {
        shown.emplace_back(caption, text);
    }
    // Setup never asks for a file or a printer; the user would cancel.
    std::optional<QString> ChooseSaveFile(QWidget*, const SaveFileRequest&) override {
        return std::nullopt;
    }
    bool ChoosePrinter(QWidget*, QPrinter&) override { return false; }
};

// Owns exactly the paths it is given.
struct FakePackageFiles : PackageFiles {
    std::set<fs::path> owned;
    bool Owns(const fs::path& path) const override { return owned.contains(path); }
};

}  // namespace

class UninstallerTest : public TempPathsTest {
  protected:
    ScriptedDialogs dialogs;
    FakePackageFiles packages;
    PendingDeletions pending{paths};
    fs::path wininit = paths.BrimwellConfig() / "Wininit.ini";

    std::string Lines() const {
        return "NUL=" + paths.programPath.string() +
               "\r\nNUL=" + paths.programPath.parent_path().string() + "\r\n";
    }
    bool Schedule() {
        return Uninstaller(paths, dialogs, packages).ScheduleDeletion(paths.programPath);
    }

    // Runs the autostart entry's Exec line as a launcher would; true when it exits with 0.
    bool RunAutostartEntry() {
        std::vector<std::string> words = SplitExec(ReadDesktopEntry(pending.RunnerEntry())["Exec"]);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t child = 0;
        int status = 0;
        return !words.empty() &&
               ::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) == 0 &&
               ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    }
};

TEST_F(UninstallerTest, HeaderIsAddedUnlessTheFirst10000BytesHoldItInExactCase) {
    const std::string filler(9990, ';');
    const std::vector<std::pair<std::string, bool>> cases = {
        {"", true},
        {filler + "\r\n[rename]\r\n", false},  // bytes 9992 to 9999: inside
        {filler + ";\r\n[rename]\r\n", true},  // its last byte is byte 10001
        {"[RENAME]\r\nNUL=/old\r\n", true},
        {"[other]\r\n[\r\nno final line break", true},
    };
    for (const auto& [before, headerAdded] : cases) {
        if (!before.empty())
            WriteText(wininit, before);
        ASSERT_TRUE(Schedule());
        const std::string after = ReadText(wininit);
        ASSERT_EQ(after.substr(0, before.size()), before);
        std::string separator = before.empty() || before.back() == '\n' ? "" : "\r\n";
        EXPECT_EQ(after.substr(before.size()),
                  separator + (headerAdded ? "[rename]\r\n" : "") + Lines())
            << "file of " << before.size() << " bytes: " << before.substr(0, 12);
    }
}

TEST_F(UninstallerTest, PathsThatCouldNameAnotherFileAreNotScheduled) {
    Uninstaller uninstaller(paths, dialogs, packages);
    EXPECT_FALSE(uninstaller.ScheduleDeletion(root / "odd\nname/brimwell"));
    EXPECT_FALSE(uninstaller.ScheduleDeletion("relative/brimwell"));
    EXPECT_FALSE(fs::exists(wininit));
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));
    ASSERT_TRUE(uninstaller.ScheduleDeletion("/brimwell"));  // never the root folder
    EXPECT_EQ(ReadText(wininit), "[rename]\r\nNUL=/brimwell\r\n");
}

TEST_F(UninstallerTest, AutostartEntryDeletesFilesThenEmptyFoldersAndClearsUp) {
    // A folder name that would break any unquoted or spliced use in the shell, and a second
    // program whose folder still holds a file of the user's.
    const fs::path odd = root / "Brim \"quoted\" it's $HOME `id` 100% \\ end/brimwell";
    const fs::path shared = root / "shared/brimwell";
    for (const fs::path& program : {odd, shared})
        WriteText(program, "program");
    WriteText(root / "Brim", "a neighbour that must stay");
    WriteText(root / "shared/notes.txt", "mine");
    WriteText(wininit, "[other]\r\nkey=value\r\n");
    Uninstaller uninstaller(paths, dialogs, packages);
    ASSERT_TRUE(uninstaller.ScheduleDeletion(odd) && uninstaller.ScheduleDeletion(shared));

    ASSERT_TRUE(RunAutostartEntry());
    EXPECT_FALSE(fs::exists(odd.parent_path()));
    EXPECT_FALSE(fs::exists(shared));
    EXPECT_EQ(ReadText(root / "shared/notes.txt"), "mine");
    EXPECT_TRUE(fs::exists(root / "Brim"));
    EXPECT_EQ(ReadText(wininit), "[other]\r\nkey=value\r\n[rename]\r\n");
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));
}

TEST_F(UninstallerTest, RunRemovesEntriesAndShortcutsSchedulesAndAsksForARestart) {
    ::Setup(paths).Run(false);
    ::Setup(paths).WriteUninstallEntry();
    Registry registry(paths);
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine, kUninstallKey, "UninstallString"),
              paths.programPath.string() + " -U");
    Uninstaller(paths, dialogs, packages).Run();
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::Machine, kUninstallKey));
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::Machine, "SOFTWARE\\Microsoft"));
    EXPECT_FALSE(fs::exists(paths.userApplications / "Brimwell"));
    EXPECT_EQ(ReadText(wininit), "[rename]\r\n" + Lines());
    const std::pair<std::string, std::string> restart = {
        "Brimwell", "You must restart your machine to complete the uninstall"};
    EXPECT_EQ(dialogs.shown, (std::vector{restart}));

    paths.configHome = paths.machineRoot = Uncreatable(root);  // nothing can be written
    Uninstaller(paths, dialogs, packages).Run();
    EXPECT_EQ(dialogs.shown, (std::vector{restart, restart}));
}

TEST_F(UninstallerTest, FilesAPackageOwnsAreLeftToThePackageManager) {
    // Installed from a package: the program file and its folder are the package's, so
    // nothing is scheduled, and the messages are the same.
    packages.owned = {paths.programPath, paths.programPath.parent_path()};
    Uninstaller(paths, dialogs, packages).Run();
    EXPECT_FALSE(fs::exists(wininit));
    EXPECT_FALSE(fs::exists(pending.RunnerEntry()));
    EXPECT_EQ(dialogs.shown, (std::vector<std::pair<std::string, std::string>>{
                                 {"Brimwell",
                                  "You must restart your machine to complete the "
                                  "uninstall"}}));

    // The user's own copy in a folder that a package owns: only the file goes.
    packages.owned = {paths.programPath.parent_path()};
    ASSERT_TRUE(Schedule());
    EXPECT_EQ(ReadText(wininit), "[rename]\r\nNUL=" + paths.programPath.string() + "\r\n");
}
