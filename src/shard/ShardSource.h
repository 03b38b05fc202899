// The folder source of one shard's scan. Folders the plan splits are listed through one
// source and shown with only this shard's part: shard 0 keeps their files and everything
// the scan does not enter, every shard keeps the split sub-folders that lead to the units,
// and each shard keeps the units it scans; entries of other shards are left out of the
// listing, so neither the scan nor the scan file's writer ever sees them. The listings of
// split folders are sorted by name, the order the graft merges shards in. Each unit is
// read through a second source, started at the unit's path as a starting folder, so that
// the read-ahead of one unit never strays into another shard's.
#pragma once

#include <string>
#include <vector>

#include "fs/FolderSource.h"
#include "fs/ScanRules.h"
#include "shard/ShardPlan.h"

class ShardSource : public FolderSource {
  public:
    // plan and the sources must outlive the source. top lists the split folders (a
    // DirectoryReader); units reads the units the plan calls large (a ReadAheadReader),
    // smallUnits the others (a DirectoryReader): starting the read-ahead costs more than a
    // small unit takes. Both keep to the root's file system with -x. rules are the scan's.
    ShardSource(const ShardPlan& plan, std::uint32_t index, FolderSource& top, FolderSource& units,
                FolderSource& smallUnits, ScanRules rules);

    void EnterRoot(const std::string& path) override;
    void Enter(std::string_view name) override;
    void Leave() override;
    bool List(FolderListing& out) override;

  private:
    struct Level {
        ShardPlan::Index folder;
        std::size_t pathLength;
        std::size_t relativeLength;
    };

    // Whether entry of the split folder being listed belongs in this shard's listing.
    bool Keeps(const FolderListing& listing, const FolderEntry& entry);

    const ShardPlan& plan_;
    std::uint32_t index_;
    FolderSource& top_;
    FolderSource& largeUnits_;
    FolderSource& smallUnits_;
    FolderSource* units_ = nullptr;  // the one reading the current unit
    ScanRules rules_;
    std::vector<Level> levels_;  // the split folders on the current path
    std::size_t unitDepth_ = 0;  // folders entered in the current unit, the unit included
    std::string path_;           // of the current split folder
    std::string relative_;       // the same below the root
};
