// brimwell-report: scans a folder without a display and prints the text report of it.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "fs/FileSystem.h"
#include "fs/ReadAheadReader.h"
#include "report/ReportText.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace {

constexpr const char* kUsage =
    "Usage: brimwell-report [-k] [-j N] FOLDER\n"
    "Scans FOLDER and prints the size of everything below it, one line per sub-folder,\n"
    "largest first, with the files lying directly in FOLDER as \"FILES\".\n"
    "  -k      sizes in kilobytes (default: megabytes)\n"
    "  -j N    read folders on N threads (default: one per processor, or 1 on a rotating\n"
    "          disk); -j 1 reads them one after the other on the scanning thread\n"
    "  --help  this text\n"
    "  --version  the version\n";

constexpr unsigned kMaxThreads = 256;

struct Options {
    bool kilobytes = false;
    unsigned threads = 0;  // 0: chosen for the folder
    std::string folder;
};

// A thread count from 1 to kMaxThreads, or 0 when text is not one.
unsigned ParseThreads(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    unsigned value = static_cast<unsigned>(std::stoul(text));
    return value <= kMaxThreads ? value : 0;
}

// Parses the arguments; returns the exit status to end with, or -1 to go on.
int ParseArguments(int argc, char** argv, Options& options) {
    bool haveFolder = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (argument == "--version") {
            std::cout << "brimwell-report " BRIMWELL_VERSION "\n";
            return 0;
        }
        if (argument == "-k") {
            options.kilobytes = true;
        } else if (argument.rfind("-j", 0) == 0) {
            std::string count = argument.size() > 2 ? argument.substr(2)
                                : i + 1 < argc      ? std::string(argv[++i])
                                                    : std::string();
            options.threads = ParseThreads(count);
            if (options.threads == 0) {
                std::cerr << "brimwell-report: -j needs a number of threads from 1 to "
                          << kMaxThreads << "\n"
                          << kUsage;
                return 2;
            }
        } else if (argument == "--" && i + 1 == argc - 1 && !haveFolder) {
            options.folder = argv[++i];
            haveFolder = true;
        } else if (!argument.empty() && argument[0] == '-') {
            std::cerr << "brimwell-report: unknown option " << argument << "\n" << kUsage;
            return 2;
        } else if (haveFolder) {
            std::cerr << "brimwell-report: only one FOLDER\n" << kUsage;
            return 2;
        } else {
            options.folder = argument;
            haveFolder = true;
        }
    }
    if (!haveFolder) {
        std::cerr << kUsage;
        return 2;
    }
    return -1;
}

// A one-line counter on the terminal while a scan takes more than half a second; the line
// is erased when the scan ends.
class ProgressLine {
  public:
    explicit ProgressLine(const ScanCounters& counters)
        : counters_(counters), thread_([this] { Run(); }) {}
    ~ProgressLine() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; }))
            return;
        while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return done_; })) {
            std::fprintf(stderr, "\r%lld folders, %lld files, %llu bytes\033[K",
                         static_cast<long long>(counters_.folders.load()),
                         static_cast<long long>(counters_.files.load()),
                         static_cast<unsigned long long>(counters_.bytes.load()));
        }
        std::fputs("\r\033[K", stderr);
    }

    const ScanCounters& counters_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (int status = ParseArguments(argc, argv, options); status >= 0)
        return status;
    if (auto problem = FolderProblem(options.folder)) {
        std::cerr << "brimwell-report: " << options.folder << ": " << *problem << "\n";
        return 1;
    }
    if (options.kilobytes)
        SizeUnit::Toggle();

    ItemStore tree;
    ReadAheadReader reader(options.threads, ReadAheadLimits{}, &StopRequested);
    ScanCounters counters;
    ScanContext context{reader, &counters};
    {
        std::optional<ProgressLine> progress;
        if (StandardErrorIsTerminal())
            progress.emplace(counters);
        FolderTree::ScanRoot(tree, options.folder, context);
    }
    ReportText::WriteReport(tree, std::cout);
    return std::cout.good() ? 0 : 1;
}
