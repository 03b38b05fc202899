// Both folder readers, the sequential one and the read-ahead, on real folders: hostile names,
// sparse files, links never followed, a chain deeper than PATH_MAX within a small descriptor
// limit, what cannot or must not be listed; and the read-ahead issuing the sequential
// reader's tree operations, stopping promptly, surviving folders that vanish, staying within
// its bounds and leaving no thread, descriptor or listing behind.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "FakeFolderSource.h"
#include "TempDir.h"
#include "fs/DirectoryReader.h"
#include "fs/ReadAheadReader.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace {

// A sparse file of size bytes.
void SparseFile(const std::string& path, std::uintmax_t size) {
    std::ofstream{path};
    std::filesystem::resize_file(path, size);
}

// "a" or "b", whichever the open folder lists first.
std::string FirstListed(int dirFd) {
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd/" + std::to_string(dirFd))) {
        if (entry.path().filename() == "a" || entry.path().filename() == "b")
            return entry.path().filename();
    }
    return "";
}

// depth nested levels below folder, each holding folders "a" and "b": the chain goes on in
// one, the other holds an empty file. With siblingLast the chain goes on in the folder
// listed first, so that a scan enters the sibling only after the whole descent below it.
void Chain(const std::string& folder, int depth, bool siblingLast) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        ::mkdirat(fd, "a", 0755);
        ::mkdirat(fd, "b", 0755);
        bool chainInA = (FirstListed(fd) == "a") == siblingLast;
        int sibling = ::openat(fd, chainInA ? "b" : "a", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int file = ::openat(sibling, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0)
            ::close(file);
        ::close(sibling);
        int next = ::openat(fd, chainInA ? "a" : "b", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
}

// A random tree: folders placed under earlier ones, sparse files, dot files and folders,
// names with a newline, invalid UTF-8 and "%", links to files and folders (cycles too).
void GenerateTree(const TempDir& tree, unsigned seed, int folders, int files) {
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* syllables[] = {"ka", "lo", "Mi", "ne", "su", "%s", "r\n", "\xff", "ta", "bo"};
    auto name = [&](int index) {
        std::string text = pick(20) == 0 ? "." : "";
        for (int i = 0, n = 1 + pick(3); i < n; ++i)
            text += syllables[pick(10)];
        return text + std::to_string(index);
    };
    std::vector<std::string> paths = {""};
    for (int i = 0; i < folders; ++i) {
        const std::string& parent = paths[pick(static_cast<int>(paths.size()))];
        paths.push_back(parent + name(i) + "/");
        tree.MakeFolder(paths.back());
    }
    for (int i = 0; i < files; ++i) {
        std::string folder = paths[pick(static_cast<int>(paths.size()))];
        SparseFile(tree / (folder + name(i) + ".f"), random() % (1ull << 34));
    }
    std::filesystem::create_symlink(".", tree / "cycle");
    std::filesystem::create_symlink("../..", tree / (paths[1] + "up"));
    std::filesystem::create_symlink("../" + paths[1], tree / (paths[2] + "folder-link"));
}

// An item store that logs the operations whose arguments come from the listings: the scan
// issues expansion, selection, sorting and refreshes from those alone.
class RecordingTree : public ItemStore {
  public:
    std::vector<std::string> log;  // left empty when quiet, for trees too large to log
    bool quiet = false;
    std::size_t deepest = 0;  // the length of the longest record path
    std::function<void(const std::string& text)> afterInsert;

    TreeItem InsertItem(ItemLabel label, int image, TreeItem parent, InsertAt where) override {
        std::string text = label.Text();
        TreeItem item = ItemStore::InsertItem(std::move(label), image, parent, where);
        Write("insert", item, text + " under " + Id(parent) + (where == InsertAt::Last ? "." : ""));
        if (afterInsert)
            afterInsert(text);
        return item;
    }
    void SetItemText(TreeItem item, ItemLabel label) override {
        Write("text", item, label.Text());
        ItemStore::SetItemText(item, std::move(label));
    }
    // Logs the record as a reader sees it, its path spelled out.
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override {
        ItemStore::SetItemData(item, std::move(record));
        std::optional<FolderRecord> stored = ItemStore::GetItemData(item);
        Write("data", item, stored ? RecordText(*stored) : "none");
        deepest = std::max(deepest, stored ? stored->path.size() : 0);
    }

  private:
    static std::string Id(TreeItem item) {
        return std::to_string(static_cast<std::uint64_t>(item));
    }
    void Write(const char* what, TreeItem item, const std::string& detail) {
        if (!quiet)
            log.push_back(std::string(what) + " " + Id(item) + " " + detail);
    }
};

// Entries of a /proc folder: /proc/self/fd for descriptors, /proc/self/task for threads.
std::size_t CountEntries(const char* folder) {
    return std::distance(std::filesystem::directory_iterator(folder), {});
}

// Polls condition until it holds or the bound passes; true when it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::seconds bound = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct ScanResult {
    std::vector<std::string> log;
    std::map<std::string, std::string> children;  // root's children: name -> label
    std::optional<FolderRecord> root;
    std::size_t deepest = 0;
};

