// The ordered, bounded queue of tree operations between scan threads and the item store.
#include "ui/ScanQueue.h"

#include <QElapsedTimer>
#include <QThread>

#include <variant>

#include "scan/SizeUnit.h"

namespace {

// How long one batch may keep the user-interface thread before it yields to the event loop.
constexpr qint64 kBatchBudgetMs = 8;

struct Insert {
    TreeItem id;
    ItemLabel text;
    int image;
    TreeItem parent;
    InsertAt where;
};
struct SetText {
    TreeItem item;
    ItemLabel text;
};
struct SetImage {
    TreeItem item;
    int image;
};
struct SetData {
    TreeItem item;
    std::unique_ptr<FolderRecord> record;
};
struct ExpandItem {
    TreeItem item;
    bool expand;
};
struct SelectItem {
    TreeItem item;
};
struct Sort {
    TreeItem parent;
    ItemCompare compare;
    std::intptr_t context;
};
struct Delete {
    TreeItem item;
};
struct RemoveBelow {
    TreeItem item;
};
struct ClearBelow {
    TreeItem item;
};
struct ScanEnd {
    std::uint64_t id;
};
// A question from a producer, answered on the owner thread in queue order. Lives on the
// asking thread's stack until done is set (under the mutex) or the queue is closed.
struct Question {
    std::function<void(ItemStore&)> ask;
    bool done = false;
};
struct Query {
    Question* question;
};

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace

struct ScanQueue::Operation {
    std::variant<Insert, SetText, SetImage, SetData, ExpandItem, SelectItem, Sort, Delete,
                 RemoveBelow, ClearBelow, ScanEnd, Query>
        what;
};

ScanQueue::ScanQueue(ItemStore& store, std::size_t capacity, int coalesceMs, QObject* parent)
    : QObject(parent), store_(store), capacity_(capacity < 2 ? 2 : capacity) {
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(coalesceMs);
    connect(&coalesce_, &QTimer::timeout, this, [this] { Apply(true); });
    if (wakeup_.Descriptor() >= 0) {
        wakeupWatch_ =
            std::make_unique<QSocketNotifier>(wakeup_.Descriptor(), QSocketNotifier::Read);
        connect(wakeupWatch_.get(), &QSocketNotifier::activated, this, &ScanQueue::OnWoken);
    } else {  // out of descriptors: look at the queue at the coalescing pace instead
        wakeupPoll_.setInterval(coalesceMs);
        connect(&wakeupPoll_, &QTimer::timeout, this, [this] { Apply(true); });
        wakeupPoll_.start();
    }
}

ScanQueue::~ScanQueue() {
    Close();
}

bool ScanQueue::OnOwnerThread() const {
    return QThread::currentThread() == thread();
}

bool ScanQueue::IsClosed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::size_t ScanQueue::Pending() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

void ScanQueue::Push(Operation operation, bool urgent) {
    if (OnOwnerThread()) {
        Flush();
        if (!ownerClosed_)
            ApplyOne(operation);
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return closed_ || pending_.size() < capacity_; });
    if (closed_) {
        lock.unlock();
        StopRequested.store(true, std::memory_order_relaxed);
        return;  // the operation is dropped; its record never reached the store
    }
    pending_.push_back(std::move(operation));
    std::size_t size = pending_.size();
    lock.unlock();
    if (size == 1 || urgent || size == capacity_ / 2)
        Wake(urgent || size > 1);
}

void ScanQueue::Wake(bool urgent) {
    if (urgent)
        urgent_.store(true, std::memory_order_relaxed);
    wakeup_.Raise();
}

void ScanQueue::OnWoken() {
    wakeup_.Clear();
    if (urgent_.exchange(false, std::memory_order_relaxed) || continueApply_) {
        Apply(true);
    } else if (!coalesce_.isActive()) {
        coalesce_.start();
    }
}

void ScanQueue::Ask(std::function<void(ItemStore&)> ask) {
    if (OnOwnerThread()) {
        Flush();
        ask(store_);
        return;
    }
    Question question{std::move(ask)};
    Push(Operation{Query{&question}}, true);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return question.done || closed_; });
    if (closed_ && !question.done)
        StopRequested.store(true, std::memory_order_relaxed);
}

void ScanQueue::Flush() {
    Apply(false);
}

