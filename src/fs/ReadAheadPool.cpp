// Reader threads that list folders ahead of the scan, in the scan's order, within a bounded
// window, opening each folder relative to its parent's descriptor.
#include "fs/ReadAheadPool.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>

namespace {

enum class State { Pending, Reading, Done, Taken };

bool IsEnteredFolder(const FolderEntry& entry, std::string_view name, const ScanRules& rules) {
    return entry.isDirectory && !entry.excluded && rules.Counts(name);
}

}  // namespace

// One folder the scan has entered or will enter. Guarded by the pool's mutex, except name,
// depth and parent, which never change (a reader lists into a listing of its own and
// publishes it under the mutex).
struct ReadAheadPool::Folder : std::enable_shared_from_this<Folder> {
    Folder(FolderPtr parentFolder, std::string_view folderName, std::atomic<std::size_t>& known)
        : parent(std::move(parentFolder)),
          name(folderName),
          depth(parent ? parent->depth + 1 : 0),
          counter(known) {
        counter.fetch_add(1, std::memory_order_relaxed);
    }
    ~Folder() { counter.fetch_sub(1, std::memory_order_relaxed); }

    FolderPtr parent;        // keeps the ancestors, needed to reopen this folder, alive
    const std::string name;  // the starting folder's path at depth 0
    const std::size_t depth;
    std::atomic<std::size_t>& counter;

    State state = State::Pending;
    bool byReader = false;            // listed by a reader thread: counts as ahead until taken
    bool abandoned = false;           // the scan will not enter it after all
    FolderListing listing;            // its outcome says why it has none
    std::vector<FolderPtr> children;  // the sub-folders the scan will enter, in its order
    std::size_t cursor = 0;           // children before it were entered or given up
    std::size_t unclaimed = 0;        // children nobody has started to list yet
    FileDescriptor fd;                // open while unclaimed children need it
    int pins = 0;                     // readers opening a child through fd right now
    bool unopenable = false;
    Folder* prev = nullptr;
    Folder* next = nullptr;
    bool linked = false;
};

ReadAheadPool::ReadAheadPool(const std::string& rootPath, ReaderPolicy policy,
                             ReadAheadLimits limits, const std::atomic<bool>* stop, ScanRules rules)
    : limits_(limits), stop_(stop), rules_(std::move(rules)), mounts_(rules_), policy_(policy) {
    path_.push_back(std::make_shared<Folder>(nullptr, rootPath, foldersKnown_));
    std::lock_guard lock(mutex_);
    readers_.reserve(policy_.Maximum());
    FollowPolicy();
}

ReadAheadPool::~ReadAheadPool() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    rest_.notify_all();
    for (std::thread& reader : readers_)
        reader.join();
    std::lock_guard lock(mutex_);
    while (!path_.empty()) {
        AbandonChildren(*path_.back(), path_.back()->cursor);
        ReleaseIfUnused(*path_.back());
        path_.pop_back();
    }
    while (!open_.empty())
        CloseDescriptor(*open_.begin()->second);
    for (int fd : closing_)
        ::close(fd);
}

// ---- The scan's side ----------------------------------------------------------------------

// The scan's moves are noted without the lock and carried out when it next lists: one
// lock a folder for the scan instead of three.
void ReadAheadPool::Enter(std::string_view name) {
    ++depth_;
    if (entering_)
        ApplyMoves();  // two entries without a listing between: no time is saved
    entering_ = true;
    enterName_.assign(name);
}

bool ReadAheadPool::Leave() {
    if (entering_) {  // entered and left without a listing
        entering_ = false;
        --depth_;
        return true;
    }
    ++leaves_;
    return --depth_ > 0;
}

void ReadAheadPool::ApplyMoves() {
    std::lock_guard lock(mutex_);
    ApplyMovesLocked();
}