// Scans root with source, setup first adjusting the recording tree.
ScanResult Scan(FolderSource& source, const std::string& root,
                const std::function<void(RecordingTree&)>& setup = {}) {
    RecordingTree tree;
    if (setup)
        setup(tree);
    StopRequested = false;
    ScanContext context{source, nullptr};
    FolderTree::ScanRoot(tree, root, context);
    ScanResult result;
    result.log = tree.log;
    result.deepest = tree.deepest;
    TreeItem rootItem = tree.GetChild(TreeItem::None);
    result.root = tree.GetItemData(rootItem);
    for (TreeItem item = tree.GetChild(rootItem); item != TreeItem::None;
         item = tree.GetNextItem(item)) {
        if (std::optional<FolderRecord> record = tree.Record(item))
            result.children[record->name] = tree.Node(item)->Text();
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

// The sequential reader or the read-ahead on four threads, with a roomy or a tight budget.
std::unique_ptr<FolderSource> MakeReader(bool readAhead, bool tight) {
    if (readAhead)
        return std::make_unique<ReadAheadReader>(
            4, tight ? ReadAheadLimits{6, 50, 1} : ReadAheadLimits{}, &StopRequested);
    return std::make_unique<DirectoryReader>(tight ? 3 : 16);
}

TEST(FolderReaders, HostileNamesLinksAndADeepChainWithinTheDescriptorLimit) {
    TempDir dir;
    const std::string odd[] = {"new\nline", "bad\xff\xfe", "100%s%n", " blank "};
    for (const std::string& name : odd) {
        dir.MakeFolder(name);
        dir.MakeFile(name + "/f", 10);
    }
    SparseFile(dir / "sparse", 5LL << 30);  // above 4 GiB: its listed size counts
    dir.MakeFolder("loop");
    std::filesystem::create_symlink("..", dir / "loop/up");  // a cycle, never followed
    ASSERT_EQ(::link((dir / "bad\xff\xfe/f").c_str(), (dir / "hard").c_str()), 0);
    dir.MakeFolder("chain");
    Chain(dir / "chain", 5000, false);

    for (bool readAhead : {false, true}) {
        SCOPED_TRACE(readAhead ? "read-ahead" : "sequential");
        rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit low = saved;
        low.rlim_cur = std::min<rlim_t>(1024, saved.rlim_max);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
        auto reader = MakeReader(readAhead, false);
        const std::size_t descriptors = CountEntries("/proc/self/fd");
        ScanResult result =
            Scan(*reader, dir.Path(), [](RecordingTree& tree) { tree.quiet = true; });
        ::setrlimit(RLIMIT_NOFILE, &saved);

        ASSERT_TRUE(result.root);
        const FolderRecord* root = &*result.root;
        EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
        EXPECT_EQ(root->folderCount, 4 + 2 + 10000);
        // The four f, sparse and loop/up; "hard" is bad/f again, counted where it is met first.
        EXPECT_EQ(root->fileCount, 4 + 1 + 1 + 5000);
        EXPECT_EQ(root->totalBytes, (5ULL << 30) + 4 * 10 + 2);  // "..": 2 bytes
        EXPECT_GE(root->filesBytes, 5ULL << 30);

        for (const std::string& name : odd)
            EXPECT_EQ(result.children.count(name), 1u) << name;
        // The deepest record: 5000 levels of "/a" or "/b" below the chain, beyond PATH_MAX.
        EXPECT_EQ(result.deepest, (dir / "chain").size() + 2 * 5000);
    }
}

TEST(FolderReaders, ReopenClosedAncestorsForLaterSiblingsAndListNoPseudoFileSystem) {
    TempDir dir;
    dir.MakeFolder("chain");
    Chain(dir / "chain", 12, true);
    dir.MakeFile("plain", 7);
    for (bool readAhead : {false, true}) {
        SCOPED_TRACE(readAhead ? "read-ahead" : "sequential");
        auto reader = MakeReader(readAhead, true);
        std::optional<FolderRecord> root = Scan(*reader, dir / "chain").root;
        ASSERT_TRUE(root);
        EXPECT_EQ(root->folderCount, 24);
        EXPECT_EQ(root->fileCount, 12);

        for (std::string start : {dir / "plain", dir / "absent", std::string("/proc")})
            EXPECT_EQ(Scan(*reader, start).root->totalBytes, 0u) << start;
    }
}

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
    ReadAheadReader many(64);  // the most the policy ever runs
    EXPECT_EQ(Scan(many, tree.Path()).log, expected.log);

    // A small window and a single descriptor kept: folders are opened again and again, and
    // descriptors are closed while other readers may be about to open through them.
    const std::size_t descriptors = CountEntries("/proc/self/fd");
    const std::size_t threads = CountEntries("/proc/self/task");
    const ReadAheadLimits limits{6, 50, 1};
    // At least three rounds, and more until the readers have listed folders in one: on a
    // loaded machine the scan may list every folder itself before a reader gets a processor.
    std::size_t listedByReaders = 0;
    for (int round = 0; round < 3 || (listedByReaders == 0 && round < 40); ++round) {
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
        listedByReaders += most.listedByReaders;
        EXPECT_EQ(mostThreads, threads + 8);
        EXPECT_FALSE(cramped.Stats());
        EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threads; }));
        EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
    }
    EXPECT_GT(listedByReaders, 0u);
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
        ReadAheadReader reader(threads, ReadAheadLimits{100000, 1 << 20, 128}, &StopRequested);
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
                std::filesystem::remove_all(tree / victim);
        };
    });

    ASSERT_TRUE(got.root && got.root->complete);
    EXPECT_EQ(got.children.erase(victim), expected.children.erase(victim));
    EXPECT_EQ(got.children, expected.children);
    EXPECT_FALSE(std::filesystem::exists(tree / victim));
    EXPECT_LE(got.root->totalBytes, expected.root->totalBytes);
}

}  // namespace
