// The item operations of the folder tree, as the scan and the relabelling issue them.
// ItemStore carries them out directly; the window puts a queue in front of the store so that
// a scan thread can issue them without waiting for the user interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tree/FolderRecord.h"
#include "tree/ItemLabel.h"

// An item handle. Handles are never reused, so a handle kept after its item was deleted
// simply names nothing. TreeItem::None is "no item" and, as a parent, the top level.
enum class TreeItem : std::uint64_t { None = 0 };

enum class InsertAt { Sorted, Last };

// Comparison for SortChildren: negative when a goes first. Either record may be null.
using ItemCompare = int (*)(const FolderRecord* a, const FolderRecord* b, std::intptr_t context);

class TreeControl {
  public:
    virtual ~TreeControl() = default;

    // Inserts an item without a record under parent (None: the top level). Sorted finds its
    // place among the siblings' labels by binary search (CompareLabels, after equal ones),
    // as a file manager orders names. image is an icon index from 0 to 255.
    virtual TreeItem InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) = 0;
    virtual void SetItemText(TreeItem item, ItemLabel text) = 0;
    // Changes the icon index an item was inserted with.
    virtual void SetItemImage(TreeItem item, int image) = 0;
    // Attaches record (may be null), freeing the item's previous record.
    virtual void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) = 0;
    // A copy of the item's record, or nothing for an item without one (or no such item).
    // A copy, because the caller may be another thread than the one that frees records.
    virtual std::optional<FolderRecord> GetItemData(TreeItem item) = 0;
    // The same with an empty path, for callers that need the name and figures only: a path
    // costs as much as the item's depth to spell out.
    virtual std::optional<FolderRecord> GetItemDataWithoutPath(TreeItem item) = 0;
    virtual void Expand(TreeItem item, bool expand) = 0;

    virtual TreeItem GetChild(TreeItem item) = 0;     // first child; of None: first root
    virtual TreeItem GetNextItem(TreeItem item) = 0;  // next sibling
    virtual TreeItem GetParent(TreeItem item) = 0;    // None for a root
    virtual TreeItem GetSelection() = 0;
    virtual void Select(TreeItem item) = 0;  // None clears the selection

    // Orders the direct children of parent by their records; the sort does not descend.
    virtual void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) = 0;
    // Frees the item's record, then deletes the item with everything below it.
    virtual void DeleteItem(TreeItem item) = 0;
    // Frees the records of the whole subtree below item, then deletes item's children.
    // item keeps its own record. Returns true.
    virtual bool RemoveChildren(TreeItem item) = 0;
    // Frees the records of the whole subtree below item; the items stay.
    virtual void ClearSubtreeData(TreeItem item) = 0;

    // Schedules a repaint of the tree window; nothing to do without a window.
    virtual void RefreshTree() {}
    // Repaints the detail panel after a progress update; nothing to do without a window.
    virtual void RefreshPanel() {}
};
