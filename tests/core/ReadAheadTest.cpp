// Read-ahead: the scan issues the same tree operations with and without reader threads, stops
// as promptly, survives folders vanishing under the readers, stays within its bounds and
// leaves no thread, descriptor or listing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ReaderFixture.h"
#include "platform/DirectoryReader.h"
#include "platform/ReadAheadReader.h"
#include "scan/SizeUnit.h"

using namespace reader_test;

namespace {

struct ScanResult {
    std::vector<std::string> log;
    std::map<std::string, std::string> children;  // root's children: name -> label
    std::optional<FolderRecord> root;
};

ScanResult Scan(FolderSource& source, const std::string& root,
                const std::function<void(RecordingTree&)>& setup = {}) {
    RecordingTree tree;
    if (setup)
        setup(tree);
    ScanContext context{source, nullptr};
    FolderTree::ScanRoot(tree, root, context);
    ScanResult result;
    result.log = tree.log;
    TreeItem rootItem = tree.GetChild(TreeItem::None);
    result.root = tree.GetItemData(rootItem);
    for (TreeItem item = tree.GetChild(rootItem); item != TreeItem::None;
         item = tree.GetNextItem(item)) {
        if (const FolderRecord* record = tree.Record(item))
            result.children[record->name] = tree.Node(item)->text;
    }
    return result;
}

// Sets the stop request at the given insertion, calling before and after around it.
std::function<void(RecordingTree&)> StopAt(int insertion, std::function<void()> before = {},
                                           std::function<void()> after = {}) {
    return [=](RecordingTree& tree) {
        tree.afterInsert = [=, count = 0](const std::string&) mutable {
            if (++count != insertion)
                return;
            if (before)
                before();
            StopRequested.store(true);
            if (after)
                after();
        };
    };
}

}  // namespace

TEST(ReadAhead, SameOperationsAsTheSequentialReaderWithinItsWindowLeavingNothingBehind) {
    SizeUnit::Reset();
    TempDir tree;
    GenerateTree(tree, 7, 400, 3000);
    DirectoryReader sequential;
    ScanResult expected = Scan(sequential, tree.Path());
    ASSERT_TRUE(expected.root && expected.root->complete);
    ASSERT_GT(expected.root->folderCount, 200);
    ReadAheadReader four(4);  // also starts any thread a sanitizer's runtime adds at first
    EXPECT_EQ(Scan(four, tree.Path()).log, expected.log);
    EXPECT_EQ(four.ReaderThreads(), 4u);
    ReadAheadReader one(1);
    EXPECT_EQ(Scan(one, tree.Path()).log, expected.log);

    // A small window and a single descriptor kept: folders are opened again and again, and
    // descriptors are closed while other readers may be about to open through them.
    const std::size_t descriptors = CountEntries("/proc/self/fd");
    const std::size_t threads = CountEntries("/proc/self/task");
    const ReadAheadLimits limits{6, 50, 1};
    for (int round = 0; round < 3; ++round) {
        ReadAheadReader cramped(8, limits);
        ReadAheadStats most;
        std::size_t mostThreads = 0;
        ScanResult got = Scan(cramped, tree.Path(), [&](RecordingTree& recording) {
            recording.afterInsert = [&](const std::string&) {
                std::optional<ReadAheadStats> stats = cramped.Stats();
                if (!stats)
                    return;  // the root item, inserted before the read-ahead starts or after
                most.foldersAhead = std::max(most.foldersAhead, stats->foldersAhead);
                most.openDescriptors = std::max(most.openDescriptors, stats->openDescriptors);
                most.listedByReaders = stats->listedByReaders;
                mostThreads = std::max(mostThreads, CountEntries("/proc/self/task"));
            };
        });
        EXPECT_EQ(got.log, expected.log);
        EXPECT_LE(most.foldersAhead, limits.folders);
        EXPECT_LE(most.openDescriptors, limits.descriptors + 8 + 2);  // plus those in use
        EXPECT_GT(most.listedByReaders, 0u);
        EXPECT_EQ(mostThreads, threads + 8);
        EXPECT_FALSE(cramped.Stats());
        EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threads; }));
        EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    }
}

TEST(ReadAhead, StopEndsTheReadAheadWithinOneListing) {
    TempDir tree;
    GenerateTree(tree, 11, 2000, 3000);
    DirectoryReader sequential;
    ScanResult expected = Scan(sequential, tree.Path(), StopAt(3));

    // A window as large as the tree: only the stop request can hold the readers back. The
    // check means something only if the readers still had folders to list when the stop
    // came; on a loaded machine they may race through the tree before this thread wakes up,
    // so such a round is run again.
    const unsigned threads = 4;
    const std::size_t stillBusyBelow = 1000;
    std::size_t listedAtStop = 0;
    for (int round = 0; round < 5; ++round) {
        ReadAheadReader reader(threads, ReadAheadLimits{100000, 1 << 20, 128});
        std::size_t listedAfterStop = 0;
        auto busy = [&] {
            EXPECT_TRUE(WaitUntil([&] { return reader.Stats()->listedByReaders > 20; }));
        };
        auto stopped = [&] {
            listedAtStop = reader.Stats()->listedByReaders;
            EXPECT_TRUE(WaitUntil([&] { return reader.Stats()->readersListing == 0; }));
            listedAfterStop = reader.Stats()->listedByReaders;
        };
        ScanResult got = Scan(reader, tree.Path(), StopAt(3, busy, stopped));
        StopRequested.store(false);

        EXPECT_EQ(got.log, expected.log);  // the same stop point, items and labels
        EXPECT_LE(listedAfterStop, listedAtStop + threads);  // at most the listings under way
        if (listedAtStop < stillBusyBelow)
            break;
    }
    EXPECT_LT(listedAtStop, stillBusyBelow) << "the readers finished before every stop";
}

TEST(ReadAhead, FolderDeletedWhileItIsReadAhead) {
    TempDir tree;
    for (int top = 0; top < 8; ++top) {
        for (int sub = 0; sub < 30; ++sub) {
            std::string child = "t" + std::to_string(top) + "/s" + std::to_string(sub);
            tree.MakeFolder(child.substr(0, 2));
            tree.MakeFolder(child);
            tree.MakeFolder(child + "/deeper");
            SparseFile(tree / (child + "/deeper/f"), 1 << 20);
            SparseFile(tree / (child + "/f"), 1 << 16);
        }
    }
    DirectoryReader sequential;
    ScanResult expected = Scan(sequential, tree.Path());
    // The second top folder in listing order is among the first the readers take.
    std::vector<std::string> order;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path()))
        order.push_back(entry.path().filename());
    const std::string victim = order.at(1);
    ReadAheadReader reader(4);
    ScanResult got = Scan(reader, tree.Path(), [&](RecordingTree& recording) {
        recording.afterInsert = [&, inserted = 0](const std::string&) mutable {
            if (++inserted == 2)  // the root's first sub-folder, listed after the root
                TempDir::RemoveTree(AT_FDCWD, (tree / victim).c_str());
        };
    });

    ASSERT_TRUE(got.root && got.root->complete);
    ASSERT_EQ(got.children.size(), expected.children.size());
    for (const auto& [name, label] : expected.children) {
        if (name != victim) {
            EXPECT_EQ(got.children[name], label);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(tree / victim));
    EXPECT_LE(got.root->totalBytes, expected.root->totalBytes);
}
