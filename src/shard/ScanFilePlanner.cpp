// A plan made from an earlier scan file of the same folder: the entries below each folder
// are counted in one pass over the file, and every folder that holds more than an eighth of
// a shard's share is split, so that no unit outweighs a shard and the deal comes out even.
//
// The pass keeps only what the plan can need. A folder is split only when its count is above
// total / (8 N); when it ends, its count is final and the entries read so far are at most the
// total, so a folder whose count is not above (entries so far) / (8 N) can never be split,
// and its sub-folders are dropped at once. What stays is a few folders near the top and the
// sub-folders of those, whatever the size of the file.
#include <memory>
#include <vector>

#include "scanfile/ExportItemReader.h"
#include "shard/ShardPlan.h"

namespace {

constexpr std::uint64_t kSharePart = 8;          // units of at most 1/8 of a shard's share
constexpr std::size_t kLongestSplitPath = 3000;  // as for plans from listings

struct Counted {
    std::string name;
    std::uint64_t entries = 1;      // itself, and everything below it that the scan enters
    std::vector<Counted> children;  // kept only while the folder may be split
};

// Counts the export's entries as the scan will enter them: folders the rules skip or
// exclude count as one entry each, with nothing below them.
std::optional<Counted> CountEntries(ExportItemReader& reader, std::uint32_t shards,
                                    const ScanRules& rules) {
    std::vector<Counted> open(1);
    std::uint64_t seen = 1;
    const std::uint64_t scale = kSharePart * shards;
    while (reader.Next()) {
        const ExportItem& item = reader.Current();
        if (item.kind == ExportItem::Kind::File) {
            ++open.back().entries;
            ++seen;
        } else if (item.IsFolder()) {
            ++seen;
            if (item.excluded || !rules.Counts(item.name) || rules.Excludes(item.name.c_str())) {
                ++open.back().entries;
                if (!reader.SkipFolder())
                    return std::nullopt;
                continue;
            }
            Counted& folder = open.emplace_back();
            folder.name = item.name;
        } else if (open.size() > 1) {
            Counted done = std::move(open.back());
            open.pop_back();
            if (done.entries * scale <= seen || open.size() > ShardPlan::kMaxSplitDepth)
                done.children = {};  // it can never be split
            Counted& parent = open.back();
            parent.entries += done.entries;
            parent.children.push_back(std::move(done));
        }
    }
    if (reader.Error())
        return std::nullopt;
    return std::move(open.front());
}

}  // namespace

std::optional<ShardPlan> ShardPlan::FromScanFile(const std::string& file, const std::string& root,
                                                 std::uint32_t count, const ScanRules& rules,
                                                 ScanFileError& error) {
    ExportItemReader reader;
    std::optional<Counted> top;
    if (reader.Open(file))
        top = CountEntries(reader, count, rules);
    if (!top) {
        error = *reader.Error();
        return std::nullopt;
    }
    ShardPlan plan(count);
    if (plan.Count() == 1) {
        plan.Deal(0);
        return plan;
    }
    const std::uint64_t total = top->entries;
    const std::uint64_t scale = kSharePart * plan.Count();
    std::uint64_t base = 0;
    // Split folders, each with its place in the plan: a stack instead of recursion.
    std::vector<std::pair<const Counted*, Index>> split{{&*top, kRoot}};
    plan.Split(kRoot);
    while (!split.empty()) {
        auto [counted, folder] = split.back();
        split.pop_back();
        base += counted->entries;
        for (const Counted& child : counted->children) {
            base -= child.entries;
            Index index = plan.Add(folder, child.name);
            plan.SetWeight(index, child.entries);
            const bool large = child.entries * scale > total && !child.children.empty();
            if (large && root.size() + plan.RelativePath(index).size() < kLongestSplitPath) {
                plan.Split(index);
                split.push_back({&child, index});
            }
        }
    }
    plan.Deal(base);
    return plan;
}
