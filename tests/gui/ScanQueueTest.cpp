// The queue between scan threads and the item store: order, bounds, answers, closing, and
// operations on items the user has deleted.
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

#include "GuiTestSupport.h"
#include "ui/ScanQueue.h"

namespace {

// Runs body on a thread of its own; the test thread keeps processing events meanwhile.
class Producer {
  public:
    explicit Producer(std::function<void()> body)
        : thread_([this, body = std::move(body)] {
              body();
              done_ = true;
          }) {}
    ~Producer() { thread_.join(); }
    bool Done() const { return done_; }

  private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace

class ScanQueueTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void scanThroughQueueLeavesTheSameTreeAsADirectScan_data() {
        QTest::addColumn<int>("capacity");
        QTest::newRow("tiny queue") << 4;
        QTest::newRow("default queue") << 16384;
    }
    void scanThroughQueueLeavesTheSameTreeAsADirectScan() {
        QFETCH(int, capacity);
        TempDir dir;
        test::MakeTree(dir, "root", 3, 3);
        ItemStore store;
        ScanQueue queue(store, static_cast<std::size_t>(capacity), 5);
        {
            Producer scan([&] {
                DirectoryReader reader;
                ScanContext context{reader};
                FolderTree::ScanRoot(queue, dir / "root", context);
            });
            QTRY_VERIFY_WITH_TIMEOUT(scan.Done(), 30000);
        }
        queue.Flush();
        QCOMPARE(test::Dump(store), test::ReferenceScan(dir / "root"));
    }

    void producerDoesNotWaitForTheUserInterfaceUntilTheQueueIsFull() {
        ItemStore store;
        TreeItem item = store.InsertItem("item", 0, TreeItem::None, InsertAt::Last);
        ScanQueue queue(store, 1000);
        {
            Producer fast([&] {  // 999 operations fit: no event is processed meanwhile
                for (int i = 0; i < 999; ++i)
                    queue.SetItemText(item, "fast " + std::to_string(i));
            });
            QVERIFY(test::SpinUntil([&] { return fast.Done(); }));
        }
        QCOMPARE(store.Node(item)->text, std::string("item"));

        Producer slow([&] {  // 2 more than fit: waits until the owner takes the queue
            for (int i = 0; i < 3; ++i)
                queue.SetItemText(item, "slow " + std::to_string(i));
        });
        QVERIFY(test::SpinUntil([&] { return queue.Pending() == 1000; }));
        QVERIFY(!slow.Done());
        QTRY_VERIFY_WITH_TIMEOUT(slow.Done(), 30000);
        queue.Flush();
        QCOMPARE(store.Node(item)->text, std::string("slow 2"));
    }

    void queriesAnswerAfterEverythingQueuedBeforeThem() {
        ItemStore store;
        ScanQueue queue(store);
        TreeItem first{}, second{}, child{}, foundChild{}, foundNext{}, foundParent{};
        std::optional<FolderRecord> record;
        {
            Producer producer([&] {
                first = queue.InsertItem("b-first", 0, TreeItem::None, InsertAt::Last);
                second = queue.InsertItem("a-second", 0, TreeItem::None, InsertAt::Last);
                child = queue.InsertItem("child", 0, second, InsertAt::Sorted);
                queue.SetItemData(child, FolderRecord::Full("/p", "child", 7, 7, 0, 1, false));
                foundChild = queue.GetChild(TreeItem::None);
                foundNext = queue.GetNextItem(foundChild);
                foundParent = queue.GetParent(child);
                record = queue.GetItemData(child);
            });
            QTRY_VERIFY_WITH_TIMEOUT(producer.Done(), 30000);
        }
        QCOMPARE(foundChild, first);
        QCOMPARE(foundNext, second);
        QCOMPARE(foundParent, second);
        QVERIFY(record.has_value());
        QCOMPARE(record->totalBytes, std::uint64_t{7});
        QCOMPARE(record->path, std::string("/p"));
    }

