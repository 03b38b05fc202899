// The ledger of files with several hard links: forgetting folders and merging scans.
#include "scan/HardLinkLedger.h"

#include <unordered_map>

void HardLinkLedger::ForgetWhere(const std::function<bool(TreeItem folder)>& gone) {
    std::unordered_map<std::uint64_t, bool> answers;
    for (auto it = counted_.begin(); it != counted_.end();) {
        auto [answer, asked] = answers.emplace(static_cast<std::uint64_t>(it->second), false);
        if (asked)
            answer->second = gone(it->second);
        it = answer->second ? counted_.erase(it) : std::next(it);
    }
}

void HardLinkLedger::Merge(HardLinkLedger&& other) {
    counted_.merge(other.counted_);
    other.counted_.clear();
}
