// A scan file (or the graft of several) read on a scan thread and walked by the scan like a
// folder of the disk.
#include "ui/ScanFileRoots.h"

#include <new>

#include "compare/Baseline.h"
#include "fs/ThreadPriority.h"
#include "scan/FolderTree.h"
#include "scanfile/ScanFileReader.h"
#include "shard/Graft.h"
#include "shard/GraftLoad.h"

std::string ScanFileRoots::JoinFiles(const std::vector<std::string>& files) {
    std::string joined;
    for (const std::string& file : files) {
        if (&file != &files.front())
            joined.push_back('\0');
        joined += file;
    }
    return joined;
}

std::vector<std::string> ScanFileRoots::SplitFiles(const std::string& files) {
    std::vector<std::string> split;
    for (std::size_t at = 0;;) {
        std::size_t end = files.find('\0', at);
        split.push_back(files.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            return split;
        at = end + 1;
    }
}

std::string ScanFileRoots::Title(const std::string& files) {
    return GraftName(SplitFiles(files));
}

std::optional<std::string> ScanFileRoots::Load(ScanFileReader& reader, const std::string& files,
                                               const std::function<bool()>& stopping) {
    const std::vector<std::string> split = SplitFiles(files);
    if (split.size() > 1)
        return LoadGraft(reader, split, stopping);
    if (std::optional<ScanFileError> error = reader.Load(files, stopping))
        return error->Text();
    return std::nullopt;
}

int ScanFileRoots::Run(ScanTarget& target, std::uint64_t id, const std::string& file,
                       const ScanControl& control) {
    MakeThisThreadBackground();
    // Reading the file is part of the scan: Stop ends it as it would end a scan.
    auto stopping = [&control] { return control.cancelled.load(std::memory_order_relaxed); };
    auto reader = std::make_unique<ScanFileReader>(control.rules);
    if (std::optional<std::string> problem = Load(*reader, file, stopping)) {
        if (!stopping()) {
            std::lock_guard lock(mutex_);
            failures_[id] = *problem;
        }
        target.ScanEnded(id);
        return 0;
    }
    const std::string root = reader->TopPath();
    const std::string time = ScanTimeText(reader->Metadata());
    const std::string noMemory = reader->MemoryError().Text();
    CancellableSource source(std::move(reader), control.cancelled);
    try {
        std::unique_ptr<TreeControl> tree = target.NewTree(control);
        ScanContext context{source};
        context.stop = &control.cancelled;
        context.rules = &control.rules;
        context.ownsRoot = [this, &file](TreeItem item) {
            std::lock_guard lock(mutex_);
            auto found = roots_.find(item);
            return found != roots_.end() && found->second.file == file;
        };
        context.rootPlaced = [this, &file, &time](TreeItem item) {
            std::lock_guard lock(mutex_);
            roots_[item] = Source{file, time};
        };
        FolderTree::ScanRoot(*tree, root, context);
    } catch (const std::bad_alloc&) {
        // A folder of the file with more entries than memory holds: the scan ends where it
        // was, as a stopped one does, and says why; the listing it could not make is gone,
        // and the other roots stay.
        std::lock_guard lock(mutex_);
        failures_[id] = noMemory;
    }
    target.ScanEnded(id);
    return 0;
}

std::optional<std::string> ScanFileRoots::TakeFailure(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    auto found = failures_.find(id);
    if (found == failures_.end())
        return std::nullopt;
    std::string text = std::move(found->second);
    failures_.erase(found);
    return text;
}

std::optional<ScanFileRoots::Source> ScanFileRoots::SourceOf(TreeItem root) const {
    std::lock_guard lock(mutex_);
    auto found = roots_.find(root);
    if (found == roots_.end())
        return std::nullopt;
    return found->second;
}
