// brimwell-report: scans a folder, or reads a scan file, without a display and prints the
// text report of it, or writes the scan as a scan file.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ReportCompare.h"
#include "ReportOptions.h"
#include "fs/FileSystem.h"
#include "fs/ReadAheadReader.h"
#include "largest/LargestFiles.h"
#include "report/ReportText.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "scanfile/ExportItemWriter.h"
#include "scanfile/ScanFileReader.h"
#include "scanfile/ScanFileWriter.h"
#include "scanfile/SignalCleanup.h"
#include "shard/Graft.h"
#include "shard/GraftLoad.h"
#include "shard/ShardScan.h"
#include "tree/ItemStore.h"
#include "tree/SizeMeasure.h"

namespace {

// The largest files below the scan's root, one line each: the size in the unit, right
// aligned, a tab, and the path (the root as given, then the names below it). On a terminal,
// control characters in the paths are shown as "?", as in the report.
void WriteLargestFiles(const std::vector<LargeFile>& files, const std::string& root,
                       bool toTerminal, std::ostream& out) {
    SizeUnit::Snapshot unit = SizeUnit::Current();
    std::vector<std::string> sizes;
    std::size_t width = 0;
    for (const LargeFile& file : files) {
        sizes.push_back(FormatSize(SizeMeasure::Shown(file.size, file.sizeOnDisk), unit.divisor) +
                        " " + unit.letter);
        width = std::max(width, sizes.back().size());
    }
    const std::string prefix = root.empty() || root.back() == '/' ? root : root + "/";
    std::string text;
    for (std::size_t i = 0; i < files.size(); ++i) {
        text.append(width - sizes[i].size(), ' ');
        text.append(sizes[i]);
        text.push_back('\t');
        const std::string path = prefix + files[i].path;
        text.append(toTerminal ? ReportText::ForTerminal(path) : path);
        text.push_back('\n');
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
}

// --largest N: one walk of the folder or of the scan file's tree fills a heap of N files.
int PrintLargestFiles(FolderSource& source, const std::string& root, const ReportOptions& options) {
    LargestFilesRequest request;
    request.start = root;
    request.count = options.largest;
    request.onDisk = options.diskUsage;
    request.rules = options.rules;
    request.stop = &StopRequested;
    LargestFilesResult result = FindLargestFiles(source, request);
    if (!result.found) {
        std::cerr << "brimwell-report: " << root << ": cannot be read\n";
        return 1;
    }
    WriteLargestFiles(result.files, root, StandardOutputIsTerminal(), std::cout);
    return std::cout.good() ? 0 : 1;
}

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

// What standard error says of a folder that could not be read. A scan file says only that
// the folder could not be read where it was made (error 0), not why. On a terminal, the
// path's control characters are shown as "?".
std::string CannotReadLine(const std::string& path, int error, bool toTerminal) {
    return "brimwell-report: cannot read " + (toTerminal ? ReportText::ForTerminal(path) : path) +
           ": " +
           (error != 0 ? std::strerror(error) : "it could not be read where the scan was made") +
           "\n";
}

std::vector<std::string> ScanFiles(const ReportOptions& options) {
    std::vector<std::string> files{options.scanFile};
    files.insert(files.end(), options.moreScanFiles.begin(), options.moreScanFiles.end());
    return files;
}

// Several scan files written as one with -o: the graft goes from the files to the output as
// it reads them, without a tree in memory. The output is opened first, as for a scan.
int WriteGraft(const ReportOptions& options) {
    ScanFileOutput output;
    if (!output.Open(options.output)) {
        std::cerr << "brimwell-report: " << options.output << ": " << output.Failure() << "\n";
        return 1;
    }
    Graft graft(ScanFiles(options));
    std::optional<std::string> problem = graft.Open();
    if (!problem) {
        ExportItemWriter out(output, GraftProgram(graft, "brimwell-report", BRIMWELL_VERSION));
        problem = graft.Write(out);
    }
    if (!problem && !output.Finish())
        problem = options.output + ": " + output.Failure();
    if (problem) {
        std::cerr << "brimwell-report: " << *problem << "\n";
        return 1;
    }
    return 0;
}

// The shard --shard names: K/N as given, or the launcher's numbers for "auto".
std::optional<ShardNumbers> ChosenShard(const std::string& text) {
    if (text != "auto")
        return ParseShardNumbers(text);
    std::string problem;
    std::optional<ShardNumbers> numbers = ShardFromLauncher(
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            return value ? std::optional<std::string>(value) : std::nullopt;
        },
        problem);
    if (!numbers)
        std::cerr << "brimwell-report: --shard auto: " << problem << "\n";
    return numbers;
}

// What an export lacks for the options given, in one sentence; nothing when it has it all.
std::optional<std::string> MissingFromExport(const ScanFileReader& reader, const ScanRules& rules) {
    if (reader.HasDevices())
        return std::nullopt;
    const bool fileSystems = rules.oneFileSystem;
    const bool links = !rules.countEveryLink && reader.ClaimsLinks();
    if (!fileSystems && !links)
        return std::nullopt;
    return std::string("the export gives no devices, so ") +
           (fileSystems ? "-x cannot keep out other file systems" : "") +
           (fileSystems && links ? " and " : "") +
           (links ? "files with several hard links count at every link" : "");
}

}  // namespace

