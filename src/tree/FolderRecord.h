// The figures attached to every item of the folder tree: path, label stem, sizes and counts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct FolderRecord {
    bool isFilesEntry = false;  // the record of a "FILES" item
    std::string path;           // full path of the folder the item describes
    std::string name;           // stem of the item's label
    std::uint64_t totalBytes = 0;
    std::uint64_t filesBytes = 0;  // bytes of files lying directly in the folder
    std::int32_t folderCount = 0;
    std::int32_t fileCount = 0;
    bool complete = false;  // false only for the placeholder of a root whose scan has just begun

    // A finished record (complete is true).
    static std::unique_ptr<FolderRecord> Full(std::string path, std::string name,
                                              std::uint64_t totalBytes, std::uint64_t filesBytes,
                                              std::int32_t folderCount, std::int32_t fileCount,
                                              bool isFilesEntry);
    // The placeholder of a root whose scan has just begun: empty name, zero figures.
    static std::unique_ptr<FolderRecord> Placeholder(std::string path);
};
