// Start-up: the command line and the steps of every mode, in order, and the real steps
// with the setup library and the window in a temporary home.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "WindowFixture.h"
#include "app/Startup.h"
#include "app/SystemStartup.h"
#include "desktop/Registry.h"
#include "setup/FolderCommand.h"
#include "setup/SettingsStore.h"

namespace {

// Records what start-up asks for, in order.
class RecordingActions : public StartupActions {
  public:
    std::vector<std::string> calls;
    bool answerYes = true;

    void RefreshFolderCommand(bool on) override {
        calls.push_back(on ? "register command" : "remove command");
    }
    void Install() override { calls.push_back("install"); }
    bool ConfirmUninstall() override {
        calls.push_back("ask");
        return answerYes;
    }
    void Uninstall() override { calls.push_back("uninstall"); }
    std::string LongPath(const std::string& path) override { return "long:" + path; }
    DefaultFolders DefaultStartingFolders() override {
        calls.push_back("defaults");
        return {"/home/u/Desktop", "/home/u/Documents", {"/", "/data"}};
    }
    int RunWindow(const std::string& startFolder, const std::string& scanFile) override {
        calls.push_back("window [" + startFolder + "]" +
                        (scanFile.empty() ? "" : " file [" + scanFile + "]"));
        return 7;
    }
};

using Calls = std::vector<std::string>;
const std::vector<std::string> kDefaults = {"/home/u/Desktop", "/home/u/Documents", "/", "/data"};

std::vector<std::string> WithDefaults(std::vector<std::string> first) {
    first.insert(first.end(), kDefaults.begin(), kDefaults.end());
    return first;
}

namespace fs = std::filesystem;

// Every base folder below root; the program file exists.
PlatformPaths PathsUnder(const fs::path& root) {
    PlatformPaths paths{root / "home/.config",           root / "home/.local/share/applications",
                        root / "home/.config/autostart", root / "usr/local/share/applications",
                        root / "etc/Brimwell",           root / "opt/brimwell"};
    fs::create_directories(paths.programPath.parent_path());
    std::ofstream(paths.programPath) << "program";
    return paths;
}

// Every file below root.
std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_directory())
            files.push_back(fs::relative(entry.path(), root).string());
    }
    return files;
}

const char* kVerbKey = "Folder\\shell\\Brimwell";

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    // Every mode runs its steps in order; anything else is one folder, taken in its long
    // form and listed first. The command line is the arguments joined by blanks.
    void everyModeRunsItsSteps() {
        QCOMPARE(CommandLineText({"-U", ""}), std::string("-U "));
        struct Mode {
            std::string line;
            bool answerYes;
            int exitCode;
            Calls calls, roots;
        };
        const Calls window{"register command", "defaults", "window []"};
        const Mode modes[] = {
            {"", true, 7, window, WithDefaults({})},
            {"-R",
             true,
             7,
             {"install", "remove command", "defaults", "window []"},
             WithDefaults({})},
            {"-I", true, 7, window, WithDefaults({})},
            {"-U", true, 0, {"ask", "uninstall", "remove command"}, {}},
            {"-U", false, -1, {"ask"}, {}},
            {"\"/tmp/a b\"",
             true,
             7,
             {"defaults", "window [long:/tmp/a b]"},
             WithDefaults({"/tmp/a b"})},
            {"-r", true, 7, {"defaults", "window [long:-r]"}, WithDefaults({"-r"})},
            {"-U ", true, 7, {"defaults", "window [long:-U ]"}, WithDefaults({"-U "})},
            // A scan file is read, not offered as a starting folder.
            {"-f \"/srv/a b.json\"",
             true,
             7,
             {"defaults", "window [] file [long:/srv/a b.json]"},
             WithDefaults({})},
            {"-f", true, 7, {"defaults", "window [long:-f]"}, WithDefaults({"-f"})},
            // Files given together are one root, the graft of them.
            {"-f /srv/a.json -f \"/srv/b c.json\"",
             true,
             7,
             {"defaults",
              "window [] file [long:/srv/a.json" + std::string(1, '\0') + "long:/srv/b c.json]"},
             WithDefaults({})}};
        for (const Mode& mode : modes) {
            RecordingActions actions;
            actions.answerYes = mode.answerYes;
            RootList list;
            QCOMPARE(RunStartup(mode.line, actions, list), mode.exitCode);
            QCOMPARE(actions.calls, mode.calls);
            QCOMPARE(list.Entries(), mode.roots);
        }
    }

    // In a temporary home: uninstall answered no touches nothing; a folder is scanned
    // without touching the folder command, and the placement is saved.
    void realStepsInATemporaryHome() {
        QTemporaryDir home;
        const fs::path root = home.path().toStdString();
        // The Desktop and documents folders are created where the user folders are.
        test::ScopedEnvironment homeVariable("HOME", QFile::encodeName(home.path()));
        test::ScopedEnvironment configVariable("XDG_CONFIG_HOME", QByteArray());
        PlatformPaths paths = PathsUnder(root);
        test::AnsweredDialogs dialogs;
        SystemStartup startup(paths, dialogs);
        RootList roots;
        QCOMPARE(RunStartup("-U", startup, roots), -1);
        QCOMPARE(dialogs.log,
                 std::vector<std::string>{"ask Brimwell: Brimwell is about to uninstall.\r\n\r\n"
                                          "Are you sure you want to do this?"});
        QCOMPARE(FilesBelow(root), std::vector<std::string>{"opt/brimwell"});

        const fs::path folder = root / "my folder";
        fs::create_directories(folder / "sub");
        std::ofstream(folder / "sub/file") << "12345";
        QString complete = QString::fromStdString("Scanning " + folder.string() + " Complete");
        bool closed = false;  // the window, once its scan is complete
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, &closer, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* window = qobject_cast<MainWindow*>(widget);
                if (window && window->isVisible() && window->StatusText() == complete)
                    closed = window->close();
            }
        });
        closer.start(10);
        QCOMPARE(RunStartup("\"" + folder.string() + "\"", startup, roots), 0);
        QVERIFY(closed);
        QCOMPARE(roots.Entries().front(), folder.string());
        QVERIFY(!Registry(paths).KeyExists(RegistryRoot::Classes, kVerbKey));  // not refreshed
        SettingsStore settings(paths);
        QCOMPARE(settings.ReadInt("USERPREFS", "SPLITTERW0", -5), 200);
        QVERIFY(settings.ReadInt("USERPREFS", "MainWndW", -1) > 0);
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
