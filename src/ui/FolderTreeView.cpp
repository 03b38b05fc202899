// The folder tree: store, model, view, queue and scans, and the two-way sync between them.
#include "ui/FolderTreeView.h"

#include <QContextMenuEvent>

#include "fs/ReadAheadReader.h"
#include "fs/ThreadPriority.h"
#include "scan/FigureChanges.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "ui/StandardIcons.h"
#include "ui/TreeLineStyle.h"

namespace {

// The tree's icon list, in the order of the scan's icon indexes: a folder, a file, a
// folder that could not be read and a mount point that was not entered.
std::vector<QIcon> TreeIcons() {
    return {FolderIcon(), FileIcon(), UnreadableFolderIcon(), MountPointIcon()};
}

}  // namespace

FolderTreeView::FolderTreeView(const std::string& startFolder, QObject* parent)
    : QObject(parent),
      startFolder_(startFolder),
      model_(std::make_unique<FolderTreeModel>(store_, TreeIcons())),
      queue_(std::make_unique<ScanQueue>(store_)),
      scans_(std::make_unique<ScanThreads>(*this)),
      view_(std::make_unique<TreeWidget>(
          [this](QContextMenuEvent* event) { OnContextMenu(event); })) {
    auto* lines = new TreeLineStyle;
    lines->setParent(view_.get());  // a widget does not own the style it is given
    view_->setStyle(lines);
    view_->setHeaderHidden(true);
    view_->setUniformRowHeights(true);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setModel(model_.get());
    view_->OnLayout([this](std::chrono::nanoseconds cost) { queue_->SetViewCost(cost); });
    // A scan of the disk never fills a root read from a scan file, whatever its path.
    scans_->SetRootFilter([this](TreeItem root) { return !scanFiles_.IsFileRoot(root); });

    connect(queue_.get(), &ScanQueue::ScanEnded, this, &FolderTreeView::OnScanEnded);
    connect(queue_.get(), &ScanQueue::RootScanBegan, this,
            [this](quint64 root, const std::string& folder) {
                scans_->NoteRoot(folder, static_cast<TreeItem>(root));
            });
    connect(queue_.get(), &ScanQueue::PanelRefreshRequested, this,
            &FolderTreeView::PanelRefreshRequested);
    connect(queue_.get(), &ScanQueue::BatchApplied, model_.get(),
            &FolderTreeModel::SendPendingChanges);
    connect(model_.get(), &FolderTreeModel::StoreSelectionChanged, this,
            &FolderTreeView::ShowStoreSelection);
    connect(model_.get(), &FolderTreeModel::RowsGone, this, [this] {
        view_->AllowNarrower();
        if (model_->ItemAt(view_->currentIndex()) != store_.Selection())
            ShowStoreSelection();
    });
    connect(model_.get(), &FolderTreeModel::ExpandRequested, this,
            &FolderTreeView::ShowStoreExpansion);
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { FollowViewCurrent(current); });
    connect(view_.get(), &QTreeView::expanded, this,
            [this](const QModelIndex& item) { FollowViewExpansion(item, true); });
    connect(view_.get(), &QTreeView::collapsed, this, [this](const QModelIndex& item) {
        view_->AllowNarrower();
        FollowViewExpansion(item, false);
    });
}

FolderTreeView::~FolderTreeView() {
    StopScans();
    view_.reset();  // before the model it shows
}

void FolderTreeView::StartScanOf(const std::string& folder) {
    if (folder.empty())
        return;
    queue_->Flush();  // texts of scans that ended before come before this one's
    emit StatusText(QString::fromStdString("Scanning " + folder));
    scans_->Start(folder);
}

void FolderTreeView::OpenScanFile(const std::string& file) {
    if (file.empty())
        return;
    queue_->Flush();
    emit StatusText(QString::fromStdString("Scanning " + ScanFileRoots::Title(file)));
    scans_->Start(file, [this](ScanTarget& target, std::uint64_t id, const std::string& path,
                               const ScanControl& control) {
        return scanFiles_.Run(target, id, path, control);
    });
}

bool FolderTreeView::IsImported(TreeItem item) {
    queue_->Flush();
    return scanFiles_.IsFileRoot(RootOf(item));
}

std::optional<ScanFileRoots::Source> FolderTreeView::ScanFileOf(TreeItem item) {
    return scanFiles_.SourceOf(RootOf(item));
}

