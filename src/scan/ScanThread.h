// The body of a scan thread and the bookkeeping of the scans that are running: one thread
// per request, each with flags of its own, at most one running scan per starting folder.
// Threads that end are joined; one blocked in the file system is never waited for longer
// than its owner allows.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "fs/FolderSource.h"
#include "scan/HardLinkLedger.h"
#include "tree/TreeControl.h"

// What the bookkeeping tells one scan. Set on the owner's thread, read by the scan and by
// whatever carries its tree operations.
struct ScanControl {
    std::atomic<bool> cancelled{false};   // stop at the next check and list nothing more
    std::atomic<bool> superseded{false};  // a newer scan of the folder began: drop its changes
    ScanRules rules;                      // which entries the scan counts and enters; fixed
    // Which roots of its folder's path a scan of the disk may fill again (ScanContext::ownsRoot);
    // called on the scan thread. Empty: every one.
    std::function<bool(TreeItem root)> ownsRoot;
};

// What a scan thread reaches through the tree wrapper. Every operation may be called from
// the scan thread.
class ScanTarget {
  public:
    virtual ~ScanTarget() = default;
    // The tree operations of one scan; they must be safe to issue from the scan thread, and
    // dropped once control.superseded is true. Never null.
    virtual std::unique_ptr<TreeControl> NewTree(const ScanControl& control) = 0;
    // A fresh source of folder listings for one scan; it reads nothing once
    // control.cancelled is true. Never null.
    virtual std::unique_ptr<FolderSource> NewSource(const ScanControl& control) = 0;
    // Told last, after every tree operation of scan `id` has been issued.
    virtual void ScanEnded(std::uint64_t id) = 0;
    // Told before ScanEnded when scan `id` went through its whole folder: which folder item
    // counts each file with several hard links.
    virtual void LinksCounted(std::uint64_t /*id*/, HardLinkLedger /*links*/) {}
};

namespace ScanThread {

// Scans folder into target's tree and then reports scan `id` ended. An empty folder does
// nothing but report the end. The scan stops at its next check once control.cancelled is
// true. Returns 0.
int Run(ScanTarget& target, std::uint64_t id, const std::string& folder,
        const ScanControl& control);

}  // namespace ScanThread

// The running scans of one tree. Used on one thread (the user-interface thread); the scan
// threads it starts only call the ScanTarget.
class ScanThreads {
  public:
    explicit ScanThreads(ScanTarget& target) : target_(target) {}
    // Cancels every scan and joins every thread, however long that takes.
    ~ScanThreads();
    ScanThreads(const ScanThreads&) = delete;
    ScanThreads& operator=(const ScanThreads&) = delete;

    // What a scan thread runs: ScanThread::Run, or another body with its signature that
    // ends by reporting the end of scan id to the target.
    using Body = std::function<int(ScanTarget& target, std::uint64_t id, const std::string& folder,
                                   const ScanControl& control)>;

    // Starts a thread scanning folder (running body on it). Returns false, and starts
    // nothing, when folder is empty, a scan of the same folder (trailing "/" aside) is
    // running and was neither stopped nor superseded, or the scans were stopped for good.
    // Older scans of the folder that were stopped and are still unwinding are superseded:
    // their changes are dropped.
    bool Start(const std::string& folder, const Body& body = ScanThread::Run);

    // The rules of the scans started from now on.
    void SetRules(ScanRules rules) { rules_ = std::move(rules); }
    // Which roots the scans started from now on may fill again (ScanControl::ownsRoot).
    void SetRootFilter(std::function<bool(TreeItem)> ownsRoot) { ownsRoot_ = std::move(ownsRoot); }

    // The scan of folder works below root (the scan of a root puts its placeholder there).
    void NoteRoot(const std::string& folder, TreeItem root);
    // Every running scan whose root item is gone (exists answers false) is cancelled and
    // superseded, and no longer counts as running, so that a new request for its folder
    // starts afresh at once. Its thread ends on its own and is joined by Ended or StopAll.
    void SupersedeRemoved(const std::function<bool(TreeItem)>& exists);
    // Every scan of the root item `root` (its own and those of folders below it, NoteRoot
    // says which), running or still unwinding, is cancelled and superseded: nothing it still
    // sends reaches the tree. Its folder can be scanned afresh at once.
    void SupersedeRoot(TreeItem root);
    // Cancels every scan running now (the Stop command). They no longer count as running:
    // a later request for one of their folders starts a new scan at once. Scans started
    // afterwards are not affected.
    void CancelAll();

    // Joins scan `id`, which has reported its end. Returns its folder when the closing text
    // should be shown: always, unless a newer scan of the same folder is running.
    std::optional<std::string> Ended(std::uint64_t id);

    // Cancels every scan for good (nothing starts afterwards) and joins the threads that
    // end within `wait`; returns how many are still running, blocked in the file system,
    // say. The caller must first make sure that no thread can block on the user interface
    // any more (the queue is closed).
    std::size_t StopAll(std::chrono::milliseconds wait);

    bool IsScanning(const std::string& folder) const {
        return active_.count(FolderKey(folder)) != 0;
    }
    // Scans whose threads have not been joined yet, stopped ones included.
    std::size_t Count() const { return scans_.size(); }
    // Scans running and not asked to stop.
    std::size_t Active() const { return active_.size(); }

    // The folder with trailing "/" removed ("/" itself stays): one starting folder however
    // it is spelt.
    static std::string FolderKey(const std::string& folder);

  private:
    struct Scan {
        std::string folder;
        std::unique_ptr<ScanControl> control;
        std::thread thread;
        bool finished = false;           // the thread has returned; guarded by finishedMutex_
        TreeItem root = TreeItem::None;  // None until the scan has found or made it
    };

    void Cancel(Scan& scan, bool supersede);
    void JoinFinished();

    ScanTarget& target_;
    std::map<std::uint64_t, Scan> scans_;
    std::map<std::string, std::uint64_t> active_;  // folder key -> the scan that counts as running
    std::uint64_t nextId_ = 1;
    ScanRules rules_;
    std::function<bool(TreeItem)> ownsRoot_;
    bool stopped_ = false;  // StopAll was called
    std::mutex finishedMutex_;
    std::condition_variable finishedChanged_;
};

// A folder source that lists nothing once its scan is cancelled, so that a cancelled scan
// unwinds without reading the disk.
class CancellableSource : public FolderSource {
  public:
    CancellableSource(std::unique_ptr<FolderSource> inner, const std::atomic<bool>& cancelled)
        : inner_(std::move(inner)), cancelled_(cancelled) {}

    void EnterRoot(const std::string& path) override { inner_->EnterRoot(path); }
    void Enter(std::string_view name) override { inner_->Enter(name); }
    void Leave() override { inner_->Leave(); }
    bool List(FolderListing& out) override {
        if (cancelled_.load(std::memory_order_relaxed)) {
            out.Clear();
            return false;
        }
        return inner_->List(out);
    }

  private:
    std::unique_ptr<FolderSource> inner_;
    const std::atomic<bool>& cancelled_;
};
