// The body of a scan thread and the bookkeeping of the scans that are running: one thread
// per request, at most one running scan per starting folder, every thread joined.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "fs/FolderSource.h"
#include "tree/TreeControl.h"

// What a scan thread reaches through the tree wrapper. Every operation may be called from
// the scan thread.
class ScanTarget {
  public:
    virtual ~ScanTarget() = default;
    // The tree operations; they must be safe to issue from the scan thread.
    virtual TreeControl& Tree() = 0;
    // A fresh source of folder listings for one scan; it reads nothing once *cancelled is
    // true. Never null.
    virtual std::unique_ptr<FolderSource> NewSource(const std::atomic<bool>& cancelled) = 0;
    // Told last, after every tree operation of scan `id` has been issued.
    virtual void ScanEnded(std::uint64_t id) = 0;
};

namespace ScanThread {

// Scans folder into target's tree and then reports scan `id` ended. An empty folder does
// nothing but report the end. Returns 0.
int Run(ScanTarget& target, std::uint64_t id, const std::string& folder,
        const std::atomic<bool>& cancelled);

}  // namespace ScanThread

// The running scans of one tree. Used on one thread (the user-interface thread); the scan
// threads it starts only call the ScanTarget.
class ScanThreads {
  public:
    explicit ScanThreads(ScanTarget& target) : target_(target) {}
    // Cancels and joins every scan still running (see StopAll).
    ~ScanThreads();
    ScanThreads(const ScanThreads&) = delete;
    ScanThreads& operator=(const ScanThreads&) = delete;

    // What a scan thread runs: ScanThread::Run, or another body with its signature that
    // ends by reporting the end of scan id to the target.
    using Body = std::function<int(ScanTarget& target, std::uint64_t id, const std::string& folder,
                                   const std::atomic<bool>& cancelled)>;

    // Starts a thread scanning folder (running body on it). Returns false, and starts
    // nothing, when folder is empty or a scan of folder is running and has not been
    // superseded.
    bool Start(const std::string& folder, const Body& body = ScanThread::Run);

    // The scan of folder has put its placeholder record on root: that item is its root.
    void NoteRoot(const std::string& folder, TreeItem root);
    // Every running scan whose root item is gone (exists answers false) is cancelled and no
    // longer counts as running, so that a new request for its folder starts afresh at once.
    // Its thread ends on its own and is joined by Ended or StopAll.
    void SupersedeRemoved(const std::function<bool(TreeItem)>& exists);

    // Joins scan `id`, which has reported its end. Returns its folder when the closing text
    // should be shown: always, unless a newer scan of the same folder is running.
    std::optional<std::string> Ended(std::uint64_t id);

    // Cancels every scan and joins every thread. The caller must first make sure that no
    // thread can block on the user interface any more (the queue is closed).
    void StopAll();

    bool IsScanning(const std::string& folder) const { return active_.count(folder) != 0; }
    std::size_t Count() const { return scans_.size(); }

  private:
    struct Scan {
        std::string folder;
        std::unique_ptr<std::atomic<bool>> cancelled;
        std::thread thread;
        TreeItem root = TreeItem::None;  // None until the scan has found or made it
    };

    ScanTarget& target_;
    std::map<std::uint64_t, Scan> scans_;
    std::map<std::string, std::uint64_t> active_;  // folder -> the scan that counts as running
    std::uint64_t nextId_ = 1;
};

// A folder source that lists nothing once its scan is cancelled, so that a cancelled scan
// unwinds without reading the disk even after a new scan has cleared StopRequested.
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
