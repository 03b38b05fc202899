// Start-up: the command line and the steps of every mode, in order.
#include <QTest>

#include "app/Startup.h"

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
    int RunWindow(const std::string& startFolder) override {
        calls.push_back("window [" + startFolder + "]");
        return 7;
    }
};

using Calls = std::vector<std::string>;
const std::vector<std::string> kDefaults = {"/home/u/Desktop", "/home/u/Documents", "/", "/data"};

std::vector<std::string> WithDefaults(std::vector<std::string> first) {
    first.insert(first.end(), kDefaults.begin(), kDefaults.end());
    return first;
}

}  // namespace

Q_DECLARE_METATYPE(Calls)

class StartupTest : public QObject {
    Q_OBJECT

  private slots:
    void commandLineIsTheArgumentsJoinedByBlanks() {
        QCOMPARE(CommandLineText({}), std::string());
        QCOMPARE(CommandLineText({"/a b"}), std::string("/a b"));
        QCOMPARE(CommandLineText({"-U", ""}), std::string("-U "));
        QCOMPARE(CommandLineText({"\"/x", "y\""}), std::string("\"/x y\""));
    }

    void everyModeRunsItsSteps_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<Calls>("calls");
        QTest::addColumn<Calls>("roots");

        QTest::newRow("empty") << "" << true << 7
                               << Calls{"register command", "defaults", "window []"}
                               << WithDefaults({});
        QTest::newRow("-R") << "-R" << true << 7
                            << Calls{"install", "remove command", "defaults", "window []"}
                            << WithDefaults({});
        QTest::newRow("-I") << "-I" << true << 7
                            << Calls{"register command", "defaults", "window []"}
                            << WithDefaults({});
        QTest::newRow("-U yes") << "-U" << true << 0 << Calls{"ask", "uninstall", "remove command"}
                                << Calls{};
        QTest::newRow("-U no") << "-U" << false << -1 << Calls{"ask"} << Calls{};
        QTest::newRow("quoted folder with blanks")
            << "\"/tmp/a b\"" << true << 7 << Calls{"defaults", "window [long:/tmp/a b]"}
            << WithDefaults({"/tmp/a b"});
        QTest::newRow("two quotation marks")
            << "\"\"" << true << 7 << Calls{"defaults", "window [long:]"} << WithDefaults({""});
        QTest::newRow("folder without quotation marks")
            << "/data/x" << true << 7 << Calls{"defaults", "window [long:/data/x]"}
            << WithDefaults({"/data/x"});
        QTest::newRow("-r is a folder")
            << "-r" << true << 7 << Calls{"defaults", "window [long:-r]"} << WithDefaults({"-r"});
        QTest::newRow("-U and a blank is a folder")
            << "-U " << true << 7 << Calls{"defaults", "window [long:-U ]"}
            << WithDefaults({"-U "});
        QTest::newRow("one quotation mark")
            << "\"" << true << 7 << Calls{"defaults", "window [long:\"]"} << WithDefaults({"\""});
        QTest::newRow("quotation mark at one end only")
            << "\"/tmp" << true << 7 << Calls{"defaults", "window [long:\"/tmp]"}
            << WithDefaults({"\"/tmp"});
    }
    void everyModeRunsItsSteps() {
        QFETCH(QString, commandLine);
        QFETCH(bool, answerYes);
        QFETCH(int, exitCode);
        QFETCH(Calls, calls);
        QFETCH(Calls, roots);
        RecordingActions actions;
        actions.answerYes = answerYes;
        RootList list;
        QCOMPARE(RunStartup(commandLine.toStdString(), actions, list), exitCode);
        QCOMPARE(actions.calls, calls);
        QCOMPARE(list.Entries(), roots);
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "StartupTest.moc"
