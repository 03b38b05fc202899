// The places of a graft's files, found by their top folders' paths, and the checks that make
// a group of shards one whole scan.
#include "shard/GraftLayout.h"

#include <set>

#include "shard/LoadedExport.h"

namespace {

// The parts of an absolute path, without empty ones and ".".
std::vector<std::string> PathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at < path.size()) {
        std::size_t slash = path.find('/', at);
        if (slash == std::string::npos)
            slash = path.size();
        std::string part = path.substr(at, slash - at);
        if (!part.empty() && part != ".")
            parts.push_back(std::move(part));
        at = slash + 1;
    }
    return parts;
}

std::string ShardText(const ShardMark& mark) {
    return "shard " + std::to_string(mark.index) + " of " + std::to_string(mark.count);
}

}  // namespace

std::optional<std::string> GraftLayout::Open(const std::vector<std::string>& files,
                                             const std::function<bool()>& stop) {
    inputs_.clear();
    places_.assign(1, Place{"/", {}, {}});
    for (const std::string& file : files) {
        Input& input = inputs_.emplace_back();
        input.file = file;
        input.reader = std::make_unique<ExportItemReader>();
        if (!input.reader->Open(file, stop))
            return input.reader->Error()->Text();
        input.items = input.reader.get();
    }
    for (std::uint32_t input = 0; input < inputs_.size(); ++input) {
        if (std::optional<std::string> problem = Settle(input))
            return problem;
    }
    for (const Place& place : places_) {
        if (std::optional<std::string> problem = CheckShards(place))
            return problem;
    }
    LoadMerged();
    for (const Input& input : inputs_) {
        if (std::optional<ScanFileError> error = input.items->Error())
            return error->Text();
    }
    top_ = 0;
    topPath_ = "/";
    while (places_[top_].group.empty() && places_[top_].children.size() == 1) {
        top_ = places_[top_].children.begin()->second;
        topPath_ += (topPath_.size() > 1 ? "/" : "") + places_[top_].name;
    }
    return std::nullopt;
}

std::optional<std::string> GraftLayout::Settle(std::uint32_t input) {
    const std::string& top = inputs_[input].items->Current().name;
    if (top.empty() || top.front() != '/')
        return inputs_[input].file + ": the top folder \"" + top +
               "\" is not a full path, so the graft cannot tell where it goes";
    std::uint32_t place = 0;
    for (std::string& part : PathParts(top)) {
        auto found = places_[place].children.find(part);
        if (found != places_[place].children.end()) {
            place = found->second;
            continue;
        }
        const auto added = static_cast<std::uint32_t>(places_.size());
        places_[place].children.emplace(part, added);
        places_.push_back(Place{std::move(part), {}, {}});
        place = added;
    }
    places_[place].group.push_back(input);
    return std::nullopt;
}

std::optional<std::string> GraftLayout::CheckShards(const Place& place) const {
    const Input* first = nullptr;
    std::map<std::uint32_t, const Input*> shards;
    for (std::uint32_t index : place.group) {
        const Input& input = inputs_[index];
        const std::optional<ShardMark>& mark = input.reader->Shard();
        if (!mark)
            continue;
        if (!first) {
            first = &input;
        } else if (mark->count != first->reader->Shard()->count ||
                   mark->plan != first->reader->Shard()->plan) {
            return first->file + " and " + input.file + " are shards of different cuts of " +
                   input.items->Current().name + " (" + ShardText(*first->reader->Shard()) +
                   ", plan " + first->reader->Shard()->plan + "; " + ShardText(*mark) + ", plan " +
                   mark->plan + ")";
        }
        auto [at, added] = shards.emplace(mark->index, &input);
        if (!added)
            return at->second->file + " and " + input.file + " are both " + ShardText(*mark) +
                   " of " + input.items->Current().name;
    }
    if (!first)
        return std::nullopt;
    const ShardMark& mark = *first->reader->Shard();
    for (std::uint32_t index = 0; index < mark.count; ++index) {
        if (!shards.count(index))
            return "shard " + std::to_string(index) + " of " + std::to_string(mark.count) + " of " +
                   first->items->Current().name + " is missing (" + first->file + " is " +
                   ShardText(*first->reader->Shard()) + ")";
    }
    return std::nullopt;
}

void GraftLayout::LoadMerged() {
    for (const Place& place : places_) {
        if (place.group.size() < 2)
            continue;
        for (std::uint32_t index : place.group) {
            Input& input = inputs_[index];
            if (input.reader->Shard())
                continue;
            input.loaded = std::make_unique<LoadedExport>(*input.reader);
            input.items = input.loaded.get();
        }
    }
}

std::uint32_t GraftLayout::Child(std::uint32_t place, const std::string& name) const {
    if (place == kNoPlace)
        return kNoPlace;
    auto found = places_[place].children.find(name);
    return found == places_[place].children.end() ? kNoPlace : found->second;
}

const std::string& GraftLayout::FirstFileBelow(std::uint32_t place) const {
    while (places_[place].group.empty())
        place = places_[place].children.begin()->second;
    return inputs_[places_[place].group.front()].file;
}
