// The folder tree's items: text, icon index, one owned record, parent and ordered children.
// This is the model's only structure. It carries out the TreeControl operations directly
// and is owned by one thread (the user-interface thread in the window); only
// ReserveItem() and the selection may be used from other threads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tree/ItemIndex.h"
#include "tree/TreeControl.h"

struct ItemNode {
    TreeItem id = TreeItem::None;
    ItemNode* parent = nullptr;  // null only for the hidden top-level node
    std::vector<std::unique_ptr<ItemNode>> children;
    std::string text;
    std::unique_ptr<FolderRecord> record;
    int image = 0;
    bool expanded = false;

    // Position among the parent's children. Rows are renumbered when first read after an
    // insertion or removal, not at once: a folder with many sub-folders gets them inserted
    // one by one in name order, and renumbering every later sibling each time would make
    // its scan quadratic.
    std::uint32_t Row() const {
        if (parent && parent->staleRowsFrom < parent->children.size())
            parent->RenumberChildren();
        return row_;
    }
    // Rows from this one on may be wrong until the next Row().
    void ChildRowsChangedFrom(std::uint32_t first) {
        staleRowsFrom = std::min(staleRowsFrom, first);
    }

  private:
    void RenumberChildren() const {
        for (std::uint32_t row = staleRowsFrom; row < children.size(); ++row)
            children[row]->row_ = row;
        staleRowsFrom = UINT32_MAX;
    }

    mutable std::uint32_t row_ = 0;
    mutable std::uint32_t staleRowsFrom = UINT32_MAX;
};

// Told about every change, so that a view can follow. Called on the owning thread, before
// and after each change, like QAbstractItemModel's begin/end pairs.
class ItemStoreListener {
  public:
    virtual ~ItemStoreListener() = default;
    virtual void BeginInsert(const ItemNode& parent, int row) = 0;
    virtual void EndInsert() = 0;
    virtual void BeginRemove(const ItemNode& parent, int first, int last) = 0;
    virtual void EndRemove() = 0;
    virtual void BeginReorder(const ItemNode& parent) = 0;
    virtual void EndReorder(const ItemNode& parent) = 0;
    virtual void ItemChanged(const ItemNode& item) = 0;  // text or record
    virtual void ExpandChanged(const ItemNode& item) = 0;
    virtual void SelectionChanged(TreeItem selected) = 0;
};

// Orders labels as a file manager lists names: ASCII case ignored, then plain byte order.
int CompareLabels(const std::string& a, const std::string& b);

class ItemStore : public TreeControl {
  public:
    ItemStore();
    ~ItemStore() override;
    ItemStore(const ItemStore&) = delete;
    ItemStore& operator=(const ItemStore&) = delete;

    void SetListener(ItemStoreListener* listener) { listener_ = listener; }

    // A fresh handle for an item that InsertItemAs() will create; safe from any thread.
    TreeItem ReserveItem();
    // Inserts an item under a handle from ReserveItem(). Does nothing when the parent no
    // longer exists (it was deleted after the handle was given out).
    void InsertItemAs(TreeItem id, std::string text, int image, TreeItem parent, InsertAt where);

    TreeItem InsertItem(std::string text, int image, TreeItem parent, InsertAt where) override;
    void SetItemText(TreeItem item, std::string text) override;
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override;
    std::optional<FolderRecord> GetItemData(TreeItem item) override;
    void Expand(TreeItem item, bool expand) override;
    TreeItem GetChild(TreeItem item) override;
    TreeItem GetNextItem(TreeItem item) override;
    TreeItem GetParent(TreeItem item) override;
    TreeItem GetSelection() override { return Selection(); }
    void Select(TreeItem item) override;
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override;
    void DeleteItem(TreeItem item) override;
    bool RemoveChildren(TreeItem item) override;
    void ClearSubtreeData(TreeItem item) override;

    // Readers for the owning thread. Node(None) is the hidden top-level node.
    const ItemNode* Node(TreeItem item) const;
    const FolderRecord* Record(TreeItem item) const;
    const ItemNode& Top() const { return top_; }
    TreeItem Selection() const {
        return static_cast<TreeItem>(selected_.load(std::memory_order_acquire));
    }
    std::size_t ItemCount() const { return index_.Size(); }

  private:
    ItemNode* Find(TreeItem item);
    void ForgetSubtree(const ItemNode& node);
    static void ClearRecordsBelow(ItemNode& node);
    void RemoveRows(ItemNode& parent, std::uint32_t first, std::uint32_t last);

    ItemNode top_;
    ItemIndex index_;
    std::atomic<std::uint64_t> nextId_{1};
    std::atomic<std::uint64_t> selected_{0};
    ItemStoreListener* listener_ = nullptr;
};
