// Item store: sorted insertion, record ownership, deletion, sorting, reserved handles across
// the index's pages, and the change events a view relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/FolderTree.h"
#include "ui/ItemStore.h"

namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<FolderRecord> Sized(std::uint64_t bytes) {
    return FolderRecord::Full("/p", "n", bytes, 0, 0, 0, false);
}

Strings Labels(ItemStore& store, TreeItem parent) {
    Strings labels;
    for (TreeItem c = store.GetChild(parent); c != TreeItem::None; c = store.GetNextItem(c))
        labels.push_back(store.Node(c)->text);
    return labels;
}

// Records the events as text and checks begin/end pairing.
class EventLog : public ItemStoreListener {
  public:
    Strings events;
    int open = 0;
    void BeginInsert(const ItemNode& parent, int row) override {
        Begin("insert " + parent.text + " " + std::to_string(row));
    }
    void EndInsert() override { --open; }
    void BeginRemove(const ItemNode& parent, int first, int last) override {
        Begin("remove " + parent.text + " " + std::to_string(first) + "-" + std::to_string(last));
    }
    void EndRemove() override { --open; }
    void BeginReorder(const ItemNode& parent) override { Begin("reorder " + parent.text); }
    void EndReorder(const ItemNode&) override { --open; }
    void ItemChanged(const ItemNode& item) override { events.push_back("changed " + item.text); }
    void ExpandChanged(const ItemNode& item) override { events.push_back("expand " + item.text); }
    void SelectionChanged(TreeItem) override { events.push_back("selection"); }

  private:
    void Begin(std::string event) {
        ++open;
        events.push_back(std::move(event));
    }
};

TEST(ItemStore, SortedInsertionIgnoresAsciiCaseThenUsesBytesAndLastAppends) {
    ItemStore store;
    TreeItem root = store.InsertItem("/r", 0, TreeItem::None, InsertAt::Last);
    for (const char* name : {"pear", "apple", "fig", "Apple", "\xc3\xa9", "figs"})
        store.InsertItem(name, 0, root, InsertAt::Sorted);
    store.InsertItem("FILES", 0, root, InsertAt::Last);
    store.InsertItem("banana", 0, root, InsertAt::Sorted);  // FILES is out of order: still sane
    Strings labels = Labels(store, root);
    EXPECT_EQ(labels,
              (Strings{"Apple", "apple", "banana", "fig", "figs", "pear", "\xc3\xa9", "FILES"}));
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(store.Node(root)->children[i]->row, i);
}

TEST(ItemStore, RecordsSelectionAndExpansionIgnoreUnknownItems) {
    ItemStore store;
    EventLog log;
    store.SetListener(&log);
    TreeItem a = store.InsertItem("a", 0, TreeItem::None, InsertAt::Last);
    EXPECT_FALSE(store.GetItemData(a).has_value());
    store.SetItemData(a, Sized(1));
    store.SetItemData(a, Sized(2));
    EXPECT_EQ(store.GetItemData(a)->totalBytes, 2u);
    store.SetItemData(a, nullptr);
    EXPECT_EQ(store.Record(a), nullptr);
    store.SetItemData(TreeItem{12345}, Sized(3));
    EXPECT_FALSE(store.GetItemData(TreeItem{12345}).has_value());

    store.Select(a);
    store.Select(a);  // no change, no event
    store.Select(TreeItem{999});
    EXPECT_EQ(store.GetSelection(), a);
    store.Expand(a, true);
    store.Expand(TreeItem{999}, true);
    store.Select(TreeItem::None);
    EXPECT_EQ(store.GetSelection(), TreeItem::None);
    EXPECT_EQ(log.events, (Strings{"insert  0", "changed a", "changed a", "changed a", "selection",
                                   "expand a", "selection"}));
    EXPECT_EQ(log.open, 0);
}

