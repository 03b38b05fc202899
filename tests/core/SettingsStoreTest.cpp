// The settings store: defaults on a first run, values read back, the 79-character limit,
// where the values land with and without rights on the machine root, and files that are
// not regular files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <sstream>
#include <thread>

#include "SetupTestSupport.h"
#include "desktop/PrivateProfile.h"
#include "setup/SettingsStore.h"

using namespace setuptest;

class SettingsStoreTest : public TempPathsTest {
  protected:
    std::ostringstream out;
    const std::string hundred = std::string(79, 'k') + std::string(21, 'x');

    // A first run reads the defaults and writes nothing; it writes as it closes (the
    // placement in one go), and the next run reads the values back.
    void WriteAndReadBack() {
        {
            SettingsStore store(paths, out);
            EXPECT_EQ(store.ReadInt("USERPREFS", "SPLITTERW0", 200), 200);
            EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", nullptr), "");
            EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", hundred.c_str()),
                      hundred.substr(0, 79));
            EXPECT_FALSE(fs::exists(paths.configHome));
            store.WriteInts("USERPREFS", {{"MainWndW", 640}, {"MainWndL", -8}});
            store.WriteString("USERPREFS", "DEFAULT", hundred);
        }
        SettingsStore store(paths, out);
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndW", -1), 640);
        EXPECT_EQ(store.ReadInt("USERPREFS", "MainWndL", -1), -8);
        EXPECT_EQ(store.ReadString("USERPREFS", "DEFAULT", nullptr), hundred.substr(0, 79));
        EXPECT_EQ(out.str(), "");
    }
};

TEST_F(SettingsStoreTest, WithTheMachineRootWritableTheSectionLivesInTheUserRoot) {
    WriteAndReadBack();
    Registry registry(paths);
    EXPECT_EQ(registry.GetValue(RegistryRoot::Machine,
                                std::string(kIniFileMappingKey) + "\\Brimwell.ini", "USERPREFS"),
              "USR:Brimwell\\USERPREFS");
    EXPECT_EQ(registry.GetValue(RegistryRoot::User, "Brimwell\\USERPREFS", "MainWndL"), "-8");
    EXPECT_FALSE(fs::exists(paths.configHome / "Brimwell.ini"));
}

TEST_F(SettingsStoreTest, WithoutRightsOnTheMachineRootSettingsLandInTheFileSilently) {
    paths.machineRoot = Uncreatable(root);
    WriteAndReadBack();
    EXPECT_EQ(ReadText(paths.configHome / "Brimwell.ini"),
              "[USERPREFS]\nMainWndW=640\nMainWndL=-8\nDEFAULT=" + hundred + "\n");
    EXPECT_FALSE(Registry(paths).KeyExists(RegistryRoot::User, "Brimwell"));
}

TEST_F(SettingsStoreTest, UserKeyThatCannotBeCreatedIsReportedOnTheOutput) {
    WriteText(paths.BrimwellConfig(), "a file where the user root's folder belongs");
    SettingsStore(paths, out).EnsureMapping("USERPREFS");
    EXPECT_EQ(out.str(), "Error in creating App Name key\n");
}

// A FIFO in place of the settings file and of the registry file that maps it must not stop
// start-up: it reads as unreadable (the defaults), and a write leaves it alone.
TEST_F(SettingsStoreTest, FifosReadAsUnreadableWithoutWaitingForAWriter) {
    const fs::path ini = paths.configHome / "Brimwell.ini";
    const fs::path machine = Registry(paths).FileOf(RegistryRoot::Machine);
    fs::create_directories(ini.parent_path());
    fs::create_directories(machine.parent_path());
    for (const fs::path& fifo : {ini, machine})
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0) << fifo;

    auto reads = std::async(std::launch::async, [&] {
        SettingsStore store(paths, out);
        std::int32_t splitter = store.ReadInt("USERPREFS", "SPLITTERW0", 200);
        store.WriteInt("USERPREFS", "SPLITTERW0", 150);
        return splitter;
    });
    const bool done = reads.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    // A reader stuck in open() is let go by a writer, so that the test ends either way.
    while (reads.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        for (const fs::path& fifo : {ini, machine}) {
            int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
    }
    ASSERT_TRUE(done) << "reading a FIFO waited for a writer";
    EXPECT_EQ(reads.get(), 200);
    EXPECT_TRUE(fs::is_fifo(ini));
    EXPECT_TRUE(fs::is_fifo(machine));
}
