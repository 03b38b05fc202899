// The ordered, bounded queue of tree operations between scan threads and the item store.
#include "ui/ScanQueue.h"

#include <QElapsedTimer>
#include <QThread>

#include <variant>

#include "scan/SizeUnit.h"

namespace {

// How long one batch may keep the user-interface thread before it yields to the event loop.
constexpr qint64 kBatchBudgetMs = 8;

template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// A label the scan formatted before a unit switch and that reaches the store after it: the
// switch has relabelled the tree already, so the label is shown in the unit of now.
ItemLabel InCurrentUnit(ItemLabel label) {
    if (label.form != LabelForm::Text)
        label.megabytes = SizeUnit::InMegabytes();
    return label;
}

// Whether the operation may take long on its own: it touches every child of an item, which
// can be many, or has the view lay out all it shows.
bool MayBeHeavy(const QueueOperation& operation) {
    return std::holds_alternative<QueueOp::Sort>(operation.what) ||
           std::holds_alternative<QueueOp::RemoveBelow>(operation.what) ||
           std::holds_alternative<QueueOp::Delete>(operation.what) ||
           std::holds_alternative<QueueOp::SelectItem>(operation.what);
}

// Whether the operation changes the tree (a question or a scan's end does not).
bool ChangesTree(const QueueOperation& operation) {
    return !std::holds_alternative<QueueOp::Query>(operation.what) &&
           !std::holds_alternative<QueueOp::ScanEnd>(operation.what);
}

}  // namespace

ScanQueue::ScanQueue(ItemStore& store, std::size_t capacity, int coalesceMs, QObject* parent)
    : QObject(parent),
      ScanLane(*this, nullptr),
      store_(store),
      capacity_(capacity < 2 ? 2 : capacity) {
    coalesce_.setSingleShot(true);
    coalesce_.setInterval(coalesceMs);
    connect(&coalesce_, &QTimer::timeout, this, [this] { Apply(true); });
    announce_.setSingleShot(true);
    connect(&announce_, &QTimer::timeout, this, [this] { AnnounceHeld(true); });
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
    if (closed_)
        return;  // the operation is dropped; its record never reached the store
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
    QueueOp::Question question{std::move(ask)};
    Push(Operation{QueueOp::Query{&question}}, true);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return question.done || closed_; });
}

void ScanQueue::Flush() {
    Apply(false);
}

void ScanQueue::SetViewCost(std::chrono::nanoseconds cost) {
    const qint64 wait = std::chrono::duration_cast<std::chrono::milliseconds>(10 * cost).count();
    announceEveryMs_ = std::min<qint64>(wait, 400);
}

void ScanQueue::AnnounceHeld(bool now) {
    if (!store_.HoldsItems())
        return;
    const qint64 wait = now || !announced_.isValid() ? 0 : announceEveryMs_ - announced_.elapsed();
    if (wait > 0) {
        if (!announce_.isActive())
            announce_.start(static_cast<int>(wait));
        return;
    }
    announce_.stop();
    store_.AnnounceHeld();
    announced_.start();
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
    store_.BeginBatch();
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
        const bool heavy = MayBeHeavy(batch_[next_]);
        ApplyOne(batch_[next_++]);
        if (withBudget && (heavy || (next_ & 15) == 0) && clock.elapsed() >= kBatchBudgetMs) {
            more = true;
            break;
        }
    }
    store_.EndBatch();
    AnnounceHeld(!withBudget || ownerClosed_);
    applying_ = false;
    if (ownerClosed_) {
        batch_.clear();
        next_ = 0;
        return;
    }
    if (refreshPanel_.exchange(false, std::memory_order_relaxed))
        emit PanelRefreshRequested();
    emit BatchApplied();
    if (more) {  // yield to the event loop, then go on at once
        continueApply_ = true;
        wakeup_.Raise();
    }
}

void ScanQueue::ApplyOne(Operation& operation) {
    if (operation.dropped && operation.dropped->load(std::memory_order_relaxed) &&
        ChangesTree(operation))
        return;  // a newer scan of the same folder has begun
    ItemStore& store = store_;
    using namespace QueueOp;
    std::visit(
        Overloaded{
            [&](Insert& op) {
                store.InsertItemAs(op.id, InCurrentUnit(std::move(op.text)), op.image, op.parent,
                                   op.where);
            },
            [&](SetText& op) { store.SetItemText(op.item, InCurrentUnit(std::move(op.text))); },
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
            [&](ScanEnd& op) {
                store.AnnounceHeld();  // the closing text comes after the last change
                emit ScanEnded(op.id);
            },
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
    announce_.stop();
    wakeupPoll_.stop();
    if (wakeupWatch_)
        wakeupWatch_->setEnabled(false);
    if (!applying_) {
        batch_.clear();
        next_ = 0;
    }
}

void ScanQueue::PostScanEnded(std::uint64_t id) {
    Push(Operation{QueueOp::ScanEnd{id}}, true);
}
