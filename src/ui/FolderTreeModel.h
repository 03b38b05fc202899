// Shows the item store to a Qt view: a QAbstractItemModel over ItemStore that follows the
// store's changes, in the rows the store has told it about. Label changes are collected and
// announced once per pass of the event loop (one dataChanged per run of adjacent siblings),
// and only for items a view can show (every ancestor expanded); a relabel of the whole
// tree is one layout change.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QTimer>

#include <functional>
#include <vector>

#include "compare/TreeComparison.h"
#include "tree/ItemStore.h"

class FolderTreeModel : public QAbstractItemModel, public ItemStoreListener {
    Q_OBJECT

  public:
    // data() answers an item's depth for this role: 0 for a root.
    static constexpr int kDepthRole = Qt::UserRole + 1;

    // Becomes store's listener until destroyed; store must outlive the model. icons are the
    // tree's icon list, indexed by an item's image.
    FolderTreeModel(ItemStore& store, std::vector<QIcon> icons, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    // The index of item, invalid for TreeItem::None or an item the store does not hold.
    QModelIndex IndexOf(TreeItem item) const;
    // The item an index stands for; None for an invalid index.
    TreeItem ItemAt(const QModelIndex& index) const;
    // Whether the children of item are shown: item and all its ancestors are expanded.
    bool ChildrenShown(const ItemNode& item) const;
    // Announces the label changes collected so far at once.
    void SendPendingChanges();
    // Runs relabel, which rewrites labels in the store and changes nothing else, as one
    // layout change: views look at the rows they show once, instead of hearing of every
    // label.
    void RelabelAll(const std::function<void()>& relabel);
    // True while the store is in the middle of inserting, removing or reordering items.
    bool InStoreChange() const { return storeChanges_ > 0; }
    // While changes is set (it must outlive that), an item it compares shows its change after
    // its label, in a colour of its kind (growth, shrinkage, gone), and a gone folder shows
    // its earlier figures. Null: the plain labels. Tells the views in one layout change.
    void SetChanges(const ItemChanges* changes);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void BeginInsert(const ItemNode& parent, int first, int last) override;
    void EndInsert() override;
    void BeginRemove(const ItemNode& parent, int first, int last) override;
    void EndRemove() override;
    void BeginReorder(const ItemNode& parent) override;
    void EndReorder(const ItemNode& parent) override;
    void ItemChanged(const ItemNode& item) override;
    void ExpandChanged(const ItemNode& item) override;
    void SelectionChanged(TreeItem selected) override;

  signals:
    // The store expanded or collapsed item.
    void ExpandRequested(const QModelIndex& item, bool expand);
    // The store's selection changed; None when nothing is selected.
    void StoreSelectionChanged(quint64 selected);
    // Rows were removed; the view's current item may have to follow the store again.
    void RowsGone();

  private:
    QModelIndex IndexOfNode(const ItemNode& node) const;
    const ItemNode* NodeAt(const QModelIndex& index) const;

    ItemStore& store_;
    std::vector<QIcon> icons_;
    const ItemChanges* changes_ = nullptr;
    QTimer changeTimer_;
    std::vector<TreeItem> changed_;  // may repeat an item
    bool relabelling_ = false;       // RelabelAll is running: changes are not collected
    // The reorder in progress: the persistent indexes below its parent, and whether the view
    // was told (a parent nobody shows and nobody holds an index into is sorted silently).
    QModelIndexList reorderedFrom_;
    std::vector<const ItemNode*> reorderedNodes_;
    bool reorderAnnounced_ = false;
    int storeChanges_ = 0;
};
