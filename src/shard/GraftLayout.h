// Where each of several scan files goes in the one tree a graft makes of them, worked out
// from their top folders' paths alone: files with the same top folder are one group, merged
// (the shards of one scan); a group whose top folder lies inside another's tree replaces
// that folder there (a fresh scan of a subtree in last night's full scan); groups elsewhere
// hang below the nearest folder they have in common, with the folders between them made up.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/ExportItemReader.h"

class GraftLayout {
  public:
    // One of the files.
    struct Input {
        std::string file;
        std::unique_ptr<ExportItemReader> reader;
        std::unique_ptr<ExportItemSource> loaded;  // when it is merged but not a shard
        ExportItemSource* items = nullptr;         // reader or loaded
    };
    // A place in the grafted tree: a folder on the way to a group's top, or a group's top.
    struct Place {
        std::string name;
        std::map<std::string, std::uint32_t> children;  // places below it, by name
        std::vector<std::uint32_t> group;               // the inputs whose top folder is here
    };
    static constexpr std::uint32_t kNoPlace = ~std::uint32_t(0);

    // Opens every file (stop as for ExportItemReader::Open), groups them and checks that the
    // shards of each group are one whole set. The text of the first problem, or nothing.
    std::optional<std::string> Open(const std::vector<std::string>& files,
                                    const std::function<bool()>& stop);

    // The place of the grafted tree's top folder, and its path.
    std::uint32_t Top() const { return top_; }
    const std::string& TopPath() const { return topPath_; }
    const Place& At(std::uint32_t place) const { return places_[place]; }
    Input& InputAt(std::uint32_t input) { return inputs_[input]; }
    std::size_t Inputs() const { return inputs_.size(); }
    // The child of place named name, or kNoPlace.
    std::uint32_t Child(std::uint32_t place, const std::string& name) const;
    // The first input at or below place, for messages.
    const std::string& FirstFileBelow(std::uint32_t place) const;

  private:
    // Puts input at the place of its top folder's path.
    std::optional<std::string> Settle(std::uint32_t input);
    std::optional<std::string> CheckShards(const Place& place) const;
    // Loads the inputs of groups of several files that are not shards.
    void LoadMerged();

    std::vector<Input> inputs_;
    std::vector<Place> places_;  // [0]: "/"
    std::uint32_t top_ = 0;
    std::string topPath_;
};