int main(int argc, char** argv) {
    ReserveDescriptorTable();  // before any thread starts
    SignalCleanup::Install();  // a scan file left half-written goes with the process
    int exitStatus = 0;
    std::optional<ReportOptions> options = ParseReportOptions(argc, argv, exitStatus);
    if (!options)
        return exitStatus;
    if (options->kilobytes)
        SizeUnit::Toggle();
    SizeMeasure::SetOnDisk(options->diskUsage);
    if (!options->moreScanFiles.empty() && !options->output.empty())
        return WriteGraft(*options);
    // With --shard the scan reads its shard alone; %k in -o's name is the shard's number.
    std::optional<ShardNumbers> shardNumbers;
    if (!options->shard.empty()) {
        shardNumbers = ChosenShard(options->shard);
        if (!shardNumbers)
            return 2;
        options->output = ShardFileName(options->output, shardNumbers->index);
    }

    // With --compare, the earlier scan is read first: a file that cannot be read ends the
    // program before a long scan.
    std::optional<Baseline> before;
    if (!options->compare.empty() &&
        !(before = ReportCompare::LoadBefore(options->compare, options->rules)))
        return 1;
    std::string scanTime = "now";

    // With -o the scan is written as it is read, instead of the report. The output is opened
    // first: a FILE that cannot be written is said before a long read.
    ScanFileOutput output;
    if (!options->output.empty() && !output.Open(options->output)) {
        std::cerr << "brimwell-report: " << options->output << ": " << output.Failure() << "\n";
        return 1;
    }
    // The scan's source: the folder through the read-ahead (or the shard's part of it), or
    // the tree of the scan file or of the graft of several.
    std::unique_ptr<FolderSource> source;
    std::unique_ptr<ShardScan> shard;
    std::string metadata;  // the shard's mark
    ScanFileReader* fileReader = nullptr;
    std::string root = options->folder;
    if (options->scanFile.empty()) {
        if (auto problem = FolderProblem(options->folder)) {
            std::cerr << "brimwell-report: " << options->folder << ": " << *problem << "\n";
            return 1;
        }
    }
    if (shardNumbers) {
        std::string problem;
        shard = ShardScan::Make(options->folder, *shardNumbers, options->plan, options->rules,
                                options->threads, &StopRequested, problem);
        if (!shard) {
            std::cerr << "brimwell-report: --plan " << problem << "\n";
            return 1;
        }
        metadata = shard->Metadata();
    } else if (options->scanFile.empty()) {
        source = std::make_unique<ReadAheadReader>(options->threads, ReadAheadLimits{},
                                                   &StopRequested, options->rules);
    } else {
        auto reader = std::make_unique<ScanFileReader>(options->rules);
        const std::vector<std::string> files = ScanFiles(*options);
        std::optional<std::string> problem;
        if (files.size() > 1)
            problem = LoadGraft(*reader, files);
        else if (std::optional<ScanFileError> error = reader->Load(options->scanFile))
            problem = error->Text();
        if (problem) {
            std::cerr << "brimwell-report: " << *problem << "\n";
            return 1;
        }
        if (auto missing = MissingFromExport(*reader, options->rules))
            std::cerr << "brimwell-report: " << GraftName(files) << ": " << *missing << "\n";
        root = reader->TopPath();
        scanTime = ScanTimeText(reader->Metadata());
        fileReader = reader.get();
        source = std::move(reader);
    }
    if (options->largest != 0)
        return PrintLargestFiles(*source, root, *options);
    FolderSource& read = shard ? shard->Source() : *source;
    std::optional<ScanFileWriter> writer;
    if (!options->output.empty())
        writer.emplace(
            read, output,
            ScanFileWriter::Program{"brimwell-report", BRIMWELL_VERSION,
                                    ScanFileWriter::OptionsMetadata(options->rules) + metadata,
                                    std::nullopt});

    // The tree lives as long as the process: freeing a million items one by one on the way
    // out would only delay the exit.
    static ItemStore& tree = *new ItemStore;
    ScanCounters counters;
    ScanContext context(writer ? static_cast<FolderSource&>(*writer) : read, &counters);
    context.rules = &options->rules;
    try {
        std::optional<ProgressLine> progress;
        if (StandardErrorIsTerminal())
            progress.emplace(counters);
        context.cannotRead = [&progress](const std::string& path, int error) {
            std::string line = CannotReadLine(path, error, progress.has_value());
            if (progress)
                progress->Message(line);
            else
                std::fwrite(line.data(), 1, line.size(), stderr);
        };
        FolderTree::ScanRoot(tree, root, context);
    } catch (const std::bad_alloc&) {
        // A scan file's folder may hold more entries than memory: the listing, or the tree
        // it fills, cannot be made.
        if (!fileReader)
            throw;
        std::cerr << "brimwell-report: " << fileReader->MemoryError().Text() << "\n";
        return 1;
    }
    if (writer) {
        if (!output.Finish()) {
            std::cerr << "brimwell-report: " << options->output << ": " << output.Failure() << "\n";
            return 1;
        }
        return 0;
    }
    if (before)
        return ReportCompare::Write(tree, scanTime, *before, std::cout, StandardOutputIsTerminal())
                   ? 0
                   : 1;
    ReportText::WriteReport(tree, std::cout, StandardOutputIsTerminal());
    return std::cout.good() ? 0 : 1;
}
