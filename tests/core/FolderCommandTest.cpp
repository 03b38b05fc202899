// The folder context-menu command: its two keys in the classes root and the desktop entry
// that file managers read, through refresh, removal, a half-written verb and a move.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "desktop/FolderVerbs.h"
#include "setup/FolderCommand.h"

using namespace setuptest;

class FolderCommandTest : public TempPathsTest {
  protected:
    Registry registry{paths};
    fs::path entry = FolderVerbEntryFile(paths.userApplications, "Brimwell");

    std::optional<std::string> Command() {
        return registry.GetValue(RegistryRoot::Classes, "Folder\\shell\\Brimwell\\command", "");
    }
    bool Registered() {
        return registry.KeyExists(RegistryRoot::Classes, "Folder\\shell\\Brimwell");
    }
};

TEST_F(FolderCommandTest, RefreshWritesBothKeysAndAFolderEntryNamingTheLatestProgram) {
    FolderCommand(paths).Refresh(true);
    EXPECT_EQ(registry.GetValue(RegistryRoot::Classes, "Folder\\shell\\Brimwell", ""), "Brimwell");
    EXPECT_EQ(Command(), paths.programPath.string() + " \"%1\"");
    auto keys = ReadDesktopEntry(entry);
    EXPECT_EQ(keys["Name"], "Brimwell");
    EXPECT_EQ(keys["MimeType"], "inode/directory;");
    EXPECT_EQ(keys["NoDisplay"], "true");
    EXPECT_EQ(SplitExec(keys["Exec"]), (std::vector<std::string>{paths.programPath, "%f"}));

    paths.programPath = root;  // moved, to a path far beyond 1040 characters
    for (char c : std::string("abcde"))
        paths.programPath /= std::string(250, c);
    paths.programPath /= "brimwell";
    FolderCommand(paths).Refresh(true);
    EXPECT_EQ(Command(), paths.programPath.string() + " \"%1\"");
    EXPECT_EQ(SplitExec(ReadDesktopEntry(entry)["Exec"]).front(), paths.programPath);
}

TEST_F(FolderCommandTest, RemovalTakesKeysAndEntryOrAHalfWrittenVerbButLeavesOtherVerbs) {
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Classes, "Folder\\shell\\Other\\command"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::Classes, "Folder\\shell\\Other\\command", "",
                                  "/usr/bin/other \"%1\""));
    FolderCommand(paths).Refresh(true);
    FolderCommand(paths).Refresh(false);  // as "-R" does
    EXPECT_FALSE(Registered());
    EXPECT_FALSE(fs::exists(entry));
    auto other = ReadDesktopEntry(FolderVerbEntryFile(paths.userApplications, "Other"));
    EXPECT_EQ(SplitExec(other["Exec"]), (std::vector<std::string>{"/usr/bin/other", "%f"}));

    FolderCommand(paths).Refresh(true);  // the next ordinary start
    EXPECT_TRUE(fs::exists(entry));

    FolderCommand(paths).Remove();
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Classes, "Folder\\shell\\Brimwell"));
    ASSERT_TRUE(
        registry.SetValue(RegistryRoot::Classes, "Folder\\shell\\Brimwell", "", "Brimwell"));
    EXPECT_FALSE(fs::exists(entry));  // a verb without a command is not offered
    FolderCommand(paths).Remove();
    EXPECT_FALSE(Registered());
}
