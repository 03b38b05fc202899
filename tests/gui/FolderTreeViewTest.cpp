// The folder tree in a window: the model while scans fill it, a wide folder and a relabel
// told to the view in few signals, store and view kept in step, two scans at once, and a
// scan file that does not fit in memory.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>

#include <sys/resource.h>

#include <fstream>

#include "GuiTestSupport.h"
#include "ui/FolderTreeView.h"

namespace {

// Counts the rows the view measures.
class CountingDelegate : public QStyledItemDelegate {
  public:
    mutable int measured = 0;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        ++measured;
        return QStyledItemDelegate::sizeHint(option, index);
    }
};

// How many of the recorded signals concern rows below the item of parentIndex.
int Under(const QSignalSpy& spy, const QModelIndex& parentIndex) {
    int count = 0;
    for (const QList<QVariant>& signal : spy)
        count +=
            signal.at(0).value<QModelIndex>().internalPointer() == parentIndex.internalPointer();
    return count;
}

// While it lives, the process may map at most `extra` bytes more than it has mapped now.
class AddressSpaceLimit {
  public:
    explicit AddressSpaceLimit(rlim_t extra) {
        ::getrlimit(RLIMIT_AS, &old_);
        rlimit tight = old_;
        tight.rlim_cur = MappedNow() + extra;
        ::setrlimit(RLIMIT_AS, &tight);
    }
    ~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &old_); }

  private:
    static rlim_t MappedNow() {
        std::ifstream status("/proc/self/status");
        for (std::string key; status >> key;) {
            rlim_t kilobytes = 0;
            if (key == "VmSize:" && status >> kilobytes)
                return kilobytes * 1024;
        }
        return 0;
    }
    rlimit old_{};
};

}  // namespace

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

    // 1,500 sub-folders, listed in no particular order, come in with the model checked at
    // every signal: the view hears of them in a few runs, not row by row, and of their
    // FILES entries not at all, and ends with the tree a scan without a window leaves.
    void aWideFolderComesInInRunsUnderTheModelTester() {
        TempDir dir;
        dir.MakeFolder("wide");
        for (int i = 0; i < 1500; ++i)
            dir.MakeFolder("wide/d" + std::to_string(i * 7919 % 1500));
        std::string folder = dir / "wide";
        FolderTreeView tree(folder);
        tree.Queue().SetViewCost(std::chrono::seconds(1));  // nothing shows to measure
        QAbstractItemModelTester tester(&tree.Model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&tree.Model(), &QAbstractItemModel::rowsInserted);
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        QCOMPARE(test::Dump(tree.Store()), test::ReferenceScan(folder));
        const QModelIndex root = tree.Model().index(0, 0);
        QCOMPARE(tree.Model().rowCount(root), 1501);
        QVERIFY2(inserted.count() < 100, qPrintable(QString::number(inserted.count())));
        QVERIFY(Under(inserted, root) >= 1);
    }

    // Switching the unit of an expanded tree is one layout change, and the view measures
    // the rows it shows, not every row.
    void aRelabelIsOneLayoutChangeAndMeasuresTheRowsShown() {
        TempDir dir;
        test::MakeTree(dir, "t", 20, 2);  // 420 folders, all shown once expanded
        std::string folder = dir / "t";
        FolderTreeView tree(folder);
        auto* rows = new CountingDelegate;
        rows->setParent(&tree.View());
        tree.View().setItemDelegate(rows);
        tree.View().resize(400, 300);
        tree.View().show();
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        tree.View().expandAll();
        QTRY_VERIFY(rows->measured > 0);
        const int shown = tree.View().viewport()->height() / tree.View().sizeHintForRow(0) + 2;

        QSignalSpy changed(&tree.Model(), &QAbstractItemModel::dataChanged);
        QSignalSpy laidOut(&tree.Model(), &QAbstractItemModel::layoutChanged);
        rows->measured = 0;
        SizeUnit::Toggle();
        tree.Relabel();
        QTRY_VERIFY(rows->measured > 0);  // painted in the new unit
        QCoreApplication::processEvents();
        QCOMPARE(laidOut.count(), 1);
        QCOMPARE(changed.count(), 0);
        QVERIFY2(rows->measured <= 3 * shown,
                 qPrintable(QString("%1 rows measured, %2 shown").arg(rows->measured).arg(shown)));
        const QString text = tree.Model().data(tree.Model().index(0, 0)).toString();
        QVERIFY2(text.contains(" K , Files : "), qPrintable(text));
    }

    // Four million files in one folder: a packed export of some 50 MB, which fits in the
    // 120 MB the process may add, and a listing of some 200 MB, which does not. The scan
    // ends with the reader's error as its status text, and the root scanned before stays.
    void aScanFileLargerThanMemorySaysSoAndKeepsTheOtherRoots() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("ASan and TSan reserve address space of their own: a limit on it means nothing");
#else
        TempDir dir;
        test::MakeTree(dir, "local", 2, 2);
        {
            std::ofstream huge(dir / "huge.json");
            huge << "[1,2,{},\n[{\"name\":\"/h\"}";
            for (int file = 0; file < 4000000; ++file)
                huge << ",{\"name\":\"f" << file << "\"}";
            huge << "]]\n";
        }
        std::string folder = dir / "local";
        FolderTreeView tree(folder);
        QSignalSpy completed(&tree, &FolderTreeView::ScanCompleted);
        QSignalSpy status(&tree, &FolderTreeView::StatusText);
        tree.StartScan();
        QVERIFY(completed.wait(60000));
        const ItemNode& local = *tree.Store().Top().Children().begin();
        const std::string before = test::Dump(tree.Store(), &local);
        {
            AddressSpaceLimit limit(120 << 20);
            tree.OpenScanFile(dir / "huge.json");
            QTRY_VERIFY_WITH_TIMEOUT(tree.RunningScans() == 0, 120000);
        }
        QCOMPARE(status.last().at(0).toString(),
                 QString::fromStdString(dir / "huge.json" + ": not enough memory for the export"));
        QCOMPARE(test::Dump(tree.Store(), &local), before);
#endif
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
