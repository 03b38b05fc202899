// The registry stand-in: key semantics, the text form, damaged and unreadable files, roots
// that cannot be written, and two processes writing at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "SetupTestSupport.h"
#include "platform/Registry.h"
#include "platform/RegistryTree.h"

using namespace setuptest;

TEST(RegistryTree, KeysIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryTree tree;
    tree.CreateKey("Folder\\shell\\Brimwell");
    EXPECT_TRUE(tree.HasKey("FOLDER\\SHELL"));
    EXPECT_TRUE(tree.HasKey("\\folder\\\\shell\\brimwell\\"));
    EXPECT_FALSE(tree.HasKey("Folder\\shell\\Brim"));
    tree.CreateKey("folder\\SHELL\\other");
    EXPECT_EQ(tree.SubkeyNames("folder\\shell"), (std::vector<std::string>{"Brimwell", "other"}));
    EXPECT_EQ(tree.SubkeyNames(""), (std::vector<std::string>{"Folder"}));

    EXPECT_TRUE(tree.SetValue("folder\\shell\\brimwell", "", "Brimwell"));
    EXPECT_TRUE(tree.SetValue("Folder\\shell\\Brimwell", "Name", "one"));
    EXPECT_TRUE(tree.SetValue("Folder\\shell\\Brimwell", "NAME", "two"));
    EXPECT_EQ(tree.Value("FOLDER\\shell\\BRIMWELL", ""), "Brimwell");
    EXPECT_EQ(tree.Value("Folder\\shell\\Brimwell", "name"), "two");
    EXPECT_EQ(tree.Value("Folder\\shell\\Brimwell", "absent"), std::nullopt);
    EXPECT_FALSE(tree.SetValue("No\\such\\key", "", "x"));
    EXPECT_FALSE(tree.HasKey("No"));
}

TEST(RegistryTree, DeletesOnlyKeysWithoutSubkeys) {
    RegistryTree tree;
    tree.CreateKey("a\\b\\c");
    tree.CreateKey("a\\b c");  // sorts between "a\b" and "a\b\c"
    tree.CreateKey("a\\b-");
    EXPECT_EQ(tree.DeleteKey("a\\b"), RegStatus::Denied);
    EXPECT_EQ(tree.DeleteKey("a\\b\\c"), RegStatus::Ok);
    EXPECT_EQ(tree.DeleteKey("A\\B"), RegStatus::Ok);
    EXPECT_EQ(tree.DeleteKey("a\\b"), RegStatus::NotFound);
    EXPECT_EQ(tree.DeleteKey(""), RegStatus::Denied);
    EXPECT_EQ(tree.SubkeyNames("a"), (std::vector<std::string>{"b c", "b-"}));
}

TEST(RegistryTree, TextFormKeepsAnyBytesOnOneLineEach) {
    const std::string awkward = "tab\there, line\nfeed, cr\r, 100%, back\\slash, \xff\xfe, a=b";
    RegistryTree tree;
    tree.CreateKey("Some\\Key " + awkward.substr(0, 8));
    tree.SetValue("Some\\Key " + awkward.substr(0, 8), awkward, awkward);
    tree.SetValue("Some", "", "");
    std::string text = tree.Serialize();

    size_t lines = 0;
    for (char c : text)
        lines += c == '\n';
    EXPECT_EQ(lines, 5u);  // comment, two keys, two values

    RegistryTree back = RegistryTree::Parse(text);
    EXPECT_EQ(back.Value("some\\key " + awkward.substr(0, 8), awkward), awkward);
    EXPECT_EQ(back.Value("Some", ""), "");
    EXPECT_EQ(back.Serialize(), text);
}

TEST(RegistryTree, DamagedTextGivesEveryLineThatCanBeRead) {
    std::string text =
        "key\tGood\\One\r\n"
        "value\tGood\\One\tName\tkept\n"
        "value\tBroken\tName\tbad escape %G1\n"
        "value\tTooFew\tName\n"
        "\x01\x02 binary  garbage \xff\n"
        "frob\tUnknown\n"
        "value\tLost\\Key\\Line\tv\tstill here\n"
        "value\tTruncated\\Last\tName\tno line f";
    text.insert(text.find("binary") + 7, 1, '\0');
    RegistryTree tree = RegistryTree::Parse(text);
    EXPECT_EQ(tree.Value("Good\\One", "Name"), "kept");
    EXPECT_EQ(tree.Value("Lost\\Key\\Line", "v"), "still here");
    EXPECT_TRUE(tree.HasKey("Lost"));
    EXPECT_EQ(tree.Value("Truncated\\Last", "Name"), "no line f");
    EXPECT_FALSE(tree.HasKey("Broken"));
    EXPECT_FALSE(tree.HasKey("TooFew"));
    EXPECT_FALSE(tree.HasKey("Unknown"));
}

