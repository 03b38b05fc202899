// Reading the earlier scan, matching, gone rows and ordering, each in slices of the event loop.
#include "ui/ComparisonView.h"

#include <cstdlib>
#include <mutex>
#include <variant>

#include "compare/ChangeText.h"
#include "fs/ThreadPriority.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"

// The reading of the file, shared with its thread: its answer is handed over under the mutex
// and polled.
struct ComparisonView::Loader {
    std::string file;
    ScanRules rules;
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    bool done = false;
    std::variant<Baseline, ScanFileError> result;
};

namespace {

constexpr std::size_t kItemsPerStep = 4096;

std::uint64_t Magnitude(const std::optional<ItemChange>& change) {
    if (!change)
        return 0;
    const std::int64_t bytes = change->Bytes();
    return bytes < 0 ? static_cast<std::uint64_t>(-(bytes + 1)) + 1
                     : static_cast<std::uint64_t>(bytes);
}

std::uint64_t SizeOf(const ItemNode& item) {
    return item.HasRecord() ? item.TotalBytes() : 0;
}

// The order a scan leaves: larger first; among equal sizes the folders by name, then FILES.
bool BySize(const ItemNode& a, const ItemNode& b) {
    if (SizeOf(a) != SizeOf(b))
        return SizeOf(a) > SizeOf(b);
    if (a.IsFilesEntry() != b.IsFilesEntry())
        return b.IsFilesEntry();
    return CompareLabels(a.RecordName(), b.RecordName()) < 0;
}

}  // namespace

ComparisonView::ComparisonView(ItemStore& store, FolderTreeModel& model, QObject* parent)
    : QObject(parent), store_(store), model_(model) {
    work_.setSingleShot(true);
    work_.setInterval(0);
    connect(&work_, &QTimer::timeout, this, &ComparisonView::Work);
    poll_.setInterval(10);
    connect(&poll_, &QTimer::timeout, this, &ComparisonView::Poll);
}

ComparisonView::~ComparisonView() {
    if (loader_)
        loader_->cancel.store(true, std::memory_order_relaxed);
    if (loaderThread_.joinable())
        loaderThread_.join();
}

void ComparisonView::Start(TreeItem root, const std::string& file, const ScanRules& rules) {
    Stop();
    root_ = root;
    rules_ = rules;
    state_ = State::Loading;
    loader_ = std::make_shared<Loader>();
    loader_->file = file;
    loader_->rules = rules;
    loaderThread_ = std::thread([loader = loader_] {
        MakeThisThreadBackground();
        auto result = LoadBaseline(loader->file, loader->rules, &loader->cancel);
        std::lock_guard lock(loader->mutex);
        loader->result = std::move(result);
        loader->done = true;
    });
    poll_.start();
    emit StatusText(QString::fromStdString("Reading " + file));
    emit Changed();
}

void ComparisonView::Poll() {
    {
        std::lock_guard lock(loader_->mutex);
        if (!loader_->done)
            return;
    }
    poll_.stop();
    loaderThread_.join();
    std::shared_ptr<Loader> loader = std::move(loader_);
    if (auto* error = std::get_if<ScanFileError>(&loader->result)) {
        state_ = State::Idle;
        emit StatusText(QString::fromStdString(error->Text()));
        emit Changed();
        return;
    }
    baseline_ = std::get<Baseline>(std::move(loader->result));
    if (auto warning = ChangeText::OptionsWarning(baseline_.metadata.options, loader->rules))
        emit StatusText(QString::fromStdString(baseline_.file + ": " + *warning));
    BeginMatching();
}

void ComparisonView::BeginMatching() {
    if (!store_.Node(root_) || !baseline_.summary) {
        Stop();
        return;
    }
    comparison_ = std::make_unique<TreeComparison>(store_, root_, baseline_.summary);
    goneInserted_ = 0;
    goneRows_.clear();
    state_ = State::Matching;
    work_.start();
}