TEST(ItemStore, RemoveClearAndDeleteTakeTheRightPartsOfASubtree) {
    ItemStore store;
    EventLog log;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    TreeItem a = store.InsertItem("a", 0, root, InsertAt::Last);
    TreeItem g = store.InsertItem("g", 0, a, InsertAt::Last);
    store.InsertItem("b", 0, root, InsertAt::Last);
    store.SetItemData(root, Sized(3));
    store.SetItemData(a, Sized(2));
    store.SetItemData(g, Sized(1));
    store.ClearSubtreeData(root);
    EXPECT_NE(store.Record(root), nullptr);
    EXPECT_EQ(store.Record(a), nullptr);
    EXPECT_EQ(store.Record(g), nullptr);
    EXPECT_NE(store.Node(g), nullptr);

    store.Select(g);
    store.SetListener(&log);
    EXPECT_TRUE(store.RemoveChildren(root));
    EXPECT_TRUE(store.Node(root)->children.empty());
    EXPECT_EQ(store.Record(root)->totalBytes, 3u);
    EXPECT_EQ(store.Node(a), nullptr);  // handles of removed items name nothing
    EXPECT_EQ(store.Node(g), nullptr);
    EXPECT_EQ(store.Selection(), TreeItem::None);
    EXPECT_EQ(store.ItemCount(), 1u);
    EXPECT_EQ(log.events, (Strings{"remove r 0-1", "selection"}));
    EXPECT_EQ(log.open, 0);
    store.SetListener(nullptr);

    TreeItem second = store.InsertItem("s", 0, TreeItem::None, InsertAt::Last);
    store.InsertItem("leaf", 0, root, InsertAt::Last);
    store.DeleteItem(root);
    EXPECT_EQ(store.GetChild(TreeItem::None), second);
    EXPECT_EQ(store.Node(second)->row, 0u);
    EXPECT_EQ(store.ItemCount(), 1u);
    store.DeleteItem(TreeItem::None);  // the null item stands for the whole tree
    EXPECT_TRUE(store.Top().children.empty());
    EXPECT_EQ(store.ItemCount(), 0u);
}

TEST(ItemStore, SortChildrenOrdersOneLevelLargestFirstUnsignedAndStably) {
    ItemStore store;
    EventLog log;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    const std::pair<const char*, std::uint64_t> sizes[] = {{"small", 1},
                                                           {"tie1", 7},
                                                           {"huge", (std::uint64_t{1} << 63) + 10},
                                                           {"tie2", 7},
                                                           {"none", 0}};
    for (auto [name, bytes] : sizes) {
        TreeItem item = store.InsertItem(name, 0, root, InsertAt::Last);
        if (std::string(name) != "none")
            store.SetItemData(item, Sized(bytes));
    }
    TreeItem inner = store.InsertItem("inner", 0, store.GetChild(root), InsertAt::Last);
    store.SetListener(&log);
    store.SortChildren(root, FolderTree::CompareBySize, 0);
    EXPECT_EQ(Labels(store, root), (Strings{"huge", "tie1", "tie2", "small", "none"}));
    EXPECT_EQ(store.Node(store.GetParent(inner))->text, "small");  // moved with its parent
    EXPECT_EQ(store.Node(store.GetParent(inner))->row, 3u);
    EXPECT_EQ(log.events, Strings{"reorder r"});
}

TEST(ItemStore, HandlesFindLiveItemsAcrossPagesAndReservedOnesInsertLater) {
    ItemStore store;
    std::vector<TreeItem> items;
    for (int i = 0; i < 10000; ++i)
        items.push_back(
            store.InsertItem("i" + std::to_string(i), 0, TreeItem::None, InsertAt::Last));
    for (std::size_t i = 1; i < items.size(); i += 2)
        store.DeleteItem(items[i]);
    EXPECT_EQ(store.ItemCount(), 5000u);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ItemNode* node = store.Node(items[i]);
        ASSERT_EQ(node != nullptr, i % 2 == 0) << i;
        if (node) {
            EXPECT_EQ(node->text, "i" + std::to_string(i));
        }
    }

    TreeItem early = store.ReserveItem();  // reserved now, inserted after its page emptied
    TreeItem orphan = store.ReserveItem();
    store.RemoveChildren(TreeItem::None);
    EXPECT_EQ(store.ItemCount(), 0u);
    EXPECT_EQ(store.Node(items[0]), nullptr);
    TreeItem parent = store.InsertItem("p", 0, TreeItem::None, InsertAt::Last);
    store.InsertItemAs(early, "late", 0, parent, InsertAt::Sorted);
    store.InsertItemAs(early, "twice", 0, parent, InsertAt::Sorted);  // ignored
    EXPECT_EQ(Labels(store, parent), Strings{"late"});
    EXPECT_EQ(store.GetChild(parent), early);
    store.DeleteItem(parent);
    store.InsertItemAs(orphan, "under a deleted parent", 0, parent, InsertAt::Sorted);
    EXPECT_EQ(store.Node(orphan), nullptr);
    EXPECT_EQ(store.ItemCount(), 0u);
}

}  // namespace
