// The window's frame: the toolbar, the unit switch and the relabelling it brings, the
// status-bar hints, the Desktop menu, and the detail panel following the tree.
#include <QContextMenuEvent>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <chrono>
#include <thread>

#include "WindowFixture.h"
#include "app/ResourceTables.h"
#include "report/DetailPanel.h"
#include "ui/ContentArea.h"
#include "ui/DesktopMenu.h"

using test::Fixture;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Opens a gate when the test ends, also when it fails early, so that no scan waits on.
struct OpenAtEnd {
    test::Gate& gate;
    ~OpenAtEnd() { gate.Open(); }
};

// Lists folders from the disk; holds the first listing at one gate, and every listing
// after the first `free` at another.
class TwoStepSource : public DirectoryReader {
  public:
    TwoStepSource(test::Gate& first, test::Gate& later, int free)
        : first_(first), later_(later), free_(free) {}
    bool List(FolderListing& out) override {
        if (listed_ == 0)
            first_.Pass();
        else if (listed_ > free_)
            later_.Pass();
        ++listed_;
        return DirectoryReader::List(out);
    }

  private:
    test::Gate& first_;
    test::Gate& later_;
    int free_;
    int listed_ = 0;
};

// The labels of every item that has a record, depth first.
QStringList Labels(const ItemStore& store) {
    QStringList labels;
    auto walk = [&](auto& self, const ItemNode& node) -> void {
        for (const auto& child : node.children) {
            if (child->record)
                labels << QString::fromStdString(child->text);
            self(self, *child);
        }
    };
    walk(walk, store.Top());
    return labels;
}

// Whether every label of labels shows sizes in the unit with this letter, none in the other.
bool AllIn(const QStringList& labels, char letter) {
    const QString unit = QStringLiteral(" %1 , Files : ").arg(QLatin1Char(letter));
    for (const QString& label : labels) {
        if (!label.contains(unit))
            return false;
    }
    return !labels.isEmpty();
}

// Opens the Desktop menu with a click on the drop-down arrow of the first toolbar button
// and hands it to look, which must close it (or choose an item).
bool WithDesktopMenu(MainWindow& window, const std::function<void(QMenu&)>& look) {
    QToolButton* choose = window.Toolbar().Button(Command::ChooseFolder);
    const QPoint arrow(choose->width() - 3, choose->height() / 2);
    return test::WithPopup([&] { QTest::mouseClick(choose, Qt::LeftButton, {}, arrow); },
                           [&](QWidget& popup) {
                               auto* menu = qobject_cast<QMenu*>(&popup);
                               QVERIFY(menu);
                               look(*menu);
                           });
}

QStringList CommandsOf(const QMenu& menu) {
    QStringList commands;
    for (QAction* item : menu.actions()) {
        commands << QString::number(item->data().toInt());
        if (item->icon().isNull())
            commands << QStringLiteral("(no icon)");
    }
    return commands;
}

}  // namespace

class WindowBarsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void toolbarHasItsButtonsInOrderWithTipsAndImages() {
        Fixture f;
        MainWindow& window = f.Open();
        QToolBar* bar = window.Toolbar().Window();
        QVERIFY(bar);
        QStringList entries;
        QStringList tips;
        for (QAction* entry : bar->actions()) {
            if (entry->isSeparator()) {
                entries << QStringLiteral("-");
                continue;
            }
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(entry));
            QVERIFY(button && button->defaultAction());
            entries << QString::number(button->defaultAction()->data().toInt());
            tips << button->toolTip();
            const QList<QSize> sizes = button->icon().availableSizes();
            QVERIFY2(sizes.contains(QSize(16, 16)) && sizes.contains(QSize(32, 32)),
                     qPrintable(button->toolTip()));
        }
        QCOMPARE(entries, QStringList({"132", "136", "134", "138", "-", "135", "-", "139", "-",
                                       "141", "-", "105"}));
        QCOMPARE(tips,
                 QStringList({"Choose Folder", "Browse Folder", "Refresh Selection", "Stop Scan",
                              "Remove Selection", "Show Sizes in Megabytes or Kilobytes",
                              "Prit File Size Info", "Exit"}));
        QToolButton* choose = window.Toolbar().Button(Command::ChooseFolder);
        QCOMPARE(choose->popupMode(), QToolButton::MenuButtonPopup);
        QCOMPARE(choose->menu(), window.StartingFolderMenu());
        QToolButton* meg = window.Toolbar().Button(Command::ShowInMeg);
        QVERIFY(meg->isCheckable());
        QVERIFY(meg->isChecked());
        QVERIFY(!window.Toolbar().Button(Command::Open)->isCheckable());

        // The buttons issue their commands: Stop asks the scans to stop.
        QTest::mouseClick(window.Toolbar().Button(Command::Stop), Qt::LeftButton);
        QVERIFY(StopRequested);
    }

    void theDropDownFaceDoesNothingAndItsArrowOpensTheDesktopMenu() {
        Fixture f;
        f.roots.Add("/", false);
        MainWindow& window = f.Open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy opened(window.StartingFolderMenu(), &QMenu::aboutToShow);
        QToolButton* choose = window.Toolbar().Button(Command::ChooseFolder);
        QTest::mouseClick(choose, Qt::LeftButton, {}, QPoint(4, choose->height() / 2));
        QCOMPARE(opened.count(), 0);
        QCOMPARE(QApplication::activePopupWidget(), nullptr);
        QCOMPARE(window.StatusText(), QStringLiteral("Started"));
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});

        QVERIFY(WithDesktopMenu(window, [](QMenu& menu) { menu.close(); }));
        QCOMPARE(opened.count(), 1);
        QVERIFY(test::WithPopup([&] { window.ShowDesktopMenu(); },
                                [](QWidget& menu) { menu.close(); }));
        QCOMPARE(opened.count(), 2);
    }

    void showInMegSwitchesMenuButtonAndEveryLabel() {
        TempDir dir;
        dir.MakeFolder("u");
        dir.MakeFolder("u/half");
        dir.MakeFile("u/half/f", 524288);
        dir.MakeFile("u/small", 1536);
        const QString root = QString::fromStdString(dir / "u");
        Fixture f;
        MainWindow& window = f.Open(dir / "u");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "u"), 30000);
        PaintCounter paints(*window.Panel());
        QSignalSpy changed(&window.Tree().Model(), &QAbstractItemModel::dataChanged);
        QAction* menu = window.MenuAction(Command::ShowInMeg);
        QToolButton* button = window.Toolbar().Button(Command::ShowInMeg);
        QTreeView& view = window.Tree().View();
        view.setFocus();

        QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(!SizeUnit::InMegabytes());
        QVERIFY(!menu->isChecked());
        QVERIFY(!button->isChecked());
        // Every label is rewritten at once in the folder format, FILES entries included.
        QCOMPARE(Labels(f.Store()), QStringList({root + "   ( 513.50 K , Files : 2 , Folders : 1 )",
                                                 "half   ( 512.00 K , Files : 1 , Folders : 0 )",
                                                 "FILES   ( 512.00 K , Files : 1 , Folders : 0 )",
                                                 "FILES   ( 1.50 K , Files : 1 , Folders : 0 )"}));
        QModelIndex rootIndex = window.Tree().Model().index(0, 0);
        bool told = false;  // the view is told about the root's new label
        for (const QList<QVariant>& change : changed) {
            told = told || (change.at(0).value<QModelIndex>() == rootIndex &&
                            rootIndex.data().toString() == Labels(f.Store()).first());
        }
        QVERIFY(told);
        QTRY_VERIFY(paints.count > 0);

        menu->trigger();  // the menu item switches back
        QVERIFY(SizeUnit::InMegabytes());
        QVERIFY(menu->isChecked());
        QVERIFY(button->isChecked());
        QCOMPARE(Labels(f.Store()).at(1),
                 QStringLiteral("half   ( 0.50 M , Files : 1 , Folders : 0 )"));

        QTest::mouseClick(button, Qt::LeftButton);  // and so does the button
        QVERIFY(!SizeUnit::InMegabytes());
        QVERIFY(!menu->isChecked());
        QVERIFY(!button->isChecked());
        QVERIFY(AllIn(Labels(f.Store()), 'K'));

        QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier);
        QVERIFY(SizeUnit::InMegabytes());
        QVERIFY(menu->isChecked());
        QVERIFY(button->isChecked());
        QVERIFY(AllIn(Labels(f.Store()), 'M'));
        QCOMPARE(button->toolTip(), QStringLiteral("Show Sizes in Megabytes or Kilobytes"));
    }

    void switchingDuringAScanRewritesWhatTheScanHadQueued() {
        TempDir dir;
        test::MakeTree(dir, "big", 4, 3);
        test::Gate start;
        test::Gate middle;
        Fixture f;
        OpenAtEnd openStart{start};
        OpenAtEnd openMiddle{middle};
        MainWindow& window = f.Open();
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<TwoStepSource>(start, middle, 30); });
        window.SetStartFolder(dir / "big");
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QTRY_VERIFY_WITH_TIMEOUT(start.HasWaiter(), 30000);  // the root is found
        // Without the event loop nothing the scan queues from here on is applied; it runs
        // to the second gate with the labels of finished folders queued.
        start.Open();
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!middle.HasWaiter() && std::chrono::steady_clock::now() < end)
            std::this_thread::yield();
        QVERIFY(middle.HasWaiter());
        QVERIFY(window.Tree().Queue().Pending() > 0);
        QVERIFY(window.ExecuteCommand(Command::ShowInMeg));
        QVERIFY(window.Tree().Queue().Pending() == 0);
        QStringList labels = Labels(f.Store());
        QVERIFY(labels.size() > 10);
        QVERIFY(AllIn(labels, 'K'));
        middle.Open();
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "big"), 60000);
        labels = Labels(f.Store());
        QVERIFY(AllIn(labels.filter(QStringLiteral(" , Folders : ")), 'K'));
    }

    void menuItemsShowTheirHintsInTheStatusBar() {
        TempDir dir;
        test::MakeTree(dir, "h", 1, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "h");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "h"), 30000);

        // Highlights the item of menu with this text, as the arrow keys or the pointer do.
        auto hintOf = [&](QMenu& menu, const QString& text) {
            window.SetStatusText(QStringLiteral("-"));
            for (QAction* item : menu.actions()) {
                if (item->text() == text)
                    menu.setActiveAction(item);
            }
            return window.StatusText();
        };
        QMenu* file = window.menuBar()->actions().at(0)->menu();
        file->popup(window.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(file->isVisible());
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));  // the menu opened
        QCOMPARE(hintOf(*file, "Open\tCtrl+O"), QStringLiteral("Browse Folder"));
        QCOMPARE(hintOf(*file, "Print Selected Info\tCtrl+P"),
                 QStringLiteral("Prit File Size Info"));
        file->close();
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));  // and closed

        QMenu* help = window.menuBar()->actions().at(2)->menu();
        help->popup(window.mapToGlobal(QPoint(0, 0)));
        QTRY_VERIFY(help->isVisible());
        QCOMPARE(hintOf(*help, "&About ..."), QStringLiteral("Ready"));
        help->close();

        // The item menu, opened from the keyboard on the current item.
        QTreeView& view = window.Tree().View();
        view.setCurrentIndex(window.Tree().Model().index(0, 0));
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
        QApplication::sendEvent(view.viewport(), &key);
        QMenu* item = window.ItemMenu();
        QVERIFY(item);
        QTRY_VERIFY(item->isVisible());
        QCOMPARE(hintOf(*item, "Export Info To File"), QStringLiteral("Export Size Info To File"));
        QCOMPARE(hintOf(*item, "Explore Selected"),
                 QStringLiteral("Open Windows Explorer on Selected"));
        item->close();
        window.SetStatusText(QStringLiteral("-"));
        QVERIFY(WithDesktopMenu(window, [&](QMenu& menu) {
            QTest::keyClick(&menu, Qt::Key_Down);
            QCOMPARE(window.StatusText(), QStringLiteral("Ready"));
            menu.close();
        }));
    }

    void desktopMenuListsTheStartingFoldersInOrder() {
        QCOMPARE(DesktopMenu::DisplayName("/"), std::string("/"));
        QCOMPARE(DesktopMenu::DisplayName("/srv/data//"), std::string("data"));
        QCOMPARE(DesktopMenu::DisplayName("relative"), std::string("relative"));

        TempDir dir;
        for (const char* name : {"Desktop", "Documents", "R&D", "mnt", "mnt/usb"})
            dir.MakeFolder(name);
        DefaultFolders defaults{dir / "Desktop", dir / "Documents", {"/", dir / "mnt/usb"}};

        Fixture plain;  // no folder on the command line
        plain.roots.FillDefaults(defaults);
        MainWindow& window = plain.Open();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(WithDesktopMenu(window, [&](QMenu& menu) {
            QCOMPARE(test::ItemTexts(menu), QStringList({"Desktop", "Documents", "/", "usb"}));
            QCOMPARE(CommandsOf(menu), QStringList({"1000", "1001", "1002", "1003"}));
            menu.actions().at(1)->trigger();  // the documents folder
            menu.close();
        }));
        QCOMPARE(window.StartFolder(), dir / "Documents");
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), plain.Complete(dir / "Documents"), 30000);

        // Open adds a folder once, exactly as spelt; the menu shows the list as it is now.
        plain.chosenFolder = dir / "R&D";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QVERIFY(window.ExecuteCommand(Command::Open));
        plain.chosenFolder = dir / "Documents";
        QVERIFY(window.ExecuteCommand(Command::Open));
        plain.chosenFolder = dir / "documents";
        QVERIFY(window.ExecuteCommand(Command::Open));
        QVERIFY(WithDesktopMenu(window, [&](QMenu& menu) {
            QCOMPARE(test::ItemTexts(menu),
                     QStringList({"Desktop", "Documents", "/", "usb", "R&&D", "documents"}));
            QCOMPARE(CommandsOf(menu).last(), QStringLiteral("1005"));
            menu.close();
        }));

        Fixture withFolder;  // start-up puts the command-line folder first, even if repeated
        withFolder.roots.Add(dir / "Desktop", false);
        withFolder.roots.FillDefaults(defaults);
        MainWindow& second = withFolder.Open(dir / "Desktop");
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QVERIFY(WithDesktopMenu(second, [&](QMenu& menu) {
            QCOMPARE(test::ItemTexts(menu),
                     QStringList({"Desktop", "Desktop", "Documents", "/", "usb"}));
            QCOMPARE(CommandsOf(menu), QStringList({"1000", "1001", "1002", "1003", "1004"}));
            menu.close();
        }));
    }

    void panelShowsTheSelectionAndFollowsTheTree() {
        TempDir dir;
        test::MakeTree(dir, "p", 3, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "p");
        window.resize(900, 500);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "p"), 30000);
        QVERIFY(qobject_cast<DetailPanel*>(window.Panel()));
        auto hasRed = [&] {
            const QImage image = window.Panel()->grab().toImage();
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixelColor(x, y) == QColor(255, 0, 0))
                        return true;
                }
            }
            return false;
        };
        QVERIFY(hasRed());  // the root is selected and its children have bars

        PaintCounter paints(*window.Panel());
        TreeItem root = f.Store().GetChild(TreeItem::None);
        f.Store().Select(f.Store().GetChild(root));
        QTRY_VERIFY(paints.count > 0);
        paints.count = 0;
        f.Store().Select(TreeItem::None);
        QVERIFY(window.ExecuteCommand(Command::Remove));
        QTRY_VERIFY(paints.count > 0);
        QVERIFY(!hasRed());
    }
};

QTEST_MAIN(WindowBarsTest)
#include "WindowBarsTest.moc"
