// The plan's folders, the deal of its units to the shards, and its fingerprint.
#include "shard/ShardPlan.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <queue>

namespace {

// FNV-1a: the same on every machine, so that shards agree on it without talking.
std::uint64_t Hash(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ull) {
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::uint64_t HashNumber(std::uint64_t value, std::uint64_t hash) {
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    return Hash(std::string_view(bytes, 8), hash);
}

}  // namespace

bool ScanEnters(const FolderListing& listing, const FolderEntry& entry, const ScanRules& rules) {
    return entry.isDirectory && !entry.excluded && rules.Counts(listing.Name(entry));
}

ShardPlan::ShardPlan(std::uint32_t count) : count_(count == 0 ? 1 : count) {
    folders_.emplace_back();
    loads_.assign(count_, 0);
}

std::size_t ShardPlan::ListingBudget(std::uint32_t count) {
    return 1024 + 64 * static_cast<std::size_t>(count);
}

ShardPlan::Index ShardPlan::Add(Index parent, std::string name) {
    const auto index = static_cast<Index>(folders_.size());
    Folder& folder = folders_.emplace_back();
    folder.name = std::move(name);
    folder.parent = parent;
    folders_[parent].children.push_back(index);
    return index;
}

std::optional<ShardPlan::Index> ShardPlan::Child(Index folder, std::string_view name) const {
    const std::vector<Index>& children = folders_[folder].children;
    auto found = std::lower_bound(children.begin(), children.end(), name,
                                  [this](Index child, std::string_view wanted) {
                                      return std::string_view(folders_[child].name) < wanted;
                                  });
    if (found == children.end() || folders_[*found].name != name)
        return std::nullopt;
    return *found;
}

std::uint32_t ShardPlan::OwnerOf(Index folder, std::string_view name,
                                 std::string_view relativePath) const {
    if (std::optional<Index> child = Child(folder, name))
        return folders_[*child].owner;
    return static_cast<std::uint32_t>(Hash(relativePath) % count_);
}

std::string ShardPlan::RelativePath(Index folder) const {
    std::vector<Index> chain;
    for (Index at = folder; at != kRoot; at = folders_[at].parent)
        chain.push_back(at);
    std::string path;
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (!path.empty())
            path += '/';
        path += folders_[*at].name;
    }
    return path;
}

void ShardPlan::Deal(std::uint64_t base) {
    struct Unit {
        std::uint64_t weight;
        std::uint64_t hash;
        std::string path;
        Index folder;
    };
    std::vector<Unit> units;
    for (Folder& folder : folders_) {
        if (!folder.split)
            continue;
        std::sort(folder.children.begin(), folder.children.end(),
                  [this](Index a, Index b) { return folders_[a].name < folders_[b].name; });
        for (Index child : folder.children) {
            if (!folders_[child].split) {
                std::string path = RelativePath(child);
                units.push_back({folders_[child].weight, Hash(path), std::move(path), child});
            }
        }
    }
    // Heaviest first; equal weights in an order that does not follow the names, so that
    // neighbours, which are often alike, go to different shards.
    std::sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
        if (a.weight != b.weight)
            return a.weight > b.weight;
        if (a.hash != b.hash)
            return a.hash < b.hash;
        return a.path < b.path;
    });
    std::uint64_t total = base;
    for (const Unit& unit : units)
        total += unit.weight;
    for (const Unit& unit : units)
        folders_[unit.folder].large = unit.weight * count_ * 64 >= total;
    folders_[kRoot].large = !folders_[kRoot].split;
    loads_.assign(count_, 0);
    loads_[0] = base;
    using Slot = std::pair<std::uint64_t, std::uint32_t>;  // load, shard
    std::priority_queue<Slot, std::vector<Slot>, std::greater<>> lightest;
    for (std::uint32_t shard = 0; shard < count_; ++shard)
        lightest.push({loads_[shard], shard});
    for (const Unit& unit : units) {
        auto [load, shard] = lightest.top();
        lightest.pop();
        folders_[unit.folder].owner = shard;
        loads_[shard] = load + unit.weight;
        lightest.push({loads_[shard], shard});
    }
}

std::string ShardPlan::Fingerprint() const {
    std::uint64_t hash = HashNumber(count_, Hash(""));
    std::vector<Index> stack{kRoot};
    while (!stack.empty()) {
        const Folder& folder = folders_[stack.back()];
        stack.pop_back();
        hash = Hash(folder.name, hash);
        hash = HashNumber(folder.split ? ~std::uint64_t(0) : folder.owner, hash);
        if (folder.split)
            stack.insert(stack.end(), folder.children.rbegin(), folder.children.rend());
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return digits;
}
