// The folder tree's item store and the order of labels in sorted insertion.
#include "tree/ItemStore.h"

#include <algorithm>
#include <cstring>

namespace {

unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

}  // namespace

void ItemIndex::Add(std::uint64_t id, ItemNode* node) {
    std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size())
        pages_.resize(page + 1);
    if (!pages_[page])
        pages_[page] = std::make_unique<Page>();
    ItemNode*& slot = pages_[page]->entries[id & (kPageSize - 1)];
    if (!slot) {
        ++pages_[page]->live;
        ++size_;
    }
    slot = node;
}

void ItemIndex::Remove(std::uint64_t id) {
    std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size() || !pages_[page])
        return;
    ItemNode*& slot = pages_[page]->entries[id & (kPageSize - 1)];
    if (!slot)
        return;
    slot = nullptr;
    --size_;
    if (--pages_[page]->live == 0)
        pages_[page].reset();
}

int CompareLabels(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = FoldCase(static_cast<unsigned char>(a[i]));
        unsigned char y = FoldCase(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

ItemStore::ItemStore() = default;
ItemStore::~ItemStore() = default;

TreeItem ItemStore::ReserveItem() {
    return static_cast<TreeItem>(nextId_.fetch_add(1, std::memory_order_relaxed));
}

ItemNode* ItemStore::Find(TreeItem item) {
    if (item == TreeItem::None)
        return &top_;
    return index_.Find(static_cast<std::uint64_t>(item));
}

const ItemNode* ItemStore::Node(TreeItem item) const {
    return const_cast<ItemStore*>(this)->Find(item);
}

const FolderRecord* ItemStore::Record(TreeItem item) const {
    const ItemNode* node = item == TreeItem::None ? nullptr : Node(item);
    return node ? node->record.get() : nullptr;
}

void ItemStore::InsertItemAs(TreeItem id, std::string text, int image, TreeItem parentItem,
                             InsertAt where) {
    ItemNode* parent = Find(parentItem);
    if (!parent || id == TreeItem::None || Find(id))
        return;
    auto& siblings = parent->children;
    auto position = siblings.end();
    if (where == InsertAt::Sorted) {
        position = std::upper_bound(siblings.begin(), siblings.end(), text,
                                    [](const std::string& label, const auto& sibling) {
                                        return CompareLabels(label, sibling->text) < 0;
                                    });
    }
    auto row = static_cast<std::uint32_t>(position - siblings.begin());
    auto node = std::make_unique<ItemNode>();
    node->id = id;
    node->parent = parent;
    node->text = std::move(text);
    node->image = image;
    index_.Add(static_cast<std::uint64_t>(id), node.get());
    if (listener_)
        listener_->BeginInsert(*parent, static_cast<int>(row));
    siblings.insert(position, std::move(node));
    parent->ChildRowsChangedFrom(row);
    if (listener_)
        listener_->EndInsert();
}

TreeItem ItemStore::InsertItem(std::string text, int image, TreeItem parent, InsertAt where) {
    if (!Find(parent))
        return TreeItem::None;
    TreeItem id = ReserveItem();
    InsertItemAs(id, std::move(text), image, parent, where);
    return id;
}

void ItemStore::SetItemText(TreeItem item, std::string text) {
    ItemNode* node = item == TreeItem::None ? nullptr : Find(item);
    if (!node)
        return;
    node->text = std::move(text);
    if (listener_)
        listener_->ItemChanged(*node);
}

void ItemStore::SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) {
    ItemNode* node = item == TreeItem::None ? nullptr : Find(item);
    if (!node)
        return;  // the record is freed here, as the item no longer exists
    node->record = std::move(record);
    if (listener_)
        listener_->ItemChanged(*node);
}

std::optional<FolderRecord> ItemStore::GetItemData(TreeItem item) {
    const FolderRecord* record = Record(item);
    if (!record)
        return std::nullopt;
    return *record;
}

void ItemStore::Expand(TreeItem item, bool expand) {
    ItemNode* node = item == TreeItem::None ? nullptr : Find(item);
    if (!node || node->expanded == expand)
        return;
    node->expanded = expand;
    if (listener_)
        listener_->ExpandChanged(*node);
}

TreeItem ItemStore::GetChild(TreeItem item) {
    ItemNode* node = Find(item);
    return node && !node->children.empty() ? node->children.front()->id : TreeItem::None;
}

TreeItem ItemStore::GetNextItem(TreeItem item) {
    ItemNode* node = item == TreeItem::None ? nullptr : Find(item);
    if (!node)
        return TreeItem::None;
    auto& siblings = node->parent->children;
    const std::uint32_t next = node->Row() + 1;
    return next < siblings.size() ? siblings[next]->id : TreeItem::None;
}

TreeItem ItemStore::GetParent(TreeItem item) {
    ItemNode* node = item == TreeItem::None ? nullptr : Find(item);
    return node ? node->parent->id : TreeItem::None;
}

void ItemStore::Select(TreeItem item) {
    if (item != TreeItem::None && !Find(item))
        return;
    if (Selection() == item)
        return;
    selected_.store(static_cast<std::uint64_t>(item), std::memory_order_release);
    if (listener_)
        listener_->SelectionChanged(item);
}

void ItemStore::SortChildren(TreeItem parentItem, ItemCompare compare, std::intptr_t context) {
    ItemNode* parent = Find(parentItem);
    if (!parent || parent->children.size() < 2)
        return;
    if (listener_)
        listener_->BeginReorder(*parent);
    std::stable_sort(parent->children.begin(), parent->children.end(),
                     [&](const auto& a, const auto& b) {
                         return compare(a->record.get(), b->record.get(), context) < 0;
                     });
    parent->ChildRowsChangedFrom(0);
    if (listener_)
        listener_->EndReorder(*parent);
}

void ItemStore::ForgetSubtree(const ItemNode& node) {
    for (const auto& child : node.children)
        ForgetSubtree(*child);
    index_.Remove(static_cast<std::uint64_t>(node.id));
    if (Selection() == node.id) {
        selected_.store(0, std::memory_order_release);
        if (listener_)
            listener_->SelectionChanged(TreeItem::None);
    }
}

void ItemStore::RemoveRows(ItemNode& parent, std::uint32_t first, std::uint32_t last) {
    if (listener_)
        listener_->BeginRemove(parent, static_cast<int>(first), static_cast<int>(last));
    for (std::uint32_t row = first; row <= last; ++row)
        ForgetSubtree(*parent.children[row]);
    parent.children.erase(parent.children.begin() + first, parent.children.begin() + last + 1);
    parent.ChildRowsChangedFrom(first);
    if (listener_)
        listener_->EndRemove();
}

void ItemStore::DeleteItem(TreeItem item) {
    if (item == TreeItem::None) {  // the null item stands for the whole tree
        RemoveChildren(TreeItem::None);
        return;
    }
    ItemNode* node = Find(item);
    if (!node)
        return;
    node->record.reset();
    const std::uint32_t row = node->Row();
    RemoveRows(*node->parent, row, row);
}

void ItemStore::ClearSubtreeData(TreeItem item) {
    ItemNode* node = Find(item);
    if (!node)
        return;
    for (const auto& child : node->children) {
        ClearSubtreeData(child->id);
        SetItemData(child->id, nullptr);
    }
}

void ItemStore::ClearRecordsBelow(ItemNode& node) {
    for (const auto& child : node.children) {
        ClearRecordsBelow(*child);
        child->record.reset();
    }
}

bool ItemStore::RemoveChildren(TreeItem item) {
    ItemNode* node = Find(item);
    if (!node)
        return true;
    // The same order as ClearSubtreeData, without telling a view about items it is about to lose.
    ClearRecordsBelow(*node);
    if (!node->children.empty()) {
        RemoveRows(*node, 0, static_cast<std::uint32_t>(node->children.size() - 1));
    }
    return true;
}
