// The scan that builds the folder tree, the size order of children and relabelling.
#include "scan/FolderTree.h"

#include <deque>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "scan/LinkLedger.h"
#include "scan/SizeUnit.h"

bool ScanContext::Stopping() const {
    return (stop ? *stop : StopRequested).load(std::memory_order_relaxed);
}

namespace FolderTree {
namespace {

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
                             SizeUnit::InMegabytes())
        .WithDiskBytes(sums.diskTotal);
}

std::unique_ptr<FolderRecord> WithDisk(std::unique_ptr<FolderRecord> record,
                                       std::uint64_t diskBytes) {
    record->diskBytes = diskBytes;
    return record;
}

// Gives a finished sub-folder, and its FILES entry, the folder's figures once more.
void Refinish(TreeControl& tree, TreeItem item, TreeItem files, std::string_view name,
              const ScanSums& sums) {
    tree.SetItemText(item, FolderLabel(std::string(name), sums));
    tree.SetItemData(
        item, WithDisk(FolderRecord::Placed(PathOrigin::ItemFolder, std::string(name), sums.total,
                                            sums.filesOnly, sums.folders, sums.files, false),
                       sums.diskTotal));
    tree.SetItemText(files, ItemLabel::FilesEntry(sums.filesOnly, false, SizeUnit::InMegabytes())
                                .WithDiskBytes(sums.diskFilesOnly));
    tree.SetItemData(
        files, WithDisk(FolderRecord::Placed(PathOrigin::ParentFolder, "FILES", sums.filesOnly,
                                             sums.filesOnly, 0, sums.directFiles, true),
                        sums.diskFilesOnly));
}

// Records a finished folder's figures on its item and gives it its FILES entry, whose item
// it returns. A root is labelled, named and placed by its path; a sub-folder by its name,
// its record's path following from its place in the tree.
TreeItem FinishFolder(TreeControl& tree, TreeItem item, int icon, std::string_view name,
                      const ScanSums& sums, bool isRoot) {
    tree.SetItemText(item, FolderLabel(std::string(name), sums));
    TreeItem files =
        tree.InsertItem(ItemLabel::FilesEntry(sums.filesOnly, isRoot, SizeUnit::InMegabytes())
                            .WithDiskBytes(sums.diskFilesOnly),
                        icon, item, InsertAt::Last);
    if (isRoot) {
        tree.SetItemData(
            item, WithDisk(FolderRecord::Full(std::string(name), std::string(name), sums.total,
                                              sums.filesOnly, sums.folders, sums.files, false),
                           sums.diskTotal));
    } else {
        tree.SetItemData(item, WithDisk(FolderRecord::Placed(
                                            PathOrigin::ItemFolder, std::string(name), sums.total,
                                            sums.filesOnly, sums.folders, sums.files, false),
                                        sums.diskTotal));
    }
    tree.SetItemData(
        files, WithDisk(FolderRecord::Placed(PathOrigin::ParentFolder, "FILES", sums.filesOnly,
                                             sums.filesOnly, 0, sums.directFiles, true),
                        sums.diskFilesOnly));
    return files;
}

// Shows the running figures of the folder being scanned on its item.
void ShowProgress(TreeControl& tree, TreeItem item, const std::string& workingPath,
                  const ScanSums& sums) {
    tree.SetItemText(item, FolderLabel(workingPath, sums));
    tree.Expand(item, true);
    tree.RefreshTree();
    tree.SetItemData(
        item, WithDisk(FolderRecord::Full(workingPath, workingPath, sums.total, sums.filesOnly,
                                          sums.folders, sums.files, false),
                       sums.diskTotal));
    tree.RefreshPanel();
}

void AddChild(ScanSums& sums, const ScanSums& child) {
    sums.total = SaturatingAdd(sums.total, child.total);
    sums.diskTotal = SaturatingAdd(sums.diskTotal, child.diskTotal);
    sums.files = SaturatingAdd(sums.files, child.files);
    sums.folders = SaturatingAdd(sums.folders, static_cast<std::int64_t>(child.folders) + 1);
}

const ScanRules& RulesOf(const ScanContext& context) {
    static const ScanRules kDefault;
    return context.rules ? *context.rules : kDefault;
}

// Whether the entries of listing from `from` on can change nothing: excluded entries, and
// directories the rules do not enter (they count 0 bytes).
bool RestIsInert(const FolderListing& listing, std::size_t from, const ScanRules& rules) {
    for (std::size_t i = from; i < listing.entries.size(); ++i) {
        const FolderEntry& entry = listing.entries[i];
        if (!entry.excluded && (!entry.isDirectory || rules.Counts(listing.Name(entry))))
            return false;
    }
    return true;
}

