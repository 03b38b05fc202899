// The folders and files of a scan file, packed in the file's own order (each folder's
// entries, with the whole of every sub-folder at its place among them) into blocks of
// memory that go back to the system as a depth-first walk leaves them behind: the memory a
// scan file costs while its tree is built is the larger of the two, not their sum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fs/FolderSource.h"

class PackedTree {
  public:
    // Where a record lies: block << 32 | offset.
    using Position = std::uint64_t;
    static constexpr Position kNowhere = ~Position(0);

    struct File {
        std::string_view name;
        std::uint64_t size = 0;
        std::uint64_t sizeOnDisk = 0;
        bool excluded = false;
        bool special = false;
        bool linked = false;  // a file with several names: device, inode and count follow
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint32_t count = 0;
    };

    // What Read found at a position.
    struct Record {
        bool folder = false;
        File file;                                  // name, and the rest for a file
        ListOutcome outcome = ListOutcome::Listed;  // a folder's
        std::uint64_t device = 0;      // a folder's, where it differs from its parent's; else 0
        Position contents = kNowhere;  // a folder's first entry
        Position next = kNowhere;      // the record after it; for a folder, after all it holds
    };

    PackedTree() = default;
    ~PackedTree();
    PackedTree(PackedTree&& other) noexcept;
    PackedTree& operator=(PackedTree&& other) noexcept;

    // Appending, in the order of the file. A folder's records follow BeginFolder until its
    // EndFolder, which also settles its outcome. device: the folder's, where the export gives
    // one that differs from its parent's; 0 otherwise.
    Position BeginFolder(std::string_view name, bool excluded, std::uint64_t device = 0);
    void EndFolder(Position folder, ListOutcome outcome);
    void AddFile(const File& file);
    // The position after the last record appended.
    Position End() const;

    // The record at position, which must not have been released. Names point into the
    // tree's blocks and stay valid until the block is released.
    Record Read(Position position) const;
    // The name of the folder or file at position, without the rest.
    std::string_view NameAt(Position position) const;
    // Hands every block before the one holding position back to the system; ReleaseAll
    // every block. Positions in them must not be read again.
    void ReleaseBefore(Position position);
    void ReleaseAll();

    // Bytes held in blocks now.
    std::size_t HeldBytes() const { return held_; }

  private:
    struct Block {
        char* bytes = nullptr;
        std::size_t size = 0;
    };
    static Position Place(std::size_t block, std::size_t offset) {
        return static_cast<Position>(block) << 32 | offset;
    }
    // The same place, moved to the start of the next block when it is a block's end.
    Position Normalize(Position position) const;
    // Room for a record of at most bytes at the end; Commit says where it ended.
    char* Reserve(std::size_t bytes);
    void Commit(const char* end);
    void Free(Block& block);

    std::vector<Block> blocks_;
    std::vector<std::uint32_t> used_;  // bytes written in each block
    std::size_t held_ = 0;
    std::size_t released_ = 0;  // blocks before this one are released
};
