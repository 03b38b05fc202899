// Where a file with several hard links counts. The scan counts such a file once, at the first
// link it meets; the order it meets them in is the order the folders were listed in, which
// differs between two scans of the same files (a restored copy, another file system, a scan
// file from another tool). The ledger hears of every link met and, when the walk is over,
// moves each file to its link whose path comes first in name order, so that an unchanged
// tree gives the same figures in every folder however it was listed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "fs/FolderSource.h"
#include "scan/FolderTree.h"
#include "scan/HardLinkLedger.h"

class LinkLedger {
  public:
    static constexpr std::uint32_t kNoFolder = ~std::uint32_t{0};

    // A folder on the way to a link: its item, its FILES entry's item once it is finished,
    // and its figures (those of a finished folder; the walk's first folder gets its own
    // before Settle).
    struct Folder {
        TreeItem item = TreeItem::None;
        TreeItem filesItem = TreeItem::None;
        std::uint32_t parent = kNoFolder;
        std::string name;
        ScanSums sums;
        bool changed = false;
    };

    bool Empty() const { return folders_.empty(); }
    // Adds a folder below parent (kNoFolder: the folder the walk began with).
    std::uint32_t AddFolder(std::uint32_t parent, TreeItem item, std::string name);
    Folder& At(std::uint32_t folder) { return folders_[folder]; }

    // A link's sizes: the one the figures add up, and its space on disk.
    struct Sizes {
        std::uint64_t bytes = 0;
        std::uint64_t onDisk = 0;
    };
    // A link of file id met in folder, at path (the link's own full path), of the given
    // sizes, counted as a file there or by its size only. True when it is the first link of
    // the file the walk meets: the walk counts it there.
    bool Meet(const LinkIdentity& id, std::uint32_t folder, std::string_view path, Sizes sizes,
              bool countsAsFile);

    // Moves every file whose first link in name order is not the one it was counted at:
    // the figures of both folders and of their parents change. Returns the folders whose
    // figures changed, each once.
    std::vector<std::uint32_t> Settle();
    // Tells counted, for every file met, the item of the folder that counts it (after Settle:
    // its link first in name order).
    void TellCounted(const std::function<void(const LinkIdentity&, TreeItem)>& counted) const;
    // Forgets the files met.
    void Clear() { claims_.clear(); }

    // Whether path a comes before path b in name order: name by name, in byte order, a
    // folder before what lies in it.
    static bool PathBefore(std::string_view a, std::string_view b);

  private:
    struct Link {
        std::uint32_t folder = kNoFolder;
        Sizes sizes;
        bool countsAsFile = false;
    };
    struct Claim {
        Link counted;  // the link met first: where the walk counted the file
        Link first;    // the link first in name order so far
        std::string firstPath;
    };

    // Adds (sign 1) or takes away (sign -1) one link's file from its folder and every folder
    // above it.
    void Apply(const Link& link, int sign, std::vector<std::uint32_t>& changed);

    std::vector<Folder> folders_;
    std::unordered_map<LinkIdentity, Claim, LinkHash> claims_;
};
