// Helpers for the read-ahead tests: temporary folder trees of any depth, a tree control
// that records every operation the scan issues, and counts of this process's threads and
// descriptors.
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

#include "scan/FolderTree.h"
#include "ui/ItemStore.h"

namespace readahead_test {

// Deletes name below parentFd with everything in it, through descriptors (no path limit).
inline void RemoveTree(int parentFd, const char* name) {
    int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parentFd, name, 0);
        return;
    }
    std::vector<std::string> names;
    int listFd = ::dup(fd);
    if (DIR* dir = ::fdopendir(listFd)) {
        while (dirent* entry = ::readdir(dir)) {
            std::string entryName = entry->d_name;
            if (entryName != "." && entryName != "..")
                names.push_back(entryName);
        }
        ::closedir(dir);
    }
    for (const std::string& entryName : names)
        RemoveTree(fd, entryName.c_str());
    ::close(fd);
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

// A temporary folder, removed with its contents at the end. In memory (/dev/shm) where the
// system has it, so that building and removing deep trees does not wait on the disk.
class TempTree {
  public:
    TempTree() {
        std::filesystem::path base = ::access("/dev/shm", W_OK) == 0
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        std::string pattern = base / "brimwell-ra-XXXXXX";
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempTree() { RemoveTree(AT_FDCWD, path_.c_str()); }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

    void Folder(const std::string& rel) const { ::mkdir((*this / rel).c_str(), 0755); }
    void File(const std::string& rel, off_t size) const {
        int fd = ::open((*this / rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0 && ::ftruncate(fd, size) == 0)
            ::close(fd);
    }
    void Write(const std::string& rel, const std::string& text) const {
        int fd = ::open((*this / rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0 && ::write(fd, text.data(), text.size()) >= 0)
            ::close(fd);
    }
    void Link(const std::string& rel, const std::string& target) const {
        [[maybe_unused]] int ignored = ::symlink(target.c_str(), (*this / rel).c_str());
    }
    // depth nested folders named "a" below rel, and one file of size bytes in the deepest.
    void Chain(const std::string& rel, int depth, off_t size) const {
        int fd = ::open((*this / rel).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (int level = 0; level < depth && fd >= 0; ++level) {
            ::mkdirat(fd, "a", 0755);
            int next = ::openat(fd, "a", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
        }
        int file = ::openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0 && ::ftruncate(file, size) == 0)
            ::close(file);
        ::close(fd);
    }

  private:
    std::string path_;
};

// A random tree: folders placed under earlier ones, sparse files, dot files and folders,
// names with a newline, invalid UTF-8 and "%", links to files and folders (cycles too).
inline void GenerateTree(const TempTree& tree, unsigned seed, int folders, int files) {
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
        tree.Folder(paths.back());
    }
    for (int i = 0; i < files; ++i) {
        std::string folder = paths[pick(static_cast<int>(paths.size()))];
        tree.File(folder + name(i) + ".f", static_cast<off_t>(random() % (1ull << 34)));
    }
    tree.Link("cycle", ".");
    tree.Link(paths[1] + "up", "../..");
    tree.Link(paths[2] + "file-link", "../" + paths[1]);
}

// Forwards to an item store and writes every operation, with its arguments, to log.
class RecordingTree : public TreeControl {
  public:
    ItemStore store;
    std::vector<std::string> log;
    std::function<void(const std::string& text)> afterInsert;

    TreeItem InsertItem(std::string text, int image, TreeItem parent, InsertAt where) override {
        TreeItem item = store.InsertItem(text, image, parent, where);
        Write("insert", item,
              text + " under " + Id(parent) + (where == InsertAt::Last ? " last" : ""));
        if (afterInsert)
            afterInsert(text);
        return item;
    }
    void SetItemText(TreeItem item, std::string text) override {
        Write("text", item, text);
        store.SetItemText(item, std::move(text));
    }
    void SetItemData(TreeItem item, std::unique_ptr<FolderRecord> record) override {
        Write("data", item, record ? Describe(*record) : "none");
        store.SetItemData(item, std::move(record));
    }
    std::optional<FolderRecord> GetItemData(TreeItem item) override {
        return store.GetItemData(item);
    }
    void Expand(TreeItem item, bool expand) override {
        Write("expand", item, expand ? "1" : "0");
        store.Expand(item, expand);
    }
    TreeItem GetChild(TreeItem item) override { return store.GetChild(item); }
    TreeItem GetNextItem(TreeItem item) override { return store.GetNextItem(item); }
    TreeItem GetParent(TreeItem item) override { return store.GetParent(item); }
    TreeItem GetSelection() override { return store.GetSelection(); }
    void Select(TreeItem item) override {
        Write("select", item, "");
        store.Select(item);
    }
    void SortChildren(TreeItem parent, ItemCompare compare, std::intptr_t context) override {
        Write("sort", parent, "");
        store.SortChildren(parent, compare, context);
    }
    void DeleteItem(TreeItem item) override { store.DeleteItem(item); }
    bool RemoveChildren(TreeItem item) override { return store.RemoveChildren(item); }
    void ClearSubtreeData(TreeItem item) override { store.ClearSubtreeData(item); }
    void RefreshTree() override { log.push_back("refresh"); }
    void RefreshPanel() override { log.push_back("panel"); }

  private:
    static std::string Id(TreeItem item) {
        return std::to_string(static_cast<std::uint64_t>(item));
    }
    static std::string Describe(const FolderRecord& r) {
        return r.path + "|" + r.name + "|" + std::to_string(r.totalBytes) + "|" +
               std::to_string(r.filesBytes) + "|" + std::to_string(r.folderCount) + "|" +
               std::to_string(r.fileCount) + (r.isFilesEntry ? "|F" : "") +
               (r.complete ? "" : "|P");
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

}  // namespace readahead_test
