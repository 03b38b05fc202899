// Which folder counted each file with several hard links, so that a folder scanned again
// (Refresh Selected) counts such a file only when no other folder of the root counts it:
// a file with several names counts once in a root, as in a scan of the whole root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>

#include "fs/FolderSource.h"
#include "tree/TreeControl.h"

struct LinkHash {
    std::size_t operator()(const LinkIdentity& id) const {
        return std::hash<std::uint64_t>()(id.inode * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

class HardLinkLedger {
  public:
    // Notes that folder counts file; false, changing nothing, when a folder counts it already.
    bool Note(const LinkIdentity& file, TreeItem folder) {
        return counted_.emplace(file, folder).second;
    }
    bool Counts(const LinkIdentity& file) const { return counted_.count(file) != 0; }
    // The folder that counts file, or None.
    TreeItem CountedIn(const LinkIdentity& file) const {
        auto found = counted_.find(file);
        return found == counted_.end() ? TreeItem::None : found->second;
    }
    void Forget(const LinkIdentity& file) { counted_.erase(file); }
    // Forgets the files counted in the folders for which gone answers true (asked once per
    // folder).
    void ForgetWhere(const std::function<bool(TreeItem folder)>& gone);
    // Adds what other noted.
    void Merge(HardLinkLedger&& other);
    std::size_t Size() const { return counted_.size(); }

  private:
    std::unordered_map<LinkIdentity, TreeItem, LinkHash> counted_;
};
