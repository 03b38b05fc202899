// Records of a scan file's tree: a tag byte, the name, and the figures as variable-length
// numbers; a folder also holds where its last record ends.
#include "scanfile/PackedTree.h"

#include <sys/mman.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace {

// Blocks are mapped, not taken from the heap, so that each goes back to the system whole
// when it is released, whatever the allocator would keep.
constexpr std::size_t kBlockSize = 1 << 20;

enum Tag : std::uint8_t {
    kFolder = 1,
    kExcluded = 2,
    kSpecial = 4,
    kHasSizeOnDisk = 8,
    kLinked = 16,
    kOutcomeShift = 5,  // two bits: the folder's ListOutcome
    kHasDevice = 128,   // a folder's device follows its name
};

char* PutNumber(char* at, std::uint64_t value) {
    while (value >= 0x80) {
        *at++ = static_cast<char>(value | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<char>(value);
    return at;
}

constexpr std::size_t kLongestNumber = 10;  // bytes of a 64-bit number

std::uint64_t GetNumber(const char*& at) {
    std::uint64_t value = 0;
    for (int shift = 0;; shift += 7) {
        auto byte = static_cast<std::uint8_t>(*at++);
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if (byte < 0x80)
            return value;
    }
}

}  // namespace

PackedTree::~PackedTree() {
    ReleaseAll();
}

PackedTree::PackedTree(PackedTree&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      used_(std::move(other.used_)),
      held_(std::exchange(other.held_, 0)),
      released_(std::exchange(other.released_, 0)) {
    other.blocks_.clear();
    other.used_.clear();
}

PackedTree& PackedTree::operator=(PackedTree&& other) noexcept {
    if (this != &other) {
        ReleaseAll();
        blocks_ = std::move(other.blocks_);
        used_ = std::move(other.used_);
        held_ = std::exchange(other.held_, 0);
        released_ = std::exchange(other.released_, 0);
        other.blocks_.clear();
        other.used_.clear();
    }
    return *this;
}

char* PackedTree::Reserve(std::size_t bytes) {
    if (blocks_.empty() || blocks_.back().size - used_.back() < bytes) {
        std::size_t size = bytes > kBlockSize ? bytes : kBlockSize;
        void* mapped =
            ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::bad_alloc();
        blocks_.push_back({static_cast<char*>(mapped), size});
        used_.push_back(0);
        held_ += size;
    }
    return blocks_.back().bytes + used_.back();
}

void PackedTree::Commit(const char* end) {
    used_.back() = static_cast<std::uint32_t>(end - blocks_.back().bytes);
}

void PackedTree::Free(Block& block) {
    if (block.bytes) {
        ::munmap(block.bytes, block.size);
        held_ -= block.size;
        block.bytes = nullptr;
    }
}

PackedTree::Position PackedTree::End() const {
    return blocks_.empty() ? 0 : Place(blocks_.size() - 1, used_.back());
}

PackedTree::Position PackedTree::Normalize(Position position) const {
    std::size_t block = position >> 32;
    if (block < used_.size() && (position & 0xffffffffu) == used_[block])
        return Place(block + 1, 0);
    return position;
}

PackedTree::Position PackedTree::BeginFolder(std::string_view name, bool excluded,
                                             std::uint64_t device) {
    char* start = Reserve(1 + sizeof(Position) + 2 * kLongestNumber + name.size());
    char* at = start;
    *at++ = static_cast<char>(kFolder | (excluded ? kExcluded : 0) | (device ? kHasDevice : 0));
    std::memset(at, 0, sizeof(Position));  // where it ends, once it does
    at = PutNumber(at + sizeof(Position), name.size());
    std::memcpy(at, name.data(), name.size());
    at += name.size();
    if (device)
        at = PutNumber(at, device);
    Commit(at);
    return Place(blocks_.size() - 1, start - blocks_.back().bytes);
}

void PackedTree::EndFolder(Position folder, ListOutcome outcome) {
    char* at = blocks_[folder >> 32].bytes + (folder & 0xffffffffu);
    at[0] = static_cast<char>(static_cast<std::uint8_t>(at[0]) | static_cast<std::uint8_t>(outcome)
                                                                     << kOutcomeShift);
    Position end = End();
    std::memcpy(at + 1, &end, sizeof end);
}

void PackedTree::AddFile(const File& file) {
    char* at = Reserve(1 + 6 * kLongestNumber + file.name.size());
    std::uint8_t tag = (file.excluded ? kExcluded : 0) | (file.special ? kSpecial : 0) |
                       (file.sizeOnDisk != 0 ? kHasSizeOnDisk : 0) | (file.linked ? kLinked : 0);
    *at++ = static_cast<char>(tag);
    at = PutNumber(at, file.name.size());
    std::memcpy(at, file.name.data(), file.name.size());
    at = PutNumber(at + file.name.size(), file.size);
    if (file.sizeOnDisk != 0)
        at = PutNumber(at, file.sizeOnDisk);
    if (file.linked) {
        at = PutNumber(at, file.device);
        at = PutNumber(at, file.inode);
        at = PutNumber(at, file.count);
    }
    Commit(at);
}

PackedTree::Record PackedTree::Read(Position position) const {
    const char* start = blocks_[position >> 32].bytes + (position & 0xffffffffu);
    const char* at = start;
    Record record;
    auto tag = static_cast<std::uint8_t>(*at++);
    record.folder = tag & kFolder;
    record.file.excluded = tag & kExcluded;
    Position end = 0;
    if (record.folder) {
        std::memcpy(&end, at, sizeof end);
        at += sizeof end;
        record.outcome = static_cast<ListOutcome>(tag >> kOutcomeShift & 3);
    }
    std::size_t length = GetNumber(at);
    record.file.name = std::string_view(at, length);
    at += length;
    if (record.folder) {
        if (tag & kHasDevice)
            record.device = GetNumber(at);
        record.contents = Normalize(position + (at - start));
        record.next = Normalize(end);
        return record;
    }
    record.file.special = tag & kSpecial;
    record.file.size = GetNumber(at);
    if (tag & kHasSizeOnDisk)
        record.file.sizeOnDisk = GetNumber(at);
    if (tag & kLinked) {
        record.file.linked = true;
        record.file.device = GetNumber(at);
        record.file.inode = GetNumber(at);
        record.file.count = static_cast<std::uint32_t>(GetNumber(at));
    }
    record.next = Normalize(position + (at - start));
    return record;
}

std::string_view PackedTree::NameAt(Position position) const {
    const char* at = blocks_[position >> 32].bytes + (position & 0xffffffffu);
    auto tag = static_cast<std::uint8_t>(*at++);
    if (tag & kFolder)
        at += sizeof(Position);
    std::size_t length = GetNumber(at);
    return std::string_view(at, length);
}

void PackedTree::ReleaseBefore(Position position) {
    std::size_t block = position >> 32;
    for (; released_ < block && released_ < blocks_.size(); ++released_)
        Free(blocks_[released_]);
}

void PackedTree::ReleaseAll() {
    for (Block& block : blocks_)
        Free(block);
    released_ = blocks_.size();
}
