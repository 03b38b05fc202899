// Finds the items of the store by handle. Handles are handed out in increasing order, so
// the index is a list of fixed-size pages of entries: finding, adding and removing take the
// same time at any size, and a growing tree never makes the index move all its entries at
// once (a hash table's rehash of a million items would stall the user interface). A page
// is freed when its last item goes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct ItemNode;

class ItemIndex {
  public:
    // The item with handle id, or null.
    ItemNode* Find(std::uint64_t id) const {
        std::size_t page = static_cast<std::size_t>(id >> kPageBits);
        if (page >= pages_.size() || !pages_[page])
            return nullptr;
        return pages_[page]->entries[id & (kPageSize - 1)];
    }
    // Records node under id, which must not be in use.
    void Add(std::uint64_t id, ItemNode* node);
    // Forgets id; nothing happens when it is not in use.
    void Remove(std::uint64_t id);
    std::size_t Size() const { return size_; }

  private:
    static constexpr unsigned kPageBits = 12;
    static constexpr std::size_t kPageSize = std::size_t{1} << kPageBits;
    struct Page {
        std::array<ItemNode*, kPageSize> entries{};
        std::size_t live = 0;
    };

    std::vector<std::unique_ptr<Page>> pages_;
    std::size_t size_ = 0;
};
