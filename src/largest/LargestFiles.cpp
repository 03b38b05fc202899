// The bounded heap of the largest files and the walk that fills it.
#include "largest/LargestFiles.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Heap order: the smallest key on top, and among equal keys the path that sorts last, so
// that what leaves first is what would be shown last.
bool Above(std::uint64_t keyA, const std::string& pathA, std::uint64_t keyB,
           const std::string& pathB) {
    return keyA != keyB ? keyA > keyB : pathA < pathB;
}

}  // namespace

bool LargestFiles::Wants(std::uint64_t key) const {
    if (capacity_ == 0)
        return false;
    return heap_.size() < capacity_ || key >= heap_.front().key;
}

void LargestFiles::Offer(LargeFile file, std::uint64_t key) {
    if (!Wants(key))
        return;
    if (file.link.inode != 0) {
        for (const Kept& kept : heap_) {
            if (kept.file.link == file.link)
                return;  // another name of a file kept already
        }
    }
    auto order = [](const Kept& a, const Kept& b) {
        return Above(a.key, a.file.path, b.key, b.file.path);
    };
    if (heap_.size() == capacity_) {
        const Kept& smallest = heap_.front();
        if (!Above(key, file.path, smallest.key, smallest.file.path))
            return;
        std::pop_heap(heap_.begin(), heap_.end(), order);
        heap_.pop_back();
    }
    heap_.push_back({key, std::move(file)});
    std::push_heap(heap_.begin(), heap_.end(), order);
}

std::vector<LargeFile> LargestFiles::TakeLargestFirst() {
    std::sort(heap_.begin(), heap_.end(), [](const Kept& a, const Kept& b) {
        return Above(a.key, a.file.path, b.key, b.file.path);
    });
    std::vector<LargeFile> files;
    files.reserve(heap_.size());
    for (Kept& kept : heap_)
        files.push_back(std::move(kept.file));
    heap_.clear();
    return files;
}

namespace {

// The depth-first walk below the folder searched, with a stack of its own.
class LargestFilesWalk {
  public:
    LargestFilesWalk(FolderSource& source, const LargestFilesRequest& request)
        : source_(source), request_(request), kept_(request.count) {}

    LargestFilesResult Run() {
        source_.EnterRoot(request_.start);
        std::size_t entered = 0;
        bool reached = true;
        for (const std::string& name : request_.below) {
            if (!HasSubFolder(name)) {
                reached = false;
                break;
            }
            source_.Enter(name);
            ++entered;
        }
        if (reached)
            Walk();
        for (std::size_t i = 0; i < entered + 1; ++i)
            source_.Leave();
        result_.stopped = Stopping();
        result_.files = kept_.TakeLargestFirst();
        return std::move(result_);
    }

  private:
    struct Frame {
        std::unique_ptr<FolderListing> listing;
        std::size_t next = 0;
        std::size_t pathLength = 0;  // path_ of this folder
    };

    bool Stopping() const {
        return request_.stop && request_.stop->load(std::memory_order_relaxed);
    }

    // Whether the current folder has the sub-folder `name` that a scan would enter.
    bool HasSubFolder(const std::string& name) {
        FolderListing listing;
        if (!source_.List(listing))
            return false;
        for (const FolderEntry& entry : listing.entries) {
            if (entry.isDirectory && !entry.excluded && listing.Name(entry) == name)
                return true;
        }
        return false;
    }

    void Walk() {
        auto listing = std::make_unique<FolderListing>();
        if (!source_.List(*listing))
            return;
        result_.found = true;
        frames_.push_back({std::move(listing), 0, 0});
        while (!frames_.empty()) {
            if (Stopping())
                break;
            if (!EnterNextSubFolder()) {
                frames_.pop_back();
                if (!frames_.empty())
                    source_.Leave();
            }
        }
        for (std::size_t i = 1; i < frames_.size(); ++i)
            source_.Leave();  // stopped on the way down
        frames_.clear();
    }

    // Offers the current folder's files up to its next sub-folder and enters that one;
    // false when the folder has no more entries.
    bool EnterNextSubFolder() {
        Frame& frame = frames_.back();
        const FolderListing& listing = *frame.listing;
        while (frame.next < listing.entries.size()) {
            const FolderEntry& entry = listing.entries[frame.next++];
            if (entry.excluded)
                continue;
            std::string_view name = listing.Name(entry);
            if (!entry.isDirectory) {
                Offer(listing, entry, frame.pathLength);
                continue;
            }
            if (!request_.rules.Counts(name))
                continue;
            path_.resize(frame.pathLength);
            if (!path_.empty())
                path_.push_back('/');
            path_.append(name);
            source_.Enter(name);
            auto below = std::make_unique<FolderListing>();
            if (!source_.List(*below)) {
                source_.Leave();
                continue;
            }
            frames_.push_back({std::move(below), 0, path_.size()});
            return true;
        }
        return false;
    }

    void Offer(const FolderListing& listing, const FolderEntry& entry, std::size_t pathLength) {
        ++result_.filesSeen;
        const std::uint64_t size = entry.compressed ? entry.sizeOnDisk : entry.size;
        const std::uint64_t key = request_.onDisk ? entry.sizeOnDisk : size;
        if (!kept_.Wants(key))
            return;
        LargeFile file;
        file.path.reserve(pathLength + 1 + entry.nameLength);
        file.path.assign(path_, 0, pathLength);
        if (!file.path.empty())
            file.path.push_back('/');
        file.path.append(listing.Name(entry));
        file.size = size;
        file.sizeOnDisk = entry.sizeOnDisk;
        if (entry.link != 0)
            file.link = listing.links[entry.link - 1];
        kept_.Offer(std::move(file), key);
    }

    FolderSource& source_;
    const LargestFilesRequest& request_;
    LargestFiles kept_;
    LargestFilesResult result_;
    std::vector<Frame> frames_;
    std::string path_;
};

}  // namespace

LargestFilesResult FindLargestFiles(FolderSource& source, const LargestFilesRequest& request) {
    return LargestFilesWalk(source, request).Run();
}
