// The store's handle index across many pages: lookups after deletions, freed pages, and
// handles that were reserved long before their items are inserted.
#include <gtest/gtest.h>

#include "ui/ItemStore.h"

TEST(ItemIndex, FindsLiveItemsAndNothingForDeletedOnesAcrossPages) {
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
    store.RemoveChildren(TreeItem::None);
    EXPECT_EQ(store.ItemCount(), 0u);
    EXPECT_EQ(store.Node(items[0]), nullptr);
    store.InsertItemAs(early, "late", 0, TreeItem::None, InsertAt::Last);
    store.InsertItemAs(early, "twice", 0, TreeItem::None, InsertAt::Last);  // ignored
    ASSERT_NE(store.Node(early), nullptr);
    EXPECT_EQ(store.Node(early)->text, "late");
    EXPECT_EQ(store.ItemCount(), 1u);
    EXPECT_EQ(store.Top().children.size(), 1u);
}
