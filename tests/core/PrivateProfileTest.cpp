// Profile (INI) files: reading like the private-profile functions, editing that keeps
// every other line, damaged files, values that could inject lines, and the registry
// mapping with its cache.
#include <gtest/gtest.h>

#include <climits>

#include "SetupTestSupport.h"
#include "platform/IniText.h"
#include "platform/PrivateProfile.h"
#include "platform/Registry.h"

using namespace setuptest;

TEST(IniText, FindsValuesLikeTheProfileFunctions) {
    const std::string text =
        "top=outside any section\n"
        "[Other]\n"
        "MainWndW=1\n"
        "[ userprefs ]\r\n"
        "; MainWndW=2\r\n"
        "no equals sign here\r\n"
        "  mainwndw  =  640  \r\n"
        "MainWndW=3\r\n"
        "DEFAULT=\" (work)\"\r\n"
        "Single='x'\r\n"
        "Empty=\r\n"
        "[USERPREFS]\n"
        "Later=found in a second block\n";
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "MainWndW"), "640");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "DEFAULT"), " (work)");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "Single"), "x");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "Empty"), "");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "Later"), "found in a second block");
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "top"), std::nullopt);
    EXPECT_EQ(FindIniValue(text, "USERPREFS", "no equals sign here"), std::nullopt);
    EXPECT_EQ(FindIniValue(text, "Missing", "MainWndW"), std::nullopt);
}

TEST(IniText, SettingAValueKeepsEveryOtherLine) {
    const std::string text =
        "; comment\n"
        "[USERPREFS]\r\n"
        "MainWndW=1\r\n"
        "\n"
        "[Other]\n"
        "k=v";
    EXPECT_EQ(SetIniValue(text, "userprefs", "MAINWNDW", "640"),
              "; comment\n[USERPREFS]\r\nMAINWNDW=640\r\n\n[Other]\nk=v\n");
    EXPECT_EQ(SetIniValue(text, "USERPREFS", "MainWndH", "480"),
              "; comment\n[USERPREFS]\r\nMainWndW=1\r\nMainWndH=480\n\n[Other]\nk=v\n");
    EXPECT_EQ(SetIniValue(text, "New", "a", "b"),
              "; comment\n[USERPREFS]\r\nMainWndW=1\r\n\n[Other]\nk=v\n\n[New]\na=b\n");
    EXPECT_EQ(SetIniValue("", "USERPREFS", "SPLITTERW0", "200"), "[USERPREFS]\nSPLITTERW0=200\n");
}

TEST(IniText, IntegersAndBufferLimits) {
    EXPECT_EQ(ParseProfileInt("640"), 640);
    EXPECT_EQ(ParseProfileInt("  -8"), -8);
    EXPECT_EQ(ParseProfileInt("+5"), 5);
    EXPECT_EQ(ParseProfileInt("12abc"), 12);
    EXPECT_EQ(ParseProfileInt("abc"), 0);
    EXPECT_EQ(ParseProfileInt("-2147483648"), INT_MIN);
    EXPECT_EQ(ParseProfileInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseProfileInt("-99999999999999999999"), INT_MIN);

    const std::string hundred(100, 'x');
    EXPECT_EQ(FitToBuffer(hundred, 80), hundred.substr(0, 79));
    EXPECT_EQ(FitToBuffer(hundred.substr(0, 79), 80), hundred.substr(0, 79));
    EXPECT_EQ(FitToBuffer(std::string(78, 'a') + "\xc3\xa9" + "b", 80), std::string(78, 'a'));
    EXPECT_EQ(FitToBuffer(std::string(77, 'a') + "\xe2\x82\xac" + "b", 80), std::string(77, 'a'));
    EXPECT_EQ(FitToBuffer(std::string(100, '\xe9'), 80), std::string(79, '\xe9'));  // Latin-1
    EXPECT_EQ(FitToBuffer("abc", 0), "");
}

class ProfileFiles : public ::testing::Test {
  protected:
    TempFolder temp;
    PlatformPaths paths = PathsUnder(temp.Path());
    fs::path ini = paths.configHome / "Brimwell.ini";
};

