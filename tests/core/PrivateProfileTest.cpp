// Profile (INI) files: reading like the private-profile functions, editing that keeps
// every other line, values that could inject lines, and the registry mapping's cache.
#include <gtest/gtest.h>

#include "SetupTestSupport.h"
#include "desktop/IniText.h"
#include "desktop/PrivateProfile.h"

using namespace setuptest;

TEST(IniText, FindsValuesLikeTheProfileFunctions) {
    const std::string text =
        "top=outside any section\n[Other]\nMainWndW=1\n"
        "[ userprefs ]\r\n; MainWndW=2\r\nno equals sign\r\n  mainwndw  =  640  \r\n"
        "MainWndW=3\r\nDEFAULT=\" (work)\"\r\nEmpty=\r\n";
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "MainWndW"), "640");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "DEFAULT"), " (work)");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "Empty"), "");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "top"), std::nullopt);
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "no equals sign"), std::nullopt);
}

TEST(IniText, SettingAValueKeepsEveryOtherLine) {
    const std::string text = "; comment\n[USERPREFS]\r\nMainWndW=1\r\n\n[Other]\nk=v";
    EXPECT_EQ(SetIniValue(text, "userprefs", "MAINWNDW", "640"),
              "; comment\n[USERPREFS]\r\nMAINWNDW=640\r\n\n[Other]\nk=v\n");
    EXPECT_EQ(SetIniValue(text, "USERPREFS", "MainWndH", "480"),
              "; comment\n[USERPREFS]\r\nMainWndW=1\r\nMainWndH=480\n\n[Other]\nk=v\n");
    EXPECT_EQ(SetIniValue(text, "New", "a", "b"), text + "\n\n[New]\na=b\n");
}

TEST(IniText, IntegersAndBufferLimits) {
    EXPECT_EQ(ParseProfileInt("  -8"), -8);
    EXPECT_EQ(ParseProfileInt("12abc"), 12);
    EXPECT_EQ(ParseProfileInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(FitToBuffer(std::string(77, 'a') + "\xe2\x82\xac" + "b", 80), std::string(77, 'a'));
    EXPECT_EQ(FitToBuffer(std::string(100, '\xe9'), 80), std::string(79, '\xe9'));  // Latin-1
}

class ProfileFiles : public TempPathsTest {
  protected:
    fs::path ini = paths.configHome / "Brimwell.ini";
    PrivateProfile profile{paths};

    std::string Get(const char* key) {
        return profile.GetString("USERPREFS", key, "-", 80, "Brimwell.ini");
    }
    bool Set(const char* key, const std::string& value) {
        return profile.WriteString("USERPREFS", key, value, "Brimwell.ini");
    }
};

TEST_F(ProfileFiles, DamagedFileKeepsItsLinesAndValuesCannotAddLines) {
    std::string damaged = "\xff\x01 binary\n[USERPREFS]\nMainWndW=5\ngarbage ] [ line\n";
    damaged.insert(2, 1, '\0');
    WriteText(ini, damaged);
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), 5);
    ASSERT_TRUE(Set("DEFAULT", " (work)"));
    ASSERT_TRUE(Set("Evil", "x\nMainWndW=1\r\n[Other]"));
    EXPECT_FALSE(Set("a=b", "1"));
    EXPECT_EQ(ReadText(ini), damaged + "DEFAULT=\" (work)\"\nEvil=x\n");
    EXPECT_EQ(Get("DEFAULT"), " (work)");
    EXPECT_EQ(Get("Evil"), "x");
}

TEST_F(ProfileFiles, MappedSectionIsReadFromTheRegistryWithTheFileForMissingKeys) {
    WriteText(ini, "[USERPREFS]\nMainWndW=1\nMainWndH=7\n");
    Registry registry(paths);
    const std::string mapping = std::string(kIniFileMappingKey) + "\\Brimwell.ini";
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Machine, mapping));
    ASSERT_TRUE(
        registry.SetValue(RegistryRoot::Machine, mapping, "USERPREFS", "USR:Brimwell\\USERPREFS"));
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::User, "Brimwell\\USERPREFS"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndW", "2"));

    profile.FlushCache("BRIMWELL.INI");
    EXPECT_EQ(Get("MainWndW"), "2");
    EXPECT_EQ(Get("MainWndH"), "7");  // not in the registry: the file still answers
    ASSERT_TRUE(Set("MainWndL", "-8"));
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndL"), "-8");
    EXPECT_EQ(ReadText(ini), "[USERPREFS]\nMainWndW=1\nMainWndH=7\n");
}
