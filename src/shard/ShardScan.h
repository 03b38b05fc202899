// Everything one shard's scan reads through, made and owned together: the plan, the reader
// of the split folders, the read-ahead of the units and the shard's source over them.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "fs/DirectoryReader.h"
#include "fs/ReadAheadReader.h"
#include "shard/ShardNumbers.h"
#include "shard/ShardPlan.h"
#include "shard/ShardSource.h"

class ShardScan {
  public:
    // Plans shard numbers.index of numbers.count of folder: from planFile, an earlier scan
    // file of it, or, when that is empty, from its own listings. threads and stop as for
    // ReadAheadReader. Nothing, with problem saying why, when the plan file cannot be read.
    static std::unique_ptr<ShardScan> Make(const std::string& folder, ShardNumbers numbers,
                                           const std::string& planFile, const ScanRules& rules,
                                           unsigned threads, const std::atomic<bool>* stop,
                                           std::string& problem);

    FolderSource& Source() { return *source_; }
    const ShardPlan& Plan() const { return *plan_; }
    // The shard's mark for the scan file's metadata: ,"shard":{"index":K,"count":N,"plan":"..."}.
    std::string Metadata() const;

  private:
    ShardScan(const std::string& folder, ShardNumbers numbers, const ScanRules& rules,
              unsigned threads, const std::atomic<bool>* stop);

    ShardNumbers numbers_;
    DirectoryReader top_;
    ReadAheadReader units_;
    DirectoryReader smallUnits_;
    std::optional<ShardPlan> plan_;
    std::unique_ptr<ShardSource> source_;
};
