// Held insertions: the rows the listener knows while items are held, and their announcement.
#include "tree/HeldItems.h"

#include <algorithm>

#include "tree/ItemStore.h"

namespace {

// Up to this many runs of adjacent rows are announced one by one; more are appended and
// reordered, which costs a view the same whatever their number. Their rows are looked up
// only for a few items: for more, a run at the end is told apart without them.
constexpr std::size_t kFewRuns = 8;
constexpr std::size_t kFewItems = 64;

std::size_t CountRuns(const std::vector<std::uint32_t>& rows) {
    std::size_t runs = rows.empty() ? 0 : 1;
    for (std::size_t i = 1; i < rows.size(); ++i)
        runs += rows[i] != rows[i - 1] + 1;
    return runs;
}

}  // namespace

void HeldItems::Hold(ItemNode& parent, ItemNode& child) {
    child.notice_ = ItemNode::Notice::Held;
    auto [found, fresh] = below_.try_emplace(&parent);
    if (fresh)
        parents_.push_back(&parent);
    Below& below = found->second;
    below.items.push_back(&child);
    ++below.count;
    below.rowsKnown = false;
}

void HeldItems::HoldInside(ItemNode& child) {
    child.notice_ = ItemNode::Notice::InsideHeld;
    inside_.push_back(&child);
}

void HeldItems::RowsMoved(const ItemNode& parent) {
    readList_ = nullptr;
    auto found = below_.find(&parent);
    if (found != below_.end())
        found->second.rowsKnown = false;
}

const HeldItems::Below* HeldItems::Find(const ItemNode& parent) const {
    if (below_.empty())
        return nullptr;
    auto found = below_.find(&parent);
    return found == below_.end() ? nullptr : &found->second;
}

const std::vector<std::uint32_t>& HeldItems::Rows(const Below& below) const {
    if (!below.rowsKnown) {
        below.rows.clear();
        for (const ItemNode* item : below.items) {
            if (item->notice_ == ItemNode::Notice::Held)
                below.rows.push_back(item->Row());
        }
        std::sort(below.rows.begin(), below.rows.end());
        below.rowsKnown = true;
    }
    return below.rows;
}

std::size_t HeldItems::ShownCount(const ItemNode& parent) const {
    const std::size_t size = parent.Children().Size();
    const Below* below = Find(parent);
    return below && !below->appended ? size - below->count : size;
}

const ItemNode* HeldItems::ShownChild(const ItemNode& parent, std::size_t row) const {
    const ChildList& children = parent.Children();
    const Below* below = Find(parent);
    if (!below) {
        if (row >= children.Size())
            return nullptr;
        if (readList_ != &children) {
            readList_ = &children;
            readCursor_ = {};
        }
        return children.At(row, readCursor_);
    }
    const std::size_t told = children.Size() - below->count;
    if (row >= told) {
        const std::size_t at = row - told;
        return below->appended && at < below->items.size() ? below->items[at] : nullptr;
    }
    // The row-th child that is not held: skip the held rows at or before it.
    std::size_t real = row;
    for (std::uint32_t held : Rows(*below)) {
        if (held > real)
            break;
        ++real;
    }
    return children.At(real);
}

std::size_t HeldItems::ShownRow(const ItemNode& child) const {
    const ItemNode& parent = *child.Parent();
    const Below* below = Find(parent);
    if (!below)
        return child.Row();
    const std::size_t told = parent.Children().Size() - below->count;
    if (child.notice_ == ItemNode::Notice::Held) {  // shown only while appended
        auto at = std::find(below->items.begin(), below->items.end(), &child);
        return told + static_cast<std::size_t>(at - below->items.begin());
    }
    const std::vector<std::uint32_t>& rows = Rows(*below);
    const std::uint32_t real = child.Row();
    return real - static_cast<std::size_t>(std::lower_bound(rows.begin(), rows.end(), real) -
                                           rows.begin());
}

void HeldItems::Announce(ItemNode& parent, ItemStoreListener& listener) {
    auto held = std::find(parents_.begin(), parents_.end(), &parent);
    if (held == parents_.end())
        return;
    parents_.erase(held);
    AnnounceBelow(parent, listener);
}

void HeldItems::AnnounceBelow(ItemNode& parent, ItemStoreListener& listener) {
    auto found = below_.find(&parent);
    if (found == below_.end())
        return;
    Below& below = found->second;
    if (below.count <= kFewItems && CountRuns(Rows(below)) <= kFewRuns)
        AnnounceRuns(parent, below, listener);
    else
        AnnounceAppended(parent, below, listener);
}

// Whether the held items are the last children, in the order they were inserted (all of
// them inserted last, say).
bool HeldItems::AtTheEnd(const ItemNode& parent, const Below& below) {
    const ChildList& children = parent.Children();
    const std::size_t told = children.Size() - below.count;
    ChildList::Cursor cursor;
    for (std::size_t i = 0; i < below.items.size(); ++i) {
        if (children.At(told + i, cursor) != below.items[i])
            return false;
    }
    return true;
}

// Each run in ascending order: the runs before it are told by then and the ones after it
// are still held, so its real rows are the rows the listener is told.
void HeldItems::AnnounceRuns(ItemNode& parent, Below& below, ItemStoreListener& listener) {
    const std::vector<std::uint32_t> rows = Rows(below);
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t end = first + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        listener.BeginInsert(parent, static_cast<int>(rows[first]),
                             static_cast<int>(rows[end - 1]));
        for (std::size_t i = first; i < end; ++i)
            parent.children_.At(rows[i])->notice_ = ItemNode::Notice::Told;
        below.rows.assign(rows.begin() + static_cast<std::ptrdiff_t>(end), rows.end());
        below.count = rows.size() - end;
        listener.EndInsert();
        first = end;
    }
    below_.erase(&parent);
}

void HeldItems::AnnounceAppended(ItemNode& parent, Below& below, ItemStoreListener& listener) {
    const std::size_t told = parent.Children().Size() - below.count;
    const bool inPlace = AtTheEnd(parent, below);
    listener.BeginInsert(parent, static_cast<int>(told), static_cast<int>(told + below.count - 1));
    below.appended = true;
    listener.EndInsert();
    if (!inPlace)
        listener.BeginReorder(parent);
    for (ItemNode* item : below.items)
        item->notice_ = ItemNode::Notice::Told;
    below_.erase(&parent);  // from here on the real order is shown
    if (!inPlace)
        listener.EndReorder(parent);
}

void HeldItems::AnnounceAll(ItemStoreListener& listener) {
    std::vector<ItemNode*> parents;
    parents.swap(parents_);
    for (ItemNode* parent : parents)
        AnnounceBelow(*parent, listener);
    std::vector<ItemNode*> inside;
    inside.swap(inside_);
    for (ItemNode* item : inside)
        item->notice_ = ItemNode::Notice::Told;
}

void HeldItems::Forget() {
    for (auto& [parent, below] : below_) {
        for (ItemNode* item : below.items)
            item->notice_ = ItemNode::Notice::Told;
    }
    for (ItemNode* item : inside_)
        item->notice_ = ItemNode::Notice::Told;
    below_.clear();
    parents_.clear();
    inside_.clear();
}
