// The children of one item, in order, for any number of them. Up to kSmall children live
// in one array. Above that they live in blocks of at most kBlock, with a Fenwick tree of
// the block sizes: finding the child at a row and inserting at a row cost a logarithm of
// the number of siblings, finding a child's row a search of its block, so a folder with a
// million sub-folders fills in n log n, not n squared. Nothing is renumbered: a child
// knows its block, not its row. Each block keeps, beside every
// child, the first bytes of its label, so that the binary search of a sorted insertion
// rarely has to look at the children themselves (scattered in memory, each look a cache
// miss).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class ItemNode;
struct ChildBlock;

// A child in a block of a long list, beside the first bytes of its label (LabelKey).
struct ChildSlot {
    ItemNode* node;
    std::uint64_t key;
};

// The first eight bytes of a label, ASCII case folded, as one number that orders like the
// bytes (zeros past the end). Two labels whose keys differ compare as their keys do.
std::uint64_t LabelKey(std::string_view label);

class ChildList {
  public:
    ChildList() = default;
    ~ChildList();  // frees the list's storage; the children belong to the store
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;

    // The block a search looked at last: rows start to end of the list are in it. Valid
    // until the list changes.
    struct Cursor {
        const ChildSlot* blockSlots = nullptr;  // the slots of that block
        std::size_t start = 0;
        std::size_t end = 0;
    };

    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    ItemNode* At(std::size_t row) const;
    // The same, starting from where cursor was left: reading rows near each other (a view
    // laying out a folder's rows) costs a step each instead of a logarithm.
    ItemNode* At(std::size_t row, Cursor& cursor) const;
    ItemNode* Front() const { return size_ ? At(0) : nullptr; }
    // The row of child, which must be in this list.
    std::uint32_t RowOf(const ItemNode& child) const;

    // Puts child at row (0 to Size()); key is LabelKey of its label.
    void Insert(std::size_t row, ItemNode* child, std::uint64_t key);
    // child's label changed: key is LabelKey of the new one.
    void Rekey(const ItemNode& child, std::uint64_t key);
    // Takes rows first to last (inclusive) out, in order; the caller owns them then.
    std::vector<ItemNode*> Take(std::size_t first, std::size_t last);
    // The children in order.
    std::vector<ItemNode*> Flatten() const;
    // Replaces the children by these, in this order.
    void Assign(const std::vector<ItemNode*>& children);

    // Where std::upper_bound would put a label among the children, probing the same rows
    // in the same order. key is LabelKey(label); labelBefore(child) tells whether the label
    // sorts before child's, and is asked only when the keys cannot tell.
    template <typename LabelBefore>
    std::size_t UpperBound(std::uint64_t key, LabelBefore labelBefore) const {
        Cursor cursor;
        std::size_t first = 0;
        std::size_t length = size_;
        while (length > 0) {
            std::size_t half = length >> 1;
            std::size_t middle = first + half;
            if (Before(middle, key, labelBefore, cursor)) {
                length = half;
            } else {
                first = middle + 1;
                length = length - half - 1;
            }
        }
        return first;
    }

    class Iterator {
      public:
        Iterator(const ChildList& list, std::size_t row) : list_(&list), row_(row) {}
        const ItemNode& operator*() const { return *list_->At(row_); }
        const ItemNode* operator->() const { return list_->At(row_); }
        Iterator& operator++() {
            ++row_;
            return *this;
        }
        bool operator!=(const Iterator& other) const { return row_ != other.row_; }

      private:
        const ChildList* list_;
        std::size_t row_;
    };
    Iterator begin() const { return Iterator(*this, 0); }
    Iterator end() const { return Iterator(*this, size_); }

    static constexpr std::uint32_t kSmall = 64;
    static constexpr std::size_t kBlock = 256;

  private:
    struct Blocks;

    template <typename LabelBefore>
    bool Before(std::size_t row, std::uint64_t key, LabelBefore& labelBefore,
                Cursor& cursor) const {
        if (!IsBig())
            return labelBefore(*Small()[row]);
        std::uint64_t childKey;
        ItemNode* child = BigAt(row, childKey, cursor);
        if (childKey != key)
            return key < childKey;
        return labelBefore(*child);
    }

    bool IsBig() const { return capacity_ == kBigMode; }
    ItemNode** Small() const { return static_cast<ItemNode**>(storage_); }
    Blocks& Big() const { return *static_cast<Blocks*>(storage_); }
    ItemNode* BigAt(std::size_t row, std::uint64_t& key, Cursor& cursor) const;
    void InsertSmall(std::size_t row, ItemNode* child);
    void Release();

    static constexpr std::uint32_t kBigMode = UINT32_MAX;

    void* storage_ = nullptr;  // small: the array; big: the Blocks
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;  // of the small array, or kBigMode
};