// The depth-first walk of one folder and everything below it, with a stack of frames
// instead of recursion. It issues exactly the tree operations, in the same order, that a
// recursive walk would. The path of the current folder is one buffer that grows and
// shrinks by a name at a time, and a folder on the way down keeps its listing only while
// entries after the sub-folder being scanned are still to be read: a chain 100,000 deep
// holds a few dozen bytes a level.
class FolderWalk {
  public:
    FolderWalk(TreeControl& tree, ScanContext& context, std::string path)
        : tree_(tree), context_(context), rules_(RulesOf(context)), path_(std::move(path)) {}

    void Run(bool isRoot, TreeItem item, ScanSums& sums) {
        top_ = &sums;
        Push(item, 0, path_.size(), isRoot);
        if (!List(frames_.back()))
            return;
        while (!frames_.empty()) {
            if (EnterNextSubFolder())
                continue;
            Frame done = std::move(frames_.back());
            frames_.pop_back();
            Recycle(std::move(done.listing));
            if (!frames_.empty())
                SubFolderDone(done);
        }
        if (!ledger_.Empty() && !context_.Stopping())
            SettleLinks();
    }

  private:
    static constexpr std::size_t kKeptEntries = 4096;  // larger listings are not reused
    static constexpr std::size_t kSpareListings = 64;

    // One folder on the way down.
    struct Frame {
        TreeItem item = TreeItem::None;
        ScanSums sums;
        std::unique_ptr<FolderListing> listing;    // null once nothing is left to read
        std::unique_ptr<std::string> workingPath;  // made when progress is first shown
        std::uint32_t nameStart = 0;               // where the folder's name begins in path_
        std::uint32_t pathLength = 0;              // the folder's path is path_ up to here
        std::uint32_t next = 0;                    // the next entry to look at
        int icon = 0;
        bool isRoot = false;
        std::uint32_t ledgerFolder = LinkLedger::kNoFolder;  // set once a link is met below
    };

    // The folder's path with one "/" appended unless it ends in one.
    const std::string& WorkingPathOf(Frame& frame) {
        if (!frame.workingPath)
            frame.workingPath =
                std::make_unique<std::string>(WorkingPath(path_.substr(0, frame.pathLength)));
        return *frame.workingPath;
    }

    void Push(TreeItem item, int icon, std::size_t nameStart, bool isRoot) {
        Frame& frame = frames_.emplace_back();
        frame.item = item;
        frame.icon = icon;
        frame.nameStart = static_cast<std::uint32_t>(nameStart);
        frame.pathLength = static_cast<std::uint32_t>(path_.size());
        frame.isRoot = isRoot;
        if (spare_.empty()) {
            frame.listing = std::make_unique<FolderListing>();
        } else {
            frame.listing = std::move(spare_.back());
            spare_.pop_back();
        }
    }

    // Keeps a listing's buffers for the next folder, unless they are large.
    void Recycle(std::unique_ptr<FolderListing> listing) {
        if (listing && spare_.size() < kSpareListings &&
            listing->entries.capacity() <= kKeptEntries) {
            spare_.push_back(std::move(listing));
        }
    }

    ScanSums& SumsOf(Frame& frame) { return frames_.size() == 1 ? *top_ : frame.sums; }

    bool List(Frame& frame) {
        FolderListing& listing = *frame.listing;
        if (!context_.source.List(listing)) {
            if (listing.outcome == ListOutcome::Unreadable)
                CannotRead(frame, listing.error);
            else if (listing.outcome != ListOutcome::Listed)
                tree_.SetItemImage(frame.item, kMountPointIcon);  // not entered on purpose
            listing.Clear();
            return false;
        }
        CountListing(listing, context_.counters);
        ScanSums& sums = SumsOf(frame);
        sums.diskTotal = SaturatingAdd(sums.diskTotal, listing.folderSizeOnDisk);
        return true;
    }

    void CannotRead(const Frame& frame, int error) {
        tree_.SetItemImage(frame.item, kUnreadableFolderIcon);
        if (context_.cannotRead)
            context_.cannotRead(path_.substr(0, frame.pathLength), error);
    }

