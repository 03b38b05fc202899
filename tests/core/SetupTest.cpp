// Self-install: the start-menu and program-group desktop entries, which folder receives
// them, their removal, and the uninstall entry in the machine root.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "platform/Registry.h"
#include "setup/Setup.h"

using namespace setuptest;

namespace {
constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwell";
}

class SelfInstallTest : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());

    // The running file under another name than "brimwell".
    void RenameProgram() {
        paths.programPath = paths.programPath.parent_path() / "brimwell-1.0";
        WriteText(paths.programPath, "program");
    }
    static std::vector<fs::path> FilesUnder(const fs::path& folder) {
        std::vector<fs::path> files;
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(folder, error);
             !error && it != fs::recursive_directory_iterator(); ++it) {
            files.push_back(it->path());
        }
        return files;
    }
};

TEST_F(SelfInstallTest, WithoutTheAllUsersFolderEntriesGoToTheUserFolder) {
    RenameProgram();
    ::Setup(paths).Run(false);
    const fs::path apps = paths.userApplications;
    const std::string groupTarget = (paths.programPath.parent_path() / "brimwell").string();

    auto startMenu = ReadDesktopEntry(apps / "Brimwell.desktop");
    EXPECT_EQ(startMenu["Type"], "Application");
    EXPECT_EQ(startMenu["Name"], "Brimwell");
    EXPECT_EQ(startMenu["Comment"], "Brimwell");
    EXPECT_EQ(SplitExec(startMenu["Exec"]), (std::vector<std::string>{paths.programPath}));

    auto program = ReadDesktopEntry(apps / "Brimwell/Brimwell.desktop");
    EXPECT_EQ(SplitExec(program["Exec"]), (std::vector<std::string>{groupTarget}));
    auto uninstall = ReadDesktopEntry(apps / "Brimwell/UninstallMe.desktop");
    EXPECT_EQ(uninstall["Name"], "UninstallMe");
    EXPECT_EQ(uninstall["Comment"], "UninstallMe");
    EXPECT_EQ(SplitExec(uninstall["Exec"]), (std::vector<std::string>{groupTarget, "-U"}));
    EXPECT_EQ(FilesUnder(apps).size(), 4u);  // three entries and the group folder
}

TEST_F(SelfInstallTest, AnExistingAllUsersFolderTakesTheEntries) {
    fs::create_directories(paths.allUsersApplications);
    ::Setup(paths).Run(false);
    EXPECT_TRUE(fs::exists(paths.allUsersApplications / "Brimwell.desktop"));
    EXPECT_TRUE(fs::exists(paths.allUsersApplications / "Brimwell/UninstallMe.desktop"));
    EXPECT_TRUE(FilesUnder(paths.userApplications).empty());

    ::Setup(paths).Run(true);
    EXPECT_TRUE(FilesUnder(paths.allUsersApplications).empty());
}

TEST_F(SelfInstallTest, AnAllUsersFolderThatCannotBeWrittenGetsNoShortcutAnywhere) {
    paths.allUsersApplications = UnwritableFolder();
    ::Setup(paths).Run(false);
    EXPECT_FALSE(fs::exists(paths.userApplications));
    ::Setup(paths).Run(true);  // nothing to remove, nothing happens
}

TEST_F(SelfInstallTest, RemovalTakesTheEntriesAndOnlyAnEmptyGroup) {
    ::Setup(paths).Run(false);
    ::Setup(paths).Run(true);
    EXPECT_TRUE(FilesUnder(paths.userApplications).empty());
    ::Setup(paths).Run(true);  // again: nothing left to remove

    ::Setup(paths).Run(false);
    WriteText(paths.userApplications / "Brimwell/notes.txt", "mine");
    ::Setup(paths).Run(true);
    EXPECT_EQ(FilesUnder(paths.userApplications),
              (std::vector<fs::path>{paths.userApplications / "Brimwell",
                                     paths.userApplications / "Brimwell/notes.txt"}));
}

TEST_F(SelfInstallTest, UninstallEntryNamesTheRunningProgram) {
    Registry registry(paths);
    ::Setup(paths).WriteUninstallEntry();
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine, kUninstallKey, "UninstallString"),
              paths.programPath.string() + " -U");
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine, kUninstallKey, "DisplayName"), "Brimwell");

    ::Setup(paths).DeleteUninstallEntry();
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::Machine, kUninstallKey));
    EXPECT_TRUE(registry.KeyExists(RegistryRoot::Machine, "SOFTWARE\\Microsoft"));

    RenameProgram();  // the next run after an uninstall writes it again, with its own path
    ::Setup(paths).WriteUninstallEntry();
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine, kUninstallKey, "UninstallString"),
              paths.programPath.string() + " -U");
}
