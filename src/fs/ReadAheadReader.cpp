// Chooses between the read-ahead pool and the sequential reader for each starting folder.
#include "fs/ReadAheadReader.h"

#include "fs/StorageDevice.h"

ReadAheadReader::ReadAheadReader(unsigned threads, ReadAheadLimits limits,
                                 const std::atomic<bool>* stop, ScanRules rules)
    : requested_(threads),
      limits_(limits),
      stop_(stop),
      rules_(rules),
      sequential_(64, rules),
      deep_(64, std::move(rules)) {}

ReadAheadReader::~ReadAheadReader() = default;

void ReadAheadReader::EnterRoot(const std::string& path) {
    pool_.reset();
    poolDepth_ = 0;
    deepDepth_ = 0;
    ReaderPolicy policy({ProcessorCount(), requested_ == 0 && IsOnRotatingDisk(path), requested_});
    active_ = policy.Initial();
    if (policy.Maximum() > 1)
        pool_ = std::make_unique<ReadAheadPool>(path, policy, limits_, stop_, rules_);
    else
        sequential_.EnterRoot(path);
}

void ReadAheadReader::Enter(std::string_view name) {
    if (!pool_) {
        sequential_.Enter(name);
    } else if (deepDepth_ > 0) {
        deep_.Enter(name);
        ++deepDepth_;
    } else if (poolDepth_ == limits_.depth) {
        deep_.EnterRootAt(FileDescriptor(pool_->DuplicateCurrent()));
        deep_.Enter(name);
        deepDepth_ = 1;
    } else {
        pool_->Enter(name);
        ++poolDepth_;
    }
}

void ReadAheadReader::Leave() {
    if (!pool_) {
        sequential_.Leave();
    } else if (deepDepth_ > 0) {
        deep_.Leave();
        if (--deepDepth_ == 0)
            deep_.Leave();  // back at the pool's deepest folder
    } else if (!pool_->Leave()) {
        pool_.reset();
    } else {
        --poolDepth_;
    }
}

bool ReadAheadReader::List(FolderListing& out) {
    if (!pool_)
        return sequential_.List(out);
    return deepDepth_ > 0 ? deep_.List(out) : pool_->List(out);
}

std::optional<ReadAheadStats> ReadAheadReader::Stats() const {
    if (!pool_)
        return std::nullopt;
    return pool_->Stats();
}