    void operationsOnDeletedItemsAreDropped() {
        ItemStore store;
        ScanQueue queue(store);
        TreeItem root{}, child{};
        {
            Producer producer([&] {
                root = queue.InsertItem("root", 0, TreeItem::None, InsertAt::Last);
                child = queue.InsertItem("child", 0, root, InsertAt::Last);
            });
            QTRY_VERIFY_WITH_TIMEOUT(producer.Done(), 30000);
        }
        queue.Flush();
        QVERIFY(store.Node(child));
        store.Select(child);
        store.DeleteItem(root);  // the user removes the root while the scan still holds handles
        QCOMPARE(store.Selection(), TreeItem::None);
        {
            Producer producer([&] {
                queue.SetItemText(child, "late");
                queue.SetItemData(child, FolderRecord::Full("/x", "x", 1, 1, 0, 0, false));
                queue.SetItemData(root, FolderRecord::Placeholder("/x"));
                TreeItem grandchild = queue.InsertItem("grandchild", 0, child, InsertAt::Sorted);
                queue.SetItemData(grandchild, FolderRecord::Full("/y", "y", 1, 1, 0, 0, false));
                queue.SortChildren(root, FolderTree::CompareBySize, 0);
                queue.Expand(child, true);
                queue.Select(child);
                queue.RemoveChildren(root);
                queue.DeleteItem(child);
            });
            QTRY_VERIFY_WITH_TIMEOUT(producer.Done(), 30000);
        }
        queue.Flush();
        QCOMPARE(store.ItemCount(), std::size_t{0});
        QCOMPARE(store.Selection(), TreeItem::None);
    }

    void scanEndIsReportedAfterTheScansOperations() {
        ItemStore store;
        ScanQueue queue(store, 16, 50);
        std::string labelAtEnd;
        connect(&queue, &ScanQueue::ScanEnded, this, [&](quint64 id) {
            QCOMPARE(id, quint64{42});
            const ItemNode* first = store.Node(store.GetChild(TreeItem::None));
            labelAtEnd = first ? first->text : "";
        });
        QSignalSpy ended(&queue, &ScanQueue::ScanEnded);
        Producer producer([&] {
            TreeItem item = queue.InsertItem("item", 0, TreeItem::None, InsertAt::Last);
            for (int i = 0; i < 100; ++i)
                queue.SetItemText(item, "label " + std::to_string(i));
            queue.PostScanEnded(42);
        });
        QVERIFY(ended.wait(30000));
        QCOMPARE(labelAtEnd, std::string("label 99"));
    }

    void closeReleasesWaitingProducersAndKeepsScansStopping() {
        ItemStore store;
        TreeItem item = store.InsertItem("item", 0, TreeItem::None, InsertAt::Last);
        auto queue = std::make_unique<ScanQueue>(store, 4);
        TreeItem answer = item;
        Producer blocked([&] {
            for (int i = 0; i < 10; ++i)
                queue->SetItemText(item, "never");
        });
        QVERIFY(test::SpinUntil([&] { return queue->Pending() == 4; }));
        Producer asking([&] { answer = queue->GetChild(TreeItem::None); });
        queue->Close();
        QVERIFY(test::SpinUntil([&] { return blocked.Done() && asking.Done(); }));
        QCOMPARE(answer, TreeItem::None);
        QVERIFY(StopRequested);
        QCOMPARE(store.Node(item)->text, std::string("item"));

        StopRequested = false;  // a scan that starts after the close clears the request...
        Producer late([&] { queue->SetItemText(item, "late"); });
        QVERIFY(test::SpinUntil([&] { return late.Done(); }));
        QVERIFY(StopRequested);  // ...and is asked to stop again by its first operation
        QCoreApplication::processEvents();
        QCOMPARE(store.Node(item)->text, std::string("item"));
    }
};

QTEST_MAIN(ScanQueueTest)
#include "ScanQueueTest.moc"
