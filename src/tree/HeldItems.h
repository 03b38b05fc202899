// The insertions of a batch that the item store's listener has not been told about yet, the
// children of an item as the listener knows them meanwhile, and how the held items are
// announced: a few runs of adjacent rows one by one, many of them as one run appended after
// the parent's other children followed by one reorder. See ItemStore::BeginBatch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tree/ChildList.h"

class ItemNode;
class ItemStoreListener;

class HeldItems {
  public:
    // Whether any item is held, under any parent.
    bool Empty() const { return below_.empty() && inside_.empty(); }
    bool Holds(const ItemNode& parent) const { return below_.count(&parent) != 0; }

    // child, just inserted under parent (which the listener knows), is held back.
    void Hold(ItemNode& parent, ItemNode& child);
    // child, just inserted below a held item, comes with that item.
    void HoldInside(ItemNode& child);
    // Children were inserted under parent, taken out or reordered: the held rows have
    // moved.
    void RowsMoved(const ItemNode& parent);

    // Announces what is held under parent, then forgets it; the listener is told as the
    // class comment says.
    void Announce(ItemNode& parent, ItemStoreListener& listener);
    // Announces what is held under every parent, in the order their first item was held,
    // and then takes back the items that came inside them.
    void AnnounceAll(ItemStoreListener& listener);
    // Forgets everything held without telling anyone; every item counts as announced.
    void Forget();

    // The children of parent as the listener knows them: without the held ones, or with
    // them after the others while they are being announced.
    std::size_t ShownCount(const ItemNode& parent) const;
    const ItemNode* ShownChild(const ItemNode& parent, std::size_t row) const;
    std::size_t ShownRow(const ItemNode& child) const;

  private:
    struct Below {
        std::vector<ItemNode*> items;             // in the order they were inserted
        std::size_t count = 0;                    // of items, those not announced yet
        bool appended = false;                    // being announced: shown after the other children
        mutable std::vector<std::uint32_t> rows;  // real rows of the unannounced, ascending
        mutable bool rowsKnown = false;
    };

    const Below* Find(const ItemNode& parent) const;
    void AnnounceBelow(ItemNode& parent, ItemStoreListener& listener);
    static bool AtTheEnd(const ItemNode& parent, const Below& below);
    const std::vector<std::uint32_t>& Rows(const Below& below) const;
    void AnnounceRuns(ItemNode& parent, Below& below, ItemStoreListener& listener);
    void AnnounceAppended(ItemNode& parent, Below& below, ItemStoreListener& listener);

    std::unordered_map<const ItemNode*, Below> below_;
    std::vector<ItemNode*> parents_;  // of below_, in the order their first item was held
    std::vector<ItemNode*> inside_;   // held because they lie below a held item
    // Where ShownChild read last, so that reading the rows of a list in order is cheap;
    // forgotten at every change of any list.
    mutable const ChildList* readList_ = nullptr;
    mutable ChildList::Cursor readCursor_;
};
