// The main window: menus and accelerators, placement with and without settings, the
// splitter driven with the mouse, and the commands, also while scans are running.
#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

#include "WindowFixture.h"
#include "report/ReportText.h"
#include "setup/SettingsStore.h"
#include "ui/ContentArea.h"

using test::Fixture;

namespace {

QByteArray ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray EngineReport(const ItemStore& store) {
    std::ostringstream out;
    ReportText::WriteReport(store, out);
    return QByteArray::fromStdString(out.str());
}

// The tree's width and the panel's left edge.
QPoint Panes(MainWindow& window) {
    return {window.Tree().View().width(), window.Panel()->geometry().left()};
}

// A mouse event at (x, y) of the content area, sent through the window system to the
// top-level window, which hands it to whatever lies there (or to the widget holding the
// mouse), as a user's would.
void Mouse(QTest::MouseAction action, ContentArea& area, int x, int y) {
    QWidget* top = area.window();
    QTest::mouseEvent(action, top->windowHandle(), Qt::LeftButton, {},
                      area.mapTo(top, QPoint(x, y)));
}

// A program run with its standard output read into a pipe; killed if it has not ended by the
// time the object goes. Started with posix_spawn rather than QProcess, whose vfork a thread
// sanitizer takes for a fork of the test itself.
class Child {
  public:
    explicit Child(const std::vector<std::string>& arguments) {
        if (::pipe2(output_, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output_[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(output_[1]);
    }
    ~Child() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
        }
        ::close(output_[0]);
    }
    bool Started() const { return pid_ > 0; }
    bool Ended() {
        if (!ended_ && pid_ > 0)
            ended_ = ::waitpid(pid_, &status_, WNOHANG) == pid_;
        return ended_;
    }
    int Status() const { return status_; }
    // What it wrote, once it has ended.
    std::string Output() const {
        std::string text;
        char buffer[256];
        for (ssize_t got; (got = ::read(output_[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(got));
        return text;
    }

  private:
    int output_[2] = {-1, -1};
    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SizeUnit::Reset(); }

    // The menus as the user reads them; every accelerator a menu item shows is a shortcut
    // of the window, and they work while the tree has the focus.
    void menusAndAcceleratorsWhileTheTreeHasTheFocus() {
        Fixture f;
        MainWindow& window = f.Open();
        QStringList keys, menus;
        for (QAction* action : window.actions())
            keys << action->shortcut().toString(QKeySequence::PortableText);
        for (QAction* popup : window.menuBar()->actions()) {
            menus << "[" + popup->text() + "]";
            for (QAction* item : popup->menu()->actions()) {
                menus << (item->isSeparator() ? QStringLiteral("-") : item->text());
                const QString key = item->text().section('\t', 1);
                QVERIFY2(key.isEmpty() || keys.contains(key), qPrintable(item->text()));
            }
        }
        QCOMPARE(menus, QStringList({"[&File]",
                                     "Open\tCtrl+O",
                                     "Open Scan File...\tCtrl+Shift+O",
                                     "Refresh\tF5",
                                     "Remove\tCtrl+X",
                                     "-",
                                     "Stop\tCtrl+S",
                                     "-",
                                     "Export Info To File\tCtrl+E",
                                     "Print Selected Info\tCtrl+P",
                                     "-",
                                     "E&xit",
                                     "-",
                                     "Compare With Scan File...",
                                     "-",
                                     "Move to Trash\tDel",
                                     "Refresh Selected\tF6",
                                     "[View]",
                                     "Show In Meg\tCtrl+T",
                                     "Explore Selected\tCtrl+I",
                                     "-",
                                     "Stay On One File System",
                                     "Include Hidden Entries",
                                     "-",
                                     "Sort By Change",
                                     "-",
                                     "Show Size On Disk",
                                     "Largest Files\tCtrl+L",
                                     "[&Help]",
                                     "&About ..."}));

        QTreeView& view = window.Tree().View();
        auto focusTree = [&] {
            window.activateWindow();  // no window manager hands it back after a dialog
            view.setFocus();
            return QTest::qWaitForWindowActive(&window) &&
                   QTest::qWaitFor([&] { return view.hasFocus(); });
        };
        window.show();
        // Alt+/ and Alt+? as keyboards send them: "?" with Shift (US), "?" without it, and
        // "/" with Shift (German, where "/" is Shift+7).
        const Qt::KeyboardModifiers alt = Qt::AltModifier, altShift = alt | Qt::ShiftModifier;
        const std::pair<Qt::Key, Qt::KeyboardModifiers> aboutKeys[] = {{Qt::Key_Slash, alt},
                                                                       {Qt::Key_Question, altShift},
                                                                       {Qt::Key_Question, alt},
                                                                       {Qt::Key_Slash, altShift}};
        for (auto [key, modifiers] : aboutKeys) {
            QVERIFY(focusTree());
            QString about;  // the title and the labels
            QVERIFY(test::WithPopup([&] { QTest::keyClick(&view, key, modifiers); },
                                    [&](QWidget& modal) {
                                        about = modal.windowTitle();
                                        for (QLabel* label : modal.findChildren<QLabel*>())
                                            about += " " + label->text();
                                    }));
            QVERIFY2(about.startsWith(QStringLiteral("About ")), qPrintable(about));
            QVERIFY(about.contains(QStringLiteral("Brimwell Version " BRIMWELL_VERSION)));
        }
        QVERIFY(focusTree());
        QVERIFY(!test::WithPopup(
            [&] { QTest::keyClick(&view, Qt::Key_Question, altShift | Qt::ControlModifier); },
            [](QWidget&) {}));
        QVERIFY(focusTree());
        QTest::keyClick(&view, Qt::Key_O, Qt::ControlModifier);  // Open, cancelled: nothing
        QTest::keyClick(&view, Qt::Key_F5);  // Refresh without a start folder: nothing
        QCOMPARE(f.chooserCalls, 1);
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(f.roots.Size(), std::size_t{0});
    }

    // Saved placement, title suffix and splitter are used; closing saves them unless the
    // window is minimised.
    void placementIsReadAndWritten() {
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
        QCOMPARE(normal.windowTitle(), QStringLiteral("Brimwell"));
        QRect outer = normal.frameGeometry();
        normal.close();
        QCOMPARE(g.settings.writes,
                 std::vector<std::string>({"MainWndW=" + std::to_string(outer.width()),
                                           "MainWndH=" + std::to_string(outer.height()),
                                           "MainWndL=" + std::to_string(outer.left()),
                                           "MainWndT=" + std::to_string(outer.top()),
                                           "SPLITTERW0=200"}));
    }

    // The View options are kept in the settings at once and read by the next run; Refresh
    // rescans with an option changed since the last scan.
    void scanOptionsPersistAndApplyToTheNextScan() {
        TempDir dir;
        dir.MakeFolder("root");
        dir.MakeFolder("root/.hidden");
        dir.MakeFile("root/.hidden/inside", 10);
        const std::string root = dir / "root";
        Fixture first;
        MainWindow& window = first.Open(root);
        QVERIFY(first.Scanned(root));
        auto folders = [&] { return first.Store().Record(first.Store().GetChild(TreeItem::None)); };
        QCOMPARE(folders()->folderCount, 0);
        QVERIFY(window.ExecuteCommand(Command::IncludeHidden));
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(first.Scanned(root));
        QCOMPARE(folders()->folderCount, 1);  // .hidden entered this time
        QVERIFY(window.ExecuteCommand(Command::StayOnOneFileSystem));
        QVERIFY(window.ExecuteCommand(Command::StayOnOneFileSystem));
        QVERIFY(window.ExecuteCommand(Command::StayOnOneFileSystem));
        QCOMPARE(first.settings.values["HIDDENENTRIES"], std::string("1"));
        QCOMPARE(first.settings.values["ONEFILESYSTEM"], std::string("1"));

        Fixture second;
        second.settings.values = first.settings.values;
        MainWindow& again = second.Open();
        for (int command : {Command::IncludeHidden, Command::StayOnOneFileSystem}) {
            QAction* item = nullptr;
            for (QAction* action : again.menuBar()->findChildren<QAction*>()) {
                if (action->data().toInt() == command)
                    item = action;
            }
            QVERIFY(item && item->isCheckable() && item->isChecked());
        }
    }

    void dragsWithinTwoPixelsOfTheBarAndWithinTheLimits() {
        Fixture f;
        MainWindow& window = f.Open();
        window.resize(800, 600);
        QVERIFY(f.Show());
        ContentArea& area = *window.Content();
        const int y = area.height() / 2;
        QCOMPARE(Panes(window), QPoint(197, 203));
        for (int offset : {-3, -2, 2, 3}) {
            area.SetSplitterPos(200);
            Mouse(QTest::MousePress, area, 200 + offset, y);
            const bool hit = offset == -2 || offset == 2;
            QVERIFY2(area.Dragging() == hit, qPrintable(QString::number(offset)));
            if (hit)
                QCOMPARE(area.DragLine()->geometry(), QRect(197 + offset, 0, 6, area.height()));
            Mouse(QTest::MouseRelease, area, 200 + offset, y);
            QCOMPARE(area.DragLine(), nullptr);
            // A click on the bar centres the splitter on the pointer; anything else leaves it.
            QCOMPARE(area.SplitterPos(), hit ? 200 + offset : 200);
        }
        area.SetSplitterPos(200);
        Mouse(QTest::MouseMove, area, 201, y);
        QCOMPARE(area.cursor().shape(), Qt::SizeHorCursor);
        Mouse(QTest::MouseMove, area, 197, y);
        QCOMPARE(area.cursor().shape(), Qt::ArrowCursor);

        // A drag shows its line and applies on release, within the limits: the line stops
        // at 3 and at width - 6, the splitter at 6 and at width - 3.
        const int width = area.width();
        struct Drag {
            int from, to, line, splitter;
        };
        for (Drag drag : {Drag{201, 350, 347, 350}, Drag{350, -40, 3, 6},
                          Drag{7, width + 50, width - 6, width - 3}}) {
            const QPoint before = Panes(window);
            Mouse(QTest::MousePress, area, drag.from, y);
            Mouse(QTest::MouseMove, area, drag.to, y);
            QCOMPARE(area.DragLine()->geometry(), QRect(drag.line, 0, 6, area.height()));
            QCOMPARE(Panes(window), before);  // nothing moves before the release
            Mouse(QTest::MouseRelease, area, drag.to, y);
            QCOMPARE(area.SplitterPos(), drag.splitter);
            QCOMPARE(Panes(window), QPoint(drag.splitter - 3, drag.splitter + 3));
            QCOMPARE(window.Panel()->geometry().right(), width + 5);
        }

        // A window narrower than the splitter hides the panel and keeps the position.
        area.SetSplitterPos(width + 40);
        QCOMPARE(window.Panel()->width(), 0);
        window.close();
        QCOMPARE(f.settings.values["SPLITTERW0"], std::to_string(width + 40));
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
    }

    // Remove selects a neighbour of what it removed, so a second Remove takes a second item;
    // once the tree has been emptied, Refresh brings the start folder back into sight.
    void removeTwiceThenEmptyTheTreeAndRefresh() {
        TempDir dir;
        test::MakeTree(dir, "r", 3, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "r");
        QVERIFY(f.Show());
        QVERIFY(f.Scanned(dir / "r"));
        ItemStore& store = f.Store();
        QTreeView& view = window.Tree().View();
        const TreeItem root = store.GetChild(TreeItem::None);
        std::vector<TreeItem> children;
        for (TreeItem child = store.GetChild(root); child != TreeItem::None;
             child = store.GetNextItem(child))
            children.push_back(child);
        QCOMPARE(children.size(), std::size_t{4});  // three sub-folders and FILES
        store.Select(children[0]);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(store.Selection(), children[1]);
        QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(store.Selection(), children[2]);
        QCOMPARE(window.Tree().Model().ItemAt(view.currentIndex()), children[2]);
        QCOMPARE(store.Node(root)->Children().Size(), std::size_t{2});

        store.Select(root);
        QVERIFY(window.ExecuteCommand(Command::Remove));
        QCOMPARE(store.ItemCount(), std::size_t{0});
        view.viewport()->repaint();  // the empty tree is painted
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(dir / "r"));
        const QModelIndex shown = window.Tree().Model().IndexOf(store.GetChild(TreeItem::None));
        QVERIFY(shown.isValid());
        QTRY_VERIFY(view.columnWidth(0) >= view.sizeHintForIndex(shown).width());
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
        QCOMPARE(window.Tree().ActiveScans(), std::size_t{0});
        QCOMPARE(f.settings.writes.size(), std::size_t{5});
        f.window.reset();  // the store goes only now; no scan is left to touch it
    }

    // Scan files read into roots beside a scanned one, as a scan of their folders would fill
    // them: at start-up, from Open Scan File, again by Refresh; a bad one changes nothing,
    // and Explore opens only folders this machine has.
    void scanFilesOpenBesideScannedRoots() {
        TempDir dir;
        test::MakeTree(dir, "here", 2, 2);
        test::MakeTree(dir, "local", 1, 1);
        const std::string here = dir / "here", remote = dir / "remote.json";
        QCOMPARE(
            std::system(
                ("ncdu --ignore-config -0 -o '" + dir / "here.json" + "' '" + here + "'").c_str()),
            0);
        auto writeRemote = [&](const char* size) {
            WriteText(remote, std::string("[1,2,{},\n[{\"name\":\"/nonexistent/srv\"},\n") +
                                  "[{\"name\":\"data\"},{\"name\":\"f\",\"asize\":" + size +
                                  "}]]]\n");
        };
        writeRemote("2097152");
        WriteText(dir / "bad.json",
                  "[1,2,{},\n[{\"name\":\"/\"},\n{\"name\":\"f\",\"asize\":-3}]]");

        Fixture f;
        MainWindow& window = f.Open("", true, dir / "here.json");  // brimwell -f FILE
        QVERIFY(f.Scanned(dir / "here.json"));
        QCOMPARE(test::Dump(f.Store()), test::ReferenceScan(here));
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));  // its folders exist here
        QTRY_COMPARE(f.explored, std::vector<std::string>{here});

        f.chosenFolder = dir / "local";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QVERIFY(f.Scanned(dir / "local"));
        f.chosenScanFiles = {remote};
        QVERIFY(window.ExecuteCommand(Command::OpenScanFile));
        QVERIFY(f.Scanned(remote));
        auto rootLabels = [&] {
            QStringList labels;
            for (const ItemNode& root : f.Store().Top().Children())
                labels << QString::fromStdString(root.Text()).section(" , ", 0, 0);
            return labels;
        };
        const QStringList three = {QString::fromStdString(here + "   ( 0.00 M"),
                                   QString::fromStdString(dir / "local" + "   ( 0.00 M"),
                                   "/nonexistent/srv   ( 2.00 M"};
        QCOMPARE(rootLabels(), three);  // in the order they were opened

        ItemStore& store = f.Store();
        TreeItem remoteRoot = TreeItem::None;
        for (const ItemNode& root : store.Top().Children())
            remoteRoot = root.Id();
        const TreeItem data = store.GetChild(remoteRoot);
        store.Select(data);
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));
        QTRY_COMPARE(window.StatusText(),
                     QStringLiteral("/nonexistent/srv/data is not on this machine"));
        QCOMPARE(f.explored.size(), std::size_t{1});
        store.Select(remoteRoot);  // the text was about the other item; this one is a file's
        QCOMPARE(window.StatusText(),
                 QString::fromStdString("Read from " + remote + ", scanned an unknown time"));
        store.Select(store.GetNextItem(store.GetChild(TreeItem::None)));  // "local", scanned
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));

        writeRemote("3145728");  // Refresh reads the start file again
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(remote));
        QCOMPARE(rootLabels().back(), QStringLiteral("/nonexistent/srv   ( 3.00 M"));

        const std::string before = test::Dump(store);
        f.chosenScanFiles = {dir / "bad.json"};
        QVERIFY(window.ExecuteCommand(Command::OpenScanFile));
        QTRY_COMPARE(window.StatusText(),
                     QString::fromStdString(dir / "bad.json" + ":3:21: asize is negative"));
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QCOMPARE(test::Dump(store), before);
    }

    // Stop belongs to the scans running when it is chosen: one started right after runs on,
    // and the stopped one changes nothing more when its listing comes back. Printing stops
    // nothing, Export stops what runs. The stopped root, which still holds its placeholder,
    // is scanned again at its place by the next request for it.
    void stopBelongsToTheScansRunningWhenItIsChosen() {
        TempDir dir;
        test::MakeTree(dir, "a", 3, 2);
        test::MakeTree(dir, "b", 2, 2);
        Fixture f;
        MainWindow& window = f.Open();
        QVERIFY(f.Show());
        FolderTreeView& tree = window.Tree();
        test::Gate gate;  // holds the third listing: inside a's first sub-folder
        tree.SetSourceFactory([&] { return std::make_unique<test::GatedSource>(gate, 2); });
        window.SetStartFolder(dir / "a");
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));  // the dialog is cancelled
        QCOMPARE(tree.ActiveScans(), std::size_t{1});

        tree.View().setFocus();
        QTest::keyClick(&tree.View(), Qt::Key_S, Qt::ControlModifier);  // Stop
        QCOMPARE(tree.ActiveScans(), std::size_t{0});
        tree.SetSourceFactory(nullptr);
        f.chosenFolder = dir / "b";
        QVERIFY(window.ExecuteCommand(Command::Open));  // at once, while a is still held
        tree.Queue().Flush();
        f.Store().Select(TreeItem::None);  // the focus may have made a current
        const ItemNode* a = f.Store().Top().Children().Front();
        const std::string stopped = test::Dump(f.Store(), a);
        QVERIFY(!f.Store().Record(a->Id())->complete);  // the placeholder
        gate.Open();
        QVERIFY(f.Scanned(dir / "b"));
        QTRY_COMPARE_WITH_TIMEOUT(tree.RunningScans(), std::size_t{0}, 30000);
        QCOMPARE(test::Dump(f.Store(), a), stopped);

        test::Gate exportGate;
        tree.SetSourceFactory([&] { return std::make_unique<test::GatedSource>(exportGate, 0); });
        window.SetStartFolder(dir / "a");
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QTRY_VERIFY_WITH_TIMEOUT(exportGate.HasWaiter(), 30000);
        std::size_t activeWhenAsked = 1;
        f.dialogs.whenAsked = [&] { activeWhenAsked = tree.ActiveScans(); };
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));  // the save dialog is cancelled
        QCOMPARE(activeWhenAsked, std::size_t{0});
        exportGate.Open();
        QTRY_COMPARE_WITH_TIMEOUT(tree.RunningScans(), std::size_t{0}, 30000);

        tree.SetSourceFactory(nullptr);
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QVERIFY(f.Scanned(dir / "a"));
        QCOMPARE(f.Store().Top().Children().Size(), std::size_t{2});  // one root per folder
        QCOMPARE(f.Store().Top().Children().Front(), a);
        QCOMPARE(test::Dump(f.Store(), a), test::ReferenceScan(dir / "a"));
    }

    // A scan blocked in the file system delays no command: Refresh of its folder is
    // dropped, Remove of its root and a new Refresh start afresh, and Exit closes the window
    // and saves the placement while both threads are still held.
    void aScanBlockedInTheFileSystemDelaysNoCommand() {
        TempDir dir;
        test::MakeTree(dir, "hung", 2, 1);
        Fixture f;
        MainWindow& window = f.Open();
        QVERIFY(f.Show());
        FolderTreeView& tree = window.Tree();
        test::Gate gate;  // opened only at the end (or after a minute, when Exit waited)
        tree.SetSourceFactory([&] { return std::make_unique<test::GatedSource>(gate, 0); });
        window.SetStartFolder(dir / "hung");
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        QVERIFY(window.ExecuteCommand(Command::Refresh));  // its scan runs: dropped
        QCOMPARE(tree.RunningScans(), std::size_t{1});

        tree.Queue().Flush();
        f.Store().Select(f.Store().GetChild(TreeItem::None));
        QVERIFY(window.ExecuteCommand(Command::Remove));
        QCOMPARE(f.Store().ItemCount(), std::size_t{0});
        QVERIFY(window.ExecuteCommand(Command::Refresh));  // starts afresh at once
        QCOMPARE(tree.RunningScans(), std::size_t{2});
        QCOMPARE(tree.ActiveScans(), std::size_t{1});
        QTRY_COMPARE_WITH_TIMEOUT(gate.Waiters(), 2, 30000);

        QVERIFY(window.ExecuteCommand(Command::Exit));
        QCOMPARE(gate.Waiters(), 2);  // Exit came back while the scans were still held
        QVERIFY(!window.isVisible());
        QCOMPARE(f.settings.writes.size(), std::size_t{5});
        QCOMPARE(tree.RunningScans(), std::size_t{2});
        gate.Open();
        f.window.reset();  // joins them, now that they can end
    }

    // The process ends at Exit, or when it is asked to terminate, although its scan thread
    // never comes back, with the exit code of its event loop and its settings saved.
    void theProcessEndsAtExitWhileItsScanIsHung_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Exit") << QString();
        QTest::newRow("SIGTERM") << QStringLiteral("term");
    }
    void theProcessEndsAtExitWhileItsScanIsHung() {
        QFETCH(QString, how);
        QTemporaryDir home;
        TempDir dir;
        dir.MakeFolder("hung");
        std::vector<std::string> command{BRIMWELL_EXIT_PROBE, home.path().toStdString(),
                                         dir / "hung"};
        if (!how.isEmpty())
            command.push_back(how.toStdString());
        Child probe(command);
        QVERIFY(probe.Started());
        QVERIFY(QTest::qWaitFor([&] { return probe.Ended(); }, 60000));
        QVERIFY(WIFEXITED(probe.Status()));
        QCOMPARE(WEXITSTATUS(probe.Status()), 0);
        QCOMPARE(probe.Output(), std::string("blocked\n"));
        PlatformPaths paths;
        paths.configHome = home.path().toStdString() + "/.config";
        paths.machineRoot = home.path().toStdString() + "/machine";
        QVERIFY(SettingsStore(paths).ReadInt("USERPREFS", "MainWndW", -1) > 0);
    }

    // Explore, Export, Print and the item menu on a scanned folder, with the dialogs answered
    // through Dialogs and failures shown where the user sees them.
    void commandsOnAScannedFolder() {
        TempDir dir;
        test::MakeTree(dir, "e", 3, 2);
        dir.MakeFile("plain", 3);  // a file where a folder should be
        Fixture f;
        MainWindow& window = f.Open(dir / "e");
        QVERIFY(f.Show());
        QVERIFY(f.Scanned(dir / "e"));
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));  // the root is selected
        QCOMPARE(f.explored, std::vector<std::string>{dir / "e"});
        QTreeView& view = window.Tree().View();
        view.setFocus();

        f.dialogs.savePath = QString::fromStdString(dir / "report.txt");
        QTest::keyClick(&view, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(ReadAll(dir / "report.txt"), EngineReport(f.Store()));
        QCOMPARE(window.StatusText(), f.Complete(dir / "e"));  // success says nothing

        const std::string unwritable = dir / "plain/report.txt";
        f.dialogs.savePath = QString::fromStdString(unwritable);
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));
        const QString notADirectory = ": Not a directory";
        QCOMPARE(window.StatusText(),
                 "Could not write " + QString::fromStdString(unwritable) + notADirectory);
        QCOMPARE(ReadAll(dir / "plain"), QByteArray("xxx"));
        f.dialogs.savePath = QString::fromStdString(dir / "report.txt");
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));  // the failure is over

        const std::string pdf = dir / "page.pdf";
        auto printTo = [&](const std::string& file) {
            return [file](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(file));
            };
        };
        f.dialogs.choosePrinter = printTo(dir / "plain/page.pdf");
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        QCOMPARE(
            window.StatusText(),
            QString::fromStdString("Could not print to " + dir / "plain/page.pdf") + notADirectory);
        f.dialogs.choosePrinter = printTo(pdf);
        QTest::keyClick(&view, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));
        f.dialogs.choosePrinter = [](QPrinter& printer) {  // a printer that starts no job
            printer.setOutputFileName(QString());
            printer.setOutputFormat(QPrinter::PdfFormat);
        };
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        f.dialogs.choosePrinter = nullptr;  // cancelled
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        QCOMPARE(f.dialogs.log,
                 std::vector<std::string>({"save", "save", "save", "print", "print", "print",
                                           "message Error: Error setting up AbortProc", "print"}));

        TreeItem sub = f.Store().GetChild(f.Store().GetChild(TreeItem::None));
        const TreeItem next = f.Store().GetNextItem(sub);
        QPoint at = view.visualRect(window.Tree().Model().IndexOf(sub)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &click);
        QMenu* menu = window.ItemMenu();
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        QStringList items;
        for (QAction* action : menu->actions())
            items << action->text();
        QCOMPARE(items, QStringList({"Refresh", "Remove", "Explore Selected", "Export Info To File",
                                     "", "Move to Trash", "Refresh Selected", "Largest Files"}));
        menu->actions().at(1)->trigger();  // Remove, of the item clicked
        QCOMPARE(f.Store().Node(sub), nullptr);
        QCOMPARE(f.Store().Selection(), next);
        menu->close();

        // Shift+F10 asks for it at the current item, as the Menu key does.
        QTRY_VERIFY(!menu->isVisible());
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        const QRect current = view.visualRect(window.Tree().Model().IndexOf(next));
        QCOMPARE(menu->pos(), view.viewport()->mapToGlobal(current.bottomLeft()));
        menu->close();

        f.fileManager = false;  // the desktop has none: the status bar says so
        QVERIFY(window.ExecuteCommand(Command::ExploreSelected));
        QCOMPARE(window.StatusText(),
                 QString::fromStdString("No file manager to open " + f.Store().Record(next)->path));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
