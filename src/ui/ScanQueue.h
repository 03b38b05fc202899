// The hand-over between scan threads and the item store: an ordered, bounded queue of tree
// operations that the user-interface thread applies in batches. A scan never waits for the
// user interface once per operation: InsertItem hands out a reserved handle at once, and
// only a full queue or one of the few queries makes a scan thread wait. Each batch is one
// batch of the store, so a view hears of the insertions of a batch in runs.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tree/ItemStore.h"
#include "ui/QueueOperation.h"
#include "ui/ScanLane.h"
#include "ui/WakeupSignal.h"

// The queue is itself a lane (see ScanLane) whose changes are never dropped.
class ScanQueue : public QObject, public ScanLane {
    Q_OBJECT

  public:
    // Applies operations to store on the thread that creates the queue (the owner thread).
    // capacity: operations queued at most before a producer waits; coalesceMs: how long
    // the first operation of a batch may wait before the batch is applied.
    explicit ScanQueue(ItemStore& store, std::size_t capacity = 16384, int coalesceMs = 25,
                       QObject* parent = nullptr);
    // Closes the queue.
    ~ScanQueue() override;
    ScanQueue(const ScanQueue&) = delete;
    ScanQueue& operator=(const ScanQueue&) = delete;

    // The TreeControl operations, from any thread (as the queue, or through a lane). On the
    // owner thread every operation is applied at once, after whatever is queued. GetChild,
    // GetNextItem, GetParent and GetItemData apply the queue and answer on the owner thread
    // (so does GetItemDataWithoutPath); GetSelection reads the store's selection. A label
    // formatted in one unit that reaches the store after a switch to the other is shown in
    // the new unit, in its own format: the switch's relabelling has passed it by.

    // A lane for one scan: its changes are dropped once *dropped is true (a newer scan of its
    // folder began); its questions are still answered and its end still reported.
    std::unique_ptr<TreeControl> Lane(const std::atomic<bool>& dropped) {
        return std::make_unique<ScanLane>(*this, &dropped);
    }

    // Queues the end of scan `id` after its tree operations and has the queue applied at
    // once; ScanEnded is emitted when it is reached. From any thread.
    void PostScanEnded(std::uint64_t id);

    // Owner thread: applies everything queued so far, and tells the view of all of it.
    void Flush();
    // Owner thread: a view took `cost` to lay its rows out after an announcement of
    // insertions. The next announcement of the insertions a batch held back waits five times
    // as long (at most 400 ms), so that a view showing a very wide folder spends most of its
    // time on other things than laying it out again; the store does not wait meanwhile.
    void SetViewCost(std::chrono::nanoseconds cost);
    // Owner thread: stops the hand-over for good. Queued operations are dropped, producers
    // waiting for room or for an answer return at once, and every later operation is
    // dropped (the scans are stopped by their owner).
    void Close();
    bool IsClosed() const;
    // Operations waiting to be taken by the owner thread (at most the capacity).
    std::size_t Pending() const;

  signals:
    // Scan `id` has ended and all its tree operations are applied.
    void ScanEnded(quint64 id);
    // A scan put the placeholder record of its starting folder on root (it begins there).
    void RootScanBegan(quint64 root, const std::string& folder);
    // A batch asked for the detail panel to be repainted; emitted once per batch. (The tree's
    // view repaints what the model's signals name.)
    void PanelRefreshRequested();
    // A batch was applied (for measurements and tests).
    void BatchApplied();

  private:
    friend class ScanLane;
    using Operation = QueueOperation;

    void Push(Operation operation, bool urgent = false);
    // Runs ask on the owner thread after everything queued before it; waits for it. Nothing
    // is asked once the queue is closed.
    void Ask(std::function<void(ItemStore&)> ask);
    bool OnOwnerThread() const;
    void Wake(bool urgent);
    void OnWoken();
    void Apply(bool withBudget);
    void ApplyOne(Operation& operation);
    // Has the store announce its held insertions, at once or when they are due.
    void AnnounceHeld(bool now);

    ItemStore& store_;
    const std::size_t capacity_;
    QTimer coalesce_;
    WakeupSignal wakeup_;  // raised by producers, watched on the owner thread
    std::unique_ptr<QSocketNotifier> wakeupWatch_;
    QTimer wakeupPoll_;  // stands in for the watch when no wake-up signal could be made
    std::atomic<bool> urgent_{false};  // a producer asked for the queue to be applied now
    bool continueApply_ = false;       // owner thread: a batch ran out of time

    mutable std::mutex mutex_;
    std::condition_variable changed_;  // room in the queue, an answer, or closed
    std::vector<Operation> pending_;   // guarded by mutex_
    bool closed_ = false;              // guarded by mutex_

    std::vector<Operation> batch_;  // owner thread: taken from pending_, being applied
    std::size_t next_ = 0;          // first operation of batch_ not yet applied
    bool applying_ = false;
    bool ownerClosed_ = false;  // Close() was called; nothing is applied any more
    std::atomic<bool> refreshPanel_{false};
    QTimer announce_;          // owner thread: held insertions are due
    QElapsedTimer announced_;  // since held insertions were last announced
    qint64 announceEveryMs_ = 0;
};
