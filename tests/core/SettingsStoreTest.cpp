// The settings store: defaults on a first run, values read back, the 79-character limit,
// and where the values land with and without rights on the machine root.
#include <gtest/gtest.h>

#include <sstream>

#include "SetupTestSupport.h"
#include "platform/IniText.h"
#include "platform/PrivateProfile.h"
#include "platform/Registry.h"
#include "setup/SettingsStore.h"

using namespace setuptest;

class SettingsStoreTest : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());
    std::ostringstream out;
    fs::path ini = paths.configHome / "Brimwell.ini";
    const std::string mappingKey = std::string(kIniFileMappingKey) + "\\Brimwell.ini";

    void WritePlacement(SettingsStore& store) {
        store.WriteInt("USERPREFS", "MainWndW", 640);
        store.WriteInt("USERPREFS", "MainWndH", 480);
        store.WriteInt("USERPREFS", "MainWndL", -8);
        store.WriteInt("USERPREFS", "MainWndT", -8);
        store.WriteInt("USERPREFS", "SPLITTERW0", 250);
    }
    void ExpectPlacement(SettingsStore& store) {
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndW", -1), 640);
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndH", -1), 480);
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndL", -1), -8);
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndT", -1), -8);
        EXPECT_EQ(store.ReadInt("USERPREFS", "SPLITTERW0", 200), 250);
    }
};

TEST_F(SettingsStoreTest, FirstRunGivesTheDefaultsAndWritesNothing) {
    SettingsStore store(paths, out);
    for (const char* key : {"MainWndW", "MainWndH", "MainWndL", "MainWndT"}) {
        EXPECT_EQ(store.ReadInt("USERPREFS", key, -1), -1) << key;
    }
    EXPECT_EQ(store.ReadInt("USERPREFS", "SPLITTERW0", 200), 200);
    EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", nullptr), "");
    EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", " (default)"), " (default)");
    EXPECT_FALSE(fs::exists(paths.configHome));
    EXPECT_FALSE(fs::exists(paths.machineRoot));
    EXPECT_EQ(out.str(), "");
}

TEST_F(SettingsStoreTest, WithTheMachineRootWritableTheSectionLivesInTheUserRoot) {
    {
        SettingsStore store(paths, out);
        WritePlacement(store);
    }
    SettingsStore store(paths, out);  // a later run
    ExpectPlacement(store);

    Registry registry(paths);
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine, mappingKey, "USERPREFS"),
              "USR:Brimwell\\USERPREFS");
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndL"), "-8");
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "SPLITTERW0"), "250");
    EXPECT_FALSE(fs::exists(ini));
    EXPECT_EQ(out.str(), "");
}

TEST_F(SettingsStoreTest, WithoutRightsOnTheMachineRootSettingsLandInTheFileSilently) {
    paths.machineRoot = Uncreatable(temp.Path());
    {
        SettingsStore store(paths, out);
        WritePlacement(store);
    }
    SettingsStore store(paths, out);
    ExpectPlacement(store);
    EXPECT_EQ(ReadText(ini),
              "[USERPREFS]\nMainWndW=640\nMainWndH=480\nMainWndL=-8\nMainWndT=-8\n"
              "SPLITTERW0=250\n");
    EXPECT_FALSE(Registry(paths).KeyExists(RegistryRoot::User, "Brimwell"));
    EXPECT_EQ(out.str(), "");
}

TEST_F(SettingsStoreTest, TextComesBackCutTo79Characters) {
    const std::string hundred =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-+*/=abcdefghijklm"
        "nopqrstuvw";
    ASSERT_EQ(hundred.size(), 100u);
    for (bool machineWritable : {true, false}) {
        TempFolder folder;
        PlatformPaths where = PathsUnder(folder.Path());
        if (!machineWritable)
            where.machineRoot = Uncreatable(folder.Path());
        SettingsStore store(where, out);
        store.WriteString("USERPREFS", "DEFAULT", hundred);
        store.WriteString("USERPREFS", "Short", " (work)");
        EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", nullptr), hundred.substr(0, 79));
        EXPECT_EQ(store.ReadString("USERPREFS", "Short", nullptr), " (work)");
        EXPECT_EQ(store.ReadString("USERPREFS", "Absent", hundred.c_str()), hundred.substr(0, 79));
    }
}

TEST_F(SettingsStoreTest, UserKeyThatCannotBeCreatedIsReportedOnTheOutput) {
    WriteText(paths.BrimwellConfig(), "a file where the user root's folder belongs");
    SettingsStore store(paths, out);
    store.EnsureMapping("USERPREFS");
    EXPECT_EQ(out.str(), "Error in creating App Name key\n");
    EXPECT_EQ(Registry(paths).GetValue(RegistryRoot::Machine, mappingKey, "USERPREFS"),
              "USR:Brimwell\\USERPREFS");
}
