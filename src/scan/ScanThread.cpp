// Scan threads: the body that runs one root scan, and the set of running scans.
#include "scan/ScanThread.h"

#include <system_error>
#include <vector>

#include "scan/FolderTree.h"

namespace ScanThread {

int Run(ScanTarget& target, std::uint64_t id, const std::string& folder,
        const ScanControl& control) {
    if (!folder.empty()) {
        std::unique_ptr<TreeControl> tree = target.NewTree(control);
        std::unique_ptr<FolderSource> source = target.NewSource(control);
        ScanContext context{*source};
        context.stop = &control.cancelled;
        context.rules = &control.rules;
        context.ownsRoot = control.ownsRoot;
        HardLinkLedger links;
        context.counted = &links;
        FolderTree::ScanRoot(*tree, folder, context);
        if (!context.Stopping())
            target.LinksCounted(id, std::move(links));
    }
    target.ScanEnded(id);
    return 0;
}

}  // namespace ScanThread

ScanThreads::~ScanThreads() {
    StopAll(std::chrono::milliseconds::max());
}

std::string ScanThreads::FolderKey(const std::string& folder) {
    std::string key = folder;
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

bool ScanThreads::Start(const std::string& folder, const Body& body) {
    if (folder.empty() || stopped_ || IsScanning(folder))
        return false;
    const std::string key = FolderKey(folder);
    for (auto& [id, older] : scans_) {
        if (FolderKey(older.folder) == key)
            Cancel(older, true);  // stopped and still unwinding: it must not touch this one
    }
    std::uint64_t id = nextId_++;
    Scan& scan = scans_[id];
    scan.folder = folder;
    scan.control = std::make_unique<ScanControl>();
    scan.control->rules = rules_;
    scan.control->ownsRoot = ownsRoot_;
    try {
        scan.thread = std::thread(
            [this, body, id, folder, control = scan.control.get(), finished = &scan.finished] {
                body(target_, id, folder, *control);
                std::lock_guard lock(finishedMutex_);
                *finished = true;
                finishedChanged_.notify_all();
            });
    } catch (const std::system_error&) {
        scans_.erase(id);  // no thread: nothing will report its end
        return false;
    }
    active_[key] = id;
    return true;
}

void ScanThreads::Cancel(Scan& scan, bool supersede) {
    scan.control->cancelled.store(true, std::memory_order_relaxed);
    if (supersede)
        scan.control->superseded.store(true, std::memory_order_relaxed);
}

void ScanThreads::NoteRoot(const std::string& folder, TreeItem root) {
    auto active = active_.find(FolderKey(folder));
    if (active != active_.end())
        scans_[active->second].root = root;
}

void ScanThreads::SupersedeRemoved(const std::function<bool(TreeItem)>& exists) {
    for (auto active = active_.begin(); active != active_.end();) {
        Scan& scan = scans_[active->second];
        if (scan.root != TreeItem::None && !exists(scan.root)) {
            Cancel(scan, true);
            active = active_.erase(active);
        } else {
            ++active;
        }
    }
}

void ScanThreads::SupersedeRoot(TreeItem root) {
    for (auto& [id, scan] : scans_) {
        if (scan.root == root)
            Cancel(scan, true);
    }
    for (auto active = active_.begin(); active != active_.end();) {
        if (scans_[active->second].root == root)
            active = active_.erase(active);
        else
            ++active;
    }
}

void ScanThreads::CancelAll() {
    for (auto& [key, id] : active_)
        Cancel(scans_[id], false);
    active_.clear();
}

std::optional<std::string> ScanThreads::Ended(std::uint64_t id) {
    auto found = scans_.find(id);
    if (found == scans_.end())
        return std::nullopt;
    found->second.thread.join();  // it has reported its end: it is returning
    std::string folder = std::move(found->second.folder);
    scans_.erase(found);
    auto active = active_.find(FolderKey(folder));
    if (active == active_.end())
        return folder;  // stopped or superseded, and nothing newer of this folder is running
    if (active->second != id)
        return std::nullopt;
    active_.erase(active);
    return folder;
}

void ScanThreads::JoinFinished() {
    std::vector<std::uint64_t> done;
    {
        std::lock_guard lock(finishedMutex_);
        for (auto& [id, scan] : scans_) {
            if (scan.finished)
                done.push_back(id);
        }
    }
    for (std::uint64_t id : done) {
        scans_[id].thread.join();
        scans_.erase(id);
    }
}

std::size_t ScanThreads::StopAll(std::chrono::milliseconds wait) {
    stopped_ = true;
    for (auto& [id, scan] : scans_)
        Cancel(scan, false);
    active_.clear();
    auto allFinished = [this] {
        for (auto& [id, scan] : scans_) {
            if (!scan.finished)
                return false;
        }
        return true;
    };
    {
        std::unique_lock lock(finishedMutex_);
        if (wait == std::chrono::milliseconds::max())
            finishedChanged_.wait(lock, allFinished);
        else
            finishedChanged_.wait_for(lock, wait, allFinished);
    }
    JoinFinished();
    return scans_.size();
}