void FolderTreeView::SupersedeRemovedScans() {
    scans_->SupersedeRemoved([this](TreeItem item) { return store_.Node(item) != nullptr; });
    std::erase_if(rootLinks_, [this](const auto& entry) { return !store_.Node(entry.first); });
}

std::size_t FolderTreeView::StopScans(std::chrono::milliseconds wait) {
    queue_->Close();
    return scans_->StopAll(wait);
}

std::unique_ptr<FolderSource> FolderTreeView::NewSource(const ScanControl& control) {
    // Called on the scan thread before it reads anything: the scan and the readers it starts
    // yield to the user interface when they compete with it for a processor.
    MakeThisThreadBackground();
    std::unique_ptr<FolderSource> inner =
        sourceFactory_ ? sourceFactory_()
                       : std::make_unique<ReadAheadReader>(0, ReadAheadLimits{}, &control.cancelled,
                                                           control.rules);
    return std::make_unique<CancellableSource>(std::move(inner), control.cancelled);
}

void FolderTreeView::Relabel() {
    queue_->Flush();  // what the scans queued before the switch is rewritten too
    model_->RelabelAll([this] { FolderTree::Relabel(store_, TreeItem::None); });
    view_->AllowNarrower();
}

void FolderTreeView::ShowMeasure() {
    queue_->Flush();
    model_->RelabelAll([this] { FolderTree::Relabel(store_, TreeItem::None); });
    FolderTree::SortAllBySize(store_, TreeItem::None);
    view_->AllowNarrower();
}

TreeItem FolderTreeView::RootOf(TreeItem item) {
    if (item == TreeItem::None || !store_.Node(item))
        return TreeItem::None;
    for (TreeItem parent = store_.GetParent(item); parent != TreeItem::None;
         parent = store_.GetParent(parent))
        item = parent;
    return item;
}

TreeItem FolderTreeView::RootNamed(const std::string& folder) {
    const std::string key = ScanThreads::FolderKey(folder);
    for (TreeItem root = store_.GetChild(TreeItem::None); root != TreeItem::None;
         root = store_.GetNextItem(root)) {
        std::optional<FolderRecord> record = store_.Record(root);
        if (record && ScanThreads::FolderKey(record->path) == key)
            return root;
    }
    return TreeItem::None;
}

void FolderTreeView::StopScansOf(TreeItem root) {
    queue_->Flush();  // the roots of the scans are known
    scans_->SupersedeRoot(root);
}

HardLinkLedger* FolderTreeView::LinksOf(TreeItem root) {
    auto found = rootLinks_.find(root);
    return found == rootLinks_.end() ? nullptr : &found->second;
}

void FolderTreeView::LinksCounted(std::uint64_t id, HardLinkLedger links) {
    std::lock_guard lock(handOverMutex_);
    countedLinks_[id] = std::move(links);
}

void FolderTreeView::RefreshFolder(TreeItem item) {
    queue_->Flush();
    if (const ItemNode* node = store_.Node(item); node && node->IsFilesEntry())
        item = store_.GetParent(item);
    const TreeItem root = RootOf(item);
    if (root == TreeItem::None)
        return;
    if (std::optional<ScanFileRoots::Source> source = ScanFileOf(root)) {
        OpenScanFile(source->file);
        return;
    }
    const std::string path = store_.Node(item)->FolderPath();
    if (item == root) {
        StartScanOf(path);
        return;
    }
    StopScansOf(root);
    FolderRescan rescan{item, root, store_.Record(item)};
    // What the folder counted is counted afresh; what other folders count stays theirs.
    auto inside = [this, item](TreeItem folder) {
        TreeItem at = folder;
        while (at != TreeItem::None && at != item && store_.Node(at))
            at = store_.GetParent(at);
        return at == item || !store_.Node(folder);
    };
    auto elsewhere = std::make_shared<HardLinkLedger>();
    if (HardLinkLedger* links = LinksOf(root)) {
        links->ForgetWhere(inside);
        *elsewhere = *links;
    }
    emit StatusText(QString::fromStdString("Scanning " + path));
    scans_->Start(path,
                  [this, rescan, elsewhere](ScanTarget& target, std::uint64_t id,
                                            const std::string& folder, const ScanControl& control) {
                      {
                          std::lock_guard lock(handOverMutex_);
                          rescans_[id] = rescan;
                      }
                      std::unique_ptr<TreeControl> tree = target.NewTree(control);
                      std::unique_ptr<FolderSource> source = target.NewSource(control);
                      ScanContext context{*source};
                      context.stop = &control.cancelled;
                      context.rules = &control.rules;
                      context.countedElsewhere = elsewhere.get();
                      HardLinkLedger counted;
                      context.counted = &counted;
                      FolderTree::RescanFolder(*tree, rescan.item, folder, context);
                      if (!context.Stopping())
                          target.LinksCounted(id, std::move(counted));
                      target.ScanEnded(id);
                      return 0;
                  });
    scans_->NoteRoot(path, root);
}

