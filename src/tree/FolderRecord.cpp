// Construction of the forms of folder record, and the order of children by size.
#include "tree/FolderRecord.h"

#include "tree/SizeMeasure.h"

std::unique_ptr<FolderRecord> FolderRecord::Full(std::string path, std::string name,
                                                 std::uint64_t totalBytes, std::uint64_t filesBytes,
                                                 std::int32_t folderCount, std::int32_t fileCount,
                                                 bool isFilesEntry) {
    auto record = std::make_unique<FolderRecord>();
    record->isFilesEntry = isFilesEntry;
    record->path = std::move(path);
    record->name = std::move(name);
    record->totalBytes = totalBytes;
    record->filesBytes = filesBytes;
    record->folderCount = folderCount;
    record->fileCount = fileCount;
    record->complete = true;
    return record;
}

std::unique_ptr<FolderRecord> FolderRecord::Placed(PathOrigin origin, std::string name,
                                                   std::uint64_t totalBytes,
                                                   std::uint64_t filesBytes,
                                                   std::int32_t folderCount, std::int32_t fileCount,
                                                   bool isFilesEntry) {
    auto record = Full(std::string(), std::move(name), totalBytes, filesBytes, folderCount,
                       fileCount, isFilesEntry);
    record->pathOrigin = origin;
    return record;
}

std::unique_ptr<FolderRecord> FolderRecord::Placeholder(std::string path) {
    auto record = std::make_unique<FolderRecord>();
    record->path = std::move(path);
    return record;
}

int FolderTree::CompareBySize(const FolderRecord* a, const FolderRecord* b,
                              std::intptr_t /*sortData*/) {
    std::uint64_t sizeA = a ? SizeMeasure::Shown(*a) : 0;
    std::uint64_t sizeB = b ? SizeMeasure::Shown(*b) : 0;
    return sizeB > sizeA ? 1 : (sizeB < sizeA ? -1 : 0);
}