void ComparisonView::Work() {
    QElapsedTimer clock;
    clock.start();
    while (state_ == State::Matching && TimeLeft(clock)) {
        if (!comparison_->Done()) {
            comparison_->Step(kItemsPerStep);
            continue;
        }
        const auto& gone = comparison_->GoneFolders();
        if (goneInserted_ == gone.size()) {
            Show();
            break;
        }
        const TreeComparison::Gone& folder = gone[goneInserted_++];
        if (!store_.Node(folder.parent))
            continue;
        std::string name(comparison_->Before().Name(folder.node));
        TreeItem row = store_.InsertItem(ItemLabel::Folder(name, 0, 0, 0, SizeUnit::InMegabytes()),
                                         kFolderIcon, folder.parent, InsertAt::Last);
        store_.SetItemData(row,
                           FolderRecord::Placed(PathOrigin::ItemFolder, name, 0, 0, 0, 0, false));
        comparison_->MarkGone(row, folder.node);
        goneRows_.push_back(row);
    }
    const bool moreOrdering = ordering_ && !OrderSome(clock);
    if (state_ == State::Matching || moreOrdering)
        work_.start();
}

void ComparisonView::Show() {
    state_ = State::Shown;
    model_.SetChanges(this);
    if (sortByChange_)
        StartOrdering();
    emit StatusText(QString::fromStdString("Compared with " + baseline_.file + ", scanned " +
                                           ScanTimeText(baseline_.metadata)));
    emit Changed();
}

void ComparisonView::Stop() {
    if (loader_) {
        loader_->cancel.store(true, std::memory_order_relaxed);
        poll_.stop();
        loaderThread_.join();
        loader_.reset();
    }
    const bool wasShown = state_ == State::Shown;
    const bool wasSorted = wasShown && sortByChange_;
    state_ = State::Idle;
    for (TreeItem row : goneRows_)
        store_.DeleteItem(row);
    goneRows_.clear();
    model_.SetChanges(nullptr);
    if (wasSorted)
        StartOrdering();  // back to the order by size
    else
        ordering_ = false;
    comparison_.reset();
    baseline_ = Baseline();
    emit Changed();
}

void ComparisonView::RootRescanned() {
    if (state_ == State::Matching || state_ == State::Shown) {
        model_.SetChanges(nullptr);
        BeginMatching();
    }
}

void ComparisonView::MeasureChanged() {
    if (!Active())
        return;
    const std::string file = loader_ ? loader_->file : baseline_.file;
    const TreeItem root = root_;
    const ScanRules rules = rules_;
    Start(root, file, rules);
}

void ComparisonView::SetSortByChange(bool on) {
    if (sortByChange_ == on)
        return;
    sortByChange_ = on;
    if (state_ == State::Shown)
        StartOrdering();
}

void ComparisonView::StartOrdering() {
    // The walk over the root's folders is itself done in slices: a root of a million items
    // takes longer to walk than a slice may last.
    toOrder_.clear();
    toOrder_.push_back(root_);
    ordering_ = true;
    work_.start();
}

bool ComparisonView::OrderSome(const QElapsedTimer& clock) {
    const bool byChange = sortByChange_ && state_ == State::Shown;
    while (!toOrder_.empty() && TimeLeft(clock)) {
        const TreeItem folder = toOrder_.back();
        toOrder_.pop_back();
        const ItemNode* node = store_.Node(folder);
        if (!node)
            continue;  // removed meanwhile
        for (const ItemNode& child : node->Children()) {
            if (!child.Children().Empty())
                toOrder_.push_back(child.Id());
        }
        if (byChange) {
            store_.OrderChildren(folder, [this](const ItemNode& a, const ItemNode& b) {
                return Magnitude(ChangeOf(a)) > Magnitude(ChangeOf(b));
            });
        } else {
            store_.OrderChildren(folder, BySize);
        }
    }
    ordering_ = !toOrder_.empty();
    return !ordering_;
}

std::optional<ItemChange> ComparisonView::ChangeOf(const ItemNode& item) const {
    if (state_ != State::Shown || !comparison_)
        return std::nullopt;
    return comparison_->ChangeOf(item);
}
