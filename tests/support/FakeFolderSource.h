// An in-memory folder tree that the scan can list, for tests that need listings the disk
// cannot give on demand (compressed files, folders that vanish, exact entry order), and a
// record's figures as text.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fs/FolderSource.h"
#include "tree/FolderRecord.h"

// A record's figures in one line: path|name|total|files bytes|folders|files, then F for a
// FILES entry and P for a placeholder.
inline std::string RecordText(const FolderRecord& r) {
    return r.path + "|" + r.name + "|" + std::to_string(r.totalBytes) + "|" +
           std::to_string(r.filesBytes) + "|" + std::to_string(r.folderCount) + "|" +
           std::to_string(r.fileCount) + (r.isFilesEntry ? "|F" : "") + (r.complete ? "" : "|P");
}

struct FakeFolder {
    FakeFolder() = default;
    FakeFolder(FakeFolder&&) = default;
    FakeFolder& operator=(FakeFolder&&) = default;
    // Frees nested folders one level at a time: a fake chain may be deeper than the stack.
    ~FakeFolder() {
        std::vector<std::unique_ptr<FakeFolder>> below;
        auto takeChildren = [&below](FakeFolder& folder) {
            for (Entry& entry : folder.entries) {
                if (entry.folder)
                    below.push_back(std::move(entry.folder));
            }
        };
        takeChildren(*this);
        while (!below.empty()) {
            std::unique_ptr<FakeFolder> folder = std::move(below.back());
            below.pop_back();
            takeChildren(*folder);
        }
    }

    struct Entry {
        std::string name;
        std::uint64_t size = 0;
        bool compressed = false;
        std::uint64_t sizeOnDisk = 0;
        std::unique_ptr<FakeFolder> folder;  // set for sub-folders
        std::uint64_t inode = 0;             // a file with several hard links: its inode
    };
    std::vector<Entry> entries;
    bool unreadable = false;
    std::uint64_t ownBlocks = 0;  // the folder's own space on disk

    // Adds a file, compressed when onDisk is given; returns this folder for chaining.
    FakeFolder& File(std::string name, std::uint64_t size, std::uint64_t onDisk = 0) {
        entries.push_back({std::move(name), size, onDisk != 0, onDisk, nullptr, 0});
        return *this;
    }
    // Adds a file that is not compressed but takes onDisk bytes of blocks (a sparse file,
    // or a small one in a large block).
    FakeFolder& Allocated(std::string name, std::uint64_t size, std::uint64_t onDisk) {
        entries.push_back({std::move(name), size, false, onDisk, nullptr, 0});
        return *this;
    }
    // Adds a name of a file with several hard links; names with one inode are one file.
    FakeFolder& Linked(std::string name, std::uint64_t size, std::uint64_t inode) {
        entries.push_back({std::move(name), size, false, 0, nullptr, inode});
        return *this;
    }
    // Adds a sub-folder and returns it.
    FakeFolder& Folder(std::string name) {
        entries.push_back({std::move(name), 0, false, 0, std::make_unique<FakeFolder>(), 0});
        return *entries.back().folder;
    }
};

class FakeFolderSource : public FolderSource {
  public:
    // Folders are looked up by the path given to EnterRoot: a root's, or one below a root.
    std::map<std::string, FakeFolder> roots;
    // Called with the folder's path (names joined by "/") before it is listed.
    std::function<void(const std::string& path)> beforeList;
    int enterCount = 0;
    int leaveCount = 0;

    void EnterRoot(const std::string& path) override {
        ++enterCount;
        stack_.clear();
        path_ = path;
        stack_.push_back({Find(path), path_.size()});
    }
    void Enter(std::string_view name) override {
        ++enterCount;
        FakeFolder* child = nullptr;
        for (auto& entry : stack_.back().folder ? stack_.back().folder->entries : none_) {
            if (entry.name == name && entry.folder)
                child = entry.folder.get();
        }
        path_.resize(stack_.back().pathLength);
        path_.append("/").append(name);
        stack_.push_back({child, path_.size()});
    }
    void Leave() override {
        ++leaveCount;
        stack_.pop_back();
    }
    bool List(FolderListing& out) override {
        out.Clear();
        if (beforeList)
            beforeList(path_.substr(0, stack_.back().pathLength));
        FakeFolder* folder = stack_.back().folder;
        if (!folder || folder->unreadable)
            return false;
        out.folderSizeOnDisk = folder->ownBlocks;
        out.Add(".").isDirectory = true;
        out.Add("..").isDirectory = true;
        for (const auto& entry : folder->entries) {
            FolderEntry& listed = out.Add(entry.name);
            listed.isDirectory = entry.folder != nullptr;
            listed.size = entry.size;
            listed.compressed = entry.compressed;
            listed.sizeOnDisk = entry.sizeOnDisk;
            if (entry.inode != 0) {
                out.links.push_back({1, entry.inode});
                out.linkCounts.push_back(2);
                listed.link = static_cast<std::uint32_t>(out.links.size());
            }
        }
        return true;
    }

  private:
    FakeFolder* Find(const std::string& path) {
        auto found = roots.find(path);
        if (found != roots.end())
            return &found->second;
        std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0)
            return nullptr;
        FakeFolder* parent = Find(path.substr(0, slash));
        if (!parent)
            return nullptr;
        for (auto& entry : parent->entries) {
            if (entry.folder && entry.name == path.substr(slash + 1))
                return entry.folder.get();
        }
        return nullptr;
    }

    struct Level {
        FakeFolder* folder;
        std::size_t pathLength;  // the folder's path is path_ up to here
    };
    std::vector<Level> stack_;
    std::string path_;
    std::vector<FakeFolder::Entry> none_;
};
