// Desktop entries: Exec quoting that a launcher undoes exactly, and folder verb commands
// turned into Exec arguments.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "desktop/DesktopEntry.h"
#include "desktop/FolderVerbs.h"

using namespace setuptest;

TEST(DesktopEntry, LauncherGetsEveryExecArgumentBackUnchanged) {
    const std::vector<std::string> arguments = {"/opt/Brim Tools/brimwell",
                                                "-U",
                                                "",
                                                "quote\"d it's back\\slash $HOME `id` 100%",
                                                "%f",
                                                "new\nline\ttab",
                                                " lead",
                                                "a;b|c&d>e<f~*?#()"};
    std::vector<ExecArgument> exec;
    for (const std::string& argument : arguments)
        exec.push_back({argument});
    EXPECT_EQ(FormatExec({exec[0], exec[1]}), "\"/opt/Brim Tools/brimwell\" -U");

    TempDir temp;
    DesktopEntry entry;
    entry.Set("Name", " Brim\\well\n");
    entry.Set("Exec", FormatExec(exec));
    ASSERT_TRUE(WriteDesktopEntry(temp / "apps/x.desktop", entry));
    auto keys = ReadDesktopEntry(temp / "apps/x.desktop");
    EXPECT_EQ(keys["Name"], " Brim\\well\n");
    EXPECT_EQ(SplitExec(keys["Exec"]), arguments);
}

TEST(FolderVerbs, CommandsBecomeExecArguments) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"\"/opt/x y/prog\" -a \"%1\" -b", {"/opt/x y/prog", "-a", "%f", "-b"}},
        {"/opt/%1 dir/prog \"%1\"", {"/opt/%1 dir/prog", "%f"}},
        {" \"%1\"", {}},
    };
    for (const auto& [command, expected] : cases) {
        std::vector<std::string> words;
        for (const ExecArgument& argument : VerbCommandToExec(command)) {
            words.push_back(argument.text);
            EXPECT_EQ(argument.fieldCode, argument.text == "%f") << command;
        }
        EXPECT_EQ(words, expected) << command;
    }
}
