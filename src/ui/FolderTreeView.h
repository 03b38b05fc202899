// The folder tree of the main window: the item store, its Qt model and view, the queue the
// scan threads fill it through, and the scans themselves. Keeps the store's selection and
// expansion and the view's in step both ways, and turns a right click into a selection and
// a request for the item menu.
#pragma once

#include <QObject>
#include <QPoint>
#include <QTreeView>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "scan/ScanThread.h"
#include "tree/ItemStore.h"
#include "ui/FolderTreeModel.h"
#include "ui/ScanFileRoots.h"
#include "ui/ScanQueue.h"
#include "ui/TreeWidget.h"

class QContextMenuEvent;

class FolderTreeView : public QObject, public ScanTarget {
    Q_OBJECT

  public:
    // Makes a folder source for one scan; called on the scan thread.
    using SourceFactory = std::function<std::unique_ptr<FolderSource>()>;

    // startFolder is the owner's start folder, read by StartScan; it must outlive this
    // object. The view widget is owned by this object; its parent only borrows it.
    explicit FolderTreeView(const std::string& startFolder, QObject* parent = nullptr);
    // Stops and joins every scan before the store goes away, however long that takes.
    ~FolderTreeView() override;

    QTreeView& View() { return *view_; }
    ItemStore& Store() { return store_; }
    FolderTreeModel& Model() { return *model_; }
    ScanQueue& Queue() { return *queue_; }

    // Starts a scan of the start folder on a new thread, after showing "Scanning " and the
    // folder. Nothing happens for an empty folder; a request for a folder whose scan is
    // running (and was not stopped) shows the text but starts nothing. A root whose scan
    // was stopped is scanned again at its place.
    void StartScan() { StartScanOf(startFolder_); }
    // The same for another folder than the start folder.
    void StartScanOf(const std::string& folder);
    // Reads scan file `file` (an export in ncdu's JSON format) into a root on a new thread,
    // after showing "Scanning " and the file, as StartScan does for a folder. A file that
    // cannot be read leaves the tree as it was and the status bar says why.
    void OpenScanFile(const std::string& file);
    // Whether item lies below a root that was read from a scan file.
    bool IsImported(TreeItem item);
    // The scan file the root of item was read from, and when that scan was made.
    std::optional<ScanFileRoots::Source> ScanFileOf(TreeItem item);
    // Running scans whose root items were deleted are cancelled and forgotten, so that
    // their folders can be scanned afresh at once.
    void SupersedeRemovedScans();
    // Asks every scan running now to stop (Stop, Remove, Export); scans started later are
    // not affected. Waits for nothing.
    void StopRunningScans() { scans_->CancelAll(); }
    // Closes the queue and stops every scan for good; joins the threads that end within
    // `wait` and returns how many are still running (blocked in the file system, say).
    // Nothing reaches the store afterwards.
    std::size_t StopScans(std::chrono::milliseconds wait = std::chrono::milliseconds::max());
    // Scan threads not joined yet, stopped ones included.
    std::size_t RunningScans() const { return scans_->Count(); }
    // Scans running and not asked to stop.
    std::size_t ActiveScans() const { return scans_->Active(); }
    // Rewrites every label in the current unit, as one change for the view. Labels the
    // scans deliver afterwards are shown in the new unit as they arrive.
    void Relabel();
    // Shows the sizes of the current measure (SizeMeasure): every label rewritten, every
    // folder's children in the new size order.
    void ShowMeasure();

    // The root item above item (item itself for a root); None for None or a deleted item.
    TreeItem RootOf(TreeItem item);
    // Stops every scan working below root for good: nothing it still sends reaches the tree
    // (Move to Trash changes that tree next).
    void StopScansOf(TreeItem root);
    // Scans the folder of item again (Refresh Selected; a FILES entry stands for its folder):
    // a root as a new scan of it, or its scan file read again when it came from one; a
    // folder below a root by itself, after stopping the scans of its root, its ancestors'
    // figures following by the difference once it is done. Files with several hard links
    // that other folders of the root count stay counted there.
    void RefreshFolder(TreeItem item);
    // Which folder item counts each file with several hard links in the tree of root, or
    // null when that is not known (its scan was stopped, or it came from a scan file).
    HardLinkLedger* LinksOf(TreeItem root);

    // Which entries the scans started from now on count and enter (hidden entries, other
    // file systems); scans already running keep theirs.
    void SetRules(ScanRules rules) { scans_->SetRules(std::move(rules)); }

    // Replaces the folder listings the scans read (by default the file system).
    void SetSourceFactory(SourceFactory factory) { sourceFactory_ = std::move(factory); }

    std::unique_ptr<TreeControl> NewTree(const ScanControl& control) override {
        return queue_->Lane(control.superseded);
    }
    std::unique_ptr<FolderSource> NewSource(const ScanControl& control) override;
    void ScanEnded(std::uint64_t id) override { queue_->PostScanEnded(id); }
    void LinksCounted(std::uint64_t id, HardLinkLedger links) override;

  signals:
    // A text for the status bar.
    void StatusText(const QString& text);
    // The selected item changed; the detail panel shows the new one.
    void SelectionChanged();
    // The panel should repaint (a scan updated the figures of a folder it may show).
    void PanelRefreshRequested();
    // The item menu is asked for at a position in global coordinates.
    void ContextMenuRequested(const QPoint& globalPos);
    // A scan of folder ended and its closing text was shown.
    void ScanCompleted(const QString& folder);

  private:
    // A folder below a root being scanned again, and its figures before.
    struct FolderRescan {
        TreeItem item = TreeItem::None;
        TreeItem root = TreeItem::None;
        std::optional<FolderRecord> before;
    };

    void OnScanEnded(quint64 id);
    void FinishRescan(const FolderRescan& rescan, std::optional<HardLinkLedger> links);
    TreeItem RootNamed(const std::string& folder);
    void OnContextMenu(QContextMenuEvent* event);
    void ShowStoreSelection();
    void FollowViewCurrent(const QModelIndex& current);
    void ShowStoreExpansion(const QModelIndex& item, bool expand);
    void FollowViewExpansion(const QModelIndex& item, bool expand);

    const std::string& startFolder_;
    ItemStore store_;
    ScanFileRoots scanFiles_;
    std::unique_ptr<FolderTreeModel> model_;
    std::unique_ptr<ScanQueue> queue_;
    std::unique_ptr<ScanThreads> scans_;
    std::unique_ptr<TreeWidget> view_;
    SourceFactory sourceFactory_;
    bool syncing_ = false;  // a change is being passed between store and view
    std::map<TreeItem, HardLinkLedger> rootLinks_;
    // Handed over by the scan threads, taken when their ends are applied.
    std::mutex handOverMutex_;
    std::map<std::uint64_t, HardLinkLedger> countedLinks_;
    std::map<std::uint64_t, FolderRescan> rescans_;
};
