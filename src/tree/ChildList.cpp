// The ordered children of an item: a numbered array while small, blocks with a Fenwick tree
// of their sizes and a key per child once large.
#include "tree/ChildList.h"

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>

#include "tree/ItemStore.h"

namespace {

unsigned char FoldCase(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

std::uint64_t KeyOf(const ItemNode& node) {
    return node.Key();
}

}  // namespace

std::uint64_t LabelKey(std::string_view label) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        unsigned char c = i < label.size() ? FoldCase(static_cast<unsigned char>(label[i])) : 0;
        key = (key << 8) | c;
    }
    return key;
}

struct ChildBlock {
    using Slot = ChildSlot;
    std::vector<Slot> slots;
    std::size_t index = 0;  // among the list's blocks

    // Tells the children from `from` on which block they are in. Their places in it are
    // not kept: a block is short enough to search.
    void Claim(std::size_t from) {
        for (std::size_t i = from; i < slots.size(); ++i)
            slots[i].node->block_ = this;
    }
    std::size_t SlotOf(const ItemNode& node) const {
        std::size_t slot = 0;
        while (slots[slot].node != &node)
            ++slot;
        return slot;
    }
};

struct ChildList::Blocks {
    std::vector<std::unique_ptr<ChildBlock>> blocks;
    std::vector<std::size_t> fenwick;  // 1-based sums over the block sizes
    // Each block's slots and their number, side by side, so that a binary search finds a
    // row's slot without reading the block itself (one cache miss less a probe). A block's
    // slots never move: it holds room for kBlock + 1 from the start.
    std::vector<const ChildBlock::Slot*> slots;
    std::vector<std::uint32_t> sizes;

    void Rebuild() {
        fenwick.assign(blocks.size() + 1, 0);
        slots.resize(blocks.size());
        sizes.resize(blocks.size());
        for (std::size_t i = 1; i <= blocks.size(); ++i) {
            blocks[i - 1]->index = i - 1;
            slots[i - 1] = blocks[i - 1]->slots.data();
            sizes[i - 1] = static_cast<std::uint32_t>(blocks[i - 1]->slots.size());
            fenwick[i] += blocks[i - 1]->slots.size();
            std::size_t parent = i + (i & (~i + 1));
            if (parent <= blocks.size())
                fenwick[parent] += fenwick[i];
        }
    }
    void Add(std::size_t block, std::size_t amount) {
        sizes[block] += static_cast<std::uint32_t>(amount);
        for (std::size_t i = block + 1; i < fenwick.size(); i += i & (~i + 1))
            fenwick[i] += amount;
    }
    // Rows in the blocks before this one.
    std::size_t Before(std::size_t block) const {
        std::size_t rows = 0;
        for (std::size_t i = block; i > 0; i -= i & (~i + 1))
            rows += fenwick[i];
        return rows;
    }
    // The block holding row, and the row's place in it.
    std::pair<std::size_t, std::size_t> Locate(std::size_t row) const {
        std::size_t block = 0;
        std::size_t step = 1;
        while (step * 2 < fenwick.size())
            step *= 2;
        for (; step > 0; step /= 2) {
            if (block + step < fenwick.size() && fenwick[block + step] <= row) {
                block += step;
                row -= fenwick[block];
            }
        }
        return {block, row};
    }
    // Fills the blocks from children, each half full, so that insertions find room.
    void Fill(const std::vector<ItemNode*>& children) {
        blocks.clear();
        for (std::size_t at = 0; at < children.size(); at += kBlock / 2) {
            auto block = std::make_unique<ChildBlock>();
            std::size_t end = std::min(children.size(), at + kBlock / 2);
            block->slots.reserve(kBlock + 1);
            for (std::size_t i = at; i < end; ++i)
                block->slots.push_back({children[i], KeyOf(*children[i])});
            block->Claim(0);
            blocks.push_back(std::move(block));
        }
        Rebuild();
    }
};

ChildList::~ChildList() {
    Release();
}

void ChildList::Release() {
    if (IsBig())
        delete &Big();
    else
        delete[] Small();
    storage_ = nullptr;
    size_ = 0;
    capacity_ = 0;
}

ItemNode* ChildList::At(std::size_t row) const {
    if (!IsBig())
        return Small()[row];
    std::uint64_t key;
    Cursor cursor;
    return BigAt(row, key, cursor);
}

ItemNode* ChildList::At(std::size_t row, Cursor& cursor) const {
    if (!IsBig())
        return Small()[row];
    std::uint64_t key;
    return BigAt(row, key, cursor);
}

