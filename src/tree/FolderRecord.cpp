// Construction of the two forms of folder record.
#include "tree/FolderRecord.h"

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

std::unique_ptr<FolderRecord> FolderRecord::Placeholder(std::string path) {
    auto record = std::make_unique<FolderRecord>();
    record->path = std::move(path);
    return record;
}
