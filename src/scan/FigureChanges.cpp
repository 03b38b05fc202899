// Changing the figures of a folder and its ancestors in place.
#include "scan/FigureChanges.h"

#include <utility>

#include "scan/SizeUnit.h"

namespace FigureChanges {
namespace {

std::uint64_t Added(std::uint64_t value, std::int64_t change) {
    if (change >= 0)
        return SaturatingAdd(value, static_cast<std::uint64_t>(change));
    const auto taken = static_cast<std::uint64_t>(-(change + 1)) + 1;
    return value > taken ? value - taken : 0;
}

// The item's record with its path left to follow from its place, as the scan attaches it.
FolderRecord Placed(ItemStore& tree, TreeItem item, FolderRecord record) {
    if (tree.GetParent(item) == TreeItem::None)
        return record;  // a root names its path
    record.path.clear();
    record.pathOrigin = record.isFilesEntry ? PathOrigin::ParentFolder : PathOrigin::ItemFolder;
    return record;
}

// Attaches record to item and writes its label in the form the label has.
void Show(ItemStore& tree, TreeItem item, FolderRecord record) {
    const ItemNode* node = tree.Node(item);
    if (!node)
        return;
    const bool megabytes = SizeUnit::InMegabytes();
    ItemLabel label;
    switch (node->Form()) {
        case LabelForm::FilesOfFolder:
        case LabelForm::FilesOfRoot:
            label = ItemLabel::FilesEntry(record.totalBytes, node->Form() == LabelForm::FilesOfRoot,
                                          megabytes)
                        .WithDiskBytes(record.diskBytes);
            break;
        case LabelForm::Folder:
            label = ItemLabel::Folder(record.name, record.totalBytes, record.fileCount,
                                      record.folderCount, megabytes)
                        .WithDiskBytes(record.diskBytes);
            break;
        case LabelForm::Text:
            label = node->Text();
            break;
    }
    record = Placed(tree, item, std::move(record));
    tree.SetItemText(item, std::move(label));
    tree.SetItemData(item, std::make_unique<FolderRecord>(std::move(record)));
}

void Change(ItemStore& tree, TreeItem item, const FigureChange& change) {
    std::optional<FolderRecord> record = tree.GetItemData(item);
    if (!record)
        return;
    record->totalBytes = Added(record->totalBytes, change.bytes);
    record->diskBytes = Added(record->diskBytes, change.diskBytes);
    record->fileCount = SaturatingAdd(record->fileCount, change.files);
    record->folderCount = SaturatingAdd(record->folderCount, change.folders);
    Show(tree, item, std::move(*record));
}

}  // namespace

FigureChange Without(const FolderRecord& folder) {
    return {-static_cast<std::int64_t>(folder.totalBytes),
            -static_cast<std::int64_t>(folder.diskBytes), -std::int64_t{folder.fileCount},
            -(std::int64_t{folder.folderCount} + 1)};
}

FigureChange Between(const FolderRecord& before, const FolderRecord& after) {
    return {static_cast<std::int64_t>(after.totalBytes - before.totalBytes),
            static_cast<std::int64_t>(after.diskBytes - before.diskBytes),
            std::int64_t{after.fileCount} - before.fileCount,
            std::int64_t{after.folderCount} - before.folderCount};
}

void AddUpward(ItemStore& tree, TreeItem from, const FigureChange& change) {
    for (TreeItem item = from; item != TreeItem::None;) {
        Change(tree, item, change);
        TreeItem parent = tree.GetParent(item);
        if (parent != TreeItem::None)
            tree.SortChildren(parent, FolderTree::CompareBySize, 0);
        item = parent;
    }
}

void RemoveFile(ItemStore& tree, TreeItem folder, std::uint64_t size, std::uint64_t sizeOnDisk) {
    const FigureChange change{-static_cast<std::int64_t>(size),
                              -static_cast<std::int64_t>(sizeOnDisk), -1, 0};
    for (TreeItem child = tree.GetChild(folder); child != TreeItem::None;
         child = tree.GetNextItem(child)) {
        const ItemNode* node = tree.Node(child);
        if (!node->HasRecord() || !node->IsFilesEntry())
            continue;
        std::optional<FolderRecord> files = tree.GetItemData(child);
        files->totalBytes = files->filesBytes = Added(files->totalBytes, change.bytes);
        files->diskBytes = Added(files->diskBytes, change.diskBytes);
        files->fileCount = SaturatingAdd(files->fileCount, change.files);
        Show(tree, child, std::move(*files));
        tree.SortChildren(folder, FolderTree::CompareBySize, 0);
        break;
    }
    if (std::optional<FolderRecord> record = tree.GetItemData(folder)) {
        record->filesBytes = Added(record->filesBytes, change.bytes);
        Show(tree, folder, std::move(*record));
    }
    AddUpward(tree, folder, change);
}

}  // namespace FigureChanges
