// A shard's plan and sources, and the mark its scan file carries.
#include "shard/ShardScan.h"

#include "fs/FileSystem.h"

namespace {

// The units are started as folders of their own: with -x they stay on the file system of
// the folder the shards are cut from, not on their own.
ScanRules UnitRules(const std::string& folder, ScanRules rules) {
    if (rules.oneFileSystem)
        rules.fileSystem = FolderDevice(folder).value_or(0);
    return rules;
}

}  // namespace

ShardScan::ShardScan(const std::string& folder, ShardNumbers numbers, const ScanRules& rules,
                     unsigned threads, const std::atomic<bool>* stop)
    : numbers_(numbers),
      top_(64, rules),
      units_(threads, ReadAheadLimits{}, stop, UnitRules(folder, rules)),
      smallUnits_(64, UnitRules(folder, rules)) {}

std::unique_ptr<ShardScan> ShardScan::Make(const std::string& folder, ShardNumbers numbers,
                                           const std::string& planFile, const ScanRules& rules,
                                           unsigned threads, const std::atomic<bool>* stop,
                                           std::string& problem) {
    std::unique_ptr<ShardScan> scan(new ShardScan(folder, numbers, rules, threads, stop));
    if (planFile.empty()) {
        scan->plan_ = ShardPlan::FromFolder(folder, numbers.count, scan->top_, rules,
                                            ShardPlan::ListingBudget(numbers.count));
    } else {
        ScanFileError error;
        scan->plan_ = ShardPlan::FromScanFile(planFile, folder, numbers.count, rules, error);
        if (!scan->plan_) {
            problem = error.Text();
            return nullptr;
        }
    }
    scan->source_ = std::make_unique<ShardSource>(*scan->plan_, numbers.index, scan->top_,
                                                  scan->units_, scan->smallUnits_, rules);
    return scan;
}

std::string ShardScan::Metadata() const {
    return ",\"shard\":{\"index\":" + std::to_string(numbers_.index) +
           ",\"count\":" + std::to_string(numbers_.count) + ",\"plan\":\"" + plan_->Fingerprint() +
           "\"}";
}
