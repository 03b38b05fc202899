// The Qt model over the item store.
#include "ui/FolderTreeModel.h"

#include <QColor>

#include <algorithm>
#include <unordered_map>

#include "compare/ChangeText.h"

namespace {

// Growth is dark red, shrinkage dark green, a gone folder grey; the sign and the words say
// the same without colour.
QVariant ChangeColour(const ItemChange& change) {
    if (change.kind == ItemChange::Kind::Gone)
        return QColor(128, 128, 128);
    const std::int64_t bytes = change.Bytes();
    if (bytes > 0)
        return QColor(170, 0, 0);
    if (bytes < 0)
        return QColor(0, 120, 0);
    return {};
}

}  // namespace

FolderTreeModel::FolderTreeModel(ItemStore& store, std::vector<QIcon> icons, QObject* parent)
    : QAbstractItemModel(parent), store_(store), icons_(std::move(icons)) {
    changeTimer_.setSingleShot(true);
    changeTimer_.setInterval(0);
    connect(&changeTimer_, &QTimer::timeout, this, &FolderTreeModel::SendPendingChanges);
    store_.SetListener(this);
}

FolderTreeModel::~FolderTreeModel() {
    store_.SetListener(nullptr);
}

const ItemNode* FolderTreeModel::NodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const ItemNode*>(index.internalPointer()) : &store_.Top();
}

QModelIndex FolderTreeModel::IndexOfNode(const ItemNode& node) const {
    if (!node.Parent())
        return {};
    return createIndex(static_cast<int>(store_.ShownRow(node)), 0, const_cast<ItemNode*>(&node));
}

QModelIndex FolderTreeModel::IndexOf(TreeItem item) const {
    const ItemNode* node = item == TreeItem::None ? nullptr : store_.Node(item);
    return node && node->Announced() ? IndexOfNode(*node) : QModelIndex();
}

TreeItem FolderTreeModel::ItemAt(const QModelIndex& index) const {
    return index.isValid() ? NodeAt(index)->Id() : TreeItem::None;
}

bool FolderTreeModel::ChildrenShown(const ItemNode& item) const {
    for (const ItemNode* node = &item; node->Parent(); node = node->Parent()) {
        if (!node->Expanded())
            return false;
    }
    return true;
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const ItemNode* child = store_.ShownChild(*NodeAt(parent), static_cast<std::size_t>(row));
    return child ? createIndex(row, 0, const_cast<ItemNode*>(child)) : QModelIndex();
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid())
        return {};
    return IndexOfNode(*NodeAt(child)->Parent());
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(store_.ShownCount(*NodeAt(parent)));
}

int FolderTreeModel::columnCount(const QModelIndex& /*parent*/) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    return parent.column() <= 0 && store_.ShownCount(*NodeAt(parent)) > 0;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const ItemNode* node = NodeAt(index);
    std::optional<ItemChange> change;
    if (changes_ && (role == Qt::DisplayRole || role == Qt::ForegroundRole))
        change = changes_->ChangeOf(*node);
    if (role == Qt::DisplayRole) {
        std::string text = change && change->kind == ItemChange::Kind::Gone
                               ? ChangeText::GoneLabel(node->RecordName(), *change)
                               : node->Text();
        if (change)
            text.append("   ").append(ChangeText::LabelSuffix(*change));
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::ForegroundRole)
        return change ? ChangeColour(*change) : QVariant();
    if (role == Qt::DecorationRole && static_cast<std::size_t>(node->Image()) < icons_.size())
        return icons_[static_cast<std::size_t>(node->Image())];
    if (role == kDepthRole) {
        int depth = 0;
        for (const ItemNode* above = node->Parent(); above->Parent(); above = above->Parent())
            ++depth;
        return depth;
    }
    return {};
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void FolderTreeModel::BeginInsert(const ItemNode& parent, int first, int last) {
    ++storeChanges_;
    beginInsertRows(IndexOfNode(parent), first, last);
}

void FolderTreeModel::EndInsert() {
    endInsertRows();
    --storeChanges_;
}

