// A plan made from the folder's own listings, when there is no earlier scan to go by: the
// sub-folders of the root are listed, and the folder with the most sub-folders is split
// until the listings reach their budget. In the trees people outgrow one scanner with, the
// folders with the most sub-folders are the largest.
#include <algorithm>
#include <queue>

#include "shard/ShardPlan.h"

namespace {

// Moves a folder source from folder to folder of the plan, entering and leaving only what
// differs between the paths.
class PlanWalker {
  public:
    PlanWalker(const ShardPlan& plan, FolderSource& source, const std::string& root,
               const ScanRules& rules)
        : plan_(plan), source_(source), rules_(rules) {
        source_.EnterRoot(root);
        path_.push_back(ShardPlan::kRoot);
    }
    ~PlanWalker() {
        while (!path_.empty()) {
            source_.Leave();
            path_.pop_back();
        }
    }
    PlanWalker(const PlanWalker&) = delete;
    PlanWalker& operator=(const PlanWalker&) = delete;

    // The names of the sub-folders the scan enters in folder, sorted; none when it cannot be
    // listed. A folder is listed once: call it once per folder.
    std::vector<std::string> SubFolders(ShardPlan::Index folder) {
        GoTo(folder);
        std::vector<std::string> names;
        if (!source_.List(listing_))
            return names;
        for (const FolderEntry& entry : listing_.entries) {
            if (ScanEnters(listing_, entry, rules_))
                names.emplace_back(listing_.Name(entry));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    void GoTo(ShardPlan::Index folder) {
        std::vector<ShardPlan::Index> chain;
        for (ShardPlan::Index at = folder; at != ShardPlan::kRoot; at = plan_.At(at).parent)
            chain.push_back(at);
        chain.push_back(ShardPlan::kRoot);
        std::reverse(chain.begin(), chain.end());
        std::size_t common = 0;
        while (common < chain.size() && common < path_.size() && chain[common] == path_[common])
            ++common;
        // A folder is listed once, so even the current one is left and entered again.
        if (common == path_.size() && common > 1)
            --common;
        while (path_.size() > common) {
            source_.Leave();
            path_.pop_back();
        }
        for (std::size_t i = common; i < chain.size(); ++i) {
            source_.Enter(plan_.At(chain[i]).name);
            path_.push_back(chain[i]);
        }
    }

    const ShardPlan& plan_;
    FolderSource& source_;
    const ScanRules& rules_;
    std::vector<ShardPlan::Index> path_;  // the folders entered, the root first
    FolderListing listing_;
};

// Folders whose units would have paths this long are not split: a unit is opened by its path.
constexpr std::size_t kLongestSplitPath = 3000;

}  // namespace

ShardPlan ShardPlan::FromFolder(const std::string& root, std::uint32_t count, FolderSource& lister,
                                const ScanRules& rules, std::size_t budget) {
    ShardPlan plan(count);
    if (plan.Count() == 1) {
        plan.Deal(0);
        return plan;
    }
    struct Candidate {
        std::uint64_t subFolders;
        Index folder;
        bool operator<(const Candidate& other) const {  // the most sub-folders on top
            return subFolders != other.subFolders ? subFolders < other.subFolders
                                                  : folder > other.folder;
        }
    };
    std::priority_queue<Candidate> candidates;
    std::vector<std::vector<std::string>> subFolders;  // of each folder listed, by index
    std::vector<std::size_t> depth{0};
    std::size_t listed = 0;
    {
        PlanWalker walker(plan, lister, root, rules);
        // Splits folder: its sub-folders become units, each listed to see how many it has.
        auto split = [&](Index folder) {
            plan.Split(folder);
            if (folder == kRoot) {
                subFolders[kRoot] = walker.SubFolders(kRoot);
                ++listed;
            }
            std::vector<std::string> names = std::move(subFolders[folder]);
            listed += names.size();
            for (std::string& name : names) {
                Index child = plan.Add(folder, std::move(name));
                depth.push_back(depth[folder] + 1);
                subFolders.resize(plan.Size());
                subFolders[child] = walker.SubFolders(child);
                plan.SetWeight(child, 1 + subFolders[child].size());
                candidates.push({subFolders[child].size(), child});
            }
        };
        subFolders.resize(1);
        split(kRoot);
        while (!candidates.empty()) {
            Candidate next = candidates.top();
            if (next.subFolders == 0 || listed + next.subFolders > budget)
                break;
            candidates.pop();
            if (depth[next.folder] < kMaxSplitDepth &&
                root.size() + plan.RelativePath(next.folder).size() < kLongestSplitPath)
                split(next.folder);
        }
    }
    plan.Deal(0);
    return plan;
}
