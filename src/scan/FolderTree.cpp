// The recursive scan, the size order of children and relabelling.
#include "scan/FolderTree.h"

#include "scan/SizeUnit.h"

namespace FolderTree {
namespace {

// Counts are 32-bit as stored in the records; they wrap instead of overflowing.
void AddCount(std::int32_t& count, std::int64_t amount) {
    count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) +
                                      static_cast<std::uint32_t>(amount));
}

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

// Records a finished folder's figures on its item and gives it its FILES entry. A root is
// labelled and named by its path, a sub-folder by its name.
void FinishFolder(TreeControl& tree, TreeItem item, int icon, const std::string& path,
                  const std::string& name, const ScanSums& child, bool isRoot) {
    tree.SetItemText(item, name + FolderLabelSuffix(child.total, child.files, child.folders));
    TreeItem files =
        tree.InsertItem(FilesEntryLabel(child.filesOnly, isRoot), icon, item, InsertAt::Last);
    tree.SetItemData(item, FolderRecord::Full(path, name, child.total, child.filesOnly,
                                              child.folders, child.files, false));
    tree.SetItemData(files, FolderRecord::Full(path, "FILES", child.filesOnly, child.filesOnly, 0,
                                               child.directFiles, true));
}

// Shows the running figures of the folder being scanned on its item.
void ShowProgress(TreeControl& tree, TreeItem item, const std::string& workingPath,
                  const ScanSums& sums) {
    tree.SetItemText(item, workingPath + FolderLabelSuffix(sums.total, sums.files, sums.folders));
    tree.Expand(item, true);
    tree.RefreshTree();
    tree.SetItemData(item, FolderRecord::Full(workingPath, workingPath, sums.total, sums.filesOnly,
                                              sums.folders, sums.files, false));
    tree.RefreshPanel();
}

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
    SizeUnit::Snapshot unit = SizeUnit::Current();
    return "   ( " + FormatSize(bytes, unit.divisor) + " " + unit.letter +
           " , Files : " + FormatCount(files) + " , Folders : " + FormatCount(folders) + " )";
}

std::string FilesEntryLabel(std::uint64_t filesBytes, bool ofRoot) {
    SizeUnit::Snapshot unit = SizeUnit::Current();
    std::string size = FormatSize(filesBytes, unit.divisor);
    return ofRoot ? "FILES   ( " + size + " " + unit.letter + " "
                  : "FILES   ( " + size + " ) " + unit.letter + " ";
}

std::string WorkingPath(const std::string& path) {
    return !path.empty() && path.back() == '/' ? path : path + "/";
}

int CompareBySize(const FolderRecord* a, const FolderRecord* b, std::intptr_t /*sortData*/) {
    std::uint64_t sizeA = a ? a->totalBytes : 0;
    std::uint64_t sizeB = b ? b->totalBytes : 0;
    return sizeB > sizeA ? 1 : (sizeB < sizeA ? -1 : 0);
}

void ScanFolder(bool isRoot, TreeControl& tree, TreeItem parentItem, const std::string& folderPath,
                ScanSums& sums, ScanContext& context) {
    const std::string workingPath = WorkingPath(folderPath);
    FolderListing listing;
    if (!context.source.List(listing))
        return;
    CountListing(listing, context.counters);

    bool first = true;
    for (const FolderEntry& entry : listing.entries) {
        if (!first && Stopping())
            break;
        first = false;
        std::uint64_t size = entry.compressed ? entry.sizeOnDisk : entry.size;
        sums.total += size;
        std::string_view name = listing.Name(entry);
        if (!IsScannedName(name))
            continue;
        if (!entry.isDirectory) {
            AddCount(sums.files, 1);
            sums.filesOnly += size;
            AddCount(sums.directFiles, 1);
            continue;
        }
        if (Stopping())
            continue;

        ScanSums child;
        std::string childPath = workingPath;
        childPath.append(name);
        int icon = FileIconIndex(childPath, true);
        TreeItem item = tree.InsertItem(std::string(name), icon, parentItem, InsertAt::Sorted);
        tree.RefreshTree();
        context.source.Enter(name);
        ScanFolder(false, tree, item, childPath, child, context);
        context.source.Leave();
        if (Stopping())
            continue;

        FinishFolder(tree, item, icon, childPath, std::string(name), child, false);
        sums.total += child.total;
        AddCount(sums.files, child.files);
        AddCount(sums.folders, static_cast<std::int64_t>(child.folders) + 1);
        if (isRoot || parentItem == tree.GetSelection()) {
            ShowProgress(tree, parentItem, workingPath, sums);
        }
        tree.SortChildren(item, CompareBySize, 0);
        tree.RefreshTree();
    }
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

    FinishFolder(tree, root, icon, rootPath, rootPath, sums, true);
    tree.SortChildren(root, CompareBySize, 0);

    TreeItem selected = tree.GetSelection();
    bool keep = selected != TreeItem::None && IsAtOrBelow(tree, selected, root);
    tree.Select(TreeItem::None);
    tree.Select(keep ? selected : root);
}

void Relabel(TreeControl& tree, TreeItem item) {
    TreeItem child = tree.GetChild(item);
    while (child != TreeItem::None) {
        TreeItem next = tree.GetNextItem(child);
        Relabel(tree, child);
        if (std::optional<FolderRecord> record = tree.GetItemData(child)) {
            tree.SetItemText(child,
                             record->name + FolderLabelSuffix(record->totalBytes, record->fileCount,
                                                              record->folderCount));
        }
        child = next;
    }
}

}  // namespace FolderTree