void FolderTreeModel::BeginRemove(const ItemNode& parent, int first, int last) {
    ++storeChanges_;
    beginRemoveRows(IndexOfNode(parent), first, last);
}

void FolderTreeModel::EndRemove() {
    endRemoveRows();
    --storeChanges_;
    emit RowsGone();
}

void FolderTreeModel::BeginReorder(const ItemNode& parent) {
    ++storeChanges_;
    reorderedFrom_.clear();
    reorderedNodes_.clear();
    QModelIndex parentIndex = IndexOfNode(parent);
    for (const QModelIndex& held : persistentIndexList()) {
        if (held.parent() == parentIndex) {
            reorderedFrom_.append(held);
            reorderedNodes_.push_back(NodeAt(held));
        }
    }
    reorderAnnounced_ = !reorderedFrom_.isEmpty() || ChildrenShown(parent);
    if (reorderAnnounced_) {
        emit layoutAboutToBeChanged({QPersistentModelIndex(parentIndex)},
                                    QAbstractItemModel::VerticalSortHint);
    }
}

void FolderTreeModel::EndReorder(const ItemNode& parent) {
    --storeChanges_;
    if (!reorderAnnounced_)
        return;
    QModelIndexList to;
    to.reserve(reorderedFrom_.size());
    for (const ItemNode* node : reorderedNodes_)
        to.append(IndexOfNode(*node));
    changePersistentIndexList(reorderedFrom_, to);
    reorderedFrom_.clear();
    reorderedNodes_.clear();
    emit layoutChanged({QPersistentModelIndex(IndexOfNode(parent))},
                       QAbstractItemModel::VerticalSortHint);
}

void FolderTreeModel::ItemChanged(const ItemNode& item) {
    if (relabelling_)
        return;
    changed_.push_back(item.Id());
    if (!changeTimer_.isActive())
        changeTimer_.start();
}

void FolderTreeModel::SendPendingChanges() {
    changeTimer_.stop();
    std::vector<TreeItem> changed;
    changed.swap(changed_);
    // Where each changed item is shown, if it is: its parent and row.
    struct Cell {
        const ItemNode* parent;
        std::size_t row;
        bool operator<(const Cell& other) const {
            return parent != other.parent ? std::less<>()(parent, other.parent) : row < other.row;
        }
        bool operator==(const Cell& other) const = default;
    };
    std::vector<Cell> cells;
    cells.reserve(changed.size());
    std::unordered_map<const ItemNode*, bool> shown;  // whether a parent's children are
    for (TreeItem item : changed) {
        const ItemNode* node = store_.Node(item);
        if (!node || !node->Announced())
            continue;
        auto [known, fresh] = shown.try_emplace(node->Parent(), false);
        if (fresh)
            known->second = ChildrenShown(*node->Parent());
        if (known->second)
            cells.push_back({node->Parent(), store_.ShownRow(*node)});
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    // One signal per run of adjacent rows under one parent.
    for (std::size_t first = 0; first < cells.size();) {
        std::size_t last = first;
        while (last + 1 < cells.size() && cells[last + 1].parent == cells[first].parent &&
               cells[last + 1].row == cells[last].row + 1)
            ++last;
        QModelIndex parent = IndexOfNode(*cells[first].parent);
        emit dataChanged(index(static_cast<int>(cells[first].row), 0, parent),
                         index(static_cast<int>(cells[last].row), 0, parent), {Qt::DisplayRole});
        first = last + 1;
    }
}

void FolderTreeModel::RelabelAll(const std::function<void()>& relabel) {
    SendPendingChanges();
    emit layoutAboutToBeChanged();
    relabelling_ = true;
    relabel();
    relabelling_ = false;
    emit layoutChanged();
}

void FolderTreeModel::SetChanges(const ItemChanges* changes) {
    RelabelAll([this, changes] { changes_ = changes; });
}

void FolderTreeModel::ExpandChanged(const ItemNode& item) {
    emit ExpandRequested(IndexOfNode(item), item.Expanded());
}

void FolderTreeModel::SelectionChanged(TreeItem selected) {
    emit StoreSelectionChanged(static_cast<quint64>(selected));
}
