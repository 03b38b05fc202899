// The queue between scan threads and the item store: order, bounds, answers and closing.
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

// Runs body on a thread of its own while the test thread processes events; whether it ended.
bool RunAside(std::function<void()> body) {
    Producer producer(std::move(body));
    return QTest::qWaitFor([&] { return producer.Done(); }, 30000);
}

}  // namespace

class ScanQueueTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { SizeUnit::Reset(); }

    // A queue far smaller than the scan (the default one is used by the view's tests).
    void scanThroughQueueLeavesTheSameTreeAsADirectScan() {
        TempDir dir;
        test::MakeTree(dir, "root", 3, 3);
        ItemStore store;
        ScanQueue queue(store, 4, 5);
        QVERIFY(RunAside([&] {
            DirectoryReader reader;
            ScanContext context{reader};
            FolderTree::ScanRoot(queue, dir / "root", context);
        }));
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
        QCOMPARE(store.Node(item)->Text(), std::string("item"));

        Producer slow([&] {  // 2 more than fit: waits until the owner takes the queue
            for (int i = 0; i < 3; ++i)
                queue.SetItemText(item, "slow " + std::to_string(i));
        });
        QVERIFY(test::SpinUntil([&] { return queue.Pending() == 1000; }));
        QVERIFY(!slow.Done());
        QTRY_VERIFY_WITH_TIMEOUT(slow.Done(), 30000);
        queue.Flush();
        QCOMPARE(store.Node(item)->Text(), std::string("slow 2"));
    }

    void queriesAnswerAfterEverythingQueuedBeforeThem() {
        ItemStore store;
        ScanQueue queue(store);
        TreeItem first{}, second{}, child{}, foundChild{}, foundNext{}, foundParent{};
        std::optional<FolderRecord> record;
        QVERIFY(RunAside([&] {
            first = queue.InsertItem("b-first", 0, TreeItem::None, InsertAt::Last);
            second = queue.InsertItem("a-second", 0, TreeItem::None, InsertAt::Last);
            child = queue.InsertItem("child", 0, second, InsertAt::Sorted);
            queue.SetItemData(child, FolderRecord::Full("/p", "child", 7, 7, 0, 1, false));
            foundChild = queue.GetChild(TreeItem::None);
            foundNext = queue.GetNextItem(foundChild);
            foundParent = queue.GetParent(child);
            record = queue.GetItemData(child);
        }));
        QCOMPARE(foundChild, first);
        QCOMPARE(foundNext, second);
        QCOMPARE(foundParent, second);
        QVERIFY(record && record->totalBytes == 7);
    }

    void closeReleasesWaitingProducersAndDropsLaterOperations() {
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
        QCOMPARE(store.Node(item)->Text(), std::string("item"));

        Producer late([&] { queue->SetItemText(item, "late"); });
        QVERIFY(test::SpinUntil([&] { return late.Done(); }));
        QCoreApplication::processEvents();
        QCOMPARE(store.Node(item)->Text(), std::string("item"));
    }

    // A lane's changes still waiting when its flag is raised are dropped, and so is
    // everything it sends later; its questions are answered, and other lanes go on.
    void aDroppedLaneChangesNothingMore() {
        ItemStore store;
        TreeItem item = store.InsertItem("item", 0, TreeItem::None, InsertAt::Last);
        ScanQueue queue(store);
        std::atomic<bool> dropped{false};
        std::unique_ptr<TreeControl> lane = queue.Lane(dropped);
        TreeItem child{}, found{};
        QVERIFY(RunAside([&] {
            lane->SetItemText(item, "kept");
            lane->GetChild(TreeItem::None);  // applied up to here
        }));
        {
            Producer waiting([&] {  // no event is processed meanwhile: it stays queued
                lane->SetItemText(item, "waiting");
                dropped = true;
                child = lane->InsertItem("child", 0, item, InsertAt::Last);
            });
            QVERIFY(test::SpinUntil([&] { return waiting.Done(); }));
        }
        QVERIFY(RunAside([&] {
            found = lane->GetChild(TreeItem::None);
            queue.SetItemData(item, FolderRecord::Full("/i", "item", 1, 1, 0, 1, false));
        }));
        queue.Flush();
        QCOMPARE(found, item);
        QCOMPARE(store.Node(item)->Text(), std::string("kept"));
        QCOMPARE(store.Node(child), nullptr);
        QVERIFY(store.Record(item));
    }
};

QTEST_MAIN(ScanQueueTest)
#include "ScanQueueTest.moc"
