// Where the scan gets its folder listings from. The scan walks depth first and tells the
// source where it is (EnterRoot, Enter, Leave), so a source can keep directory descriptors
// of the current path open, and can read ahead of the scan, without the scan knowing.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fs/ScanRules.h"

struct FolderEntry {
    std::uint32_t nameOffset = 0;  // into FolderListing::names
    std::uint32_t nameLength = 0;
    bool isDirectory = false;      // a real directory; symbolic links are never directories here
    bool compressed = false;       // stored compressed: sizeOnDisk is what it counts
    bool excluded = false;         // its name matches an exclusion: not examined
    bool special = false;          // neither a regular file nor a directory (a link, a device...)
    std::uint32_t link = 0;        // a file with several hard links: 1 + its index in links
    std::uint64_t size = 0;        // the listed size; 0 for directories
    std::uint64_t sizeOnDisk = 0;  // the space allocated to it (blocks of 512 bytes)
};

// The identity of a file with several hard links, to count it once.
struct LinkIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const LinkIdentity&) const = default;
};

// Why a folder has no listing.
enum class ListOutcome : std::uint8_t {
    Listed,
    Unreadable,        // it could not be opened or read; error says why
    OtherFileSystem,   // on another file system than the start, which the rules keep out
    PseudoFileSystem,  // proc, sysfs and the like: their sizes are not disk space
};

// One folder's entries, "." and ".." included, in the order the file system lists them.
// Names live in one buffer so that a listing of a million files costs two allocations;
// each is followed by a zero byte, so that it can be handed to the system as it is.
struct FolderListing {
    std::vector<FolderEntry> entries;
    std::string names;
    std::vector<LinkIdentity> links;        // of the entries with several hard links
    std::vector<std::uint32_t> linkCounts;  // beside links: how many names each has; 0: unknown
    ListOutcome outcome = ListOutcome::Listed;
    int error = 0;  // the errno of an Unreadable folder
    // The folder's own device where it was looked at (a starting folder, or one named like a
    // mount point, which may be the root of another file system), listed or not; 0 where it
    // was not: it is on its parent's.
    std::uint64_t device = 0;

    std::string_view Name(const FolderEntry& entry) const {
        return std::string_view(names).substr(entry.nameOffset, entry.nameLength);
    }
    // The name as a zero-terminated string.
    const char* CName(const FolderEntry& entry) const { return names.data() + entry.nameOffset; }
    void Clear() {
        entries.clear();
        names.clear();
        links.clear();
        linkCounts.clear();
        outcome = ListOutcome::Listed;
        error = 0;
        device = 0;
    }
    // Empties the listing and says why it has nothing.
    void Fail(ListOutcome why, int errorNumber = 0) {
        Clear();
        outcome = why;
        error = errorNumber;
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
    // vanished, not a folder, a pseudo or another file system): the folder then counts as
    // empty, and out's outcome and error say why.
    virtual bool List(FolderListing& out) = 0;
};