void ReadAheadPool::ApplyMovesLocked() {
    for (; leaves_ > 0; --leaves_)
        LeaveLocked();
    if (entering_) {
        entering_ = false;
        EnterLocked(enterName_);
    }
}

void ReadAheadPool::EnterLocked(std::string_view name) {
    Folder& current = *path_.back();
    while (current.cursor < current.children.size()) {
        FolderPtr& child = current.children[current.cursor++];
        if (child->name == name) {
            if (child->linked)
                Unlink(*child);
            path_.push_back(child);
            return;
        }
        Abandon(*child);
        child.reset();
    }
    // Not a sub-folder the listing showed: list it when asked, as an extra child.
    ++current.unclaimed;
    path_.push_back(std::make_shared<Folder>(path_.back(), name, foldersKnown_));
}

void ReadAheadPool::LeaveLocked() {
    FolderPtr folder = std::move(path_.back());
    path_.pop_back();
    AbandonChildren(*folder, folder->cursor);
    ReleaseIfUnused(*folder);
    if (!path_.empty()) {
        Folder& parent = *path_.back();
        if (parent.cursor > 0 && parent.children[parent.cursor - 1] == folder)
            parent.children[parent.cursor - 1].reset();
    }
    WakeReadersIfRoom();
}

bool ReadAheadPool::List(FolderListing& out) {
    std::unique_lock lock(mutex_);
    ApplyMovesLocked();
    FolderPtr folder = path_.back();
    if (folder->state == State::Pending) {
        bool parentOpen = Claim(*folder);
        Read(folder, parentOpen, scanScratch_, lock);
    } else if (folder->state == State::Reading) {
        scanWaitsFor_ = folder.get();
        done_.wait(lock, [&] { return folder->state != State::Reading; });
        scanWaitsFor_ = nullptr;
    }
    out.Clear();
    if (folder->state != State::Done)
        return false;  // listed once already
    Take(*folder, out);
    return out.outcome == ListOutcome::Listed;
}

int ReadAheadPool::DuplicateCurrent() {
    std::lock_guard lock(mutex_);
    ApplyMovesLocked();
    Folder& folder = *path_.back();
    ++folder.pins;  // open until duplicated
    int fd = EnsureOpen(folder) ? ::fcntl(folder.fd.Get(), F_DUPFD_CLOEXEC, 0) : -1;
    Unpin(folder);
    return fd;
}

void ReadAheadPool::Take(Folder& folder, FolderListing& out) {
    if (folder.byReader) {
        --ahead_;
        entriesAhead_ -= folder.listing.entries.size();
    }
    folder.state = State::Taken;
    std::swap(out, folder.listing);
    WakeReadersIfRoom();
}

// ---- The readers' side --------------------------------------------------------------------

// Readers are numbered as they start; those numbered at or above the target wait until it
// grows again, so that a target going up and down starts no thread twice.
void ReadAheadPool::FollowPolicy() {
    if (quit_)
        return;
    const unsigned target = policy_.Target();
    while (readers_.size() < target) {
        const unsigned number = static_cast<unsigned>(readers_.size());
        readers_.emplace_back([this, number] { Work(number); });
    }
    const bool fewer = target < running_;
    running_ = target;
    rest_.notify_all();  // readers that may read again
    if (fewer)
        work_.notify_all();  // idle readers that should rest now
}

// More readers than the policy began with read further ahead, in proportion.
std::size_t ReadAheadPool::FoldersAhead() const {
    return limits_.folders * std::max(1u, running_ / policy_.Initial());
}

// Extra readers hold extra parents open while they list; the budget stays well below the
// usual limit of 1,024 descriptors.
std::size_t ReadAheadPool::DescriptorBudget() const {
    const std::size_t extra = running_ > policy_.Initial() ? running_ - policy_.Initial() : 0;
    return std::min<std::size_t>(limits_.descriptors + 4 * extra,
                                 std::max<std::size_t>(limits_.descriptors, 512));
}

