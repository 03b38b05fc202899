// The tree operations one producer issues into a ScanQueue. Each scan has a lane of its own,
// with a flag that drops its changes to the tree once a newer scan of the same folder has
// begun, so that a stopped scan still unwinding never touches the new one's items. The
// queue itself is the lane of everything else, whose changes are never dropped.
#pragma once

#include <atomic>

#include "tree/TreeControl.h"

class ItemStore;
class ScanQueue;

class ScanLane : public TreeControl {
  public:
    // queue must outlive the lane; *dropped (may be null: never) must outlive every operation
    // the lane queues. From any thread; see ScanQueue for what each operation does.
    ScanLane(ScanQueue& queue, const std::atomic<bool>* dropped)
        : queue_(queue), dropped_(dropped) {}

    TreeItem InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) override;
    void SetItemText(TreeItem item, ItemLabel text) override;
    void SetItemImage(TreeItem item, int image) override;
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override;
    std::optional<FolderRecord> GetItemData(TreeItem item) override;
    std::optional<FolderRecord> GetItemDataWithoutPath(TreeItem item) override;
    void Expand(TreeItem item, bool expand) override;
    TreeItem GetChild(TreeItem item) override;
    TreeItem GetNextItem(TreeItem item) override;
    TreeItem GetParent(TreeItem item) override;
    TreeItem GetSelection() override;
    void Select(TreeItem item) override;
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override;
    void DeleteItem(TreeItem item) override;
    bool RemoveChildren(TreeItem item) override;
    void ClearSubtreeData(TreeItem item) override;
    void RefreshTree() override;
    void RefreshPanel() override;

  private:
    // One of the store's item readers, answered on the queue's owner thread.
    template <typename Result>
    Result AskStore(Result (ItemStore::*read)(TreeItem), TreeItem item);

    ScanQueue& queue_;
    const std::atomic<bool>* dropped_;
};
