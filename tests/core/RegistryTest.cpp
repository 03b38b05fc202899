// The registry stand-in: key semantics, the text form, damaged files and two processes
// writing at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SetupTestSupport.h"
#include "desktop/Registry.h"

using namespace setuptest;

TEST(RegistryTree, KeysIgnoreCaseAndOnlyKeysWithoutSubkeysCanBeDeleted) {
    RegistryTree tree;
    tree.CreateKey("Folder\\shell\\Brimwell\\command");
    tree.CreateKey("\\folder\\\\SHELL\\Brimwell x\\");  // sorts between "Brimwell" and its child
    EXPECT_EQ(tree.SubkeyNames("FOLDER\\shell"),
              (std::vector<std::string>{"Brimwell", "Brimwell x"}));
    EXPECT_TRUE(tree.SetValue("folder\\shell\\brimwell", "", "Brimwell"));
    EXPECT_TRUE(tree.SetValue("Folder\\shell\\Brimwell", "NAME", "two"));
    EXPECT_EQ(tree.Value("FOLDER\\shell\\BRIMWELL", ""), "Brimwell");
    EXPECT_EQ(tree.Value("Folder\\shell\\Brimwell", "name"), "two");
    EXPECT_FALSE(tree.SetValue("No\\such\\key", "", "x"));

    EXPECT_EQ(tree.DeleteKey("Folder\\shell\\Brimwell"), RegStatus::Denied);
    EXPECT_EQ(tree.DeleteKey("Folder\\shell\\Brimwell\\command"), RegStatus::Ok);
    EXPECT_EQ(tree.DeleteKey("Folder\\shell\\Brimwell"), RegStatus::Ok);
    EXPECT_EQ(tree.DeleteKey("Folder\\shell\\Brimwell"), RegStatus::NotFound);
    EXPECT_EQ(tree.DeleteKey(""), RegStatus::Denied);
    EXPECT_TRUE(tree.HasKey("Folder\\shell\\Brimwell x"));
}

using RegistryFiles = TempPathsTest;

TEST_F(RegistryFiles, AnyBytesRoundTripAndADamagedFileKeepsWhatWasReadableWhenWrittenAgain) {
    const std::string awkward = "tab\t, line\nfeed, cr\r, 100%, back\\slash, \xff, a=b";
    Registry registry(paths);
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::User, "Key"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::User, "Key", awkward, awkward));
    const fs::path file = registry.FileOf(RegistryRoot::User);
    std::string damaged = ReadText(file) +
                          "value\tBroken\tName\tbad escape %G1\n"
                          "\x01 binary garbage \xff\n"
                          "value\tLost\\Key\tv\tkept although its key line is gone\n"
                          "value\tLast\tName\tno line f";
    damaged.insert(damaged.find("binary"), 1, '\0');
    WriteText(file, damaged);

    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "key", awkward), awkward);
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Lost\\Key", "v"),
              "kept although its key line is gone");
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::User, "Other"));
    RegistryTree rewritten = RegistryTree::Parse(ReadText(file));
    EXPECT_EQ(rewritten.Value("Last", "Name"), "no line f");
    EXPECT_EQ(rewritten.SubkeyNames(""),
              (std::vector<std::string>{"Key", "Last", "Lost", "Other"}));
    EXPECT_EQ(ReadText(file).find("garbage"), std::string::npos);
}

TEST_F(RegistryFiles, TwoProcessesWritingDifferentKeysLoseNothing) {
    constexpr std::size_t kWrites = 150;
    const char* prefixes[2] = {"First", "Second"};
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] != 0)
            continue;
        Registry registry(paths);
        for (std::size_t i = 0; i < kWrites; ++i) {
            std::string key = std::string(prefixes[c]) + "\\" + std::to_string(i);
            if (!registry.CreateKey(RegistryRoot::User, key))
                ::_exit(1);
        }
        ::_exit(0);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char* prefix : prefixes)  // each child wrote kWrites distinct keys
        EXPECT_EQ(Registry(paths).SubkeyNames(RegistryRoot::User, prefix).size(), kWrites);
}
