// The hand-over between scan threads and the item store: an ordered, bounded queue of tree
// operations that the user-interface thread applies in batches. A scan never waits for the
// user interface once per operation: InsertItem hands out a reserved handle at once, and
// only a full queue or one of the few queries makes a scan thread wait.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tree/ItemStore.h"
#include "ui/WakeupSignal.h"

class ScanQueue : public QObject, public TreeControl {
    Q_OBJECT

  public:
    struct Operation;

    // Applies operations to store on the thread that creates the queue (the owner thread).
    // capacity: operations queued at most before a producer waits; coalesceMs: how long
    // the first operation of a batch may wait before the batch is applied.
    explicit ScanQueue(ItemStore& store, std::size_t capacity = 16384, int coalesceMs = 25,
                       QObject* parent = nullptr);
    // Closes the queue.
    ~ScanQueue() override;
    ScanQueue(const ScanQueue&) = delete;
    ScanQueue& operator=(const ScanQueue&) = delete;

    // TreeControl, from any thread. On the owner thread every operation is applied at once,
    // after whatever is queued. GetChild, GetNextItem, GetParent and GetItemData apply the
    // queue and answer on the owner thread (so do GetItemDataWithoutPath); GetSelection reads
    // the store's selection.
    TreeItem InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) override;
    void SetItemText(TreeItem item, ItemLabel text) override;
    void SetItemImage(TreeItem item, int image) override;
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override;
    std::optional<FolderRecord> GetItemData(TreeItem item) override;
    std::optional<FolderRecord> GetItemDataWithoutPath(TreeItem item) override;
    void Expand(TreeItem item, bool expand) override;
    TreeItem GetChild(TreeItem item) override;
    TreeItem GetNextItem(TreeItem item) override;
    TreeItem GetParent(TreeItem item) override;
    TreeItem GetSelection() override { return store_.Selection(); }
    void Select(TreeItem item) override;
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override;
    void DeleteItem(TreeItem item) override;
    bool RemoveChildren(TreeItem item) override;
    void ClearSubtreeData(TreeItem item) override;
    void RefreshTree() override;
    void RefreshPanel() override;

    // Queues the end of scan `id` after its tree operations and has the queue applied at
    // once; ScanEnded is emitted when it is reached. From any thread.
    void PostScanEnded(std::uint64_t id);

    // Owner thread: applies everything queued so far.
    void Flush();
    // Owner thread: stops the hand-over for good. Queued operations are dropped, producers
    // waiting for room or for an answer return at once, and every later operation is
    // dropped and asks the scans to stop (StopRequested), so that no scan outlives its
    // window by more than one folder listing.
    void Close();
    bool IsClosed() const;
    // Operations waiting to be taken by the owner thread (at most the capacity).
    std::size_t Pending() const;

  signals:
    // Scan `id` has ended and all its tree operations are applied.
    void ScanEnded(quint64 id);
    // A scan put the placeholder record of its starting folder on root (it begins there).
    void RootScanBegan(quint64 root, const std::string& folder);
    // A batch asked for repaints; emitted once per batch.
    void TreeRefreshRequested();
    void PanelRefreshRequested();
    // A batch was applied (for measurements and tests).
    void BatchApplied();

  private:
    void Push(Operation operation, bool urgent = false);
    // Runs ask on the owner thread after everything queued before it; waits for it.
    void Ask(std::function<void(ItemStore&)> ask);
    // One of the store's item readers through Ask; an empty result when the queue closed.
    template <typename Result>
    Result AskStore(Result (ItemStore::*read)(TreeItem), TreeItem item) {
        Result result{};
        Ask([&](ItemStore& store) { result = (store.*read)(item); });
        return result;
    }
    bool OnOwnerThread() const;
    void Wake(bool urgent);
    void OnWoken();
    void Apply(bool withBudget);
    void ApplyOne(Operation& operation);

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
    std::atomic<bool> refreshTree_{false};
    std::atomic<bool> refreshPanel_{false};
};