    // A file with other hard links counts where the scan meets it first (unless the rules
    // count every link): false for every later link, and for every link when a folder outside
    // the scan counts the file already (a folder scanned again inside its root). The ledger
    // moves it to its link first in name order when the walk is over.
    bool FirstLink(const FolderListing& listing, const FolderEntry& entry, std::uint64_t size) {
        if (entry.link == 0 || rules_.countEveryLink)
            return true;
        const LinkIdentity& file = listing.links[entry.link - 1];
        if (context_.countedElsewhere && context_.countedElsewhere->Counts(file))
            return false;
        const std::string_view name = listing.Name(entry);
        const std::size_t depth = frames_.size() - 1;
        std::string path = path_.substr(0, frames_.back().pathLength);
        path.append("/").append(name);
        return ledger_.Meet(file, LedgerFolder(depth), path, {size, entry.sizeOnDisk},
                            rules_.Counts(name));
    }

    // The ledger's folder of the frame at depth, made (with those above it) when needed.
    std::uint32_t LedgerFolder(std::size_t depth) {
        std::size_t known = depth + 1;  // the deepest frame above depth that has one
        while (known > 0 && frames_[known - 1].ledgerFolder == LinkLedger::kNoFolder)
            --known;
        for (std::size_t at = known; at <= depth; ++at) {
            Frame& frame = frames_[at];
            std::uint32_t parent = at == 0 ? LinkLedger::kNoFolder : frames_[at - 1].ledgerFolder;
            const std::size_t nameStart = at == 0 ? 0 : frame.nameStart;
            frame.ledgerFolder = ledger_.AddFolder(
                parent, frame.item, path_.substr(nameStart, frame.pathLength - nameStart));
        }
        return frames_[depth].ledgerFolder;
    }

    // Moves files with several links to their links first in name order, and gives the
    // folders whose figures that changed their figures again. The walk's first folder is
    // finished by the caller, with the sums it was given.
    void SettleLinks() {
        ledger_.At(0).sums = *top_;
        std::vector<std::uint32_t> changed = ledger_.Settle();
        *top_ = ledger_.At(0).sums;
        std::unordered_set<std::uint64_t> parents;
        for (std::uint32_t index : changed) {
            LinkLedger::Folder& folder = ledger_.At(index);
            if (folder.parent == LinkLedger::kNoFolder)
                continue;
            Refinish(tree_, folder.item, folder.filesItem, folder.name, folder.sums);
            parents.insert(static_cast<std::uint64_t>(ledger_.At(folder.parent).item));
        }
        for (std::uint64_t parent : parents)
            tree_.SortChildren(static_cast<TreeItem>(parent), CompareBySize, 0);
        if (context_.counted)
            ledger_.TellCounted([this](const LinkIdentity& file, TreeItem folder) {
                context_.counted->Note(file, folder);
            });
        ledger_.Clear();
    }

    // Counts the current folder's entries up to its next sub-folder and enters that one;
    // false when the folder has no more entries (or a stop ended it).
    bool EnterNextSubFolder() {
        Frame& frame = frames_.back();
        ScanSums& sums = SumsOf(frame);
        if (!frame.listing)
            return false;
        const FolderListing& listing = *frame.listing;
        while (frame.next < listing.entries.size()) {
            const std::size_t index = frame.next++;
            if (index > 0 && context_.Stopping())
                return false;
            const FolderEntry& entry = listing.entries[index];
            if (entry.excluded)
                continue;
            std::uint64_t size = entry.compressed ? entry.sizeOnDisk : entry.size;
            if (!FirstLink(listing, entry, size))
                continue;
            sums.total = SaturatingAdd(sums.total, size);
            sums.diskTotal = SaturatingAdd(sums.diskTotal, entry.sizeOnDisk);
            std::string_view name = listing.Name(entry);
            if (!rules_.Counts(name))
                continue;
            if (!entry.isDirectory) {
                sums.files = SaturatingAdd(sums.files, 1);
                sums.filesOnly = SaturatingAdd(sums.filesOnly, size);
                sums.diskFilesOnly = SaturatingAdd(sums.diskFilesOnly, entry.sizeOnDisk);
                sums.directFiles = SaturatingAdd(sums.directFiles, 1);
                continue;
            }
            if (context_.Stopping())
                continue;
            Enter(frame, name);
            return true;
        }
        return false;
    }

    void Enter(Frame& parent, std::string_view name) {
        path_.resize(parent.pathLength);
        if (path_.empty() || path_.back() != '/')
            path_.push_back('/');
        const std::size_t nameStart = path_.size();
        path_.append(name);
        name = std::string_view(path_).substr(nameStart);
        if (RestIsInert(*parent.listing, parent.next, rules_))
            Recycle(std::move(parent.listing));
        int icon = FileIconIndex(path_, true);
        TreeItem item = tree_.InsertItem(std::string(name), icon, parent.item, InsertAt::Sorted);
        tree_.RefreshTree();
        context_.source.Enter(name);
        Push(item, icon, nameStart, false);  // parent is not used after this
        List(frames_.back());
    }