void ReadAheadPool::Work(unsigned number) {
    constexpr unsigned kSampleEvery = 4;  // listings between two looks at the thread's times
    ReadScratch scratch;
    unsigned listings = 0;
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (number >= running_) {  // not needed now: rests until the target grows or the end
            rest_.wait(lock, [&] { return quit_ || number < running_; });
            continue;
        }
        if (!statJobs_.empty()) {  // help with a large folder first: someone waits for it
            WorkChunk(*statJobs_.front(), lock);
            continue;
        }
        Folder* next = NextForReader();
        if (!next) {
            ++idle_;
            work_.wait(lock);
            --idle_;
            continue;
        }
        FolderPtr folder = next->shared_from_this();
        folder->byReader = true;
        ++ahead_;
        bool parentOpen = Claim(*folder);
        if (idle_ > 0 && RoomAhead() && HasClaimable())
            work_.notify_one();
        ++readersListing_;
        ThreadTimes times[2];
        const bool sample = ++listings % kSampleEvery == 0;
        Read(folder, parentOpen, scratch, lock, sample ? times : nullptr);
        --readersListing_;
        ++listedByReaders_;
        if (sample &&
            policy_.Record(times[1].wall - times[0].wall, times[1].running - times[0].running,
                           times[1].waiting - times[0].waiting))
            FollowPolicy();
    }
    --running_;
}

bool ReadAheadPool::RoomAhead() const {
    return !(stop_ && stop_->load(std::memory_order_relaxed)) && ahead_ < FoldersAhead() &&
           entriesAhead_ < limits_.entries;
}

// Is there a linked folder nobody lists yet, other than the one the scan needs next?
bool ReadAheadPool::HasClaimable() const {
    std::size_t atHead = head_ && head_->state == State::Pending ? 1 : 0;
    return pendingLinked_ > atHead;
}

// The first folder, in the scan's order, that a reader may start on; null when there is
// none, the window is full, or a stop was requested.
ReadAheadPool::Folder* ReadAheadPool::NextForReader() {
    if (!RoomAhead()) {
        windowFull_ = windowFull_ || ahead_ >= FoldersAhead() || entriesAhead_ >= limits_.entries;
        return nullptr;
    }
    if (!HasClaimable())
        return nullptr;
    for (Folder* folder = head_->next; folder; folder = folder->next) {
        if (folder->state == State::Pending)
            return folder;
    }
    return nullptr;
}

// Marks folder as being listed and makes sure its parent's descriptor is open and stays
// open until Read is done with it. False when the parent cannot be opened.
bool ReadAheadPool::Claim(Folder& folder) {
    if (folder.linked)
        --pendingLinked_;
    folder.state = State::Reading;
    Folder* parent = folder.parent.get();
    if (!parent)
        return true;
    ++parent->pins;
    --parent->unclaimed;
    return EnsureOpen(*parent);
}

// Lists a claimed folder with the lock released, then publishes the listing.
void ReadAheadPool::Read(const FolderPtr& folder, bool parentOpen, ReadScratch& scratch,
                         std::unique_lock<std::mutex>& lock, ThreadTimes* times) {
    Folder* parent = folder->parent.get();
    int parentFd = parent && parentOpen ? parent->fd.Get() : -1;
    std::vector<int> closing;
    closing.swap(closing_);
    lock.unlock();
    if (times)
        times[0] = ThisThreadTimes();
    for (int fd : closing)  // descriptors let go of while the lock was held
        ::close(fd);
    FolderListing listing;
    FileDescriptor fd;
    if (!parent)
        fd.Reset(OpenStart(folder->name, mounts_, listing));  // before any other folder
    else if (parentFd >= 0)
        fd.Reset(OpenForListing(parentFd, folder->name, mounts_, listing));
    else
        listing.Fail(ListOutcome::Unreadable, ENOENT);  // its parent could not be opened again
    if (fd.IsOpen()) {
        const std::uint64_t device = listing.device;  // as the open found it
        ReadFolder(fd.Get(), scratch, listing, rules_, this);
        listing.device = device;
    }
    std::vector<FolderPtr> children;
    if (listing.outcome == ListOutcome::Listed && folder->depth < limits_.depth) {
        for (const FolderEntry& entry : listing.entries) {
            std::string_view name = listing.Name(entry);
            if (IsEnteredFolder(entry, name, rules_))
                children.push_back(std::make_shared<Folder>(folder, name, foldersKnown_));
        }
    }
    if (times)
        times[1] = ThisThreadTimes();
    lock.lock();
    if (parent)
        Unpin(*parent);
    Publish(*folder, std::move(listing), std::move(children), std::move(fd));
}

