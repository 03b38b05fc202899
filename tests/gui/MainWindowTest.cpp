// The main window: menus and accelerators, placement with and without settings, and the
// commands, also while scans are running.
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include "WindowFixture.h"

using test::Fixture;

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
        QVERIFY(!window.ExecuteCommand(Command::ChooseFolder));  // no handler
        QVERIFY(!window.ExecuteCommand(133));
    }

    void acceleratorsWorkWhileTheTreeHasTheFocus() {
        Fixture f;
        MainWindow& window = f.Open();
        QTreeView& view = window.Tree().View();
        auto focusTree = [&] {
            window.activateWindow();  // no window manager hands it back after a dialog
            view.setFocus();
            return QTest::qWaitForWindowActive(&window) &&
                   QTest::qWaitFor([&] { return view.hasFocus(); });
        };
        window.show();
        QVERIFY(focusTree());
        QTest::keyClick(&view, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(StopRequested);
        for (Qt::Key key : {Qt::Key_Slash, Qt::Key_Question}) {
            QVERIFY(focusTree());
            QStringList about;
            test::WithPopup([&] { QTest::keyClick(&view, key, Qt::AltModifier); },
                            [&](QWidget& modal) { about = test::TextsOf(modal); });
            QVERIFY2(!about.isEmpty(), "no About box");
            QCOMPARE(about.first(), QStringLiteral("About"));
            QVERIFY(about.join(' ').contains(QStringLiteral("Brimwell Version " BRIMWELL_VERSION)));
            QVERIFY(about.contains(QStringLiteral("&OK")) || about.contains(QStringLiteral("OK")));
        }
        QVERIFY(focusTree());
        QTest::keyClick(&view, Qt::Key_O, Qt::ControlModifier);  // Open, cancelled: nothing
        QTest::keyClick(&view, Qt::Key_F5);  // Refresh without a start folder: nothing
        QCOMPARE(f.chooserCalls, 1);
        QCOMPARE(window.StatusText(), QStringLiteral("Started"));
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(f.roots.Size(), std::size_t{0});
    }

    // Saved placement, title suffix and splitter are used; closing saves them unless the
    // window is minimised or there are no settings.
    void placementIsReadAndWritten() {
        Fixture first;
        MainWindow& bare = first.Open("", false);
        QVERIFY(first.Show());
        QCOMPARE(bare.windowTitle(), QStringLiteral("Brimwell"));
        QCOMPARE(bare.SplitterPos(), 200);
        QCOMPARE(bare.StatusText(), QStringLiteral("Started"));
        QCOMPARE(first.Store().ItemCount(), std::size_t{0});
        bare.close();
        QVERIFY(first.settings.writes.empty());  // nowhere to write

        Fixture saved;
        saved.settings.values = {{"MainWndW", "640"},   {"MainWndH", "480"},
                                 {"MainWndL", "-8"},    {"MainWndT", "-8"},
                                 {"SPLITTERW0", "150"}, {"DEFAULT", " (work)"}};
        MainWindow& window = saved.Open();
        QVERIFY(saved.Show());
        QCOMPARE(window.windowTitle(), QStringLiteral("Brimwell (work)"));
        QCOMPARE(window.frameGeometry(), QRect(0, 0, 640, 480));
        QCOMPARE(window.Tree().View().width(), 147);
        window.showMinimized();
        QTRY_VERIFY(window.isMinimized());
        window.close();
        QVERIFY(saved.settings.writes.empty());

        Fixture g;
        MainWindow& normal = g.Open();
        normal.setGeometry(30, 40, 600, 400);
        QVERIFY(g.Show());
        QRect outer = normal.frameGeometry();
        normal.close();
        QCOMPARE(g.settings.writes,
                 std::vector<std::string>({"MainWndW=" + std::to_string(outer.width()),
                                           "MainWndH=" + std::to_string(outer.height()),
                                           "MainWndL=" + std::to_string(outer.left()),
                                           "MainWndT=" + std::to_string(outer.top()),
                                           "SPLITTERW0=200"}));
    }

    void removeAndRefreshDuringARunningScan() {
        TempDir dir;
        test::MakeTree(dir, "b", 2, 1);
        test::MakeTree(dir, "big", 4, 3);
        Fixture f;
        f.roots.Add(dir / "b", false);
        MainWindow& window = f.Open();
        QVERIFY(window.ExecuteCommand(Command::FirstStartingFolder));
        QVERIFY(f.Scanned(dir / "b"));
        QCOMPARE(window.StartFolder(), dir / "b");
        const std::size_t shown = f.Store().ItemCount();

        test::Gate gate;
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<test::GatedSource>(gate, 8); });
        QSignalSpy completed(&window.Tree(), &FolderTreeView::ScanCompleted);
        f.chosenFolder = dir / "big";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QCOMPARE(f.roots.Entries(), (std::vector<std::string>{dir / "b", dir / "big"}));
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(f.Store().ItemCount() > shown + 4, 30000);

        window.ExecuteCommand(Command::Refresh);  // the same root is being scanned: dropped
        QCOMPARE(window.Tree().RunningScans(), std::size_t{1});
        f.Store().Select(TreeItem::None);
        QVERIFY(window.ExecuteCommand(Command::Remove));  // nothing selected: everything
        QCOMPARE(f.Store().ItemCount(), std::size_t{0});
        QCOMPARE(f.roots.Size(), std::size_t{2});  // the list keeps both
        window.Tree().SetSourceFactory(nullptr);
        // No such entry: the start folder is scanned again, afresh at once.
        QVERIFY(window.ExecuteCommand(Command::FirstStartingFolder + 7));
        QCOMPARE(window.Tree().RunningScans(), std::size_t{2});
        gate.Open();
        QTRY_COMPARE_WITH_TIMEOUT(window.Tree().RunningScans(), std::size_t{0}, 60000);
        QCOMPARE(window.StatusText(), f.Complete(dir / "big"));
        QCOMPARE(completed.count(), 1);  // the cancelled scan leaves no closing text
        QCOMPARE(test::Dump(f.Store()), test::ReferenceScan(dir / "big"));

        f.chosenFolder = dir / "big";  // chosen again: scanned, not listed twice
        QVERIFY(window.ExecuteCommand(Command::Open));
        QTRY_COMPARE_WITH_TIMEOUT(window.Tree().RunningScans(), std::size_t{0}, 60000);
        QCOMPARE(f.roots.Size(), std::size_t{2});
        QCOMPARE(f.Store().Top().children.size(), std::size_t{1});
    }

    void exitDuringTheScanOfALargeTreeReturnsPromptly() {
        TempDir dir;
        test::MakeTree(dir, "large", 14, 3);  // 2,955 folders, more operations than fit
        Fixture f;
        test::Gate gate;  // holds the first listing, after the scan has found its root
        MainWindow& window = f.Open();
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<test::GatedSource>(gate, 0); });
        window.SetStartFolder(dir / "large");
        window.ExecuteCommand(Command::Refresh);
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        // Without the event loop the queue fills up and the scan waits for room.
        gate.Open();
        ScanQueue& queue = window.Tree().Queue();
        QVERIFY(test::SpinUntil([&] { return queue.Pending() == 16384; }));
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

    void itemMenuAndExploreSelected() {
        TempDir dir;
        test::MakeTree(dir, "x", 2, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "x");
        QVERIFY(f.Show());
        QVERIFY(f.Scanned(dir / "x"));
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));  // the root is selected

        TreeItem sub = f.Store().GetChild(f.Store().GetChild(TreeItem::None));
        QTreeView& view = window.Tree().View();
        QPoint at = view.visualRect(window.Tree().Model().IndexOf(sub)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &click);
        QMenu* menu = window.ItemMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        for (QAction* action : menu->actions())
            items << action->text();
        QCOMPARE(items,
                 QStringList({"Refresh", "Remove", "Explore Selected", "Export Info To File"}));
        menu->actions().at(1)->trigger();  // Remove, of the item clicked
        QCOMPARE(f.Store().Node(sub), nullptr);
        QCOMPARE(f.Store().Selection(), TreeItem::None);
        QVERIFY(!view.currentIndex().isValid());
        menu->close();
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));  // nothing selected: nothing
        QCOMPARE(f.explored, std::vector<std::string>{dir / "x"});
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
