// How a scan is cut into shards: the folders near the top that are split (listed by every
// shard, their own files scanned by shard 0), and the units below them (sub-folders of split
// folders, each scanned whole by one shard). Every shard of one folder computes the same plan
// on its own, from the same listings or the same earlier scan file, so the N shards cover
// every entry once without talking to each other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/FolderSource.h"
#include "fs/ScanRules.h"
#include "scanfile/ScanFileReader.h"

class ShardPlan {
  public:
    using Index = std::uint32_t;
    static constexpr Index kRoot = 0;
    // Folders deeper than this are never split: a chain gains nothing from more shards.
    static constexpr std::size_t kMaxSplitDepth = 64;

    struct Folder {
        std::string name;
        Index parent = kRoot;
        bool split = false;
        std::uint32_t owner = 0;      // of a unit: the shard that scans it
        std::uint64_t weight = 0;     // of a unit: what it is expected to cost
        bool large = false;           // a unit worth reading ahead: a 64th of a share or more
        std::vector<Index> children;  // of a split folder: its known sub-folders, by name
    };

    // A plan for count shards with the root alone, a unit of shard 0.
    explicit ShardPlan(std::uint32_t count);

    // Plans from the folder's own listings: lists the root and its sub-folders, then splits
    // the folder with the most sub-folders again and again, as long as the listings stay
    // within budget. Units are weighed by their sub-folders. lister reads the folder with the
    // scan's rules.
    static ShardPlan FromFolder(const std::string& root, std::uint32_t count, FolderSource& lister,
                                const ScanRules& rules, std::size_t budget);
    // The listings FromFolder may make for count shards.
    static std::size_t ListingBudget(std::uint32_t count);
    // Plans from an earlier scan file of the same folder: splits every folder that holds
    // more than an eighth of a shard's share of its entries, and weighs units by their
    // entries. root is the folder scanned now (its path limits how deep folders are split).
    static std::optional<ShardPlan> FromScanFile(const std::string& file, const std::string& root,
                                                 std::uint32_t count, const ScanRules& rules,
                                                 ScanFileError& error);

    std::uint32_t Count() const { return count_; }
    const Folder& At(Index folder) const { return folders_[folder]; }
    std::size_t Size() const { return folders_.size(); }
    // The sub-folder of split folder `folder` named name, when the plan knows it.
    std::optional<Index> Child(Index folder, std::string_view name) const;
    // The shard that scans sub-folder name of split folder `folder`: its owner in the plan,
    // or, for a folder the plan does not know (made since), one its path below the root
    // chooses. relativePath: name's path below the root ("a/b/name").
    std::uint32_t OwnerOf(Index folder, std::string_view name, std::string_view relativePath) const;
    // The path of folder below the root ("" for the root).
    std::string RelativePath(Index folder) const;
    // Sixteen hexadecimal digits that every shard of this plan writes into its scan file: the
    // graft refuses shards whose plans differ.
    std::string Fingerprint() const;
    // What each shard is expected to cost, in the units' weights (shard 0 with base).
    const std::vector<std::uint64_t>& Loads() const { return loads_; }

    // Building a plan.
    Index Add(Index parent, std::string name);
    void Split(Index folder) { folders_[folder].split = true; }
    void SetWeight(Index folder, std::uint64_t weight) { folders_[folder].weight = weight; }
    // Sorts the children of split folders by name and deals the units to the shards, the
    // heaviest first, each to the shard with the least so far; shard 0 begins with base,
    // the weight of the split folders' own entries. Marks the large units.
    void Deal(std::uint64_t base);

  private:
    std::uint32_t count_;
    std::vector<Folder> folders_;
    std::vector<std::uint64_t> loads_;
};

// Whether a scan enters the entry: a folder the rules neither exclude nor skip.
bool ScanEnters(const FolderListing& listing, const FolderEntry& entry, const ScanRules& rules);
