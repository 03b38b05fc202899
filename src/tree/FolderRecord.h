// The figures attached to every item of the folder tree: path, label stem, sizes and counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Where a record's path comes from. The scan names a folder's path by the item's place in
// the tree instead of spelling it out, so that a tree 100,000 folders deep does not hold
// 100,000 copies of ever longer paths. A store spells the path out whenever a record is
// read back, so readers always see `path` filled in and the origin Given.
enum class PathOrigin : std::uint8_t {
    Given,         // `path` holds it
    ItemFolder,    // the folder the item stands for: its parent's folder path, "/", its name
    ParentFolder,  // the folder of the item's parent (a FILES entry's path)
};

struct FolderRecord {
    bool isFilesEntry = false;     // the record of a "FILES" item
    std::string path;              // full path of the folder the item describes
    std::string name;              // stem of the item's label
    std::uint64_t totalBytes = 0;  // apparent sizes: the lengths of the files
    std::uint64_t filesBytes = 0;  // bytes of files lying directly in the folder
    std::int32_t folderCount = 0;
    std::int32_t fileCount = 0;
    bool complete = false;  // false only for the placeholder of a root whose scan has just begun
    PathOrigin pathOrigin = PathOrigin::Given;
    // totalBytes as space on disk: the blocks allocated to the files below the folder and
    // to the folders themselves, a file with several hard links once (what du counts).
    std::uint64_t diskBytes = 0;

    // A finished record (complete is true).
    static std::unique_ptr<FolderRecord> Full(std::string path, std::string name,
                                              std::uint64_t totalBytes, std::uint64_t filesBytes,
                                              std::int32_t folderCount, std::int32_t fileCount,
                                              bool isFilesEntry);
    // A finished record whose path follows from the item it is attached to.
    static std::unique_ptr<FolderRecord> Placed(PathOrigin origin, std::string name,
                                                std::uint64_t totalBytes, std::uint64_t filesBytes,
                                                std::int32_t folderCount, std::int32_t fileCount,
                                                bool isFilesEntry);
    // The placeholder of a root whose scan has just begun: empty name, zero figures.
    static std::unique_ptr<FolderRecord> Placeholder(std::string path);
};

namespace FolderTree {

// The order of a folder's children: the larger size shown (SizeMeasure) first. 1 when b is larger,
// -1 when smaller, 0 when equal; a missing record counts as 0 bytes; sortData is not used.
int CompareBySize(const FolderRecord* a, const FolderRecord* b, std::intptr_t sortData);

}  // namespace FolderTree

// Sums and counts that stop at their largest value instead of wrapping around: a folder
// is never shown smaller than one of its sub-folders, however large the files below it.
inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    std::uint64_t sum = a + b;
    return sum < a ? ~std::uint64_t{0} : sum;
}
// Counts are 32-bit and never negative; they stop at 2^31-1.
inline std::int32_t SaturatingAdd(std::int32_t count, std::int64_t amount) {
    constexpr std::int64_t kMax = 0x7FFFFFFF;
    std::int64_t sum = static_cast<std::int64_t>(count) + amount;
    return static_cast<std::int32_t>(sum > kMax ? kMax : (sum < 0 ? 0 : sum));
}
