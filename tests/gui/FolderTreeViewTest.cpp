// The folder tree in a window: the model while scans fill it, store and view kept in step,
// and two scans at once.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include "GuiTestSupport.h"
#include "ui/FolderTreeView.h"

class FolderTreeViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SizeUnit::Reset(); }

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
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        QCOMPARE(test::Dump(tree.Store()), test::ReferenceScan(folder));
        // The view shows the root selected and expanded, with its children largest first.
        QModelIndex root = tree.Model().index(0, 0);
        QCOMPARE(tree.View().currentIndex(), root);
        QVERIFY(tree.View().isExpanded(root));
        QCOMPARE(tree.Model().rowCount(root), 4);  // three sub-folders and FILES
        QCOMPARE(tree.Model().data(root).toString(),
                 QString::fromStdString(tree.Store().Node(tree.Model().ItemAt(root))->Text()));

        // A new root and a rescan of the first, both at once.
        folder = dir / "two";
        tree.StartScan();
        folder = dir / "one";
        tree.StartScan();
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 3, 60000);
        QCOMPARE(tree.Store().Top().Children().Size(), std::size_t{2});
        for (const ItemNode& top : tree.Store().Top().Children()) {
            std::optional<FolderRecord> record = top.Record();
            QVERIFY(record && record->complete);
            QCOMPARE(record->folderCount, record->path == dir / "one" ? 39 : 30);
        }
        QCOMPARE(tree.RunningScans(), std::size_t{0});
    }

    void expansionFollowsBothWays() {
        std::string folder;
        FolderTreeView tree(folder);
        ItemStore& store = tree.Store();
        TreeItem parent = store.InsertItem("parent", 0, TreeItem::None, InsertAt::Last);
        store.InsertItem("child", 0, parent, InsertAt::Last);
        store.Expand(parent, true);
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
        tree.View().collapse(tree.Model().IndexOf(parent));
        QVERIFY(!store.Node(parent)->Expanded());
        store.Expand(parent, true);  // the scan's next progress update opens it again
        QVERIFY(tree.View().isExpanded(tree.Model().IndexOf(parent)));
    }
};

QTEST_MAIN(FolderTreeViewTest)
#include "FolderTreeViewTest.moc"
