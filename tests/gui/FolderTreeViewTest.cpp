// The folder tree in a window: the model while scans fill it, store and view kept in step,
// right clicks, and the scans' bookkeeping (two at once, a request dropped, a removed root).
#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QSignalSpy>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/FolderTreeView.h"

namespace {

// The path of the store's item `item` (its record's path), or "" without a record.
std::string PathOf(const ItemStore& store, TreeItem item) {
    const FolderRecord* record = store.Record(item);
    return record ? record->path : "";
}

// The first child of item that has its record (a finished sub-folder).
TreeItem FinishedChild(ItemStore& store, TreeItem item) {
    for (TreeItem c = store.GetChild(item); c != TreeItem::None; c = store.GetNextItem(c)) {
        if (store.Record(c))
            return c;
    }
    return TreeItem::None;
}

}  // namespace

class FolderTreeViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void modelStaysConsistentWhileAScanFillsIt() {
        TempDir dir;
        test::MakeTree(dir, "root", 3, 3);
        std::string folder = dir / "root";
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
    }

    void twoStartingFoldersScannedAtOnceBothComplete() {
        TempDir dir;
        test::MakeTree(dir, "one", 3, 3);
        test::MakeTree(dir, "two", 2, 4);
        std::string folder;
        FolderTreeView tree(folder);
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        folder = dir / "one";
        tree.StartScan();
        folder = dir / "two";
        tree.StartScan();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 2, 60000);
        ItemStore& store = tree.Store();
        QCOMPARE(store.Top().children.size(), std::size_t{2});
        for (const auto& root : store.Top().children) {
            QVERIFY(root->record && root->record->complete);
            QCOMPARE(root->record->folderCount, root->record->path == dir / "one" ? 39 : 30);
        }
        QCOMPARE(tree.RunningScans(), std::size_t{0});
    }

    void selectionInsideTheRootIsKeptOtherwiseTheRootIsSelected() {
        TempDir dir;
        test::MakeTree(dir, "root", 3, 2);
        test::MakeTree(dir, "other", 1, 1);
        std::string folder = dir / "other";
        FolderTreeView tree(folder);
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        ItemStore& store = tree.Store();
        TreeItem other = store.GetChild(TreeItem::None);
        QCOMPARE(store.Selection(), other);

        test::Gate gate;  // hold the scan of root after its first sub-folder is done
        tree.SetSourceFactory([&] { return std::make_unique<test::GatedSource>(gate, 6); });
        folder = dir / "root";
        tree.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(gate.HasWaiter(), 30000);
        TreeItem root = TreeItem::None;
        TreeItem sub = TreeItem::None;
        QTRY_VERIFY_WITH_TIMEOUT((root = store.GetNextItem(other)) != TreeItem::None &&
                                     (sub = FinishedChild(store, root)) != TreeItem::None,
                                 30000);
        // The user picks the sub-folder in the view; the store follows.
        tree.View().setCurrentIndex(tree.Model().IndexOf(sub));
        QCOMPARE(store.Selection(), sub);
        gate.Open();
        QVERIFY(completed.wait(60000));
        QCOMPARE(store.Selection(), sub);
        QCOMPARE(PathOf(store, sub).rfind(dir / "root/sub", 0), std::size_t{0});
        QCOMPARE(tree.View().currentIndex(), tree.Model().IndexOf(sub));

        // With the selection outside, a rescan of root selects root.
        tree.SetSourceFactory(nullptr);
        tree.View().setCurrentIndex(tree.Model().IndexOf(other));
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        QCOMPARE(store.Selection(), root);
        QCOMPARE(tree.View().currentIndex(), tree.Model().IndexOf(root));
    }

    void expansionFollowsBothWays() {
        ItemStore* store = nullptr;
        std::string folder;
        FolderTreeView tree(folder);
        store = &tree.Store();
        TreeItem parent = store->InsertItem("parent", 0, TreeItem::None, InsertAt::Last);
        TreeItem child = store->InsertItem("child", 0, parent, InsertAt::Last);
        store->InsertItem("grandchild", 0, child, InsertAt::Last);
        store->Expand(parent, true);
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
        tree.View().collapse(tree.Model().IndexOf(parent));
        QVERIFY(!store->Node(parent)->expanded);
        store->Expand(parent, true);  // the scan's next progress update opens it again
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
        tree.View().expand(tree.Model().IndexOf(child));
        QVERIFY(store->Node(child)->expanded);
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

        QPoint onSecond = tree.View().visualRect(tree.Model().IndexOf(second)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, onSecond,
                                viewport->mapToGlobal(onSecond));
        QApplication::sendEvent(viewport, &click);
        QCOMPARE(store.Selection(), second);
        QCOMPARE(tree.View().currentIndex(), tree.Model().IndexOf(second));
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.last().first().toPoint(), viewport->mapToGlobal(onSecond));

        QPoint empty(10, 280);  // below the last item: nothing changes, no menu
        QContextMenuEvent miss(QContextMenuEvent::Mouse, empty, viewport->mapToGlobal(empty));
        QApplication::sendEvent(viewport, &miss);
        QCOMPARE(store.Selection(), second);
        QCOMPARE(asked.count(), 1);

        // From the keyboard the menu opens at the current item.
        QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
        QApplication::sendEvent(&tree.View(), &key);
        QCOMPARE(asked.count(), 2);
        QRect secondRect = tree.View().visualRect(tree.Model().IndexOf(second));
        QCOMPARE(asked.last().first().toPoint(), viewport->mapToGlobal(secondRect.bottomLeft()));
    }
};

QTEST_MAIN(FolderTreeViewTest)
#include "FolderTreeViewTest.moc"
