// The scan that builds the folder tree, the size order of children and relabelling.
#include "scan/FolderTree.h"

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/SizeUnit.h"

namespace FolderTree {
namespace {

bool Stopping() {
    return StopRequested.load(std::memory_order_relaxed);
}

void CountListing(const FolderListing& listing, ScanCounters* counters) {
    if (!counters)
        return;
    std::int64_t files = 0;
    std::uint64_t bytes = 0;
    for (const FolderEntry& entry : listing.entries) {
        files += entry.isDirectory ? 0 : 1;
        bytes += entry.compressed ? entry.sizeOnDisk : entry.size;
    }
    counters->folders.fetch_add(1, std::memory_order_relaxed);
    counters->files.fetch_add(files, std::memory_order_relaxed);
    counters->bytes.fetch_add(bytes, std::memory_order_relaxed);
}

ItemLabel FolderLabel(std::string stem, const ScanSums& sums) {
    return ItemLabel::Folder(std::move(stem), sums.total, sums.files, sums.folders,
                             SizeUnit::InMegabytes());
}

// Records a finished folder's figures on its item and gives it its FILES entry. A root is
// labelled, named and placed by its path; a sub-folder by its name, its record's path
// following from its place in the tree.
void FinishFolder(TreeControl& tree, TreeItem item, int icon, std::string_view name,
                  const ScanSums& sums, bool isRoot) {
    tree.SetItemText(item, FolderLabel(std::string(name), sums));
    TreeItem files =
        tree.InsertItem(ItemLabel::FilesEntry(sums.filesOnly, isRoot, SizeUnit::InMegabytes()),
                        icon, item, InsertAt::Last);
    if (isRoot) {
        tree.SetItemData(item, FolderRecord::Full(std::string(name), std::string(name), sums.total,
                                                  sums.filesOnly, sums.folders, sums.files, false));
    } else {
        tree.SetItemData(item,
                         FolderRecord::Placed(PathOrigin::ItemFolder, std::string(name), sums.total,
                                              sums.filesOnly, sums.folders, sums.files, false));
    }
    tree.SetItemData(files, FolderRecord::Placed(PathOrigin::ParentFolder, "FILES", sums.filesOnly,
                                                 sums.filesOnly, 0, sums.directFiles, true));
}

// Shows the running figures of the folder being scanned on its item.
void ShowProgress(TreeControl& tree, TreeItem item, const std::string& workingPath,
                  const ScanSums& sums) {
    tree.SetItemText(item, FolderLabel(workingPath, sums));
    tree.Expand(item, true);
    tree.RefreshTree();
    tree.SetItemData(item, FolderRecord::Full(workingPath, workingPath, sums.total, sums.filesOnly,
                                              sums.folders, sums.files, false));
    tree.RefreshPanel();
}

void AddChild(ScanSums& sums, const ScanSums& child) {
    sums.total = SaturatingAdd(sums.total, child.total);
    sums.files = SaturatingAdd(sums.files, child.files);
    sums.folders = SaturatingAdd(sums.folders, static_cast<std::int64_t>(child.folders) + 1);
}

// The depth-first walk of one folder and everything below it, with a stack of frames
// instead of recursion. It issues exactly the tree operations, in the same order, that a
// recursive walk would. The path of the current folder is one buffer that grows and
// shrinks by a name at a time.
class FolderWalk {
  public:
    FolderWalk(TreeControl& tree, ScanContext& context, std::string path)
        : tree_(tree), context_(context), path_(std::move(path)) {}

    void Run(bool isRoot, TreeItem item, ScanSums& sums) {
        top_ = &sums;
        Push(item, 0, path_.size(), isRoot);
        if (!List(Current()))
            return;
        while (depth_ > 0) {
            if (EnterNextSubFolder())
                continue;
            Frame& done = Current();
            --depth_;
            if (depth_ > 0)
                SubFolderDone(done);
            if (done.listing.entries.capacity() > kKeptEntries)
                done.listing = FolderListing();  // a huge listing is not kept for reuse
        }
    }

  private:
    static constexpr std::size_t kKeptEntries = 4096;

