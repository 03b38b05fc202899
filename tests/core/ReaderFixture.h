// Helpers for the folder reader tests: generated folder trees, a tree control that records
// every operation the scan issues, and counts of this process's threads and descriptors.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "FakeFolderSource.h"
#include "TempDir.h"
#include "scan/FolderTree.h"
#include "ui/ItemStore.h"

namespace reader_test {

// A sparse file of size bytes.
inline void SparseFile(const std::string& path, off_t size) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0 && ::ftruncate(fd, size) == 0)
        ::close(fd);
}

inline bool Link(const std::string& target, const std::string& path) {
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

// "a" or "b", whichever the open folder lists first.
inline std::string FirstListed(int dirFd) {
    DIR* dir = ::fdopendir(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string first;
    while (dirent* entry = dir ? ::readdir(dir) : nullptr) {
        first = entry->d_name;
        if (first == "a" || first == "b")
            break;
    }
    if (dir)
        ::closedir(dir);
    return first;
}

// depth nested levels below folder, each holding folders "a" and "b": the chain goes on in
// one, the other holds an empty file. With siblingLast the chain goes on in the folder
// listed first, so that a scan enters the sibling only after the whole descent below it.
inline void Chain(const std::string& folder, int depth, bool siblingLast) {
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
inline void GenerateTree(const TempDir& tree, unsigned seed, int folders, int files) {
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
        SparseFile(tree / (folder + name(i) + ".f"), static_cast<off_t>(random() % (1ull << 34)));
    }
    Link(".", tree / "cycle");
    Link("../..", tree / (paths[1] + "up"));
    Link("../" + paths[1], tree / (paths[2] + "folder-link"));
}

// An item store that writes every operation the scan issues, with its arguments, to log.
class RecordingTree : public ItemStore {
  public:
    std::vector<std::string> log;
    std::function<void(const std::string& text)> afterInsert;

    TreeItem InsertItem(std::string text, int image, TreeItem parent, InsertAt where) override {
        TreeItem item = ItemStore::InsertItem(text, image, parent, where);
        Write("insert", item, text + " under " + Id(parent) + (where == InsertAt::Last ? "." : ""));
        if (afterInsert)
            afterInsert(text);
        return item;
    }
    void SetItemText(TreeItem item, std::string text) override {
        Write("text", item, text);
        ItemStore::SetItemText(item, std::move(text));
    }
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override {
        Write("data", item, record ? RecordText(*record) : "none");
        ItemStore::SetItemData(item, std::move(record));
    }
    void Expand(TreeItem item, bool expand) override {
        Write("expand", item, expand ? "1" : "0");
        ItemStore::Expand(item, expand);
    }
    void Select(TreeItem item) override {
        Write("select", item, "");
        ItemStore::Select(item);
    }
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override {
        Write("sort", parent, "");
        ItemStore::SortChildren(parent, compare, context);
    }
    void RefreshTree() override { log.push_back("refresh"); }
    void RefreshPanel() override { log.push_back("panel"); }

  private:
    static std::string Id(TreeItem item) {
        return std::to_string(static_cast<std::uint64_t>(item));
    }
    void Write(const char* what, TreeItem item, const std::string& detail) {
        log.push_back(std::string(what) + " " + Id(item) + " " + detail);
    }
};

// Entries of a /proc folder: /proc/self/fd for descriptors, /proc/self/task for threads.
inline std::size_t CountEntries(const char* folder) {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

// Polls condition until it holds or the bound passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::seconds bound = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace reader_test
