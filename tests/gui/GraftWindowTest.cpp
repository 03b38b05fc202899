// Several scan files opened together in the window, from the command line or in one Open
// Scan File selection: one root, the graft of them, filled as a scan of their common folder
// would fill it, read again by Refresh; a graft that cannot be made says why and changes
// nothing.
#include <QtTest>

#include <cstdlib>

#include "TempDir.h"
#include "WindowFixture.h"
#include "app/Startup.h"
#include "ui/ScanFileRoots.h"

class GraftWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void filesOpenedTogetherAreOneRoot() {
        TempDir dir;
        dir.MakeFolder("t");
        test::MakeTree(dir, "t/a", 2, 2);
        test::MakeTree(dir, "t/b", 1, 1);
        auto exportOf = [&](const std::string& folder) {
            const std::string file = dir / (folder + ".json");
            const std::string command =
                "ncdu --ignore-config -0 -o '" + file + "' '" + dir / ("t/" + folder) + "'";
            return std::system(command.c_str()) == 0 ? file : std::string();
        };
        const std::string a = exportOf("a"), b = exportOf("b");
        QVERIFY(!a.empty() && !b.empty());
        const std::string reference = test::ReferenceScan(dir / "t");

        // brimwell -f A -f B
        QCOMPARE(ScanFilesOf(a + " -f " + b), (std::vector<std::string>{a, b}));
        test::Fixture f;
        MainWindow& window = f.Open("", true, ScanFileRoots::JoinFiles({a, b}));
        QVERIFY(f.Scanned(a + " + " + b));
        QCOMPARE(test::Dump(f.Store()), reference);
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(a + " + " + b));
        QCOMPARE(test::Dump(f.Store()), reference);

        // File > Open Scan File... with both chosen, in the other order: the same root.
        test::Fixture g;
        MainWindow& second = g.Open();
        g.chosenScanFiles = {b, a};
        QVERIFY(second.ExecuteCommand(Command::OpenScanFile));
        QVERIFY(g.Scanned(b + " + " + a));
        QCOMPARE(test::Dump(g.Store()), reference);

        g.chosenScanFiles = {a, a};
        QVERIFY(second.ExecuteCommand(Command::OpenScanFile));
        QTRY_VERIFY(second.StatusText().contains(QStringLiteral(" both hold ")));
        QCOMPARE(second.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(test::Dump(g.Store()), reference);
    }
};

QTEST_MAIN(GraftWindowTest)
#include "GraftWindowTest.moc"
