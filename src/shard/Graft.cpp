// The graft's walk: a stack of the folders being written, each with the files that hold it.
// A folder held by one file and by no place of the layout is copied straight; one held by
// several is merged by comparing the names their files come to next; places of the layout
// lead to groups of files, written where their top folder belongs.
#include "shard/Graft.h"

#include <algorithm>
#include <new>
#include <set>

struct Graft::Frame {
    std::uint32_t place = GraftLayout::kNoPlace;  // on the way to a group, or a group's top
    std::vector<ExportItemSource*> sources;       // the files that hold this folder
    std::string path;                             // in the grafted tree
    std::uint64_t device = 0;                     // as the written file has it
    bool fromGroup = false;                       // its files begin here
    bool entriesDone = false;
    std::set<std::string> placesMet;  // places below it written with its files' folders
    std::map<std::string, std::uint32_t>::const_iterator nextPlace;
    std::map<std::string, std::uint32_t>::const_iterator endPlace;
};

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

std::string GraftName(const std::vector<std::string>& files) {
    if (files.empty())
        return std::string();
    std::string name = files.front();
    const std::size_t named = files.size() > 3 ? 2 : files.size();
    for (std::size_t i = 1; i < named; ++i)
        name += " + " + files[i];
    if (named < files.size())
        name += " + " + std::to_string(files.size() - named) + " more";
    return name;
}

Graft::Graft(std::vector<std::string> files, std::function<bool()> stop)
    : files_(std::move(files)), stop_(std::move(stop)) {}

Graft::~Graft() = default;