    // One folder on the way down. Frames stay allocated when the walk climbs back, so that
    // the next folder at the same depth reuses the listing's buffers.
    struct Frame {
        TreeItem item = TreeItem::None;
        int icon = 0;
        std::size_t nameStart = 0;   // where the folder's name begins in path_
        std::size_t pathLength = 0;  // the folder's path is path_ up to here
        bool isRoot = false;
        FolderListing listing;
        std::size_t next = 0;  // the next entry to look at
        ScanSums sums;
        std::string workingPath;  // empty until WorkingPathOf
    };

    Frame& Current() { return *frames_[depth_ - 1]; }

    // The folder's path with one "/" appended unless it ends in one; made once per folder,
    // when its progress is first shown.
    const std::string& WorkingPathOf(Frame& frame) {
        if (frame.workingPath.empty()) {
            frame.workingPath.assign(path_, 0, frame.pathLength);
            frame.workingPath = WorkingPath(frame.workingPath);
        }
        return frame.workingPath;
    }

    void Push(TreeItem item, int icon, std::size_t nameStart, bool isRoot) {
        if (depth_ == frames_.size())
            frames_.push_back(std::make_unique<Frame>());
        Frame& frame = *frames_[depth_++];
        frame.item = item;
        frame.icon = icon;
        frame.nameStart = nameStart;
        frame.pathLength = path_.size();
        frame.isRoot = isRoot;
        frame.listing.Clear();
        frame.next = 0;
        frame.sums = ScanSums();
        frame.workingPath.clear();
    }

    ScanSums& SumsOf(Frame& frame) { return &frame == frames_[0].get() ? *top_ : frame.sums; }

    bool List(Frame& frame) {
        if (!context_.source.List(frame.listing))
            return false;
        CountListing(frame.listing, context_.counters);
        return true;
    }

    // Counts the current folder's entries up to its next sub-folder and enters that one;
    // false when the folder has no more entries (or a stop ended it).
    bool EnterNextSubFolder() {
        Frame& frame = Current();
        ScanSums& sums = SumsOf(frame);
        const std::vector<FolderEntry>& entries = frame.listing.entries;
        while (frame.next < entries.size()) {
            const std::size_t index = frame.next++;
            if (index > 0 && Stopping())
                return false;
            const FolderEntry& entry = entries[index];
            std::uint64_t size = entry.compressed ? entry.sizeOnDisk : entry.size;
            sums.total = SaturatingAdd(sums.total, size);
            std::string_view name = frame.listing.Name(entry);
            if (!IsScannedName(name))
                continue;
            if (!entry.isDirectory) {
                sums.files = SaturatingAdd(sums.files, 1);
                sums.filesOnly = SaturatingAdd(sums.filesOnly, size);
                sums.directFiles = SaturatingAdd(sums.directFiles, 1);
                continue;
            }
            if (Stopping())
                continue;
            Enter(frame, name);
            return true;
        }
        return false;
    }

    void Enter(const Frame& parent, std::string_view name) {
        path_.resize(parent.pathLength);
        if (path_.empty() || path_.back() != '/')
            path_.push_back('/');
        const std::size_t nameStart = path_.size();
        path_.append(name);
        int icon = FileIconIndex(path_, true);
        TreeItem item = tree_.InsertItem(std::string(name), icon, parent.item, InsertAt::Sorted);
        tree_.RefreshTree();
        context_.source.Enter(name);
        Push(item, icon, nameStart, false);
        if (!List(Current()))
            Current().listing.Clear();
    }

    void SubFolderDone(const Frame& child) {
        context_.source.Leave();
        Frame& parent = Current();
        if (!Stopping()) {
            path_.resize(child.pathLength);
            std::string_view name = std::string_view(path_).substr(child.nameStart);
            FinishFolder(tree_, child.item, child.icon, name, child.sums, false);
            ScanSums& sums = SumsOf(parent);
            AddChild(sums, child.sums);
            if (parent.isRoot || parent.item == tree_.GetSelection())
                ShowProgress(tree_, parent.item, WorkingPathOf(parent), sums);
            tree_.SortChildren(child.item, CompareBySize, 0);
            tree_.RefreshTree();
        }
        path_.resize(parent.pathLength);
    }

