// The figures of an earlier scan, kept for a comparison: every folder and FILES entry with
// its name, size and counts, and nothing else, in a few flat arrays. SummaryBuilder fills
// one as the tree operations of a scan: the scan that reads the earlier scan file is the
// same scan that fills the window's tree, so both sides of a comparison follow the same
// rules, hard links included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tree/TreeControl.h"

class FolderSummary {
  public:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};

    struct Node {
        std::uint64_t bytes = 0;
        std::int32_t files = 0;
        std::int32_t folders = 0;
        std::uint32_t parent = kNone;
        std::uint32_t nameOffset = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t firstChild = 0;  // into the children, sorted by name; FILES first
        std::uint32_t childCount = 0;
        bool filesEntry = false;
    };

    // The top folder is node 0, named by its full path; empty when nothing was scanned.
    bool Empty() const { return nodes_.empty(); }
    std::size_t Size() const { return nodes_.size(); }
    const Node& At(std::uint32_t node) const { return nodes_[node]; }
    std::string_view Name(std::uint32_t node) const;
    // The sub-folder of parent named name, or kNone.
    std::uint32_t Child(std::uint32_t parent, std::string_view name) const;
    // The FILES entry of parent, or kNone.
    std::uint32_t FilesOf(std::uint32_t parent) const;
    // The children of parent: the FILES entry first, then the sub-folders in byte order.
    const std::uint32_t* ChildrenBegin(std::uint32_t parent) const {
        return children_.data() + nodes_[parent].firstChild;
    }
    const std::uint32_t* ChildrenEnd(std::uint32_t parent) const {
        return ChildrenBegin(parent) + nodes_[parent].childCount;
    }
    // The path of node below the top folder ("" for the top folder itself).
    std::string PathBelowTop(std::uint32_t node) const;
    // Bytes the summary holds.
    std::size_t HeldBytes() const;

  private:
    friend class SummaryBuilder;
    // Orders every folder's children by name, once all are added.
    void IndexChildren();

    std::vector<Node> nodes_;
    std::string names_;
    std::vector<std::uint32_t> children_;
};

// A TreeControl that keeps only what a FolderSummary holds: the scan of one starting folder
// (FolderTree::ScanRoot) fills it instead of a tree. Items are never deleted; a second root
// is ignored.
class SummaryBuilder : public TreeControl {
  public:
    // The summary of what was scanned; the builder is empty afterwards.
    FolderSummary Finish();

    TreeItem InsertItem(ItemLabel text, int image, TreeItem parent, InsertAt where) override;
    void SetItemText(TreeItem, ItemLabel) override {}
    void SetItemImage(TreeItem, int) override {}
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override;
    std::optional<FolderRecord> GetItemData(TreeItem item) override;
    std::optional<FolderRecord> GetItemDataWithoutPath(TreeItem item) override;
    void Expand(TreeItem, bool) override {}
    TreeItem GetChild(TreeItem item) override;
    TreeItem GetNextItem(TreeItem) override { return TreeItem::None; }
    TreeItem GetParent(TreeItem item) override;
    TreeItem GetSelection() override { return TreeItem::None; }
    void Select(TreeItem) override {}
    void SortChildren(TreeItem, ItemCompare, std::intptr_t) override {}
    void DeleteItem(TreeItem) override {}
    bool RemoveChildren(TreeItem item) override;
    void ClearSubtreeData(TreeItem) override {}

  private:
    FolderSummary::Node* NodeOf(TreeItem item);

    FolderSummary summary_;
    std::string topPath_;
};
