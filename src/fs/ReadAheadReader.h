// The scan's folder source: lists folders on a small pool of reader threads ahead of the
// scan where that pays (several processors, not a rotating disk), or on the scan thread
// alone like DirectoryReader. Either way the scan sees the same listings in the same order.
// Below the read-ahead's depth limit the scan thread lists alone, starting from the
// deepest folder the pool followed.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fs/DirectoryReader.h"
#include "fs/FolderSource.h"
#include "fs/ReadAheadPool.h"

class ReadAheadReader : public FolderSource {
  public:
    // threads: reader threads. 0 lets ReaderPolicy choose for each starting folder: one per
    // processor to begin with, more while they wait for the device, or 1 on a rotating disk.
    // 1 reads on the scan thread alone.
    // While *stop is true (stop may be null) the read-ahead starts no new listing. rules say
    // which folders the scan will enter, so that nothing else is read ahead.
    explicit ReadAheadReader(unsigned threads = 0, ReadAheadLimits limits = {},
                             const std::atomic<bool>* stop = nullptr, ScanRules rules = {});
    // Stops and joins any readers still running.
    ~ReadAheadReader() override;

    // Chooses the number of threads and, with more than one, starts the readers.
    void EnterRoot(const std::string& path) override;
    void Enter(std::string_view name) override;
    // Leaving the starting folder ends the read-ahead: its threads are joined and its
    // descriptors and listings freed before Leave returns.
    void Leave() override;
    // Once per folder entered.
    bool List(FolderListing& out) override;

    // Reader threads the current or last starting folder began with; 1 means no read-ahead.
    unsigned ReaderThreads() const { return active_; }
    // The running read-ahead's figures; nothing when no read-ahead is running.
    std::optional<ReadAheadStats> Stats() const;

  private:
    unsigned requested_;
    unsigned active_ = 1;
    ReadAheadLimits limits_;
    const std::atomic<bool>* stop_;
    ScanRules rules_;
    DirectoryReader sequential_;
    std::unique_ptr<ReadAheadPool> pool_;
    std::size_t poolDepth_ = 0;  // of the current folder, while the pool follows it
    DirectoryReader deep_;       // below the pool's depth limit
    std::size_t deepDepth_ = 0;  // folders entered below the limit; 0: the pool reads
};