void ReadAheadPool::Publish(Folder& folder, FolderListing listing, std::vector<FolderPtr> children,
                            FileDescriptor fd) {
    folder.state = State::Done;
    if (folder.abandoned) {
        if (folder.byReader)
            --ahead_;
        WakeReadersIfRoom();
        return;
    }
    folder.listing = std::move(listing);
    if (folder.byReader)
        entriesAhead_ += folder.listing.entries.size();
    folder.children = std::move(children);
    folder.unclaimed = folder.children.size();
    if (!folder.children.empty()) {
        AddOpen(folder, fd.Release());
        LinkChildren(folder);
        if (idle_ > 0 && RoomAhead() && HasClaimable())
            work_.notify_one();
    }
    if (scanWaitsFor_ == &folder)
        done_.notify_one();
}

// ---- Large folders, stat'ed by every thread ----------------------------------------------------

void ReadAheadPool::Run(std::size_t count,
                        const std::function<void(std::size_t first, std::size_t last)>& work) {
    StatJob job{&work, 0, count, 0};
    std::unique_lock lock(mutex_);
    statJobs_.push_back(&job);
    if (idle_ > 0)
        work_.notify_all();
    while (job.next < job.count)
        WorkChunk(job, lock);
    chunksDone_.wait(lock, [&] { return job.busy == 0; });
}

void ReadAheadPool::WorkChunk(StatJob& job, std::unique_lock<std::mutex>& lock) {
    constexpr std::size_t kChunk = 256;
    const std::size_t first = job.next;
    const std::size_t last = std::min(job.count, first + kChunk);
    job.next = last;
    if (last == job.count)  // nothing left to hand out
        statJobs_.erase(std::find(statJobs_.begin(), statJobs_.end(), &job));
    ++job.busy;
    lock.unlock();
    (*job.work)(first, last);
    lock.lock();
    if (--job.busy == 0 && job.next == job.count)
        chunksDone_.notify_all();
}

// ---- Giving up folders the scan will not enter ----------------------------------------------

void ReadAheadPool::Abandon(Folder& folder) {
    if (folder.linked)
        Unlink(folder);
    if (folder.state == State::Pending && folder.parent) {
        --folder.parent->unclaimed;
        ReleaseIfUnused(*folder.parent);
    }
    if (folder.state == State::Done && folder.byReader) {
        --ahead_;
        entriesAhead_ -= folder.listing.entries.size();
    }
    folder.abandoned = true;
    folder.listing = FolderListing();
    AbandonChildren(folder, folder.cursor);
}

void ReadAheadPool::AbandonChildren(Folder& folder, std::size_t from) {
    for (std::size_t i = from; i < folder.children.size(); ++i) {
        if (folder.children[i])
            Abandon(*folder.children[i]);
    }
    folder.children.clear();
    folder.cursor = 0;
    folder.unclaimed = 0;
    ReleaseIfUnused(folder);
}

// After a listing left the window: wakes the readers once it is half empty again.
void ReadAheadPool::WakeReadersIfRoom() {
    if (windowFull_ && ahead_ <= FoldersAhead() / 2 && entriesAhead_ <= limits_.entries / 2) {
        windowFull_ = false;
        if (idle_ > 0)
            work_.notify_all();
    }
}