class RegistryFiles : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());
};

TEST_F(RegistryFiles, DamagedFileIsReadAndTheNextWriteKeepsWhatWasReadable) {
    Registry registry(paths);
    const fs::path file = registry.FileOf(RegistryRoot::User);
    EXPECT_EQ(file, paths.configHome / "Brimwell/user.reg");
    WriteText(file, "value\tBrimwell\\USERPREFS\tMainWndW\t640\n\xff\xfe garbage\nvalue\tX\n");

    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndW"), "640");
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::User, "Other"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::User, "Other", "k", "v"));

    RegistryTree rewritten = RegistryTree::Parse(ReadText(file));
    EXPECT_EQ(rewritten.Value("Brimwell\\USERPREFS", "MainWndW"), "640");
    EXPECT_EQ(rewritten.Value("Other", "k"), "v");
    EXPECT_EQ(ReadText(file).find("garbage"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "user.reg" || name == "user.reg.lock") << "left behind: " << name;
    }
}

TEST_F(RegistryFiles, UnreadableFileIsNeverReplaced) {
    Registry registry(paths);
    const fs::path file = registry.FileOf(RegistryRoot::User);
    fs::create_directories(file);  // a folder where the file should be
    WriteText(file / "inside", "precious");

    EXPECT_FALSE(registry.KeyExists(RegistryRoot::User, "Brimwell"));
    EXPECT_FALSE(registry.CreateKey(RegistryRoot::User, "Brimwell"));
    EXPECT_EQ(ReadText(file / "inside"), "precious");
}

TEST_F(RegistryFiles, RootThatCannotBeWrittenFailsEveryChange) {
    paths.machineRoot = Uncreatable(temp.Path());
    Registry registry(paths);
    EXPECT_FALSE(registry.CreateKey(RegistryRoot::Machine, "SOFTWARE\\Brimwell"));
    EXPECT_FALSE(registry.SetValue(RegistryRoot::Machine, "", "name", "data"));
    EXPECT_EQ(registry.DeleteKey(RegistryRoot::Machine, "SOFTWARE"), RegStatus::Failed);
    EXPECT_FALSE(registry.KeyExists(RegistryRoot::Machine, "SOFTWARE"));

    // An existing key is no exception: opening it for writing needs the right to write.
    PlatformPaths writable = PathsUnder(temp.Path() / "second");
    ASSERT_TRUE(Registry(writable).CreateKey(RegistryRoot::Machine, "SOFTWARE"));
    fs::path machineFile = Registry(writable).FileOf(RegistryRoot::Machine);
    paths.machineRoot = UnwritableFolder();
    EXPECT_FALSE(Registry(paths).CreateKey(RegistryRoot::Machine, "SOFTWARE"));
    EXPECT_EQ(Registry(writable).DeleteKey(RegistryRoot::Machine, "Missing"), RegStatus::NotFound);
    EXPECT_TRUE(fs::exists(machineFile));
}

TEST_F(RegistryFiles, TwoProcessesWritingDifferentKeysLoseNothing) {
    constexpr int kWrites = 150;
    auto writer = [&](const char* prefix) {
        Registry registry(paths);
        for (int i = 0; i < kWrites; ++i) {
            if (!registry.CreateKey(RegistryRoot::User,
                                    std::string(prefix) + "\\" + std::to_string(i))) {
                return false;
            }
        }
        return true;
    };
    pid_t children[2];
    const char* prefixes[2] = {"First", "Second"};
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0)
            ::_exit(writer(prefixes[c]) ? 0 : 1);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    Registry registry(paths);
    for (const char* prefix : prefixes) {
        std::vector<std::string> expected;
        for (int i = 0; i < kWrites; ++i)
            expected.push_back(std::to_string(i));
        std::vector<std::string> names = registry.SubkeyNames(RegistryRoot::User, prefix);
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << prefix;
    }
}
