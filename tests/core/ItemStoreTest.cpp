// Item store: sorted insertion, record ownership, deletion, sorting and the change events a
// view relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/FolderTree.h"
#include "ui/ItemStore.h"

namespace {

std::unique_ptr<FolderRecord> Sized(std::uint64_t bytes) {
    return FolderRecord::Full("/p", "n", bytes, 0, 0, 0, false);
}

std::vector<std::string> Labels(ItemStore& store, TreeItem parent) {
    std::vector<std::string> labels;
    for (TreeItem c = store.GetChild(parent); c != TreeItem::None; c = store.GetNextItem(c)) {
        labels.push_back(store.Node(c)->text);
    }
    return labels;
}

// Records the events as text and checks begin/end pairing.
class EventLog : public ItemStoreListener {
  public:
    std::vector<std::string> events;
    int open = 0;
    void BeginInsert(const ItemNode& parent, int row) override {
        ++open;
        events.push_back("insert " + parent.text + " " + std::to_string(row));
    }
    void EndInsert() override { --open; }
    void BeginRemove(const ItemNode& parent, int first, int last) override {
        ++open;
        events.push_back("remove " + parent.text + " " + std::to_string(first) + "-" +
                         std::to_string(last));
    }
    void EndRemove() override { --open; }
    void BeginReorder(const ItemNode& parent) override {
        ++open;
        events.push_back("reorder " + parent.text);
    }
    void EndReorder(const ItemNode&) override { --open; }
    void ItemChanged(const ItemNode& item) override { events.push_back("changed " + item.text); }
    void ExpandChanged(const ItemNode& item) override { events.push_back("expand " + item.text); }
    void SelectionChanged(TreeItem) override { events.push_back("selection"); }
};

TEST(CompareLabels, IgnoresAsciiCaseThenUsesBytes) {
    EXPECT_LT(CompareLabels("alpha", "Beta"), 0);
    EXPECT_GT(CompareLabels("beta", "Alpha"), 0);
    EXPECT_LT(CompareLabels("Data", "data"), 0);  // equal ignoring case: byte order decides
    EXPECT_LT(CompareLabels("abc", "abcd"), 0);
    EXPECT_EQ(CompareLabels("same", "same"), 0);
    EXPECT_LT(CompareLabels("z", "\xc3\xa9"), 0);  // bytes above ASCII sort after letters
}

TEST(ItemStore, SortedInsertionPlacesItemsAmongSiblingsLastAppends) {
    ItemStore store;
    TreeItem root = store.InsertItem("/r", 0, TreeItem::None, InsertAt::Last);
    for (const char* name : {"pear", "Apple", "fig", "apple"}) {
        store.InsertItem(name, 0, root, InsertAt::Sorted);
    }
    store.InsertItem("FILES", 0, root, InsertAt::Last);
    store.InsertItem("banana", 0, root, InsertAt::Sorted);  // FILES is out of order: still sane
    std::vector<std::string> labels = Labels(store, root);
    EXPECT_EQ(labels,
              (std::vector<std::string>{"Apple", "apple", "banana", "fig", "pear", "FILES"}));
    for (std::size_t i = 0; i < labels.size(); ++i) {
        EXPECT_EQ(store.Node(root)->children[i]->row, i);
    }
}

TEST(ItemStore, RecordsAreReplacedAndDetached) {
    ItemStore store;
    TreeItem item = store.InsertItem("x", 0, TreeItem::None, InsertAt::Last);
    EXPECT_EQ(store.Record(item), nullptr);
    EXPECT_FALSE(store.GetItemData(item).has_value());
    store.SetItemData(item, Sized(1));
    store.SetItemData(item, Sized(2));
    EXPECT_EQ(store.GetItemData(item)->totalBytes, 2u);
    store.SetItemData(item, nullptr);
    EXPECT_EQ(store.Record(item), nullptr);
    store.SetItemData(TreeItem{12345}, Sized(3));  // an unknown item: nothing happens
    EXPECT_FALSE(store.GetItemData(TreeItem{12345}).has_value());
}

TEST(ItemStore, RemoveChildrenClearsTheSubtreeAndKeepsTheItemsOwnRecord) {
    ItemStore store;
    EventLog log;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    store.SetItemData(root, Sized(10));
    TreeItem a = store.InsertItem("a", 0, root, InsertAt::Last);
    TreeItem grandchild = store.InsertItem("g", 0, a, InsertAt::Last);
    store.SetItemData(a, Sized(5));
    store.SetItemData(grandchild, Sized(4));
    store.InsertItem("b", 0, root, InsertAt::Last);
    store.Select(grandchild);
    store.SetListener(&log);

    EXPECT_TRUE(store.RemoveChildren(root));
    EXPECT_TRUE(store.Node(root)->children.empty());
    EXPECT_EQ(store.Record(root)->totalBytes, 10u);
    EXPECT_EQ(store.Node(a), nullptr);  // handles of removed items name nothing
    EXPECT_EQ(store.Node(grandchild), nullptr);
    EXPECT_EQ(store.Selection(), TreeItem::None);
    EXPECT_EQ(store.ItemCount(), 1u);
    EXPECT_EQ(log.events, (std::vector<std::string>{"remove r 0-1", "selection"}));
    EXPECT_EQ(log.open, 0);

    TreeItem leaf = store.InsertItem("leaf", 0, root, InsertAt::Last);
    EXPECT_TRUE(store.RemoveChildren(leaf));  // a leaf: nothing to delete
    EXPECT_NE(store.Node(leaf), nullptr);
}

TEST(ItemStore, ClearSubtreeDataKeepsItemsAndDeleteItemTakesItsSubtree) {
    ItemStore store;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    TreeItem a = store.InsertItem("a", 0, root, InsertAt::Last);
    TreeItem g = store.InsertItem("g", 0, a, InsertAt::Last);
    store.SetItemData(root, Sized(3));
    store.SetItemData(a, Sized(2));
    store.SetItemData(g, Sized(1));
    store.ClearSubtreeData(root);
    EXPECT_NE(store.Record(root), nullptr);
    EXPECT_EQ(store.Record(a), nullptr);
    EXPECT_EQ(store.Record(g), nullptr);
    EXPECT_NE(store.Node(g), nullptr);

    TreeItem second = store.InsertItem("s", 0, TreeItem::None, InsertAt::Last);
    store.DeleteItem(root);
    EXPECT_EQ(store.Node(root), nullptr);
    EXPECT_EQ(store.Node(g), nullptr);
    EXPECT_EQ(store.GetChild(TreeItem::None), second);
    EXPECT_EQ(store.Node(second)->row, 0u);

    store.DeleteItem(TreeItem::None);  // the null item stands for the whole tree
    EXPECT_TRUE(store.Top().children.empty());
    EXPECT_EQ(store.ItemCount(), 0u);
}

TEST(ItemStore, SortChildrenOrdersOneLevelLargestFirstAndStably) {
    ItemStore store;
    EventLog log;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    const std::pair<const char*, std::uint64_t> sizes[] = {
        {"small", 1}, {"tie1", 7}, {"big", 9}, {"tie2", 7}, {"none", 0}};
    for (auto [name, bytes] : sizes) {
        TreeItem item = store.InsertItem(name, 0, root, InsertAt::Last);
        if (std::string(name) != "none")
            store.SetItemData(item, Sized(bytes));
    }
    TreeItem inner = store.InsertItem("inner", 0, store.GetChild(root), InsertAt::Last);
    store.SetListener(&log);
    store.SortChildren(root, FolderTree::CompareBySize, 0);
    EXPECT_EQ(Labels(store, root),
              (std::vector<std::string>{"big", "tie1", "tie2", "small", "none"}));
    EXPECT_EQ(store.Node(store.GetParent(inner))->text, "small");  // moved with its parent
    EXPECT_EQ(store.Node(store.GetParent(inner))->row, 3u);
    EXPECT_EQ(log.events, std::vector<std::string>{"reorder r"});
}

TEST(ItemStore, SelectionAndExpansionIgnoreUnknownItems) {
    ItemStore store;
    EventLog log;
    store.SetListener(&log);
    TreeItem a = store.InsertItem("a", 0, TreeItem::None, InsertAt::Last);
    store.Select(a);
    store.Select(a);  // no change, no event
    store.Select(TreeItem{999});
    EXPECT_EQ(store.GetSelection(), a);
    store.Expand(a, true);
    store.Expand(TreeItem{999}, true);
    store.Select(TreeItem::None);
    EXPECT_EQ(store.GetSelection(), TreeItem::None);
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"insert  0", "selection", "expand a", "selection"}));
}

TEST(ItemStore, ReservedHandlesInsertLaterAndAreDroppedUnderADeletedParent) {
    ItemStore store;
    TreeItem parent = store.InsertItem("p", 0, TreeItem::None, InsertAt::Last);
    TreeItem early = store.ReserveItem();
    TreeItem orphan = store.ReserveItem();
    store.InsertItemAs(early, "child", 0, parent, InsertAt::Sorted);
    EXPECT_EQ(store.GetChild(parent), early);
    store.DeleteItem(parent);
    store.InsertItemAs(orphan, "late", 0, parent, InsertAt::Sorted);
    EXPECT_EQ(store.Node(orphan), nullptr);
    EXPECT_EQ(store.ItemCount(), 0u);
}

}  // namespace
