// floor: the plainest walk a folder-size tool can do (openat + getdents64 + statx relative to
// the folder's descriptor, sum of sizes and counts), to measure the engine against what the
// machine allows. `-t N` spreads the folders over N threads sharing one stack of work; `-s`
// skips folders whose name begins with "." (Brimwell does not enter them).
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
bool skipDotFolders = false;

struct Totals {
    std::uint64_t bytes = 0;
    std::uint64_t files = 0;
    std::uint64_t folders = 0;
};

// An open folder shared by the jobs of its sub-folders; closed when the last one is done.
struct Folder {
    int fd;
    explicit Folder(int f) : fd(f) {}
    ~Folder() { ::close(fd); }
};

struct Job {
    std::shared_ptr<Folder> parent;  // null for the start folder
    std::string name;
};

// Lists the open folder fd into totals; calls onFolder(name) for every sub-folder.
template <typename OnFolder>
void ListFolder(int fd, std::vector<char>& buffer, Totals& totals, OnFolder onFolder) {
    totals.folders += 1;
    for (;;) {
        long got = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (got <= 0)
            return;
        for (long offset = 0; offset < got;) {
            auto* entry = reinterpret_cast<struct dirent64*>(buffer.data() + offset);
            offset += entry->d_reclen;
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            if (entry->d_type == DT_DIR) {
                if (!skipDotFolders || name[0] != '.')
                    onFolder(name);
                continue;
            }
            struct statx info;
            if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                        STATX_SIZE | STATX_BLOCKS | STATX_TYPE, &info) != 0)
                continue;
            if (S_ISDIR(info.stx_mode)) {
                if (!skipDotFolders || name[0] != '.')
                    onFolder(name);
                continue;
            }
            totals.bytes += info.stx_size;
            totals.files += 1;
        }
    }
}

int OpenFolder(int parentFd, const char* name) {
    return ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

void WalkRecursive(int fd, std::vector<char>& buffer, Totals& totals) {
    std::vector<std::string> folders;
    ListFolder(fd, buffer, totals, [&](const char* name) { folders.emplace_back(name); });
    for (const std::string& name : folders) {
        int child = OpenFolder(fd, name.c_str());
        if (child < 0)
            continue;
        WalkRecursive(child, buffer, totals);
        ::close(child);
    }
}

// Threads take jobs from one stack (newest first, so the walk stays mostly depth first).
class ParallelWalk {
  public:
    Totals Run(const char* root, int threads) {
        jobs_.push_back(Job{nullptr, root});
        outstanding_ = 1;
        std::vector<std::thread> pool;
        std::vector<Totals> totals(threads);
        for (int i = 0; i < threads; ++i)
            pool.emplace_back([this, &totals, i] { Work(totals[i]); });
        for (std::thread& thread : pool)
            thread.join();
        Totals sum;
        for (const Totals& t : totals) {
            sum.bytes += t.bytes;
            sum.files += t.files;
            sum.folders += t.folders;
        }
        return sum;
    }

  private:
    void Work(Totals& totals) {
        std::vector<char> buffer(kBufferSize);
        std::vector<Job> found;
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return !jobs_.empty() || outstanding_ == 0; });
                if (jobs_.empty())
                    return;
                job = std::move(jobs_.back());
                jobs_.pop_back();
            }
            int fd = job.parent ? OpenFolder(job.parent->fd, job.name.c_str())
                                : ::open(job.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            job.parent.reset();
            found.clear();
            if (fd >= 0) {
                auto folder = std::make_shared<Folder>(fd);
                ListFolder(fd, buffer, totals, [&](const char* name) {
                    found.push_back(Job{folder, name});
                });
            }
            std::lock_guard lock(mutex_);
            outstanding_ += found.size();
            outstanding_ -= 1;
            for (auto it = found.rbegin(); it != found.rend(); ++it)
                jobs_.push_back(std::move(*it));
            if (!found.empty() || outstanding_ == 0)
                ready_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<Job> jobs_;
    std::size_t outstanding_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    int threads = 1;
    const char* root = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc)
            threads = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-s") == 0)
            skipDotFolders = true;
        else
            root = argv[i];
    }
    if (!root || threads < 1) {
        std::fprintf(stderr, "usage: floor [-t THREADS] [-s] FOLDER\n");
        return 2;
    }
    // Jobs waiting in the stack keep their parent open: allow as many descriptors as we may.
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
    Totals totals;
    if (threads == 1) {
        int fd = ::open(root, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            std::perror(root);
            return 1;
        }
        std::vector<char> buffer(kBufferSize);
        WalkRecursive(fd, buffer, totals);
        ::close(fd);
    } else {
        totals = ParallelWalk().Run(root, threads);
    }
    std::printf("%llu bytes, %llu files, %llu folders\n",
                static_cast<unsigned long long>(totals.bytes),
                static_cast<unsigned long long>(totals.files),
                static_cast<unsigned long long>(totals.folders));
    return 0;
}