ItemNode* ChildList::BigAt(std::size_t row, std::uint64_t& key, Cursor& cursor) const {
    if (row < cursor.start || row >= cursor.end) {
        const Blocks& big = Big();
        auto [block, offset] = big.Locate(row);
        cursor.blockSlots = big.slots[block];
        cursor.start = row - offset;
        cursor.end = cursor.start + big.sizes[block];
    }
    const ChildBlock::Slot& slot = cursor.blockSlots[row - cursor.start];
    key = slot.key;
    return slot.node;
}

std::uint32_t ChildList::RowOf(const ItemNode& child) const {
    if (!IsBig())
        return static_cast<std::uint32_t>(std::find(Small(), Small() + size_, &child) - Small());
    const ChildBlock& block = *child.block_;
    return static_cast<std::uint32_t>(Big().Before(block.index) + block.SlotOf(child));
}

void ChildList::Rekey(const ItemNode& child, std::uint64_t key) {
    if (IsBig())
        child.block_->slots[child.block_->SlotOf(child)].key = key;
}

void ChildList::Insert(std::size_t row, ItemNode* child, std::uint64_t key) {
    if (!IsBig() && size_ < kSmall) {
        InsertSmall(row, child);
        return;
    }
    if (!IsBig()) {
        std::vector<ItemNode*> all = Flatten();
        all.insert(all.begin() + static_cast<std::ptrdiff_t>(row), child);
        Assign(all);
        return;
    }
    Blocks& big = Big();
    std::size_t block = big.blocks.size() - 1;
    std::size_t offset = big.blocks[block]->slots.size();
    if (row < size_)
        std::tie(block, offset) = big.Locate(row);
    ChildBlock& target = *big.blocks[block];
    target.slots.insert(target.slots.begin() + static_cast<std::ptrdiff_t>(offset), {child, key});
    child->block_ = &target;
    ++size_;
    if (target.slots.size() <= kBlock) {
        big.Add(block, 1);
        return;
    }
    auto upper = std::make_unique<ChildBlock>();
    upper->slots.reserve(kBlock + 1);
    upper->slots.assign(target.slots.begin() + kBlock / 2, target.slots.end());
    target.slots.resize(kBlock / 2);
    upper->Claim(0);
    big.blocks.insert(big.blocks.begin() + static_cast<std::ptrdiff_t>(block) + 1,
                      std::move(upper));
    big.Rebuild();
}

void ChildList::InsertSmall(std::size_t row, ItemNode* child) {
    if (size_ == capacity_) {
        std::uint32_t capacity = capacity_ ? capacity_ * 2 : 2;
        auto* grown = new ItemNode*[capacity];
        std::copy(Small(), Small() + size_, grown);
        delete[] Small();
        storage_ = grown;
        capacity_ = capacity;
    }
    ItemNode** items = Small();
    std::copy_backward(items + row, items + size_, items + size_ + 1);
    items[row] = child;
    ++size_;
    child->block_ = nullptr;
}

std::vector<ItemNode*> ChildList::Flatten() const {
    if (!IsBig())
        return std::vector<ItemNode*>(Small(), Small() + size_);
    std::vector<ItemNode*> all;
    all.reserve(size_);
    for (const auto& block : Big().blocks) {
        for (const ChildBlock::Slot& slot : block->slots)
            all.push_back(slot.node);
    }
    return all;
}

void ChildList::Assign(const std::vector<ItemNode*>& children) {
    Release();
    size_ = static_cast<std::uint32_t>(children.size());
    if (children.size() <= kSmall) {
        if (children.empty())
            return;
        capacity_ = size_;
        storage_ = new ItemNode*[capacity_];
        std::copy(children.begin(), children.end(), Small());
        for (std::size_t i = 0; i < size_; ++i)
            Small()[i]->block_ = nullptr;
        return;
    }
    auto big = std::make_unique<Blocks>();
    big->Fill(children);
    storage_ = big.release();
    capacity_ = kBigMode;
}

std::vector<ItemNode*> ChildList::Take(std::size_t first, std::size_t last) {
    std::vector<ItemNode*> all = Flatten();
    auto from = all.begin() + static_cast<std::ptrdiff_t>(first);
    auto to = all.begin() + static_cast<std::ptrdiff_t>(last) + 1;
    std::vector<ItemNode*> taken(from, to);
    all.erase(from, to);
    Assign(all);
    for (ItemNode* node : taken)
        node->block_ = nullptr;
    return taken;
}