std::optional<std::string> Graft::Open() {
    try {
        return layout_.Open(files_, stop_);
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

ExportMetadata Graft::Metadata() {
    ExportMetadata graft;
    for (std::size_t i = 0; i < layout_.Inputs(); ++i) {
        const ExportMetadata& file =
            layout_.InputAt(static_cast<std::uint32_t>(i)).reader->Metadata();
        if (i == 0) {
            graft.timestamp = file.timestamp;
            graft.options = file.options;
            continue;
        }
        if (!file.timestamp || !graft.timestamp)
            graft.timestamp.reset();
        else
            graft.timestamp = std::min(*graft.timestamp, *file.timestamp);
        if (!file.options || !graft.options ||
            ScanFileWriter::OptionsMetadata(*file.options) !=
                ScanFileWriter::OptionsMetadata(*graft.options))
            graft.options.reset();
    }
    return graft;
}

ScanFileWriter::Program GraftProgram(Graft& graft, std::string name, std::string version) {
    ExportMetadata metadata = graft.Metadata();
    return ScanFileWriter::Program{
        std::move(name), std::move(version),
        metadata.options ? ScanFileWriter::OptionsMetadata(*metadata.options) : std::string(),
        metadata.timestamp};
}

// What the graft itself holds is small, but it needs memory all the same; a file's own
// reader names the file when its items do not fit.
std::string Graft::NoMemory() const {
    return ScanFileReader::NoMemory(GraftName(files_)).Text();
}

bool Graft::Both(const std::string& first, const std::string& second, const std::string& path) {
    problem_ = first + " and " + second + " both hold " + path;
    return false;
}

bool Graft::Failed(const ExportItemSource& source) {
    std::optional<ScanFileError> error = source.Error();
    problem_ = error ? error->Text() : source.FileName() + ": the export ends too early";
    return false;
}

// The item's other members as the written file needs them: a device that the item took from
// its folder in its own file is written out when the folder it is written in has another.
std::string Graft::Fields(const ExportItem& item, std::uint64_t device) const {
    std::string fields = item.fields;
    if (!item.ownDevice && item.device != device) {
        fields += ",\"dev\":";
        fields += std::to_string(item.device);
    }
    return fields;
}

std::optional<std::string> Graft::Write(ExportItemWriter& out) {
    try {
        return WriteTree(out);
    } catch (const std::bad_alloc&) {
        frames_.clear();
        return NoMemory();
    }
}

std::optional<std::string> Graft::WriteTree(ExportItemWriter& out) {
    out_ = &out;
    problem_.reset();
    frames_.clear();
    const GraftLayout::Place& top = layout_.At(layout_.Top());
    std::vector<ExportItemSource*> sources;
    for (std::uint32_t input : top.group)
        sources.push_back(layout_.InputAt(input).items);
    bool going = OpenFolder(layout_.Top(), std::move(sources), layout_.TopPath(), true);
    while (going && !frames_.empty()) {
        Frame& frame = frames_.back();
        going = frame.entriesDone ? StepPlaces(frame) : Step(frame);
    }
    return problem_;
}

// Writes the folder's info and moves its files to their first entries.
bool Graft::OpenFolder(std::uint32_t place, std::vector<ExportItemSource*> sources,
                       std::string name, bool fromGroup) {
    Frame frame;
    frame.place = place;
    frame.fromGroup = fromGroup;
    frame.path = frames_.empty() ? name : JoinPath(frames_.back().path, name);
    frame.device = frames_.empty() ? 0 : frames_.back().device;
    std::string fields;
    if (!sources.empty()) {
        const ExportItem& info = sources.front()->Current();
        fields = Fields(info, frame.device);
        frame.device = info.device;
        bool readError = false;
        for (const ExportItemSource* source : sources)
            readError = readError || source->Current().readError;
        if (readError && !info.readError)
            fields += ",\"read_error\":true";
    }
    out_->BeginFolder(name, fields);
    for (ExportItemSource* source : sources) {
        if (!source->Next())
            return Failed(*source);
    }
    frame.sources = std::move(sources);
    if (place != GraftLayout::kNoPlace) {
        frame.nextPlace = layout_.At(place).children.begin();
        frame.endPlace = layout_.At(place).children.end();
    } else {
        static const std::map<std::string, std::uint32_t> kNone;
        frame.nextPlace = kNone.begin();
        frame.endPlace = kNone.end();
    }
    frames_.push_back(std::move(frame));
    return true;
}

// Writes the frame's next entry, or opens it as a folder of its own; marks the entries done
// when every file has come to the folder's end.
bool Graft::Step(Frame& frame) {
    if (frame.sources.size() == 1 && frame.place == GraftLayout::kNoPlace) {
        ExportItemSource& source = *frame.sources.front();
        while (!source.Current().IsEnd()) {
            if (!Copy(source, frame))
                return false;
            if (!source.Next())
                return Failed(source);
        }
        frame.entriesDone = true;
        return true;
    }
    const std::string* next = nullptr;
    for (ExportItemSource* source : frame.sources) {
        const ExportItem& item = source->Current();
        if (!item.IsEnd() && (!next || item.name < *next))
            next = &item.name;
    }
    if (!next) {
        frame.entriesDone = true;
        return true;
    }
    const std::string name = *next;
    std::vector<ExportItemSource*> holders;
    for (ExportItemSource* source : frame.sources) {
        if (!source->Current().IsEnd() && source->Current().name == name)
            holders.push_back(source);
    }
    const std::string path = JoinPath(frame.path, name);
    const std::uint32_t place = layout_.Child(frame.place, name);
    if (place != GraftLayout::kNoPlace) {
        if (!layout_.At(place).group.empty()) {
            // Replaced by the group whose top folder this is: written with the places.
            for (ExportItemSource* source : holders) {
                if (!source->SkipFolder() || !Advance(*source, frame, name))
                    return problem_ ? false : Failed(*source);
            }
            return true;
        }
        for (ExportItemSource* source : holders) {
            if (!source->Current().IsFolder())
                return Both(source->FileName(), layout_.FirstFileBelow(place), path);
        }
        frame.placesMet.insert(name);
        return OpenFolder(place, std::move(holders), name, false);
    }
    if (holders.size() > 1 && !YieldExcluded(holders, frame, name))
        return false;
    if (holders.size() == 1) {
        return Copy(*holders.front(), frame) && Advance(*holders.front(), frame, name);
    }
    for (ExportItemSource* source : holders) {
        if (!source->Current().IsFolder())
            return Both(holders[0]->FileName(), holders[1]->FileName(), path);
    }
    return OpenFolder(GraftLayout::kNoPlace, std::move(holders), name, false);
}

// An entry that a file says it left out (excluded) gives way to the same entry scanned by
// another file, so that scans that each left out what the other read graft into one: the
// excluded ones are passed over, and holders keeps the others, or the first when all are.
bool Graft::YieldExcluded(std::vector<ExportItemSource*>& holders, const Frame& frame,
                          const std::string& name) {
    std::vector<ExportItemSource*> scanned;
    for (ExportItemSource* source : holders) {
        if (!source->Current().excluded)
            scanned.push_back(source);
    }
    if (scanned.empty())
        scanned.push_back(holders.front());
    for (ExportItemSource* source : holders) {
        if (std::find(scanned.begin(), scanned.end(), source) != scanned.end())
            continue;
        if (!source->SkipFolder())
            return Failed(*source);
        if (!Advance(*source, frame, name))
            return false;
    }
    holders = std::move(scanned);
    return true;
}

// After the entries: the places below the folder that none of its files held.
bool Graft::StepPlaces(Frame& frame) {
    while (frame.nextPlace != frame.endPlace) {
        auto [name, place] = *frame.nextPlace++;
        if (frame.placesMet.count(name))
            continue;
        std::vector<ExportItemSource*> sources;
        for (std::uint32_t input : layout_.At(place).group)
            sources.push_back(layout_.InputAt(input).items);
        return OpenFolder(place, std::move(sources), name, true);
    }
    return CloseFolder();
}

bool Graft::CloseFolder() {
    out_->EndFolder();
    Frame done = std::move(frames_.back());
    frames_.pop_back();
    if (done.fromGroup || frames_.empty())
        return true;
    const std::string name = done.path.substr(done.path.rfind('/') + 1);
    for (ExportItemSource* source : done.sources) {
        if (!Advance(*source, frames_.back(), name))
            return false;
    }
    return true;
}

// Writes the source's entry: a file, or a folder with everything it holds.
bool Graft::Copy(ExportItemSource& source, const Frame& frame) {
    const ExportItem& first = source.Current();
    if (!first.IsFolder()) {
        out_->File(first.name, Fields(first, frame.device));
        return true;
    }
    out_->BeginFolder(first.name, Fields(first, frame.device));
    for (std::size_t depth = 1; depth > 0;) {
        if (!source.Next())
            return Failed(source);
        const ExportItem& item = source.Current();
        if (item.IsFolder()) {
            out_->BeginFolder(item.name, item.fields);
            ++depth;
        } else if (item.IsEnd()) {
            out_->EndFolder();
            --depth;
        } else {
            out_->File(item.name, item.fields);
        }
    }
    return true;
}

// Moves source past the entry named taken. Where several files are merged, each must come
// to its entries in name order: one that does not holds a folder that is another's alone,
// such as a unit that two shards both scanned.
bool Graft::Advance(ExportItemSource& source, const Frame& frame, const std::string& taken) {
    if (!source.Next())
        return Failed(source);
    const ExportItem& item = source.Current();
    if (frame.sources.size() > 1 && !item.IsEnd() && !(item.name > taken)) {
        const ExportItemSource* other =
            frame.sources.front() == &source ? frame.sources[1] : frame.sources.front();
        return Both(other->FileName(), source.FileName(), frame.path);
    }
    return true;
}
