// Reading scan files, the JSON export format of ncdu that ncdu, gdu and brimwell-report
// write, as a folder source: the scan lists an export's folders as it lists a disk's, so its
// rules, figures, FILES entries, order and hard links are those of a scan of the disk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FolderSource.h"
#include "fs/ScanRules.h"
#include "scanfile/PackedTree.h"

// Why a scan file could not be read: where (line and column from 1; 0 when the file could
// not be opened or read at all) and what is wrong.
struct ScanFileError {
    std::string file;
    std::uint64_t line = 0;
    std::uint64_t column = 0;
    std::string what;
    // "<file>:<line>:<column>: <what>", or "<file>: <what>" without a place.
    std::string Text() const;
};

// What an export says of itself in its metadata object.
struct ExportMetadata {
    std::string program;                     // "progname"
    std::optional<std::uint64_t> timestamp;  // when the scan was made, in seconds since 1970
    // The options of the scan, when a Brimwell wrote it (ncdu and gdu write none): which
    // entries it counted and entered.
    std::optional<ScanRules> options;
};

class ScanFileReader : public FolderSource {
  public:
    // Folders nested deeper than this, in any part of the file, are an error: the depth a
    // small file could otherwise ask for is limited by nothing but its decompressed size.
    static constexpr std::size_t kMaxDepth = 1000000;
    // Longer names or top paths are an error.
    static constexpr std::size_t kMaxName = 1 << 20;

    // rules decide, as they do for the disk's readers, which entries are excluded and which
    // folders the scan will not enter (those are not kept); with oneFileSystem, a folder
    // whose device differs from the top folder's counts as another file system.
    explicit ScanFileReader(ScanRules rules = {});

    // Reads the export at path ("-": standard input), plain or gzip-compressed, and keeps
    // its tree for one walk. stop is asked now and then; when it answers true, reading ends
    // with an error. Running out of memory is an error too (MemoryError). Nothing on success.
    std::optional<ScanFileError> Load(const std::string& path, std::function<bool()> stop = {});
    // "<file>: not enough memory for the export": what the caller says when the walk of the
    // loaded tree, or the tree the walk fills, runs out of memory (std::bad_alloc).
    ScanFileError MemoryError() const { return NoMemory(path_); }
    // The same error for file: readers of the export item by item say it too.
    static ScanFileError NoMemory(const std::string& file);
    // The name MemoryError gives from now on, in place of the path Load was given (a graft
    // loaded from a pipe is named by its files).
    void NameFile(std::string name) { path_ = std::move(name); }
    // The top folder's name (its full path on the machine it was scanned on).
    const std::string& TopPath() const { return topPath_; }
    const ExportMetadata& Metadata() const { return metadata_; }
    // Whether the export gives its folders' devices (ncdu's and ours do, gdu's do not):
    // without them, other file systems cannot be told apart, and files with several hard
    // links cannot be told from others of the same inode number, so each of their links
    // counts.
    bool HasDevices() const { return hasDevices_; }
    // Whether some file in the export says it has several hard links.
    bool ClaimsLinks() const { return claimsLinks_; }
    // Bytes of memory the loaded tree holds now.
    std::size_t HeldBytes() const { return tree_.HeldBytes(); }

    // The folder source over the loaded tree, walked once: memory is handed back as the walk
    // passes it, so a second EnterRoot finds nothing to list. EnterRoot's path is not looked
    // at: the walk starts at the top folder.
    void EnterRoot(const std::string& path) override;
    void Enter(std::string_view name) override;
    void Leave() override;
    // A folder the export says could not be read fails as Unreadable with error 0; one on
    // another or a pseudo file system fails as such.
    bool List(FolderListing& out) override;

  private:
    std::optional<ScanFileError> Parse(const std::string& path, std::function<bool()> stop);

    struct Level {
        PackedTree::Position folder = PackedTree::kNowhere;
        std::size_t subFoldersBegin = 0;  // its sub-folders' positions in subFolders_
        std::size_t subFoldersEnd = 0;
        std::size_t next = 0;  // the next of them Enter looks at
    };

    ScanRules rules_;
    PackedTree tree_;
    std::string path_;
    std::string topPath_;
    ExportMetadata metadata_;
    bool hasDevices_ = false;
    bool claimsLinks_ = false;
    bool walked_ = false;
    std::vector<Level> levels_;
    std::vector<PackedTree::Position> subFolders_;  // of every level on the current path
};
