// The links a walk met, and the move of each file to its link first in name order.
#include "scan/LinkLedger.h"

#include <algorithm>

namespace {

// A sum moved by a signed amount, kept within 0 and its largest value.
std::uint64_t Moved(std::uint64_t sum, std::uint64_t amount, int sign) {
    if (sign > 0)
        return SaturatingAdd(sum, amount);
    return sum > amount ? sum - amount : 0;
}

}  // namespace

bool LinkLedger::PathBefore(std::string_view a, std::string_view b) {
    // Names hold no "/": ranking it below every other byte compares name by name.
    auto rank = [](char c) { return c == '/' ? 0 : static_cast<unsigned char>(c) + 1; };
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return rank(a[i]) < rank(b[i]);
    }
    return a.size() < b.size();
}

std::uint32_t LinkLedger::AddFolder(std::uint32_t parent, TreeItem item, std::string name) {
    Folder& folder = folders_.emplace_back();
    folder.item = item;
    folder.parent = parent;
    folder.name = std::move(name);
    return static_cast<std::uint32_t>(folders_.size() - 1);
}

bool LinkLedger::Meet(const LinkIdentity& id, std::uint32_t folder, std::string_view path,
                      Sizes sizes, bool countsAsFile) {
    const Link link{folder, sizes, countsAsFile};
    auto [found, fresh] = claims_.try_emplace(id);
    Claim& claim = found->second;
    if (fresh) {
        claim.counted = link;
        claim.first = link;
        claim.firstPath = path;
        return true;
    }
    if (PathBefore(path, claim.firstPath)) {
        claim.first = link;
        claim.firstPath = path;
    }
    return false;
}

void LinkLedger::Apply(const Link& link, int sign, std::vector<std::uint32_t>& changed) {
    for (std::uint32_t at = link.folder; at != kNoFolder; at = folders_[at].parent) {
        Folder& folder = folders_[at];
        folder.sums.total = Moved(folder.sums.total, link.sizes.bytes, sign);
        folder.sums.diskTotal = Moved(folder.sums.diskTotal, link.sizes.onDisk, sign);
        if (link.countsAsFile) {
            folder.sums.files = SaturatingAdd(folder.sums.files, sign);
            if (at == link.folder) {
                folder.sums.filesOnly = Moved(folder.sums.filesOnly, link.sizes.bytes, sign);
                folder.sums.diskFilesOnly =
                    Moved(folder.sums.diskFilesOnly, link.sizes.onDisk, sign);
                folder.sums.directFiles = SaturatingAdd(folder.sums.directFiles, sign);
            }
        }
        if (!folder.changed) {
            folder.changed = true;
            changed.push_back(at);
        }
    }
}

std::vector<std::uint32_t> LinkLedger::Settle() {
    std::vector<std::uint32_t> changed;
    for (auto& [id, claim] : claims_) {
        const Link& from = claim.counted;
        const Link& to = claim.first;
        if (from.folder == to.folder && from.countsAsFile == to.countsAsFile &&
            from.sizes.bytes == to.sizes.bytes && from.sizes.onDisk == to.sizes.onDisk)
            continue;
        Apply(from, -1, changed);
        Apply(to, 1, changed);
        claim.counted = to;
    }
    return changed;
}

void LinkLedger::TellCounted(
    const std::function<void(const LinkIdentity&, TreeItem)>& counted) const {
    for (const auto& [id, claim] : claims_)
        counted(id, folders_[claim.counted.folder].item);
}
