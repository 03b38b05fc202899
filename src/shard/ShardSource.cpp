// One shard's part of the split folders, and its units through a source of their own.
#include "shard/ShardSource.h"

#include <algorithm>

ShardSource::ShardSource(const ShardPlan& plan, std::uint32_t index, FolderSource& top,
                         FolderSource& units, FolderSource& smallUnits, ScanRules rules)
    : plan_(plan),
      index_(index),
      top_(top),
      largeUnits_(units),
      smallUnits_(smallUnits),
      rules_(std::move(rules)) {}

void ShardSource::EnterRoot(const std::string& path) {
    levels_.clear();
    path_ = path;
    relative_.clear();
    if (!plan_.At(ShardPlan::kRoot).split) {
        units_ = &largeUnits_;
        units_->EnterRoot(path);  // one shard: the root is its unit
        unitDepth_ = 1;
        return;
    }
    unitDepth_ = 0;
    top_.EnterRoot(path);
    levels_.push_back({ShardPlan::kRoot, path_.size(), 0});
}

void ShardSource::Enter(std::string_view name) {
    if (unitDepth_ > 0) {
        units_->Enter(name);
        ++unitDepth_;
        return;
    }
    const std::string_view separator = !path_.empty() && path_.back() == '/' ? "" : "/";
    std::optional<ShardPlan::Index> child = plan_.Child(levels_.back().folder, name);
    if (child && plan_.At(*child).split) {
        top_.Enter(name);
        path_.append(separator).append(name);
        relative_.append(relative_.empty() ? "" : "/").append(name);
        levels_.push_back({*child, path_.size(), relative_.size()});
        return;
    }
    units_ = child && plan_.At(*child).large ? &largeUnits_ : &smallUnits_;
    units_->EnterRoot(path_ + std::string(separator) + std::string(name));
    unitDepth_ = 1;
}

void ShardSource::Leave() {
    if (unitDepth_ > 0) {
        units_->Leave();
        --unitDepth_;
        return;
    }
    if (levels_.empty())
        return;
    top_.Leave();
    levels_.pop_back();
    if (!levels_.empty()) {
        path_.resize(levels_.back().pathLength);
        relative_.resize(levels_.back().relativeLength);
    }
}

bool ShardSource::Keeps(const FolderListing& listing, const FolderEntry& entry) {
    std::string_view name = listing.Name(entry);
    if (!ScanEnters(listing, entry, rules_))
        return index_ == 0;
    const ShardPlan::Index folder = levels_.back().folder;
    std::optional<ShardPlan::Index> child = plan_.Child(folder, name);
    if (child && plan_.At(*child).split)
        return true;
    std::string relative =
        relative_.empty() ? std::string(name) : relative_ + "/" + std::string(name);
    return plan_.OwnerOf(folder, name, relative) == index_;
}

bool ShardSource::List(FolderListing& out) {
    if (unitDepth_ > 0)
        return units_->List(out);
    if (levels_.empty())
        return false;
    if (!top_.List(out))
        return false;
    std::vector<FolderEntry>& entries = out.entries;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const FolderEntry& entry) { return !Keeps(out, entry); }),
                  entries.end());
    std::sort(entries.begin(), entries.end(), [&out](const FolderEntry& a, const FolderEntry& b) {
        return out.Name(a) < out.Name(b);
    });
    return true;
}
