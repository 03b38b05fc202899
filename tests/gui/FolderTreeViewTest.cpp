// The folder tree in a window: the model while scans fill it, store and view kept in step,
// right clicks, and the scans' bookkeeping (two at once, a selection made during a scan).
#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/FolderTreeView.h"

class FolderTreeViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void modelStaysConsistentWhileScansFillIt() {
        TempDir dir;
        test::MakeTree(dir, "one", 3, 3);
        test::MakeTree(dir, "two", 2, 4);
        std::string folder = dir / "one";
        FolderTreeView tree(folder);
        tree.View().resize(400, 600);
        tree.View().show();
        QAbstractItemModelTester tester(&tree.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        QSignalSpy status(&tree, &FolderTreeView::StatusText);
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        QCOMPARE(test::Dump(tree.Store()), test::ReferenceScan(folder));
        QCOMPARE(status.first().first().toString(), QString::fromStdString("Scanning " + folder));
        QCOMPARE(status.last().first().toString(),
                 QString::fromStdString("Scanning " + folder + " Complete"));
        // The view shows the root selected and expanded, with its children largest first.
        QModelIndex root = tree.Model().index(0, 0);
        QCOMPARE(tree.View().currentIndex(), root);
        QVERIFY(tree.View().isExpanded(root));
        QCOMPARE(tree.Model().rowCount(root), 4);  // three sub-folders and FILES
        QCOMPARE(tree.Model().data(root).toString(),
                 QString::fromStdString(tree.Store().Node(tree.Model().ItemAt(root))->text));
        QVERIFY(!tree.Model().data(root, Qt::DecorationRole).value<QIcon>().isNull());

        // A new root and a rescan of the first, both at once.
        folder = dir / "two";
        tree.StartScan();
        folder = dir / "one";
        tree.StartScan();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 3, 60000);
        QCOMPARE(tree.Store().Top().children.size(), std::size_t{2});
        for (const auto& top : tree.Store().Top().children) {
            QVERIFY(top->record && top->record->complete);
            QCOMPARE(top->record->folderCount, top->record->path == dir / "one" ? 39 : 30);
        }
        QCOMPARE(tree.RunningScans(), std::size_t{0});
    }

    // A folder the user picks in the view while its root is scanned stays selected.
    void selectionMadeDuringAScanIsKept() {
        TempDir dir;
        test::MakeTree(dir, "root", 3, 2);
        std::string folder = dir / "root";
        FolderTreeView tree(folder);
        ItemStore& store = tree.Store();
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        test::Gate gate;  // hold the scan after its first sub-folder is done
        tree.SetSourceFactory([&] { return std::make_unique<test::GatedSource>(gate, 6); });
        tree.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        TreeItem sub = TreeItem::None;
        auto finishedChild = [&] {
            TreeItem root = store.GetChild(TreeItem::None);
            for (sub = store.GetChild(root); sub != TreeItem::None; sub = store.GetNextItem(sub)) {
                if (store.Record(sub))
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(finishedChild(), 30000);
        tree.View().setCurrentIndex(tree.Model().IndexOf(sub));
        QCOMPARE(store.Selection(), sub);
        gate.Open();
        QVERIFY(completed.wait(60000));
        QCOMPARE(store.Selection(), sub);
        QCOMPARE(store.Record(sub)->path.rfind(dir / "root/sub", 0), std::size_t{0});
        QCOMPARE(tree.View().currentIndex(), tree.Model().IndexOf(sub));
    }

    void expansionFollowsBothWays() {
        std::string folder;
        FolderTreeView tree(folder);
        ItemStore& store = tree.Store();
        TreeItem parent = store.InsertItem("parent", 0, TreeItem::None, InsertAt::Last);
        TreeItem child = store.InsertItem("child", 0, parent, InsertAt::Last);
        store.InsertItem("grandchild", 0, child, InsertAt::Last);
        store.Expand(parent, true);
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
        tree.View().collapse(tree.Model().IndexOf(parent));
        QVERIFY(!store.Node(parent)->expanded);
        store.Expand(parent, true);  // the scan's next progress update opens it again
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
        tree.View().expand(tree.Model().IndexOf(child));
        QVERIFY(store.Node(child)->expanded);
    }

    void rightClickSelectsTheItemAndAsksForTheMenuThere() {
        std::string folder;
        FolderTreeView tree(folder);
        ItemStore& store = tree.Store();
        TreeItem first = store.InsertItem("first", 0, TreeItem::None, InsertAt::Last);
        TreeItem second = store.InsertItem("second", 0, TreeItem::None, InsertAt::Last);
        store.Select(first);
        tree.View().resize(300, 300);
        tree.View().show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree.View()));
        QSignalSpy asked(&tree, &FolderTreeView::ContextMenuRequested);
        QWidget* viewport = tree.View().viewport();
        auto click = [&](QPoint at) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &event);
        };

        const QRect onSecond = tree.View().visualRect(tree.Model().IndexOf(second));
        click(onSecond.center());
        QCOMPARE(store.Selection(), second);
        QCOMPARE(tree.View().currentIndex(), tree.Model().IndexOf(second));
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.last().first().toPoint(), viewport->mapToGlobal(onSecond.center()));
        click(QPoint(10, 280));  // below the last item: nothing changes, no menu
        QCOMPARE(store.Selection(), second);
        QCOMPARE(asked.count(), 1);

        // From the keyboard the menu opens at the current item.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
        QApplication::sendEvent(&tree.View(), &key);
        QCOMPARE(asked.count(), 2);
        QCOMPARE(asked.last().first().toPoint(), viewport->mapToGlobal(onSecond.bottomLeft()));
    }
};

QTEST_MAIN(FolderTreeViewTest)
#include "FolderTreeViewTest.moc"