// ---- Descriptors --------------------------------------------------------------------------

// Opens folder again if its descriptor was closed to stay within the budget, from its
// nearest open ancestor down, one name at a time (never a long path).
bool ReadAheadPool::EnsureOpen(Folder& folder) {
    if (folder.fd.IsOpen())
        return true;
    std::vector<Folder*> chain;
    for (Folder* f = &folder; f && !f->fd.IsOpen(); f = f->parent.get()) {
        if (f->unopenable)
            return false;
        chain.push_back(f);
    }
    Folder* above = chain.back()->parent.get();
    if (above)
        ++above->pins;
    bool opened = true;
    for (auto it = chain.rbegin(); it != chain.rend() && opened; ++it) {
        Folder& f = **it;
        int fd = above ? OpenSubFolder(above->fd.Get(), f.name) : OpenStartFolder(f.name);
        opened = fd >= 0;
        if (opened) {
            ++f.pins;
            AddOpen(f, fd);
        } else {
            f.unopenable = true;
        }
        if (above)
            Unpin(*above);
        above = opened ? &f : nullptr;
    }
    if (above)
        Unpin(*above);
    return opened;
}

void ReadAheadPool::AddOpen(Folder& folder, int fd) {
    folder.fd.Reset(fd);
    open_.emplace(folder.depth, &folder);
    // Over budget: close the shallowest unused one; the scan needs it last.
    while (open_.size() > DescriptorBudget()) {
        auto victim = open_.begin();
        while (victim != open_.end() && (victim->second->pins > 0 || victim->second == &folder))
            ++victim;
        if (victim == open_.end())
            return;
        CloseDescriptor(*victim->second);
    }
}

void ReadAheadPool::CloseDescriptor(Folder& folder) {
    open_.erase({folder.depth, &folder});
    closing_.push_back(folder.fd.Release());  // closed by the next thread that lists
}

void ReadAheadPool::Unpin(Folder& folder) {
    --folder.pins;
    ReleaseIfUnused(folder);
}

void ReadAheadPool::ReleaseIfUnused(Folder& folder) {
    if (folder.pins == 0 && folder.unclaimed == 0 && folder.fd.IsOpen())
        CloseDescriptor(folder);
}

// ---- The order list -----------------------------------------------------------------------

// Links the folder's sub-folders right after it, or first when the scan has entered it.
void ReadAheadPool::LinkChildren(Folder& folder) {
    Folder* position = folder.linked ? &folder : nullptr;
    for (const FolderPtr& child : folder.children) {
        LinkAfter(position, *child);
        position = child.get();
    }
}

void ReadAheadPool::LinkAfter(Folder* position, Folder& folder) {
    folder.prev = position;
    folder.next = position ? position->next : head_;
    (folder.next ? folder.next->prev : tail_) = &folder;
    (position ? position->next : head_) = &folder;
    folder.linked = true;
    if (folder.state == State::Pending)
        ++pendingLinked_;
}

void ReadAheadPool::Unlink(Folder& folder) {
    (folder.prev ? folder.prev->next : head_) = folder.next;
    (folder.next ? folder.next->prev : tail_) = folder.prev;
    folder.prev = folder.next = nullptr;
    folder.linked = false;
    if (folder.state == State::Pending)
        --pendingLinked_;
}

ReadAheadStats ReadAheadPool::Stats() const {
    std::lock_guard lock(mutex_);
    ReadAheadStats stats;
    stats.foldersKnown = foldersKnown_.load(std::memory_order_relaxed);
    stats.foldersAhead = ahead_;
    stats.entriesAhead = entriesAhead_;
    stats.openDescriptors = open_.size();
    stats.listedByReaders = listedByReaders_;
    stats.readersListing = readersListing_;
    stats.readers = running_;
    return stats;
}
