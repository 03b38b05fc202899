// Self-install: the start-menu and program-group desktop entries, which folder receives
// them, and their removal.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "setup/Setup.h"

using namespace setuptest;

namespace {

std::vector<fs::path> FilesUnder(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; ++it) {
        files.push_back(it->path());
    }
    return files;
}

}  // namespace

using SelfInstall = TempPathsTest;

TEST_F(SelfInstall, WithoutTheAllUsersFolderEntriesGoToTheUserFolderAndAreRemoved) {
    paths.programPath = paths.programPath.parent_path() / "brimwell-1.0";  // another name
    ::Setup(paths).Run(false);
    const fs::path apps = paths.userApplications;
    const std::string groupTarget = paths.programPath.parent_path() / "brimwell";
    auto startMenu = ReadDesktopEntry(apps / "Brimwell.desktop");
    EXPECT_EQ(startMenu["Name"], "Brimwell");
    EXPECT_EQ(SplitExec(startMenu["Exec"]), (std::vector<std::string>{paths.programPath}));
    auto program = ReadDesktopEntry(apps / "Brimwell/Brimwell.desktop");
    EXPECT_EQ(SplitExec(program["Exec"]), (std::vector<std::string>{groupTarget}));
    auto uninstall = ReadDesktopEntry(apps / "Brimwell/UninstallMe.desktop");
    EXPECT_EQ(uninstall["Name"], "UninstallMe");
    EXPECT_EQ(SplitExec(uninstall["Exec"]), (std::vector<std::string>{groupTarget, "-U"}));
    EXPECT_EQ(FilesUnder(apps).size(), 4u);  // three entries and the group folder
    ::Setup(paths).Run(true);
    EXPECT_TRUE(FilesUnder(apps).empty());

    ::Setup(paths).Run(false);
    WriteText(apps / "Brimwell/notes.txt", "mine");
    ::Setup(paths).Run(true);  // the group stays while it holds a file of the user's
    EXPECT_EQ(FilesUnder(apps),
              (std::vector<fs::path>{apps / "Brimwell", apps / "Brimwell/notes.txt"}));

    fs::remove_all(apps);
    paths.programPath.clear();  // an unknown program file: no entry that runs nothing
    ::Setup(paths).Run(false);
    EXPECT_EQ(FilesUnder(apps), std::vector<fs::path>{apps / "Brimwell"});
}

TEST_F(SelfInstall, AllUsersFolderIsUsedWhenItExistsEvenIfItCannotBeWritten) {
    fs::create_directories(paths.allUsersApplications);
    ::Setup(paths).Run(false);
    EXPECT_EQ(FilesUnder(paths.allUsersApplications).size(), 4u);
    ::Setup(paths).Run(true);
    EXPECT_TRUE(FilesUnder(paths.allUsersApplications).empty());

    paths.allUsersApplications = "/proc/self";  // exists, but nobody can create files there
    ::Setup(paths).Run(false);
    EXPECT_FALSE(fs::exists(paths.userApplications));
}
