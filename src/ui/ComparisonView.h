// A root of the window's tree compared with an earlier scan file: the file is read on a
// thread of its own, the root's items are matched with it and the gone folders inserted as
// rows, a bounded slice of work per pass of the event loop, so that the window never waits
// long for it. While it is shown, the model and the panel ask it for each item's change; the
// children of every folder may be ordered by change. Leaving it deletes the gone rows and
// restores the plain labels and the order by size.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "compare/Baseline.h"
#include "compare/TreeComparison.h"
#include "ui/FolderTreeModel.h"

class ComparisonView : public QObject, public ItemChanges {
    Q_OBJECT

  public:
    // A slice of work takes about this long.
    static constexpr int kSliceMs = 8;

    ComparisonView(ItemStore& store, FolderTreeModel& model, QObject* parent = nullptr);
    // Stops the reading of a file and waits for its thread.
    ~ComparisonView() override;

    // Compares root with scan file `file`, read with rules; a comparison shown before is left
    // first. The status bar hears of a file that cannot be read.
    void Start(TreeItem root, const std::string& file, const ScanRules& rules);
    // Leaves the comparison.
    void Stop();
    // The compared root was scanned again: its fresh tree is compared with the same file.
    void RootRescanned();
    // The sizes shown switched between apparent sizes and space on disk: the file is read
    // and compared again in the new figure.
    void MeasureChanged();

    // Whether a comparison was started and not left; whether it is shown (done matching).
    bool Active() const { return state_ != State::Idle; }
    bool Shown() const { return state_ == State::Shown; }
    TreeItem Root() const { return root_; }
    // Whether children are still being put in order (by change, or back by size).
    bool Ordering() const { return ordering_; }
    // Bytes the comparison keeps beside the tree, and those of the earlier scan's summary.
    std::size_t HeldBytes() const { return comparison_ ? comparison_->HeldBytes() : 0; }
    std::size_t SummaryBytes() const {
        return baseline_.summary ? baseline_.summary->HeldBytes() : 0;
    }
    // Orders every folder's children of the compared root by change, largest first
    // (growth or shrinkage alike), instead of by size; off restores the order by size.
    void SetSortByChange(bool on);

    std::optional<ItemChange> ChangeOf(const ItemNode& item) const override;

  signals:
    void StatusText(const QString& text);
    // The changes shown changed: the panel repaints.
    void Changed();

  private:
    enum class State { Idle, Loading, Matching, Shown };
    struct Loader;

    void Poll();
    void Work();
    void BeginMatching();
    void Show();
    // Orders the children of the compared folders, a slice at a time.
    void StartOrdering();
    bool OrderSome(const QElapsedTimer& clock);
    bool TimeLeft(const QElapsedTimer& clock) const { return clock.elapsed() < kSliceMs; }

    ItemStore& store_;
    FolderTreeModel& model_;
    State state_ = State::Idle;
    TreeItem root_ = TreeItem::None;
    ScanRules rules_;  // those the file is read with
    std::shared_ptr<Loader> loader_;
    std::thread loaderThread_;
    Baseline baseline_;
    std::unique_ptr<TreeComparison> comparison_;
    std::size_t goneInserted_ = 0;    // of the comparison's gone folders
    std::vector<TreeItem> goneRows_;  // the rows inserted for them
    std::vector<TreeItem> toOrder_;   // folders still to be ordered, and walked below
    bool sortByChange_ = false;
    bool ordering_ = false;
    QTimer work_;  // runs the next slice
    QTimer poll_;  // looks whether the file is read
};
