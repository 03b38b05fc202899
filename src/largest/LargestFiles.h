// The largest files of a folder and everything below it, found by one walk that keeps only
// the few it will show: a bounded heap, never a record per file of the tree.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fs/FolderSource.h"
#include "fs/ScanRules.h"

struct LargeFile {
    std::string path;              // relative to the folder searched, "/" between names
    std::uint64_t size = 0;        // its apparent size (the space on disk for a compressed file)
    std::uint64_t sizeOnDisk = 0;  // its allocated blocks
    LinkIdentity link;             // set for a file with several hard links, else zero
};

// The `capacity` largest of the files offered to it, by the key they are offered with.
class LargestFiles {
  public:
    explicit LargestFiles(std::size_t capacity) : capacity_(capacity) {}

    // Whether a file with this key would be kept: offering costs a path, asking nothing.
    bool Wants(std::uint64_t key) const;
    // Keeps file unless `capacity` larger ones are kept already; a file with several hard
    // links is kept once, under the first path offered.
    void Offer(LargeFile file, std::uint64_t key);
    // The files kept, largest key first; equal keys in path order.
    std::vector<LargeFile> TakeLargestFirst();

  private:
    struct Kept {
        std::uint64_t key;
        LargeFile file;
    };
    std::size_t capacity_;
    std::vector<Kept> heap_;  // the smallest key on top
};

// What to search: the folder reached from the source's starting folder by `below` (names,
// one per level; none for the starting folder itself), with the rules of the scans.
struct LargestFilesRequest {
    std::string start;               // the path given to the source's EnterRoot
    std::vector<std::string> below;  // from there down to the folder searched
    std::size_t count = 100;
    bool onDisk = false;  // by the space files take on disk instead of their apparent size
    ScanRules rules;
    const std::atomic<bool>* stop = nullptr;  // may be null
};

struct LargestFilesResult {
    bool found = false;  // the folder was there to be listed
    bool stopped = false;
    std::int64_t filesSeen = 0;
    std::vector<LargeFile> files;  // largest first
};

// Walks the folder and everything below it that a scan with the same rules enters, and
// keeps the largest files: every file whose size counts in the folder's figures (names
// beginning with "." too, excluded names not), a file with several hard links once.
LargestFilesResult FindLargestFiles(FolderSource& source, const LargestFilesRequest& request);