    TreeControl& tree_;
    ScanContext& context_;
    std::string path_;
    std::vector<std::unique_ptr<Frame>> frames_;
    std::size_t depth_ = 0;    // frames in use
    ScanSums* top_ = nullptr;  // the caller's sums, for the folder the walk began with
};

// The root item of rootPath if the tree has one; a root still holding its placeholder
// makes found false-and-busy.
enum class RootState { Absent, Busy, Present };
RootState FindRoot(TreeControl& tree, const std::string& rootPath, TreeItem& root) {
    for (TreeItem item = tree.GetChild(TreeItem::None); item != TreeItem::None;
         item = tree.GetNextItem(item)) {
        std::optional<FolderRecord> record = tree.GetItemData(item);
        if (!record || record->path != rootPath)
            continue;
        if (!record->complete)
            return RootState::Busy;
        root = item;
        return RootState::Present;
    }
    return RootState::Absent;
}

bool IsAtOrBelow(TreeControl& tree, TreeItem item, TreeItem ancestor) {
    for (; item != TreeItem::None; item = tree.GetParent(item)) {
        if (item == ancestor)
            return true;
    }
    return false;
}

}  // namespace

std::string FolderLabelSuffix(std::uint64_t bytes, std::int32_t files, std::int32_t folders) {
    return ItemLabel::Folder(std::string(), bytes, files, folders, SizeUnit::InMegabytes()).Text();
}

std::string FilesEntryLabel(std::uint64_t filesBytes, bool ofRoot) {
    return ItemLabel::FilesEntry(filesBytes, ofRoot, SizeUnit::InMegabytes()).Text();
}

std::string WorkingPath(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

void ScanFolder(bool isRoot, TreeControl& tree, TreeItem parentItem, const std::string& folderPath,
                ScanSums& sums, ScanContext& context) {
    FolderWalk(tree, context, folderPath).Run(isRoot, parentItem, sums);
}

void ScanRoot(TreeControl& tree, const std::string& rootPath, ScanContext& context) {
    StopRequested.store(false, std::memory_order_relaxed);
    TreeItem root = TreeItem::None;
    switch (FindRoot(tree, rootPath, root)) {
        case RootState::Busy:
            return;
        case RootState::Present:
            tree.RemoveChildren(root);
            break;
        case RootState::Absent:
            break;
    }
    int icon = FileIconIndex(rootPath, true);
    if (root == TreeItem::None)
        root = tree.InsertItem(rootPath, icon, TreeItem::None, InsertAt::Last);
    tree.SetItemData(root, FolderRecord::Placeholder(rootPath));

    ScanSums sums;
    context.source.EnterRoot(rootPath);
    ScanFolder(true, tree, root, rootPath, sums, context);
    context.source.Leave();
    if (Stopping())
        return;

    FinishFolder(tree, root, icon, rootPath, sums, true);
    tree.SortChildren(root, CompareBySize, 0);

    TreeItem selected = tree.GetSelection();
    bool keep = selected != TreeItem::None && IsAtOrBelow(tree, selected, root);
    tree.Select(TreeItem::None);
    tree.Select(keep ? selected : root);
}

void Relabel(TreeControl& tree, TreeItem item) {
    // Post-order: an item's children are relabelled before the item; each item's next
    // sibling is taken before anything below it is touched.
    struct Level {
        TreeItem item;
        TreeItem next;
    };
    std::vector<Level> levels;
    TreeItem child = tree.GetChild(item);
    for (;;) {
        for (; child != TreeItem::None; child = tree.GetChild(child))
            levels.push_back({child, tree.GetNextItem(child)});
        if (levels.empty())
            return;
        Level done = levels.back();
        levels.pop_back();
        if (std::optional<FolderRecord> record = tree.GetItemDataWithoutPath(done.item)) {
            tree.SetItemText(
                done.item,
                ItemLabel::Folder(std::move(record->name), record->totalBytes, record->fileCount,
                                  record->folderCount, SizeUnit::InMegabytes()));
        }
        child = done.next;
    }
}

}  // namespace FolderTree
