// A folder tree compared with an earlier scan of it: each item of one root of the store is
// matched by its path below the root with a folder of a FolderSummary, and the folders of
// the summary that have no item are found. The match goes a bounded number of items at a
// time, so that the window can spread it over passes of its event loop. The comparison is
// kept beside the tree, in a table of its own indexed by item handle; the items are not
// touched.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/ComparedFigure.h"
#include "compare/FolderSummary.h"
#include "tree/ItemStore.h"

// What changed in one folder (or FILES entry) since the earlier scan.
struct ItemChange {
    enum class Kind : std::uint8_t { Both, New, Gone };
    Kind kind = Kind::Both;
    std::uint64_t bytesNow = 0;
    std::uint64_t bytesBefore = 0;
    std::int64_t files = 0;  // change in the count of files, all depths
    std::int64_t folders = 0;
    std::int32_t filesBefore = 0;
    std::int32_t foldersBefore = 0;

    // The change in bytes, within the range of a signed 64-bit number.
    std::int64_t Bytes() const;
};

// Hands out the change of an item, for the views that show it.
class ItemChanges {
  public:
    virtual ~ItemChanges() = default;
    // The change of item, or nothing when the item is not compared.
    virtual std::optional<ItemChange> ChangeOf(const ItemNode& item) const = 0;
};

class TreeComparison : public ItemChanges {
  public:
    // A folder of the earlier scan that has no item: below parent (an item of the root), the
    // summary's node.
    struct Gone {
        TreeItem parent;
        std::uint32_t node;
    };

    // Compares root of store with before's top folder (whatever their paths). store must
    // outlive the comparison and be used on the caller's thread only.
    TreeComparison(const ItemStore& store, TreeItem root,
                   std::shared_ptr<const FolderSummary> before);

    // Matches items until about `items` were looked at; true when every item is matched.
    // Items deleted meanwhile are passed over.
    bool Step(std::size_t items);
    bool Done() const { return pending_.empty(); }
    TreeItem Root() const { return root_; }
    const FolderSummary& Before() const { return *before_; }
    // The folders of the earlier scan without an item, in the order they were found.
    const std::vector<Gone>& GoneFolders() const { return gone_; }
    // An item inserted to stand for a folder that is gone (its node in the summary).
    void MarkGone(TreeItem item, std::uint32_t node);

    std::optional<ItemChange> ChangeOf(const ItemNode& item) const override;
    // The same by handle, for an item of the store.
    std::optional<ItemChange> ChangeOf(TreeItem item) const;
    // The earlier figures of a summary node, as a change to nothing.
    ItemChange GoneChange(std::uint32_t node) const;

    // Bytes the comparison holds beside the tree and the summary.
    std::size_t HeldBytes() const;

  private:
    // Per item handle: 0 not compared, 1 new, 2 + node matched, with kGoneBit for a gone row.
    static constexpr std::uint32_t kNew = 1;
    static constexpr std::uint32_t kGoneBit = 0x80000000u;
    static constexpr unsigned kPageBits = 12;
    using Page = std::array<std::uint32_t, std::size_t{1} << kPageBits>;

    std::uint32_t Code(TreeItem item) const;
    void SetCode(TreeItem item, std::uint32_t code);
    void MatchChildren(const ItemNode& item, std::uint32_t node);

    const ItemStore& store_;
    TreeItem root_;
    std::shared_ptr<const FolderSummary> before_;
    std::vector<std::unique_ptr<Page>> pages_;
    std::vector<std::pair<TreeItem, std::uint32_t>> pending_;  // items to match, with nodes
    std::vector<bool> matched_;                                // summary nodes with an item
    std::vector<Gone> gone_;
};