void FolderTreeView::FinishRescan(const FolderRescan& rescan, std::optional<HardLinkLedger> links) {
    std::optional<FolderRecord> after = store_.Record(rescan.item);
    if (!links || !after)
        return;  // stopped, or the folder is gone
    if (rescan.before && rescan.before->complete) {
        FigureChanges::AddUpward(store_, store_.GetParent(rescan.item),
                                 FigureChanges::Between(*rescan.before, *after));
    }
    if (HardLinkLedger* known = LinksOf(rescan.root))
        known->Merge(std::move(*links));
    emit PanelRefreshRequested();
}

void FolderTreeView::OnScanEnded(quint64 id) {
    std::optional<HardLinkLedger> links;
    std::optional<FolderRescan> rescan;
    {
        std::lock_guard lock(handOverMutex_);
        if (auto found = countedLinks_.find(id); found != countedLinks_.end()) {
            links = std::move(found->second);
            countedLinks_.erase(found);
        }
        if (auto found = rescans_.find(id); found != rescans_.end()) {
            rescan = found->second;
            rescans_.erase(found);
        }
    }
    std::optional<std::string> folder = scans_->Ended(id);
    if (rescan) {
        FinishRescan(*rescan, std::move(links));
    } else if (links && folder) {
        if (TreeItem root = RootNamed(*folder); root != TreeItem::None)
            rootLinks_[root] = std::move(*links);
    }
    if (std::optional<std::string> failure = scanFiles_.TakeFailure(id)) {
        emit StatusText(QString::fromStdString(*failure));  // the scan file could not be read
        return;
    }
    if (!folder)
        return;
    QString text = QString::fromStdString(ScanFileRoots::Title(*folder));
    emit StatusText(QStringLiteral("Scanning ") + text + QStringLiteral(" Complete"));
    emit ScanCompleted(text);
}

void FolderTreeView::OnContextMenu(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        QModelIndex hit = view_->indexAt(event->pos());
        if (!hit.isValid())
            return;  // empty space: no selection change, no menu
        store_.Select(model_->ItemAt(hit));
        emit ContextMenuRequested(event->globalPos());
        return;
    }
    QModelIndex current = view_->currentIndex();
    QPoint at = current.isValid() ? view_->visualRect(current).bottomLeft() : QPoint(0, 0);
    emit ContextMenuRequested(view_->viewport()->mapToGlobal(at));
}

void FolderTreeView::ShowStoreSelection() {
    if (!syncing_ && !model_->InStoreChange()) {
        syncing_ = true;
        QModelIndex selected = model_->IndexOf(store_.Selection());
        if (selected.isValid()) {
            view_->selectionModel()->setCurrentIndex(selected, QItemSelectionModel::ClearAndSelect);
        } else {
            view_->selectionModel()->clear();
        }
        syncing_ = false;
    }
    emit SelectionChanged();
}

void FolderTreeView::FollowViewCurrent(const QModelIndex& current) {
    if (syncing_ || model_->InStoreChange())
        return;
    syncing_ = true;
    store_.Select(model_->ItemAt(current));
    syncing_ = false;
}

void FolderTreeView::ShowStoreExpansion(const QModelIndex& item, bool expand) {
    if (syncing_ || !item.isValid())
        return;
    syncing_ = true;
    view_->setExpanded(item, expand);
    syncing_ = false;
}

void FolderTreeView::FollowViewExpansion(const QModelIndex& item, bool expand) {
    if (syncing_)
        return;
    syncing_ = true;
    store_.Expand(model_->ItemAt(item), expand);
    syncing_ = false;
}
