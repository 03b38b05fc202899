// The folder context-menu command: its two keys in the classes root and the desktop entry
// that file managers read, through refresh, removal, a half-written verb and a move.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "platform/FolderVerbs.h"
#include "platform/Registry.h"
#include "setup/FolderCommand.h"
#include "setup/Setup.h"

using namespace setuptest;

class FolderCommandTest : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());
    fs::path entry = FolderVerbEntryFile(paths.userApplications, "Brimwell");

    std::optional<std::string> Classes(const char* key) {
        return Registry(paths).GetValue(RegistryRoot::Classes, key, "");
    }
    bool Registered() {
        return Registry(paths).KeyExists(RegistryRoot::Classes, "Folder\\shell\\Brimwell");
    }
};

TEST_F(FolderCommandTest, RefreshWritesBothKeysAndAFolderEntry) {
    FolderCommand(paths).Refresh(true);
    EXPECT_EQ(Classes("Folder\\shell\\Brimwell"), "Brimwell");
    EXPECT_EQ(Classes("Folder\\shell\\Brimwell\\command"), paths.programPath.string() + " \"%1\"");

    auto keys = ReadDesktopEntry(entry);
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_EQ(keys["Name"], "Brimwell");
    EXPECT_EQ(keys["MimeType"], "inode/directory;");
    EXPECT_EQ(keys["NoDisplay"], "true");
    EXPECT_EQ(SplitExec(keys["Exec"]),
              (std::vector<std::string>{paths.programPath.string(), "%f"}));
}

TEST_F(FolderCommandTest, InstallRunRemovesItAndTheNextOrdinaryStartWritesItAgain) {
    FolderCommand(paths).Refresh(true);
    ::Setup(paths).Run(false);  // "-R"
    FolderCommand(paths).Refresh(false);
    EXPECT_FALSE(Registered());
    EXPECT_TRUE(Registry(paths).KeyExists(RegistryRoot::Classes, "Folder\\shell"));
    EXPECT_FALSE(fs::exists(entry));

    FolderCommand(paths).Refresh(true);  // the next start without arguments
    EXPECT_TRUE(Registered());
    EXPECT_TRUE(fs::exists(entry));
}

TEST_F(FolderCommandTest, VerbWithoutCommandIsNotOfferedAndRemovalClearsIt) {
    Registry registry(paths);
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Classes, "Folder\\shell\\Brimwell"));
    ASSERT_TRUE(
        registry.SetValue(RegistryRoot::Classes, "Folder\\shell\\Brimwell", "", "Brimwell"));
    EXPECT_FALSE(fs::exists(entry));

    FolderCommand(paths).Remove();
    EXPECT_FALSE(Registered());
}

TEST_F(FolderCommandTest, AMovedProgramIsRegisteredAtItsNewPlace) {
    FolderCommand(paths).Refresh(true);
    PlatformPaths moved = paths;
    moved.programPath = temp.Path() / "new place/brimwell";
    FolderCommand(moved).Refresh(true);
    EXPECT_EQ(Classes("Folder\\shell\\Brimwell\\command"), moved.programPath.string() + " \"%1\"");
    EXPECT_EQ(SplitExec(ReadDesktopEntry(entry)["Exec"]).front(), moved.programPath.string());
}

TEST_F(FolderCommandTest, OtherVerbsAndTheirEntriesAreLeftAlone) {
    Registry registry(paths);
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Classes, "Folder\\shell\\Other\\command"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::Classes, "Folder\\shell\\Other\\command", "",
                                  "/usr/bin/other \"%1\""));
    FolderCommand(paths).Refresh(true);
    FolderCommand(paths).Refresh(false);
    EXPECT_EQ(Classes("Folder\\shell\\Other\\command"), "/usr/bin/other \"%1\"");
    auto keys = ReadDesktopEntry(FolderVerbEntryFile(paths.userApplications, "Other"));
    EXPECT_EQ(keys["Name"], "Other");
    EXPECT_EQ(SplitExec(keys["Exec"]), (std::vector<std::string>{"/usr/bin/other", "%f"}));
}

TEST_F(FolderCommandTest, NothingToRemoveOrNoRightsChangeNothing) {
    FolderCommand(paths).Remove();
    EXPECT_FALSE(fs::exists(Registry(paths).FileOf(RegistryRoot::Classes)));

    WriteText(paths.BrimwellConfig(), "a file where the classes root's folder belongs");
    FolderCommand(paths).Refresh(true);
    EXPECT_FALSE(Registered());
    EXPECT_FALSE(fs::exists(entry));
}