TEST_F(ProfileFiles, BareNamesLiveInTheConfigFolder) {
    PrivateProfile profile(paths);
    EXPECT_EQ(profile.Resolve("Brimwell.ini"), ini);
    EXPECT_EQ(profile.Resolve("/elsewhere/x.ini"), "/elsewhere/x.ini");
}

TEST_F(ProfileFiles, DamagedFileIsReadAndItsLinesSurviveAWrite) {
    std::string damaged = "\xff\xfe\x01 binary\n[USERPREFS]\nMainWndW=5\ngarbage ] [ line\n";
    damaged.insert(3, 1, '\0');
    WriteText(ini, damaged);
    PrivateProfile profile(paths);
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), 5);
    ASSERT_TRUE(profile.WriteString("USERPREFS", "MainWndH", "7", "Brimwell.ini"));
    EXPECT_EQ(ReadText(ini),
              damaged.substr(0, damaged.find("garbage")) + "garbage ] [ line\nMainWndH=7\n");
}

TEST_F(ProfileFiles, WrittenTextReadsBackAndCannotAddLines) {
    PrivateProfile profile(paths);
    ASSERT_TRUE(profile.WriteString("USERPREFS", "DEFAULT", " (work)", "Brimwell.ini"));
    ASSERT_TRUE(profile.WriteString("USERPREFS", "Quoted", "\"q\"", "Brimwell.ini"));
    ASSERT_TRUE(
        profile.WriteString("USERPREFS", "Evil", "x\nMainWndW=1\r\n[Other]", "Brimwell.ini"));
    EXPECT_EQ(profile.GetString("USERPREFS", "DEFAULT", "", 80, "Brimwell.ini"), " (work)");
    EXPECT_EQ(profile.GetString("USERPREFS", "Quoted", "", 80, "Brimwell.ini"), "\"q\"");
    EXPECT_EQ(profile.GetString("USERPREFS", "Evil", "", 80, "Brimwell.ini"), "x");
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), -1);

    EXPECT_FALSE(profile.WriteString("USERPREFS", "a=b", "1", "Brimwell.ini"));
    EXPECT_FALSE(profile.WriteString("USER]PREFS", "a", "1", "Brimwell.ini"));
    EXPECT_FALSE(profile.WriteString("USERPREFS", "a\nb", "1", "Brimwell.ini"));
    EXPECT_FALSE(profile.WriteString("USERPREFS", "", "1", "Brimwell.ini"));
    EXPECT_EQ(FindIniValue(ReadText(ini), "USERPREFS", "a"), std::nullopt);
}

TEST_F(ProfileFiles, MappedSectionIsReadFromTheRegistryOnceTheCacheIsFlushed) {
    WriteText(ini, "[USERPREFS]\nMainWndW=1\nMainWndH=7\n[OTHER]\nMainWndW=3\n");
    PrivateProfile profile(paths);
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), 1);

    Registry registry(paths);
    const std::string mapping = std::string(kIniFileMappingKey) + "\\Brimwell.ini";
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::Machine, mapping));
    ASSERT_TRUE(
        registry.SetValue(RegistryRoot::Machine, mapping, "USERPREFS", "USR:Brimwell\\USERPREFS"));
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::User, "Brimwell\\USERPREFS"));
    ASSERT_TRUE(registry.SetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndW", "2"));

    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), 1);  // cached
    profile.FlushCache("BRIMWELL.INI");
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndW", -1, "Brimwell.ini"), 2);
    EXPECT_EQ(profile.GetInt("USERPREFS", "MainWndH", -1, "Brimwell.ini"), 7);  // file fallback
    EXPECT_EQ(profile.GetInt("OTHER", "MainWndW", -1, "Brimwell.ini"), 3);      // not mapped

    ASSERT_TRUE(profile.WriteString("USERPREFS", "MainWndL", "-8", "Brimwell.ini"));
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndL"), "-8");
    EXPECT_EQ(FindIniValue(ReadText(ini), "USERPREFS", "MainWndL"), std::nullopt);
}
