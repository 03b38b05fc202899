// The summary's arrays, the look-up of a child by name, and the builder that fills them from
// a scan's tree operations.
#include "compare/FolderSummary.h"

#include <algorithm>

#include "compare/ComparedFigure.h"

std::string_view FolderSummary::Name(std::uint32_t node) const {
    const Node& at = nodes_[node];
    return std::string_view(names_).substr(at.nameOffset, at.nameLength);
}

std::uint32_t FolderSummary::Child(std::uint32_t parent, std::string_view name) const {
    const std::uint32_t* begin = ChildrenBegin(parent);
    const std::uint32_t* end = ChildrenEnd(parent);
    const std::uint32_t* found = std::lower_bound(
        begin, end, name,
        [this](std::uint32_t child, std::string_view wanted) { return Name(child) < wanted; });
    if (found == end || nodes_[*found].filesEntry || Name(*found) != name)
        return kNone;
    return *found;
}

std::uint32_t FolderSummary::FilesOf(std::uint32_t parent) const {
    const std::uint32_t* begin = ChildrenBegin(parent);
    return begin != ChildrenEnd(parent) && nodes_[*begin].filesEntry ? *begin : kNone;
}

std::string FolderSummary::PathBelowTop(std::uint32_t node) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = node; at != 0 && at != kNone; at = nodes_[at].parent)
        chain.push_back(at);
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (!path.empty())
            path.push_back('/');
        path.append(Name(*at));
    }
    return path;
}

std::size_t FolderSummary::HeldBytes() const {
    return nodes_.capacity() * sizeof(Node) + names_.capacity() +
           children_.capacity() * sizeof(std::uint32_t);
}

void FolderSummary::IndexChildren() {
    // Counted by parent, then each parent's run sorted: FILES (an empty name) comes first.
    std::vector<std::uint32_t> counts(nodes_.size() + 1, 0);
    for (std::size_t i = 1; i < nodes_.size(); ++i)
        ++counts[nodes_[i].parent + 1];
    for (std::size_t i = 1; i < counts.size(); ++i)
        counts[i] += counts[i - 1];
    children_.assign(nodes_.size() > 0 ? nodes_.size() - 1 : 0, 0);
    std::vector<std::uint32_t> next(counts.begin(), counts.end() - 1);
    for (std::size_t i = 1; i < nodes_.size(); ++i)
        children_[next[nodes_[i].parent]++] = static_cast<std::uint32_t>(i);
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
        Node& node = nodes_[i];
        node.firstChild = counts[i];
        node.childCount = counts[i + 1] - counts[i];
        std::uint32_t* begin = children_.data() + node.firstChild;
        std::sort(begin, begin + node.childCount,
                  [this](std::uint32_t a, std::uint32_t b) { return Name(a) < Name(b); });
    }
}

// ---- SummaryBuilder ------------------------------------------------------------------------

FolderSummary::Node* SummaryBuilder::NodeOf(TreeItem item) {
    auto index = static_cast<std::uint64_t>(item);
    if (index == 0 || index > summary_.nodes_.size())
        return nullptr;
    return &summary_.nodes_[index - 1];
}

TreeItem SummaryBuilder::InsertItem(ItemLabel text, int, TreeItem parent, InsertAt) {
    const bool top = parent == TreeItem::None;
    if (top ? !summary_.nodes_.empty() : !NodeOf(parent))
        return TreeItem::None;  // one starting folder only
    FolderSummary::Node& node = summary_.nodes_.emplace_back();
    node.filesEntry = text.form == LabelForm::FilesOfFolder || text.form == LabelForm::FilesOfRoot;
    node.parent = top ? FolderSummary::kNone : static_cast<std::uint32_t>(parent) - 1;
    if (top)
        topPath_ = text.stem;
    if (!node.filesEntry && !top) {
        node.nameOffset = static_cast<std::uint32_t>(summary_.names_.size());
        node.nameLength = static_cast<std::uint32_t>(text.stem.size());
        summary_.names_.append(text.stem);
    }
    return static_cast<TreeItem>(summary_.nodes_.size());
}

void SummaryBuilder::SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) {
    FolderSummary::Node* node = NodeOf(item);
    if (!node || !record)
        return;
    node->bytes = ComparedBytes(*record);
    node->files = record->fileCount;
    node->folders = record->folderCount;
}

std::optional<FolderRecord> SummaryBuilder::GetItemDataWithoutPath(TreeItem item) {
    FolderSummary::Node* node = NodeOf(item);
    if (!node)
        return std::nullopt;
    FolderRecord record;
    record.totalBytes = node->bytes;
    record.fileCount = node->files;
    record.folderCount = node->folders;
    record.isFilesEntry = node->filesEntry;
    return record;
}

std::optional<FolderRecord> SummaryBuilder::GetItemData(TreeItem item) {
    std::optional<FolderRecord> record = GetItemDataWithoutPath(item);
    if (record && static_cast<std::uint64_t>(item) == 1)
        record->path = topPath_;  // how the scan finds its root again
    return record;
}

TreeItem SummaryBuilder::GetChild(TreeItem item) {
    // Only the top level is asked for: the scan looks for its root there.
    return item == TreeItem::None && !summary_.nodes_.empty() ? TreeItem{1} : TreeItem::None;
}

TreeItem SummaryBuilder::GetParent(TreeItem item) {
    FolderSummary::Node* node = NodeOf(item);
    return node && node->parent != FolderSummary::kNone ? static_cast<TreeItem>(node->parent + 1)
                                                        : TreeItem::None;
}

bool SummaryBuilder::RemoveChildren(TreeItem item) {
    if (static_cast<std::uint64_t>(item) == 1) {  // the root scanned again: start afresh
        summary_.nodes_.resize(1);
        summary_.names_.clear();
    }
    return true;
}

FolderSummary SummaryBuilder::Finish() {
    summary_.IndexChildren();
    FolderSummary done = std::move(summary_);
    summary_ = FolderSummary();
    return done;
}
