// Chooses between the read-ahead pool and the sequential reader for each starting folder.
#include "fs/ReadAheadReader.h"

#include "fs/StorageDevice.h"

ReadAheadReader::ReadAheadReader(unsigned threads, ReadAheadLimits limits,
                                 const std::atomic<bool>* stop)
    : requested_(threads), limits_(limits), stop_(stop) {}

ReadAheadReader::~ReadAheadReader() = default;

void ReadAheadReader::EnterRoot(const std::string& path) {
    pool_.reset();
    active_ = requested_;
    if (active_ == 0)
        active_ = IsOnRotatingDisk(path) ? 1 : ProcessorCount();
    if (active_ > 1)
        pool_ = std::make_unique<ReadAheadPool>(path, active_, limits_, stop_);
    else
        sequential_.EnterRoot(path);
}

void ReadAheadReader::Enter(std::string_view name) {
    if (pool_)
        pool_->Enter(name);
    else
        sequential_.Enter(name);
}

void ReadAheadReader::Leave() {
    if (!pool_)
        sequential_.Leave();
    else if (!pool_->Leave())
        pool_.reset();
}

bool ReadAheadReader::List(FolderListing& out) {
    return pool_ ? pool_->List(out) : sequential_.List(out);
}

std::optional<ReadAheadStats> ReadAheadReader::Stats() const {
    if (!pool_)
        return std::nullopt;
    return pool_->Stats();
}
