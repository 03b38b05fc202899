// brimwell-report: scans a folder without a display and prints the text report of it.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "ReportOptions.h"
#include "fs/FileSystem.h"
#include "fs/ReadAheadReader.h"
#include "report/ReportText.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace {

// A one-line counter on the terminal while a scan takes more than half a second; the line
// is erased when the scan ends. Messages written meanwhile go above it.
class ProgressLine {
  public:
    explicit ProgressLine(const ScanCounters& counters)
        : counters_(counters), thread_([this] { Run(); }) {}

    void Message(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fputs(shown_ ? "\r\033[K" : "", stderr);
        std::fwrite(text.data(), 1, text.size(), stderr);
    }
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
            shown_ = true;
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
    bool shown_ = false;
    std::thread thread_;
};

}  // namespace

int main(int argc, char** argv) {
    int exitStatus = 0;
    std::optional<ReportOptions> options = ParseReportOptions(argc, argv, exitStatus);
    if (!options)
        return exitStatus;
    if (auto problem = FolderProblem(options->folder)) {
        std::cerr << "brimwell-report: " << options->folder << ": " << *problem << "\n";
        return 1;
    }
    if (options->kilobytes)
        SizeUnit::Toggle();

    // The tree lives as long as the process: freeing a million items one by one on the way
    // out would only delay the exit.
    static ItemStore& tree = *new ItemStore;
    ReadAheadReader reader(options->threads, ReadAheadLimits{}, &StopRequested, options->rules);
    ScanCounters counters;
    ScanContext context(reader, &counters);
    context.rules = &options->rules;
    {
        std::optional<ProgressLine> progress;
        if (StandardErrorIsTerminal())
            progress.emplace(counters);
        context.cannotRead = [&progress](const std::string& path, int error) {
            std::string line =
                "brimwell-report: cannot read " + path + ": " + std::strerror(error) + "\n";
            if (progress)
                progress->Message(line);
            else
                std::fwrite(line.data(), 1, line.size(), stderr);
        };
        FolderTree::ScanRoot(tree, options->folder, context);
    }
    ReportText::WriteReport(tree, std::cout);
    return std::cout.good() ? 0 : 1;
}
