// The read-ahead of one root scan: reader threads list the folders the scan will enter next,
// in the order it will enter them, and the scan takes each listing whole. Lives from the
// scan's EnterRoot to its last Leave; the scan thread alone calls Enter, Leave and List.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "fs/DirectoryReader.h"
#include "fs/FolderSource.h"
#include "fs/ReaderPolicy.h"

// How far the readers may run ahead of the scan.
struct ReadAheadLimits {
    std::size_t folders = 128;      // listed or being listed and not yet taken, at most
    std::size_t entries = 1 << 18;  // entries in those listings; no new listing starts past it
    std::size_t descriptors = 128;  // folder descriptors kept open for listings still to come
    // Folders deeper than this are not read ahead: a chain of single folders gains nothing
    // from reading ahead, and each folder the pool follows costs it a few hundred bytes.
    std::size_t depth = 256;
};

// A snapshot of the read-ahead, for tests and benchmarks.
struct ReadAheadStats {
    std::size_t foldersKnown = 0;  // folder records held: on the scan's path, listed or to list
    std::size_t foldersAhead = 0;  // listed or being listed by readers, not yet taken
    std::size_t entriesAhead = 0;
    std::size_t openDescriptors = 0;
    std::size_t listedByReaders = 0;  // listings the reader threads have made so far
    std::size_t readersListing = 0;   // reader threads in the middle of a listing
    unsigned readers = 0;             // reader threads running now
};

class ReadAheadPool : private WorkSplitter {
  public:
    // Starts policy.Initial() reader threads, and more or fewer as the policy decides while
    // they read; rootPath is the current folder. While *stop is true (stop may be null) the
    // readers start no new listing. The window of folders read ahead and the descriptors
    // kept open grow with the readers beyond the limits. The readers never
    // list the folder the scan needs next unless they began it before the scan got there:
    // the scan lists that one itself rather than wait for a thread to be woken for it.
    ReadAheadPool(const std::string& rootPath, ReaderPolicy policy, ReadAheadLimits limits = {},
                  const std::atomic<bool>* stop = nullptr, ScanRules rules = {});
    // Stops and joins the readers, closes every descriptor and frees everything read ahead.
    ~ReadAheadPool();
    ReadAheadPool(const ReadAheadPool&) = delete;
    ReadAheadPool& operator=(const ReadAheadPool&) = delete;

    // Sub-folder name of the current folder becomes current. Sub-folders listed before it
    // and not entered are given up, with everything read ahead below them.
    void Enter(std::string_view name);
    // The parent becomes current; false when the starting folder itself was left.
    bool Leave();
    // The current folder's listing, as DirectoryReader would give it. Once per folder.
    bool List(FolderListing& out);
    // A descriptor of the current folder of its own (closed by the caller), or -1.
    int DuplicateCurrent();

    ReadAheadStats Stats() const;

  private:
    struct Folder;
    using FolderPtr = std::shared_ptr<Folder>;

    void ApplyMoves();
    void ApplyMovesLocked();
    void EnterLocked(std::string_view name);
    void LeaveLocked();
    void Work(unsigned number);
    // Starts or retires readers to meet the policy's target.
    void FollowPolicy();
    std::size_t FoldersAhead() const;
    std::size_t DescriptorBudget() const;
    Folder* NextForReader();
    bool RoomAhead() const;
    bool HasClaimable() const;
    bool Claim(Folder& folder);
    // Lists folder with the lock released; times, when given, receive the thread's times
    // just before and after.
    void Read(const FolderPtr& folder, bool parentOpen, ReadScratch& scratch,
              std::unique_lock<std::mutex>& lock, ThreadTimes* times = nullptr);
    void Publish(Folder& folder, FolderListing listing, std::vector<FolderPtr> children,
                 FileDescriptor fd);
    void Take(Folder& folder, FolderListing& out);
    void Abandon(Folder& folder);
    void AbandonChildren(Folder& folder, std::size_t from);
    void WakeReadersIfRoom();

    bool EnsureOpen(Folder& folder);
    void AddOpen(Folder& folder, int fd);
    // Takes folder's descriptor off the open ones; it is closed outside the lock, by the
    // next thread that reads a folder (a close under the lock would keep the others waiting).
    void CloseDescriptor(Folder& folder);
    void Unpin(Folder& folder);
    void ReleaseIfUnused(Folder& folder);

    void LinkChildren(Folder& folder);
    void LinkAfter(Folder* position, Folder& folder);
    void Unlink(Folder& folder);

    const ReadAheadLimits limits_;
    const std::atomic<bool>* const stop_;
    const ScanRules rules_;
    MountBoundaries mounts_;  // its start is set by whoever lists the starting folder
    std::atomic<std::size_t> foldersKnown_{0};

    mutable std::mutex mutex_;
    std::condition_variable work_;  // readers wait here for something to list
    std::condition_variable rest_;  // readers the policy does not need now wait here
    std::condition_variable done_;  // the scan waits here for a listing a reader is making
    std::vector<FolderPtr> path_;   // the scan's current folder and its ancestors
    // Folders not yet entered by the scan, in the order it will enter them (a depth-first
    // pre-order): a folder's sub-folders are linked right after it once it is listed.
    Folder* head_ = nullptr;
    Folder* tail_ = nullptr;
    std::size_t pendingLinked_ = 0;  // linked folders nobody has started to list
    std::size_t ahead_ = 0;
    std::size_t entriesAhead_ = 0;
    std::size_t listedByReaders_ = 0;
    std::size_t readersListing_ = 0;
    std::set<std::pair<std::size_t, Folder*>> open_;  // folders with a descriptor, by depth
    std::vector<int> closing_;  // descriptors to close once the lock is let go
    Folder* scanWaitsFor_ = nullptr;
    unsigned idle_ = 0;
    ReaderPolicy policy_;
    unsigned running_ = 0;  // readers that read now: those numbered below it; the rest rest
    bool windowFull_ = false;
    bool quit_ = false;
    ReadScratch scanScratch_;
    // The scan's moves not carried out yet (the scan thread alone uses these).
    std::size_t depth_ = 1;   // of the scan's current folder; 0 once it left the start
    std::size_t leaves_ = 0;  // Leave calls to carry out, before enterName_
    bool entering_ = false;
    std::string enterName_;

    // The stat'ing of one large folder, spread over the readers: chunks of it are handed out
    // in order; the thread that lists the folder waits until every chunk is done.
    struct StatJob {
        const std::function<void(std::size_t, std::size_t)>* work;
        std::size_t next = 0;  // the first entry no thread has taken
        std::size_t count = 0;
        int busy = 0;  // chunks being worked on
    };
    void Run(std::size_t count,
             const std::function<void(std::size_t first, std::size_t last)>& work) override;
    // Takes a chunk of job and works it with the lock released.
    void WorkChunk(StatJob& job, std::unique_lock<std::mutex>& lock);
    std::vector<StatJob*> statJobs_;  // jobs with chunks left
    std::condition_variable chunksDone_;
    std::vector<std::thread> readers_;
};
