// The main window: menus and accelerators, creation with and without settings, closing,
// and the commands, also while scans are running.
#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <map>

#include "WindowFixture.h"
#include "app/ResourceTables.h"

using test::Fixture;

namespace {

// Runs trigger, which opens a modal dialog, and closes that dialog as soon as it shows.
// Returns the dialog's caption and the texts of its labels, or nothing if none opened.
QStringList TextsOfModalDialog(const std::function<void()>& trigger) {
    QStringList texts;
    test::WithPopup(trigger, [&](QWidget& modal) {
        texts = test::TextsOf(modal);
        modal.close();
    });
    return texts;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void menuBarAndAcceleratorsAreTheTables() {
        Fixture f;
        MainWindow& window = f.Open();
        QStringList menus;
        for (QAction* popup : window.menuBar()->actions()) {
            menus << "[" + popup->text() + "]";
            for (QAction* item : popup->menu()->actions())
                menus << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(menus, QStringList({"[&File]", "Open\tCtrl+O", "Refresh\tF5", "Remove\tCtrl+X",
                                     "-", "Stop\tCtrl+S", "-", "Export Info To File\tCtrl+E",
                                     "Print Selected Info\tCtrl+P", "-", "E&xit", "[View]",
                                     "Show In Meg\tCtrl+T", "Explore Selected\tCtrl+I", "[&Help]",
                                     "&About ..."}));
        QVERIFY(window.MenuAction(Command::ShowInMeg)->isChecked());

        QStringList keys;
        for (QAction* action : window.actions()) {
            QCOMPARE(action->shortcutContext(), Qt::WindowShortcut);
            keys << action->shortcut().toString(QKeySequence::PortableText);
        }
        QCOMPARE(keys, QStringList({"Alt+/", "Alt+?", "Ctrl+S", "Ctrl+P", "F5", "Ctrl+O", "Ctrl+E",
                                    "Ctrl+X", "Ctrl+T", "Ctrl+I"}));
        QCOMPARE(QString(Resources::LoadString(141)), QStringLiteral("Prit File Size Info"));
        QCOMPARE(Resources::LoadString(133), nullptr);
    }

    void acceleratorsWorkWhileTheTreeHasTheFocus() {
        Fixture f;
        MainWindow& window = f.Open();
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTreeView& view = window.Tree().View();
        view.setFocus();
        QTRY_VERIFY(view.hasFocus());

        QTest::keyClick(&view, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(StopRequested);
        for (Qt::Key key : {Qt::Key_Slash, Qt::Key_Question}) {
            window.activateWindow();  // no window manager hands it back after a dialog
            QVERIFY(QTest::qWaitForWindowActive(&window));
            view.setFocus();
            QStringList about =
                TextsOfModalDialog([&] { QTest::keyClick(&view, key, Qt::AltModifier); });
            QVERIFY2(!about.isEmpty(), "no About box");
            QCOMPARE(about.first(), QStringLiteral("About"));
            QVERIFY(about.join(' ').contains(QStringLiteral("Brimwell Version " BRIMWELL_VERSION)));
            QVERIFY(about.contains(QStringLiteral("&OK")) || about.contains(QStringLiteral("OK")));
        }
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        f.chosenFolder.reset();
        QTest::keyClick(&view, Qt::Key_O, Qt::ControlModifier);  // Open, cancelled: nothing
        QTest::keyClick(&view, Qt::Key_F5);  // Refresh without a start folder: nothing
        QCOMPARE(f.chooserCalls, 1);
        QCOMPARE(window.StatusText(), QStringLiteral("Started"));
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(f.roots.Size(), std::size_t{0});
    }

    void firstRunWithoutSettings() {
        Fixture f;
        MainWindow& window = f.Open("", false);
        window.resize(800, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Brimwell"));
        QCOMPARE(window.SplitterPos(), 200);
        QCOMPARE(window.Tree().View().geometry().left(), 0);
        QCOMPARE(window.Tree().View().geometry().width(), 197);
        QCOMPARE(window.Panel()->geometry().left(), 203);
        QCOMPARE(window.Panel()->geometry().right(), window.centralWidget()->width() + 5);
        QCOMPARE(window.StatusText(), QStringLiteral("Started"));
        QCOMPARE(f.Store().ItemCount(), std::size_t{0});
        window.close();
        QVERIFY(f.settings.writes.empty());  // nowhere to write
    }

    void savedPlacementTitleAndSplitterAreUsed() {
        Fixture f;
        f.settings.values = {{"MainWndW", "640"}, {"MainWndH", "480"},   {"MainWndL", "-8"},
                             {"MainWndT", "-8"},  {"SPLITTERW0", "150"}, {"DEFAULT", " (work)"}};
        MainWindow& window = f.Open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Brimwell (work)"));
        QCOMPARE(window.frameGeometry(), QRect(0, 0, 640, 480));
        QCOMPARE(window.Tree().View().width(), 147);
    }

    void closingWritesPlacementUnlessMinimised() {
        Fixture f;
        f.settings.values = {{"MainWndW", "700"},
                             {"MainWndH", "500"},
                             {"MainWndL", "10"},
                             {"MainWndT", "20"},
                             {"SPLITTERW0", "250"}};
        MainWindow& window = f.Open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.close();
        QVERIFY(f.settings.writes.empty());

        Fixture g;
        MainWindow& normal = g.Open();
        normal.setGeometry(30, 40, 600, 400);
        normal.show();
        QVERIFY(QTest::qWaitForWindowExposed(&normal));
        QRect outer = normal.frameGeometry();
        normal.close();
        QCOMPARE(g.settings.writes,
                 std::vector<std::string>({"MainWndW=" + std::to_string(outer.width()),
                                           "MainWndH=" + std::to_string(outer.height()),
                                           "MainWndL=" + std::to_string(outer.left()),
                                           "MainWndT=" + std::to_string(outer.top()),
                                           "SPLITTERW0=200"}));
    }

    void removeWithNothingSelectedEmptiesTheTreeAndRefreshBringsTheFolderBack() {
        TempDir dir;
        test::MakeTree(dir, "a", 2, 2);
        test::MakeTree(dir, "b", 2, 1);
        Fixture f;
        f.roots.Add(dir / "a", false);
        f.roots.Add(dir / "b", false);
        MainWindow& window = f.Open();
        QVERIFY(window.ExecuteCommand(Command::FirstStartingFolder));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "a"), 30000);
        QVERIFY(window.ExecuteCommand(Command::FirstStartingFolder + 1));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "b"), 30000);
        QCOMPARE(window.StartFolder(), dir / "b");
        QCOMPARE(f.Store().Top().children.size(), std::size_t{2});

        f.Store().Select(TreeItem::None);
        QVERIFY(window.ExecuteCommand(Command::Remove));
        QCOMPARE(f.Store().ItemCount(), std::size_t{0});
        QCOMPARE(f.roots.Size(), std::size_t{2});  // the list keeps both

        QVERIFY(window.ExecuteCommand(Command::FirstStartingFolder + 7));  // no such entry
        QTRY_COMPARE_WITH_TIMEOUT(f.Store().Top().children.size(), std::size_t{1}, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "b"), 30000);
        QCOMPARE(test::Dump(f.Store()), test::ReferenceScan(dir / "b"));
    }

    void removeAndRefreshDuringARunningScan() {
        TempDir dir;
        test::MakeTree(dir, "big", 4, 3);
        Fixture f;
        MainWindow& window = f.Open();
        test::Gate gate;
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<test::GatedSource>(gate, 8); });
        QSignalSpy completed(&window.Tree(), &FolderTreeView::ScanCompleted);
        f.chosenFolder = dir / "big";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QCOMPARE(f.roots.Entries(), std::vector<std::string>{dir / "big"});
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(f.Store().ItemCount() > 4, 30000);

        window.ExecuteCommand(Command::Refresh);  // the same root is being scanned: dropped
        QCOMPARE(window.Tree().RunningScans(), std::size_t{1});
        QVERIFY(window.ExecuteCommand(Command::Remove));  // nothing selected: everything
        QCOMPARE(f.Store().ItemCount(), std::size_t{0});
        window.Tree().SetSourceFactory(nullptr);
        QVERIFY(window.ExecuteCommand(Command::Refresh));  // starts afresh at once
        QCOMPARE(window.Tree().RunningScans(), std::size_t{2});
        gate.Open();
        QTRY_COMPARE_WITH_TIMEOUT(window.Tree().RunningScans(), std::size_t{0}, 60000);
        QCOMPARE(window.StatusText(), f.Complete(dir / "big"));
        QCOMPARE(completed.count(), 1);  // the cancelled scan leaves no closing text
        QCOMPARE(test::Dump(f.Store()), test::ReferenceScan(dir / "big"));

        f.chosenFolder = dir / "big";  // chosen again: scanned, not listed twice
        QVERIFY(window.ExecuteCommand(Command::Open));
        QTRY_COMPARE_WITH_TIMEOUT(window.Tree().RunningScans(), std::size_t{0}, 60000);
        QCOMPARE(f.roots.Size(), std::size_t{1});
        QCOMPARE(f.Store().Top().children.size(), std::size_t{1});
    }

    void exitDuringTheScanOfALargeTreeReturnsPromptly() {
        TempDir dir;
        test::MakeTree(dir, "large", 14, 3);  // 2,955 folders, more operations than fit
        Fixture f;
        test::Gate gate;  // holds the first listing, after the scan has found its root
        MainWindow& window = f.Open("", true);
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<test::GatedSource>(gate, 0); });
        window.SetStartFolder(dir / "large");
        window.ExecuteCommand(Command::Refresh);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        // Without the event loop the queue fills up and the scan waits for room.
        gate.Open();
        ScanQueue& queue = window.Tree().Queue();
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (queue.Pending() < 16384 && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        QCOMPARE(queue.Pending(), std::size_t{16384});
        QCOMPARE(window.Tree().RunningScans(), std::size_t{1});

        QElapsedTimer clock;
        clock.start();
        QVERIFY(window.ExecuteCommand(Command::Exit));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!window.isVisible());
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(f.settings.writes.size(), std::size_t{5});
        f.window.reset();  // the store goes only now; no scan is left to touch it
    }

    void exploreSelectedOpensTheSelectedFolder() {
        TempDir dir;
        test::MakeTree(dir, "x", 1, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "x");
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "x"), 30000);
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));
        f.Store().Select(TreeItem::None);
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));
        QCOMPARE(f.explored, std::vector<std::string>{dir / "x"});
    }

    void itemMenuOpensOnARightClickAndIssuesItsCommands() {
        TempDir dir;
        test::MakeTree(dir, "x", 2, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "x");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "x"), 30000);
        TreeItem sub = f.Store().GetChild(f.Store().GetChild(TreeItem::None));
        QTreeView& view = window.Tree().View();
        QPoint at = view.visualRect(window.Tree().Model().IndexOf(sub)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &click);
        QCOMPARE(f.Store().Selection(), sub);
        QMenu* menu = window.ItemMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        for (QAction* action : menu->actions())
            items << action->text();
        QCOMPARE(items,
                 QStringList({"Refresh", "Remove", "Explore Selected", "Export Info To File"}));
        menu->actions().at(1)->trigger();  // Remove
        QCOMPARE(f.Store().Node(sub), nullptr);
        QCOMPARE(f.Store().Selection(), TreeItem::None);
        QVERIFY(!view.currentIndex().isValid());
        menu->close();
    }

    void unknownCommandsDoNothing() {
        Fixture f;
        MainWindow& window = f.Open();
        QVERIFY(!window.ExecuteCommand(Command::ChooseFolder));
        QVERIFY(!window.ExecuteCommand(133));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
