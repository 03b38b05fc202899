// Scan threads: the body that runs one root scan, and the set of running scans.
#include "scan/ScanThread.h"

#include <system_error>

#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"

namespace ScanThread {

int Run(ScanTarget& target, std::uint64_t id, const std::string& folder,
        const std::atomic<bool>& cancelled) {
    if (!folder.empty()) {
        std::unique_ptr<FolderSource> source = target.NewSource(cancelled);
        ScanContext context{*source};
        FolderTree::ScanRoot(target.Tree(), folder, context);
    }
    target.ScanEnded(id);
    return 0;
}

}  // namespace ScanThread

ScanThreads::~ScanThreads() {
    StopAll();
}

bool ScanThreads::Start(const std::string& folder, const Body& body) {
    if (folder.empty() || IsScanning(folder))
        return false;
    std::uint64_t id = nextId_++;
    Scan& scan = scans_[id];
    scan.folder = folder;
    scan.cancelled = std::make_unique<std::atomic<bool>>(false);
    try {
        scan.thread = std::thread(body, std::ref(target_), id, folder, std::cref(*scan.cancelled));
    } catch (const std::system_error&) {
        scans_.erase(id);  // no thread: nothing will report its end
        return false;
    }
    active_[folder] = id;
    return true;
}

void ScanThreads::NoteRoot(const std::string& folder, TreeItem root) {
    auto active = active_.find(folder);
    if (active != active_.end())
        scans_[active->second].root = root;
}

void ScanThreads::SupersedeRemoved(const std::function<bool(TreeItem)>& exists) {
    for (auto active = active_.begin(); active != active_.end();) {
        Scan& scan = scans_[active->second];
        if (scan.root != TreeItem::None && !exists(scan.root)) {
            scan.cancelled->store(true, std::memory_order_relaxed);
            active = active_.erase(active);
        } else {
            ++active;
        }
    }
}

std::optional<std::string> ScanThreads::Ended(std::uint64_t id) {
    auto found = scans_.find(id);
    if (found == scans_.end())
        return std::nullopt;
    found->second.thread.join();
    std::string folder = std::move(found->second.folder);
    scans_.erase(found);
    auto active = active_.find(folder);
    if (active == active_.end())
        return folder;  // superseded, and nothing newer of this folder is running
    if (active->second != id)
        return std::nullopt;
    active_.erase(active);
    return folder;
}

void ScanThreads::StopAll() {
    StopRequested.store(true, std::memory_order_relaxed);
    for (auto& [id, scan] : scans_)
        scan.cancelled->store(true, std::memory_order_relaxed);
    for (auto& [id, scan] : scans_) {
        if (scan.thread.joinable())
            scan.thread.join();
    }
    scans_.clear();
    active_.clear();
}
