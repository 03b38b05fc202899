// Desktop entries: Exec quoting that a launcher undoes exactly, string escapes, folder verb
// commands turned into Exec lines, and the file names of verb entries.
#include <gtest/gtest.h>

#include <set>

#include "SetupTestSupport.h"
#include "platform/DesktopEntry.h"
#include "platform/FolderVerbs.h"

using namespace setuptest;

TEST(DesktopEntry, LauncherGetsEveryExecArgumentBackUnchanged) {
    const std::vector<std::string> arguments = {"/opt/Brim Tools/brimwell",
                                                "plain",
                                                "",
                                                "quote\"d",
                                                "it's",
                                                "back\\slash",
                                                "$HOME",
                                                "`id`",
                                                "100%",
                                                "%f",
                                                "new\nline",
                                                "tab\there",
                                                " lead",
                                                "a;b|c&d>e<f~*?#()"};
    std::vector<ExecArgument> exec;
    for (const std::string& argument : arguments)
        exec.push_back({argument});

    TempFolder temp;
    DesktopEntry entry;
    entry.Set("Exec", FormatExec(exec));
    ASSERT_TRUE(WriteDesktopEntry(temp.Path() / "apps/x.desktop", entry));
    auto keys = ReadDesktopEntry(temp.Path() / "apps/x.desktop");
    EXPECT_EQ(SplitExec(keys["Exec"]), arguments);
}

TEST(DesktopEntry, SimpleWordsAndFieldCodesStandUnquoted) {
    EXPECT_EQ(FormatExec({{"/usr/bin/brimwell"}, {"-U"}}), "/usr/bin/brimwell -U");
    EXPECT_EQ(FormatExec({{"/a b/x"}, {"%f", true}}), "\"/a b/x\" %f");
    EXPECT_EQ(FormatExec({{"/usr/bin/x"}, {"50%"}}), "/usr/bin/x 50%%");
}

TEST(DesktopEntry, StringValuesAreEscapedOnOneLine) {
    DesktopEntry entry;
    entry.Set("Name", " Brim\\well\nsecond\tline");
    entry.Set("NoDisplay", "true");
    EXPECT_EQ(entry.Text(),
              "[Desktop Entry]\nName=\\sBrim\\\\well\\nsecond\\tline\nNoDisplay=true\n");
}

TEST(FolderVerbs, CommandsBecomeExecArguments) {
    struct Case {
        std::string command;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {"/opt/Brim Tools/brimwell \"%1\"", {"/opt/Brim Tools/brimwell", "%f"}},
        {"\"/opt/x y/prog\" -a \"%1\" -b", {"/opt/x y/prog", "-a", "%f", "-b"}},
        {"/usr/bin/prog %1", {"/usr/bin/prog", "%f"}},
        {"/opt/%1 dir/prog \"%1\"", {"/opt/%1 dir/prog", "%f"}},
        {"/usr/bin/prog", {"/usr/bin/prog"}},
        {" \"%1\"", {}},
    };
    for (const Case& c : cases) {
        std::vector<ExecArgument> exec = VerbCommandToExec(c.command);
        std::vector<std::string> words;
        for (const ExecArgument& argument : exec) {
            words.push_back(argument.text);
            EXPECT_EQ(argument.fieldCode, argument.text == "%f") << c.command;
        }
        EXPECT_EQ(words, c.words) << c.command;
    }
}

TEST(FolderVerbs, EntryFileNamesAreSafeAndDistinct) {
    const fs::path apps = "/apps";
    EXPECT_EQ(FolderVerbEntryFile(apps, "Brimwell"), "/apps/brimwell-verb-Brimwell.desktop");
    std::set<fs::path> files;
    for (const char* verb : {"a b", "a_20b", "a/b", "a_2Fb", "../x"}) {
        fs::path file = FolderVerbEntryFile(apps, verb);
        EXPECT_EQ(file.parent_path(), apps) << verb;
        files.insert(file);
    }
    EXPECT_EQ(files.size(), 5u);
}
