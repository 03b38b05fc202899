// Item store edge cases the scans do not reach: byte order after ASCII case, unknown and
// removed handles, unsigned sizes with ties, handles across the index's pages, and the
// order of thousands of siblings against a plain list.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
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
    EXPECT_EQ(store.Selection(), root);  // what a rescan's removal leaves selected
    EXPECT_EQ(store.ItemCount(), 1u);
    store.DeleteItem(TreeItem::None);  // the null item stands for the whole tree
    EXPECT_EQ(store.ItemCount(), 0u);
    EXPECT_EQ(store.Selection(), TreeItem::None);
}

// As a native tree moves it: to the next sibling of what was deleted, else the previous one,
// else the parent; a selection below a deleted item moves the same way.
TEST(ItemStore, DeletingTheSelectionSelectsTheNextSiblingElseThePreviousElseTheParent) {
    ItemStore store;
    TreeItem r = store.InsertItem("r", 0, TreeItem::None, InsertAt::Last);
    TreeItem s = store.InsertItem("s", 0, TreeItem::None, InsertAt::Last);
    TreeItem a = store.InsertItem("a", 0, r, InsertAt::Last);
    TreeItem b = store.InsertItem("b", 0, r, InsertAt::Last);
    TreeItem c = store.InsertItem("c", 0, r, InsertAt::Last);
    TreeItem g = store.InsertItem("g", 0, a, InsertAt::Last);
    store.Select(b);
    store.DeleteItem(b);
    EXPECT_EQ(store.Selection(), c);
    store.DeleteItem(c);
    EXPECT_EQ(store.Selection(), a);
    store.DeleteItem(s);  // not the selection: it stays
    EXPECT_EQ(store.Selection(), a);
    store.Select(g);
    store.DeleteItem(a);
    EXPECT_EQ(store.Selection(), r);
    store.DeleteItem(r);  // the last root
    EXPECT_EQ(store.Selection(), TreeItem::None);
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

namespace {

// What the store's children must look like: a plain list, sorted insertion by
// std::upper_bound on the labels as they read at that moment, stable sorts.
struct PlainChild {
    TreeItem id;
    std::string label;
    std::uint64_t size;
    bool hasRecord;
};

std::string RandomName(std::mt19937& random) {
    static const char kLetters[] = "aAbBzZ_. \t19";  // case, a tab and blanks make ties hard
    std::string name;
    for (int length = 1 + static_cast<int>(random() % 6); length > 0; --length)
        name.push_back(kLetters[random() % (sizeof kLetters - 1)]);
    return name;
}

}  // namespace

TEST(ItemStore, ThousandsOfSiblingsKeepThePlainListsOrderThroughInsertsRelabelsSortsAndRemovals) {
    std::mt19937 random(20261207);
    ItemStore store;
    const TreeItem root = store.InsertItem("/r", 0, TreeItem::None, InsertAt::Last);
    std::vector<PlainChild> plain;
    auto check = [&](int step) {
        ASSERT_EQ(store.Node(root)->Children().Size(), plain.size()) << step;
        std::size_t row = 0;
        for (TreeItem c = store.GetChild(root); c != TreeItem::None; c = store.GetNextItem(c)) {
            ASSERT_EQ(c, plain[row].id) << "step " << step << " row " << row;
            ASSERT_EQ(store.Node(c)->Text(), plain[row].label) << step;
            ASSERT_EQ(store.Node(c)->Row(), row) << step;
            ++row;
        }
    };
    for (int step = 0; step < 9000; ++step) {
        const unsigned op = random() % 100;
        const std::size_t pick = plain.empty() ? 0 : random() % plain.size();
        if (op < 55 || plain.empty()) {
            std::string label = RandomName(random);
            auto at = std::upper_bound(plain.begin(), plain.end(), label,
                                       [](const std::string& value, const PlainChild& child) {
                                           return CompareLabels(value, child.label) < 0;
                                       });
            TreeItem id = store.InsertItem(label, 0, root, InsertAt::Sorted);
            plain.insert(at, {id, label, 0, false});
        } else if (op < 60) {
            std::string label = RandomName(random);
            plain.push_back({store.InsertItem(label, 0, root, InsertAt::Last), label, 0, false});
        } else if (op < 75) {  // a finished folder's label, or a plain text again
            ItemLabel label = op < 70 ? ItemLabel::Folder(plain[pick].label.substr(0, 3),
                                                          random() % 5000, 1, 2, op % 2)
                                      : ItemLabel(RandomName(random));
            plain[pick].label = label.Text();
            store.SetItemText(plain[pick].id, std::move(label));
        } else if (op < 88) {
            std::uint64_t size = op % 4 ? random() % 100 : ~std::uint64_t{0} - random() % 3;
            store.SetItemData(plain[pick].id, Sized(size));
            plain[pick].size = size;
            plain[pick].hasRecord = true;
        } else if (op < 91) {
            store.SortChildren(root, FolderTree::CompareBySize, 0);
            std::stable_sort(plain.begin(), plain.end(), [](const auto& a, const auto& b) {
                return (a.hasRecord ? a.size : 0) > (b.hasRecord ? b.size : 0);
            });
        } else if (op < 97) {
            store.DeleteItem(plain[pick].id);
            plain.erase(plain.begin() + static_cast<std::ptrdiff_t>(pick));
        } else {  // a read between changes: the row of one child
            ASSERT_EQ(store.Node(plain[pick].id)->Row(), pick) << step;
        }
        if (step % 1000 == 999)
            check(step);
    }
    EXPECT_GT(plain.size(), 2 * ChildList::kBlock);  // the blocks, not only the small array
    check(-1);
}

// A listener that keeps the tree as it has been told about it, and checks at every call that
// the store shows it exactly that: what a view over the store relies on.
class MirrorListener : public ItemStoreListener {
  public:
    explicit MirrorListener(const ItemStore& store) : store_(store) {}

    std::size_t inserts = 0, reorders = 0;

    // The rows the store shows under parent are the ones this listener was told about.
    void ExpectShown(const ItemNode& parent) const {
        const std::vector<const ItemNode*>& told = Known(parent);
        ASSERT_EQ(store_.ShownCount(parent), told.size());
        for (std::size_t row = 0; row < told.size(); ++row) {
            ASSERT_EQ(store_.ShownChild(parent, row), told[row]) << "row " << row;
            ASSERT_EQ(store_.ShownRow(*told[row]), row);
        }
    }
    // Everything told is the whole tree, in its real order.
    void ExpectWholeTree() const {
        std::vector<const ItemNode*> pending{&store_.Top()};
        while (!pending.empty()) {
            const ItemNode* node = pending.back();
            pending.pop_back();
            ExpectShown(*node);
            ASSERT_EQ(Known(*node).size(), node->Children().Size());
            for (const ItemNode& child : node->Children()) {
                ASSERT_TRUE(child.Announced());
                pending.push_back(&child);
            }
        }
    }

    void BeginInsert(const ItemNode& parent, int first, int last) override {
        ExpectShown(parent);
        ASSERT_LE(first, last);
        change_ = {&parent, first, last};
    }
    void EndInsert() override {
        std::vector<const ItemNode*>& told = children_[change_.parent];
        for (int row = change_.first; row <= change_.last; ++row) {
            const ItemNode* child = store_.ShownChild(*change_.parent, std::size_t(row));
            ASSERT_TRUE(child);
            told.insert(told.begin() + row, child);
            LearnBelow(*child);
        }
        ++inserts;
        ExpectShown(*change_.parent);
    }
    void BeginRemove(const ItemNode& parent, int first, int last) override {
        ExpectShown(parent);
        change_ = {&parent, first, last};
    }
    void EndRemove() override {
        std::vector<const ItemNode*>& told = children_[change_.parent];
        told.erase(told.begin() + change_.first, told.begin() + change_.last + 1);
        ExpectShown(*change_.parent);
    }
    void BeginReorder(const ItemNode& parent) override {
        ExpectShown(parent);
        change_ = {&parent, 0, 0};
    }
    void EndReorder(const ItemNode& parent) override {
        std::vector<const ItemNode*> before = Known(parent), after;
        for (std::size_t row = 0; row < store_.ShownCount(parent); ++row)
            after.push_back(store_.ShownChild(parent, row));
        std::vector<const ItemNode*> sortedBefore = before, sortedAfter = after;
        std::sort(sortedBefore.begin(), sortedBefore.end());
        std::sort(sortedAfter.begin(), sortedAfter.end());
        ASSERT_EQ(sortedAfter, sortedBefore);  // the same rows, in another order
        children_[&parent] = after;
        ++reorders;
    }
    void ItemChanged(const ItemNode& item) override { ExpectKnown(item); }
    void ExpandChanged(const ItemNode& item) override { ExpectKnown(item); }
    void SelectionChanged(TreeItem selected) override {
        if (selected != TreeItem::None)
            ExpectKnown(*store_.Node(selected));
    }

  private:
    struct Change {
        const ItemNode* parent = nullptr;
        int first = 0, last = 0;
    };
    const std::vector<const ItemNode*>& Known(const ItemNode& parent) const {
        static const std::vector<const ItemNode*> kNone;
        auto found = children_.find(&parent);
        return found == children_.end() ? kNone : found->second;
    }
    // An inserted row comes with what lies below it, as a view finds it when it looks.
    void LearnBelow(const ItemNode& top) {
        std::vector<const ItemNode*> pending{&top};
        while (!pending.empty()) {
            const ItemNode* node = pending.back();
            pending.pop_back();
            std::vector<const ItemNode*>& told = children_[node];
            told.clear();
            for (std::size_t row = 0; row < store_.ShownCount(*node); ++row) {
                told.push_back(store_.ShownChild(*node, row));
                pending.push_back(told.back());
            }
        }
    }
    void ExpectKnown(const ItemNode& item) const {
        const std::vector<const ItemNode*>& siblings = Known(*item.Parent());
        EXPECT_NE(std::find(siblings.begin(), siblings.end(), &item), siblings.end())
            << "told about an item it does not know: " << item.Text();
    }

    const ItemStore& store_;
    std::map<const ItemNode*, std::vector<const ItemNode*>> children_;
    Change change_;
};

// A batch holds its insertions back and announces them in runs, or many of them as one
// appended run and one reorder; whatever the listener must see first (a removal, a sort, a
// selection, an insertion outside a batch) announces them at once. At every step the store
// shows the listener exactly what it was told, and in the end all of the tree.
TEST(ItemStore, BatchesAnnounceTheirInsertionsInRunsAndShowOnlyWhatWasTold) {
    std::mt19937 random(4711);
    ItemStore store;
    MirrorListener mirror(store);
    store.SetListener(&mirror);
    const TreeItem root = store.InsertItem("/r", 0, TreeItem::None, InsertAt::Last);
    std::vector<TreeItem> items{root};
    for (int i = 0; i < 300; ++i)  // a parent with many children before the batches
        items.push_back(store.InsertItem(RandomName(random), 0, root, InsertAt::Sorted));

    // 2,000 siblings in one batch: one appended run and one reorder, whatever their order.
    const std::size_t inserts = mirror.inserts, reorders = mirror.reorders;
    const std::size_t told = store.Node(root)->Children().Size();
    store.BeginBatch();
    for (int i = 0; i < 2000; ++i) {
        TreeItem child = store.InsertItem(RandomName(random), 0, root, InsertAt::Sorted);
        store.SetItemText(child, ItemLabel::Folder(RandomName(random), 1, 1, 0, true));
        store.InsertItem(ItemLabel::FilesEntry(1, false, true), 0, child, InsertAt::Last);
        ASSERT_EQ(store.ShownCount(*store.Node(root)), told);
        items.push_back(child);
    }
    store.EndBatch();
    store.AnnounceHeld();
    EXPECT_EQ(mirror.inserts - inserts, 1u);
    EXPECT_EQ(mirror.reorders - reorders, 1u);
    mirror.ExpectWholeTree();

    store.BeginBatch();  // 100 appended after the others: one run, nothing to reorder
    for (int i = 0; i < 100; ++i)
        items.push_back(store.InsertItem(RandomName(random), 0, root, InsertAt::Last));
    store.EndBatch();
    store.AnnounceHeld();
    EXPECT_EQ(mirror.inserts - inserts, 2u);
    EXPECT_EQ(mirror.reorders - reorders, 1u);
    mirror.ExpectWholeTree();

    for (int round = 0; round < 60; ++round) {
        store.BeginBatch();
        for (int step = 0; step < 80; ++step) {
            const unsigned op = random() % 100;
            const TreeItem pick = items[random() % items.size()];
            if (!store.Node(pick))
                continue;
            if (op < 50) {
                items.push_back(store.InsertItem(RandomName(random), 0, pick,
                                                 op % 5 ? InsertAt::Sorted : InsertAt::Last));
            } else if (op < 70) {
                store.SetItemText(pick, RandomName(random));
            } else if (op < 80) {
                store.SetItemData(pick, Sized(random() % 100));
            } else if (op < 85) {
                store.SortChildren(pick, FolderTree::CompareBySize, 0);
            } else if (op < 89) {
                store.Expand(pick, true);
            } else if (op < 92) {
                store.Select(pick);
            } else if (op < 94 && pick != root) {
                store.DeleteItem(pick);
            }
        }
        store.EndBatch();
        if (round % 3 == 0)  // held across batches too
            store.AnnounceHeld();
        if (round % 7 == 0)
            store.InsertItem(RandomName(random), 0, root, InsertAt::Sorted);  // outside a batch
        if (HasFailure())
            return;
    }
    store.AnnounceHeld();
    mirror.ExpectWholeTree();
}