    void SubFolderDone(const Frame& child) {
        context_.source.Leave();
        Frame& parent = frames_.back();
        if (!context_.Stopping()) {
            path_.resize(child.pathLength);
            std::string_view name = std::string_view(path_).substr(child.nameStart);
            TreeItem files = FinishFolder(tree_, child.item, child.icon, name, child.sums, false);
            if (child.ledgerFolder != LinkLedger::kNoFolder) {
                ledger_.At(child.ledgerFolder).sums = child.sums;
                ledger_.At(child.ledgerFolder).filesItem = files;
            }
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
    const ScanRules& rules_;
    LinkLedger ledger_;  // files with other links, seen so far
    std::string path_;
    std::deque<Frame> frames_;  // deque: frames keep their places as the stack grows
    std::vector<std::unique_ptr<FolderListing>> spare_;
    ScanSums* top_ = nullptr;  // the caller's sums, for the folder the walk began with
};

// path without a trailing "/" ("/" itself stays): a root's progress record names its
// working path, its other records the starting folder as given.
std::string_view WithoutTrailingSlash(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

// The root item of rootPath, whatever record it holds, or None. A root whose scan was
// stopped keeps its placeholder or progress record; it is still the root of that folder.
TreeItem FindRoot(TreeControl& tree, const std::string& rootPath, const ScanContext& context) {
    const std::string_view wanted = WithoutTrailingSlash(rootPath);
    for (TreeItem item = tree.GetChild(TreeItem::None); item != TreeItem::None;
         item = tree.GetNextItem(item)) {
        std::optional<FolderRecord> record = tree.GetItemData(item);
        if (record && WithoutTrailingSlash(record->path) == wanted &&
            (!context.ownsRoot || context.ownsRoot(item)))
            return item;
    }
    return TreeItem::None;
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
    TreeItem root = FindRoot(tree, rootPath, context);
    if (root != TreeItem::None)
        tree.RemoveChildren(root);
    int icon = FileIconIndex(rootPath, true);
    if (root == TreeItem::None)
        root = tree.InsertItem(rootPath, icon, TreeItem::None, InsertAt::Last);
    if (context.rootPlaced)
        context.rootPlaced(root);
    tree.SetItemData(root, FolderRecord::Placeholder(rootPath));

    ScanSums sums;
    context.source.EnterRoot(rootPath);
    ScanFolder(true, tree, root, rootPath, sums, context);
    context.source.Leave();
    if (context.Stopping())
        return;

    FinishFolder(tree, root, icon, rootPath, sums, true);
    tree.SortChildren(root, CompareBySize, 0);

    TreeItem selected = tree.GetSelection();
    bool keep = selected != TreeItem::None && IsAtOrBelow(tree, selected, root);
    tree.Select(TreeItem::None);
    tree.Select(keep ? selected : root);
}

void RescanFolder(TreeControl& tree, TreeItem item, const std::string& folderPath,
                  ScanContext& context) {
    std::string_view path = WithoutTrailingSlash(folderPath);
    const std::string name(path.substr(path.rfind('/') + 1));
    tree.RemoveChildren(item);
    tree.SetItemData(item, nullptr);
    tree.SetItemText(item, name);
    tree.SetItemImage(item, kFolderIcon);
    ScanSums sums;
    context.source.EnterRoot(folderPath);
    ScanFolder(false, tree, item, folderPath, sums, context);
    context.source.Leave();
    if (context.Stopping())
        return;
    FinishFolder(tree, item, FileIconIndex(folderPath, true), name, sums, false);
    tree.SortChildren(item, CompareBySize, 0);
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
                                  record->folderCount, SizeUnit::InMegabytes())
                    .WithDiskBytes(record->diskBytes));
        }
        child = done.next;
    }
}

void SortAllBySize(TreeControl& tree, TreeItem item) {
    std::vector<TreeItem> pending;
    for (TreeItem child = tree.GetChild(item); child != TreeItem::None;
         child = tree.GetNextItem(child))
        pending.push_back(child);
    while (!pending.empty()) {
        TreeItem parent = pending.back();
        pending.pop_back();
        TreeItem first = tree.GetChild(parent);
        if (first == TreeItem::None)
            continue;
        tree.SortChildren(parent, CompareBySize, 0);
        for (TreeItem child = tree.GetChild(parent); child != TreeItem::None;
             child = tree.GetNextItem(child))
            pending.push_back(child);
    }
}

}  // namespace FolderTree
