// Where the scan gets its folder listings from. The scan walks depth first and tells the
// source where it is (EnterRoot, Enter, Leave), so a source can keep directory descriptors
// of the current path open, and can read ahead of the scan, without the scan knowing.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FolderEntry {
    std::uint32_t nameOffset = 0;  // into FolderListing::names
    std::uint32_t nameLength = 0;
    bool isDirectory = false;  // a real directory; symbolic links are never directories here
    bool compressed = false;   // stored compressed: sizeOnDisk is what it occupies
    std::uint64_t size = 0;    // the listed size; 0 for directories
    std::uint64_t sizeOnDisk = 0;
};

// One folder's entries, "." and ".." included, in the order the file system lists them.
// Names live in one buffer so that a listing of a million files costs two allocations;
// each is followed by a zero byte, so that it can be handed to the system as it is.
// Entries whose names start with a dot are left out of the scan: neither counted nor entered.
inline bool IsScannedName(std::string_view name) {
    return !name.empty() && name.front() != '.';
}

struct FolderListing {
    std::vector<FolderEntry> entries;
    std::string names;

    std::string_view Name(const FolderEntry& entry) const {
        return std::string_view(names).substr(entry.nameOffset, entry.nameLength);
    }
    // The name as a zero-terminated string.
    const char* CName(const FolderEntry& entry) const { return names.data() + entry.nameOffset; }
    void Clear() {
        entries.clear();
        names.clear();
    }
    FolderEntry& Add(std::string_view name) {
        FolderEntry& entry = entries.emplace_back();
        entry.nameOffset = static_cast<std::uint32_t>(names.size());
        entry.nameLength = static_cast<std::uint32_t>(name.size());
        names.append(name);
        names.push_back('\0');
        return entry;
    }
};

// Figures a scan has seen so far, for a progress display that polls them.
struct ScanCounters {
    std::atomic<std::int64_t> folders{0};
    std::atomic<std::int64_t> files{0};
    std::atomic<std::uint64_t> bytes{0};
};

class FolderSource {
  public:
    virtual ~FolderSource() = default;
    // The starting folder, by its path, becomes the current folder.
    virtual void EnterRoot(const std::string& path) = 0;
    // Sub-folder `name` of the current folder becomes the current folder.
    virtual void Enter(std::string_view name) = 0;
    // The parent of the current folder becomes current again. One Leave per Enter/EnterRoot.
    virtual void Leave() = 0;
    // Lists the current folder into out. False when it cannot be listed (unreadable,
    // vanished, not a folder, a pseudo file system): the folder then counts as empty.
    virtual bool List(FolderListing& out) = 0;
};
