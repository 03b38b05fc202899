// Item store edge cases the scans do not reach: byte order after ASCII case, unknown and
// removed handles, unsigned sizes with ties, and handles across the index's pages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/FolderTree.h"
#include "tree/ItemStore.h"

namespace {

using Strings = std::vector<std::string>;

std::unique_ptr<FolderRecord> Sized(std::uint64_t bytes) {
    return FolderRecord::Full("/p", "n", bytes, 0, 0, 0, false);
}

Strings Labels(ItemStore& store, TreeItem parent) {
    Strings labels;
    for (TreeItem c = store.GetChild(parent); c != TreeItem::None; c = store.GetNextItem(c))
        labels.push_back(store.Node(c)->Text());
    return labels;
}

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
    auto rowsInOrder = [&] {
        const ChildList& children = store.Node(root)->Children();
        for (std::size_t i = 0; i < children.Size(); ++i) {
            if (children.At(i)->Row() != i)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(rowsInOrder());
    // Rows are renumbered when read: removals and insertions between reads keep them right.
    store.DeleteItem(store.GetNextItem(store.GetNextItem(store.GetChild(root))));  // banana
    store.InsertItem("cherry", 0, root, InsertAt::Sorted);
    store.DeleteItem(store.GetChild(root));
    EXPECT_EQ(Labels(store, root),
              (Strings{"apple", "cherry", "fig", "figs", "pear", "\xc3\xa9", "FILES"}));
    EXPECT_TRUE(rowsInOrder());
}

TEST(ItemStore, UnknownAndRemovedHandlesNameNothingAndChangeNothing) {
    ItemStore store;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    TreeItem g =
        store.InsertItem("g", 0, store.InsertItem("a", 0, root, InsertAt::Last), InsertAt::Last);
    store.SetItemData(TreeItem{12345}, Sized(3));
    store.Select(TreeItem{999});
    store.Expand(TreeItem{999}, true);
    EXPECT_FALSE(store.GetItemData(TreeItem{12345}).has_value());
    store.Select(g);
    EXPECT_TRUE(store.RemoveChildren(root));
    EXPECT_EQ(store.Node(g), nullptr);
    EXPECT_EQ(store.Selection(), TreeItem::None);
    EXPECT_EQ(store.ItemCount(), 1u);
    store.DeleteItem(TreeItem::None);  // the null item stands for the whole tree
    EXPECT_EQ(store.ItemCount(), 0u);
}

TEST(ItemStore, SortChildrenOrdersOneLevelLargestFirstUnsignedAndStably) {
    ItemStore store;
    TreeItem root = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    const std::pair<const char*, std::uint64_t> sizes[] = {
        {"small", 1}, {"tie1", 7}, {"huge", (std::uint64_t{1} << 63) + 10}, {"tie2", 7}};
    for (auto [name, bytes] : sizes)
        store.SetItemData(store.InsertItem(name, 0, root, InsertAt::Last), Sized(bytes));
    store.InsertItem("none", 0, root, InsertAt::Last);
    TreeItem inner = store.InsertItem("inner", 0, store.GetChild(root), InsertAt::Last);
    store.SortChildren(root, FolderTree::CompareBySize, 0);
    EXPECT_EQ(Labels(store, root), (Strings{"huge", "tie1", "tie2", "small", "none"}));
    EXPECT_EQ(store.Node(store.GetParent(inner))->Row(), 3u);  // moved with its parent
}

TEST(ItemStore, HandlesFindLiveItemsAcrossPagesAndReservedOnesInsertLater) {
    ItemStore store;
    std::vector<TreeItem> items;
    for (int i = 0; i < 10000; ++i)
        items.push_back(
            store.InsertItem("i" + std::to_string(i), 0, TreeItem::None, InsertAt::Last));
    for (std::size_t i = 1; i < items.size(); i += 2)
        store.DeleteItem(items[i]);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const ItemNode* node = store.Node(items[i]);
        ASSERT_EQ(node != nullptr, i % 2 == 0) << i;
        if (node) {
            EXPECT_EQ(node->Text(), "i" + std::to_string(i));
        }
    }

    TreeItem early = store.ReserveItem();  // reserved now, inserted after its page emptied
    TreeItem orphan = store.ReserveItem();
    store.RemoveChildren(TreeItem::None);
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
