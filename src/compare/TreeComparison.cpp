// Matching a root's items with the folders of an earlier scan, by name below the top.
#include "compare/TreeComparison.h"

#include <limits>

std::int64_t ItemChange::Bytes() const {
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (bytesNow >= bytesBefore) {
        std::uint64_t grown = bytesNow - bytesBefore;
        return static_cast<std::int64_t>(grown > kMax ? kMax : grown);
    }
    std::uint64_t shrunk = bytesBefore - bytesNow;
    return -static_cast<std::int64_t>(shrunk > kMax ? kMax : shrunk);
}

TreeComparison::TreeComparison(const ItemStore& store, TreeItem root,
                               std::shared_ptr<const FolderSummary> before)
    : store_(store), root_(root), before_(std::move(before)) {
    matched_.assign(before_->Size(), false);
    pending_.push_back({root, before_->Empty() ? FolderSummary::kNone : 0});
}

std::uint32_t TreeComparison::Code(TreeItem item) const {
    const auto id = static_cast<std::uint64_t>(item);
    const std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size() || !pages_[page])
        return 0;
    return (*pages_[page])[id & ((1u << kPageBits) - 1)];
}

void TreeComparison::SetCode(TreeItem item, std::uint32_t code) {
    const auto id = static_cast<std::uint64_t>(item);
    const std::size_t page = static_cast<std::size_t>(id >> kPageBits);
    if (page >= pages_.size())
        pages_.resize(page + 1);
    if (!pages_[page])
        pages_[page] = std::make_unique<Page>();  // zero: not compared
    (*pages_[page])[id & ((1u << kPageBits) - 1)] = code;
}

bool TreeComparison::Step(std::size_t items) {
    std::size_t looked = 0;
    while (!pending_.empty() && looked < items) {
        auto [item, node] = pending_.back();
        pending_.pop_back();
        const ItemNode* found = store_.Node(item);
        if (!found || item == TreeItem::None)
            continue;
        SetCode(item, node == FolderSummary::kNone ? kNew : node + 2);
        looked += 1 + found->Children().Size();
        MatchChildren(*found, node);
    }
    return Done();
}

void TreeComparison::MatchChildren(const ItemNode& item, std::uint32_t node) {
    const FolderSummary& before = *before_;
    for (const ItemNode& child : item.Children()) {
        if (!child.HasRecord())
            continue;  // not scanned to the end
        std::uint32_t match = FolderSummary::kNone;
        if (node != FolderSummary::kNone)
            match = child.IsFilesEntry() ? before.FilesOf(node)
                                         : before.Child(node, child.RecordName());
        if (match != FolderSummary::kNone)
            matched_[match] = true;
        pending_.push_back({child.Id(), match});
    }
    if (node == FolderSummary::kNone)
        return;
    for (const std::uint32_t* at = before.ChildrenBegin(node); at != before.ChildrenEnd(node);
         ++at) {
        if (!matched_[*at] && !before.At(*at).filesEntry)
            gone_.push_back({item.Id(), *at});
    }
}

void TreeComparison::MarkGone(TreeItem item, std::uint32_t node) {
    SetCode(item, (node + 2) | kGoneBit);
}

ItemChange TreeComparison::GoneChange(std::uint32_t node) const {
    const FolderSummary::Node& was = before_->At(node);
    ItemChange change;
    change.kind = ItemChange::Kind::Gone;
    change.bytesBefore = was.bytes;
    change.filesBefore = was.files;
    change.foldersBefore = was.folders;
    change.files = -static_cast<std::int64_t>(was.files);
    change.folders = -static_cast<std::int64_t>(was.folders);
    return change;
}

std::optional<ItemChange> TreeComparison::ChangeOf(const ItemNode& item) const {
    const std::uint32_t code = Code(item.Id());
    if (code == 0)
        return std::nullopt;
    if (code & kGoneBit)
        return GoneChange((code & ~kGoneBit) - 2);
    ItemChange change;
    change.bytesNow = ComparedBytes(item);
    change.files = item.FileCount();
    change.folders = item.FolderCount();
    if (code == kNew) {
        change.kind = ItemChange::Kind::New;
        return change;
    }
    const FolderSummary::Node& was = before_->At(code - 2);
    change.bytesBefore = was.bytes;
    change.filesBefore = was.files;
    change.foldersBefore = was.folders;
    change.files -= was.files;
    change.folders -= was.folders;
    return change;
}

std::optional<ItemChange> TreeComparison::ChangeOf(TreeItem item) const {
    const ItemNode* node = item == TreeItem::None ? nullptr : store_.Node(item);
    return node ? ChangeOf(*node) : std::nullopt;
}

std::size_t TreeComparison::HeldBytes() const {
    std::size_t bytes = pages_.capacity() * sizeof(void*) + matched_.capacity() / 8 +
                        gone_.capacity() * sizeof(Gone);
    for (const auto& page : pages_)
        bytes += page ? sizeof(Page) : 0;
    return bytes;
}