void ScanQueue::Apply(bool withBudget) {
    if (applying_ || ownerClosed_)
        return;
    applying_ = true;
    continueApply_ = false;
    coalesce_.stop();
    QElapsedTimer clock;
    clock.start();
    bool more = false;
    while (!ownerClosed_) {
        if (next_ == batch_.size()) {
            batch_.clear();
            next_ = 0;
            {
                std::lock_guard lock(mutex_);
                batch_.swap(pending_);
            }
            changed_.notify_all();
            if (batch_.empty())
                break;
        }
        ApplyOne(batch_[next_++]);
        if (withBudget && (next_ & 15) == 0 && clock.elapsed() >= kBatchBudgetMs) {
            more = true;
            break;
        }
    }
    applying_ = false;
    if (ownerClosed_) {
        batch_.clear();
        next_ = 0;
        return;
    }
    if (refreshTree_.exchange(false, std::memory_order_relaxed))
        emit TreeRefreshRequested();
    if (refreshPanel_.exchange(false, std::memory_order_relaxed))
        emit PanelRefreshRequested();
    emit BatchApplied();
    if (more) {  // yield to the event loop, then go on at once
        continueApply_ = true;
        wakeup_.Raise();
    }
}

void ScanQueue::ApplyOne(Operation& operation) {
    ItemStore& store = store_;
    std::visit(Overloaded{
                   [&](Insert& op) {
                       store.InsertItemAs(op.id, std::move(op.text), op.image, op.parent, op.where);
                   },
                   [&](SetText& op) { store.SetItemText(op.item, std::move(op.text)); },
                   [&](SetImage& op) { store.SetItemImage(op.item, op.image); },
                   [&](SetData& op) {
                       if (op.record && !op.record->complete && store.Node(op.item))
                           emit RootScanBegan(static_cast<quint64>(op.item), op.record->path);
                       store.SetItemData(op.item, std::move(op.record));
                   },
                   [&](ExpandItem& op) { store.Expand(op.item, op.expand); },
                   [&](SelectItem& op) { store.Select(op.item); },
                   [&](Sort& op) { store.SortChildren(op.parent, op.compare, op.context); },
                   [&](Delete& op) { store.DeleteItem(op.item); },
                   [&](RemoveBelow& op) { store.RemoveChildren(op.item); },
                   [&](ClearBelow& op) { store.ClearSubtreeData(op.item); },
                   [&](ScanEnd& op) { emit ScanEnded(op.id); },
                   [&](Query& op) {
                       op.question->ask(store);
                       {
                           std::lock_guard lock(mutex_);
                           op.question->done = true;
                       }
                       changed_.notify_all();
                   },
               },
               operation.what);
}

void ScanQueue::Close() {
    std::vector<Operation> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(pending_);
    }
    changed_.notify_all();
    ownerClosed_ = true;
    coalesce_.stop();
    wakeupPoll_.stop();
    if (wakeupWatch_)
        wakeupWatch_->setEnabled(false);
    if (!applying_) {
        batch_.clear();
        next_ = 0;
    }
}

TreeItem ScanQueue::InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) {
    TreeItem id = store_.ReserveItem();
    Push(Operation{Insert{id, std::move(text), image, parent, where}});
    return id;
}

void ScanQueue::SetItemText(TreeItem item, ItemLabel text) {
    Push(Operation{SetText{item, std::move(text)}});
}

void ScanQueue::SetItemImage(TreeItem item, int image) {
    Push(Operation{SetImage{item, image}});
}

void ScanQueue::SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) {
    Push(Operation{SetData{item, std::move(record)}});
}

void ScanQueue::Expand(TreeItem item, bool expand) {
    Push(Operation{ExpandItem{item, expand}});
}

void ScanQueue::Select(TreeItem item) {
    Push(Operation{SelectItem{item}});
}

void ScanQueue::SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) {
    Push(Operation{Sort{parent, compare, context}});
}

void ScanQueue::DeleteItem(TreeItem item) {
    Push(Operation{Delete{item}});
}

bool ScanQueue::RemoveChildren(TreeItem item) {
    Push(Operation{RemoveBelow{item}});
    return true;
}

void ScanQueue::ClearSubtreeData(TreeItem item) {
    Push(Operation{ClearBelow{item}});
}

void ScanQueue::RefreshTree() {
    refreshTree_.store(true, std::memory_order_relaxed);
}

void ScanQueue::RefreshPanel() {
    refreshPanel_.store(true, std::memory_order_relaxed);
}

void ScanQueue::PostScanEnded(std::uint64_t id) {
    Push(Operation{ScanEnd{id}}, true);
}

std::optional<FolderRecord> ScanQueue::GetItemData(TreeItem item) {
    return AskStore(&ItemStore::GetItemData, item);
}

std::optional<FolderRecord> ScanQueue::GetItemDataWithoutPath(TreeItem item) {
    return AskStore(&ItemStore::GetItemDataWithoutPath, item);
}

TreeItem ScanQueue::GetChild(TreeItem item) {
    return AskStore(&ItemStore::GetChild, item);
}

TreeItem ScanQueue::GetNextItem(TreeItem item) {
    return AskStore(&ItemStore::GetNextItem, item);
}

TreeItem ScanQueue::GetParent(TreeItem item) {
    return AskStore(&ItemStore::GetParent, item);
}
