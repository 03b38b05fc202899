// The window's frame: the toolbar and the unit switch with the relabelling it brings, the
// status-bar hints, and the Desktop menu.
#include <QContextMenuEvent>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "WindowFixture.h"
#include "ui/ClientArea.h"
#include "ui/ContentArea.h"
#include "ui/DesktopMenu.h"

using test::Fixture;

namespace {

// The labels of every item that has a record, depth first.
QStringList Labels(const ItemStore& store) {
    QStringList labels;
    auto walk = [&](auto& self, const ItemNode& node) -> void {
        for (const ItemNode& child : node.Children()) {
            if (child.HasRecord())
                labels << QString::fromStdString(child.Text());
            self(self, child);
        }
    };
    walk(walk, store.Top());
    return labels;
}

// Whether there are labels and every one shows sizes in the unit with this letter.
// A sub-folder whose scan has finished: it has its FILES entry.
const ItemNode* FinishedFolder(const ItemNode& node) {
    for (const ItemNode& child : node.Children()) {
        if (child.HasRecord() && child.IsFilesEntry())
            return &node;
        if (const ItemNode* found = FinishedFolder(child))
            return found;
    }
    return nullptr;
}

bool AllIn(const QStringList& labels, char letter) {
    const QString unit = QStringLiteral(" %1 , Files : ").arg(QLatin1Char(letter));
    return !labels.isEmpty() && labels.filter(unit).size() == labels.size();
}

// Clicks the drop-down arrow of the first toolbar button and hands the Desktop menu that
// opens to look.
bool WithDesktopMenu(MainWindow& window, const std::function<void(QMenu&)>& look) {
    QToolButton* choose = window.Toolbar().Button(Command::ChooseFolder);
    const QPoint arrow(choose->width() - 3, choose->height() / 2);
    return test::WithPopup([&] { QTest::mouseClick(choose, Qt::LeftButton, {}, arrow); },
                           [&](QWidget& popup) { look(*qobject_cast<QMenu*>(&popup)); });
}

// Each item as "text=command", with "!" when it has no icon.
QStringList Entries(const QMenu& menu) {
    QStringList entries;
    for (QAction* item : menu.actions()) {
        entries << item->text() + "=" + QString::number(item->data().toInt()) +
                       (item->icon().isNull() ? "!" : "");
    }
    return entries;
}

}  // namespace

class WindowBarsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SizeUnit::Reset(); }

    void toolbarHintsAndTheUnitSwitch() {
        TempDir dir;
        test::MakeTree(dir, "u", 1, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "u");
        QVERIFY(f.Show());
        QVERIFY(f.Scanned(dir / "u"));

        QStringList entries;
        for (QAction* entry : window.Toolbar().Window()->actions()) {
            auto* button =
                qobject_cast<QToolButton*>(window.Toolbar().Window()->widgetForAction(entry));
            if (!button) {
                entries << "-";
                continue;
            }
            entries << QString::number(button->defaultAction()->data().toInt()) + " " +
                           button->toolTip();
            QCOMPARE(button->icon().availableSizes(), (QList<QSize>{{16, 16}, {32, 32}}));
        }
        QCOMPARE(entries,
                 QStringList({"132 Choose Folder", "136 Browse Folder", "134 Refresh Selection",
                              "138 Stop Scan", "-", "135 Remove Selection", "-",
                              "139 Show Sizes in Megabytes or Kilobytes", "-",
                              "141 Prit File Size Info", "-", "105 Exit"}));

        // A highlighted menu item shows its hint; a closed menu leaves "Ready".
        QMenu* file = window.menuBar()->actions().at(0)->menu();
        file->popup(window.mapToGlobal(QPoint(0, 0)));
        file->setActiveAction(file->actions().at(0));
        QCOMPARE(window.StatusText(), QStringLiteral("Browse Folder"));
        file->close();
        QCOMPARE(window.StatusText(), QStringLiteral("Ready"));

        // The accelerator, the menu item and the button each switch; the menu's check mark
        // and the button follow, every label is rewritten at once in the folder format
        // (FILES entries included) and the view is told, once.
        QAction* menu = window.MenuAction(Command::ShowInMeg);
        QToolButton* button = window.Toolbar().Button(Command::ShowInMeg);
        QVERIFY(button->isCheckable() && button->isChecked() && menu->isChecked());
        QTreeView& view = window.Tree().View();
        view.setFocus();
        QSignalSpy changed(&window.Tree().Model(), &QAbstractItemModel::dataChanged);
        QSignalSpy laidOut(&window.Tree().Model(), &QAbstractItemModel::layoutChanged);
        const std::function<void()> switches[] = {
            [&] { QTest::keyClick(&view, Qt::Key_T, Qt::ControlModifier); },
            [&] { menu->trigger(); }, [&] { QTest::mouseClick(button, Qt::LeftButton); }};
        for (const auto& toggle : switches) {
            const bool megabytes = !SizeUnit::InMegabytes();
            changed.clear();
            laidOut.clear();
            toggle();
            QCOMPARE(SizeUnit::InMegabytes(), megabytes);
            QCOMPARE(menu->isChecked(), megabytes);
            QCOMPARE(button->isChecked(), megabytes);
            QVERIFY(AllIn(Labels(f.Store()), megabytes ? 'M' : 'K'));
            QCOMPARE(laidOut.count(), 1);
            QCOMPARE(changed.count(), 0);
        }
    }

    // The toolbar keeps the width the window had when it was made; the band right of it
    // is grey, and the content area overlaps the toolbar's lowest 2 pixels.
    void toolbarKeepsItsCreationWidthBesideAGreyBand() {
        Fixture f;
        MainWindow& window = f.Open();
        QToolBar* bar = window.Toolbar().Window();
        const int created = bar->width();
        QCOMPARE(created, window.width());
        window.resize(created + 200, 400);
        QVERIFY(f.Show());
        QCOMPARE(bar->width(), created);
        QCOMPARE(window.Content()->geometry().top(), bar->height() - 2);
        const QImage client = window.Client()->grab().toImage();
        QCOMPARE(client.pixelColor(created + 100, bar->height() - 3), QColor(111, 111, 111));
    }

    void switchingDuringAScanRewritesWhatTheScanHadQueued() {
        TempDir dir;
        test::MakeTree(dir, "big", 4, 3);
        test::Gate start;
        test::Gate middle;
        Fixture f;
        struct OpenAtEnd {
            test::Gate &first, &second;
            ~OpenAtEnd() { first.Open(), second.Open(); }
        } opener{start, middle};
        MainWindow& window = f.Open();
        window.Tree().SetSourceFactory(
            [&] { return std::make_unique<test::GatedSource>(middle, 31, &start); });
        window.SetStartFolder(dir / "big");
        QVERIFY(window.ExecuteCommand(Command::Refresh));
        QTRY_VERIFY_WITH_TIMEOUT(start.HasWaiter(), 30000);  // the root is found
        // Without the event loop nothing the scan queues from here on is applied; it runs
        // to the second gate with the labels of finished folders queued.
        start.Open();
        QVERIFY(test::SpinUntil([&] { return middle.HasWaiter(); }));
        QVERIFY(window.Tree().Queue().Pending() > 0);
        QVERIFY(window.ExecuteCommand(Command::ShowInMeg));
        QVERIFY(Labels(f.Store()).size() > 10);
        QVERIFY(AllIn(Labels(f.Store()), 'K'));
        // A label the scan formatted just before a second switch arrives just after it.
        const ItemNode* finished = FinishedFolder(f.Store().Top());
        QVERIFY(finished);
        const TreeItem late = finished->Id();
        ItemLabel inKilobytes =
            ItemLabel::Folder(finished->RecordName(), finished->TotalBytes(), finished->FileCount(),
                              finished->FolderCount(), false);
        QVERIFY(window.ExecuteCommand(Command::ShowInMeg));
        window.Tree().Queue().SetItemText(late, std::move(inKilobytes));
        QCOMPARE(QString::fromStdString(f.Store().Node(late)->Text()).count(" M , "), 1);
        middle.Open();
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "big"), 60000);
        QVERIFY(AllIn(Labels(f.Store()).filter(" , Folders : "), 'M'));
        // The root's FILES entry, written by the scan after the switches, keeps its own
        // format: no relabelling at the end of the scan turns it into a folder's.
        QString rootFiles;
        for (const ItemNode& child : f.Store().Top().Children().Front()->Children()) {
            if (child.IsFilesEntry())
                rootFiles = QString::fromStdString(child.Text());
        }
        QVERIFY2(QRegularExpression("^FILES   \\(  *[0-9]+\\.[0-9][0-9] M $")
                     .match(rootFiles)
                     .hasMatch(),
                 qPrintable(rootFiles));
    }

    void desktopMenuListsTheStartingFolders() {
        TempDir dir;
        for (const char* name : {"Desktop", "Documents", "R&D", "mnt", "mnt/usb"})
            dir.MakeFolder(name);
        DefaultFolders defaults{dir / "Desktop", dir / "Documents", {"/", dir / "mnt/usb"}};

        Fixture plain;  // no folder on the command line
        plain.roots.FillDefaults(defaults);
        plain.mountNames = {{"/", "/"}, {dir / "mnt/usb", "Stick & Co (" + dir / "mnt/usb)"}};
        MainWindow& window = plain.Open();
        QVERIFY(plain.Show());
        QSignalSpy dropped(window.StartingFolderMenu(), &QMenu::aboutToShow);
        QToolButton* choose = window.Toolbar().Button(Command::ChooseFolder);
        QTest::mouseClick(choose, Qt::LeftButton, {}, QPoint(4, choose->height() / 2));
        QCOMPARE(dropped.count(), 0);  // the face does nothing
        QCOMPARE(window.Tree().RunningScans(), std::size_t{0});
        QVERIFY(WithDesktopMenu(window, [&](QMenu& menu) {
            const QString stick = QString::fromStdString(dir / "mnt/usb");
            QCOMPARE(Entries(menu), QStringList({"Desktop=1000", "Documents=1001", "/=1002",
                                                 "Stick && Co (" + stick + ")=1003"}));
            menu.actions().at(1)->trigger();
        }));
        QCOMPARE(window.StartFolder(), dir / "Documents");
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), plain.Complete(dir / "Documents"), 30000);

        // Open adds a folder once; the menu shows the list as it is now.
        for (int twice = 0; twice < 2; ++twice) {
            plain.chosenFolder = dir / "R&D";
            QVERIFY(window.ExecuteCommand(Command::Open));
        }
        QVERIFY(WithDesktopMenu(window, [&](QMenu& menu) {
            QCOMPARE(Entries(menu).mid(4), QStringList({"R&&D=1004"}));
        }));
    }
};

QTEST_MAIN(WindowBarsTest)
#include "WindowBarsTest.moc"
