// A producer's tree operations, turned into queue operations.
#include "ui/ScanLane.h"

#include "ui/ScanQueue.h"

template <typename Result>
Result ScanLane::AskStore(Result (ItemStore::*read)(TreeItem), TreeItem item) {
    Result result{};
    queue_.Ask([&](ItemStore& store) { result = (store.*read)(item); });
    return result;
}

TreeItem ScanLane::InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) {
    TreeItem id = queue_.store_.ReserveItem();
    queue_.Push({QueueOp::Insert{id, std::move(text), image, parent, where}, dropped_});
    return id;
}

void ScanLane::SetItemText(TreeItem item, ItemLabel text) {
    queue_.Push({QueueOp::SetText{item, std::move(text)}, dropped_});
}

void ScanLane::SetItemImage(TreeItem item, int image) {
    queue_.Push({QueueOp::SetImage{item, image}, dropped_});
}

void ScanLane::SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) {
    queue_.Push({QueueOp::SetData{item, std::move(record)}, dropped_});
}

void ScanLane::Expand(TreeItem item, bool expand) {
    queue_.Push({QueueOp::ExpandItem{item, expand}, dropped_});
}

void ScanLane::Select(TreeItem item) {
    queue_.Push({QueueOp::SelectItem{item}, dropped_});
}

void ScanLane::SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) {
    queue_.Push({QueueOp::Sort{parent, compare, context}, dropped_});
}

void ScanLane::DeleteItem(TreeItem item) {
    queue_.Push({QueueOp::Delete{item}, dropped_});
}

bool ScanLane::RemoveChildren(TreeItem item) {
    queue_.Push({QueueOp::RemoveBelow{item}, dropped_});
    return true;
}

void ScanLane::ClearSubtreeData(TreeItem item) {
    queue_.Push({QueueOp::ClearBelow{item}, dropped_});
}

void ScanLane::RefreshTree() {
    // Nothing to do: the view repaints the rows the model's signals name.
}

void ScanLane::RefreshPanel() {
    queue_.refreshPanel_.store(true, std::memory_order_relaxed);
}

TreeItem ScanLane::GetSelection() {
    return queue_.store_.Selection();
}

std::optional<FolderRecord> ScanLane::GetItemData(TreeItem item) {
    return AskStore(&ItemStore::GetItemData, item);
}

std::optional<FolderRecord> ScanLane::GetItemDataWithoutPath(TreeItem item) {
    return AskStore(&ItemStore::GetItemDataWithoutPath, item);
}

TreeItem ScanLane::GetChild(TreeItem item) {
    return AskStore(&ItemStore::GetChild, item);
}

TreeItem ScanLane::GetNextItem(TreeItem item) {
    return AskStore(&ItemStore::GetNextItem, item);
}

TreeItem ScanLane::GetParent(TreeItem item) {
    return AskStore(&ItemStore::GetParent, item);
}
