// Reading the earlier scan of a comparison through the scan itself.
#include "compare/Baseline.h"

#include <ctime>
#include <new>

#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"

std::variant<Baseline, ScanFileError> LoadBaseline(const std::string& file, const ScanRules& rules,
                                                   const std::atomic<bool>* stop) {
    const std::atomic<bool>& stopFlag = stop ? *stop : StopRequested;
    ScanFileReader reader(rules);
    if (std::optional<ScanFileError> error =
            reader.Load(file, [&stopFlag] { return stopFlag.load(std::memory_order_relaxed); }))
        return *error;
    Baseline baseline;
    baseline.file = file;
    baseline.metadata = reader.Metadata();
    baseline.topPath = reader.TopPath();
    try {
        SummaryBuilder builder;
        ScanContext context(reader);
        context.rules = &rules;
        context.stop = &stopFlag;
        FolderTree::ScanRoot(builder, baseline.topPath, context);
        if (stopFlag.load(std::memory_order_relaxed))
            return ScanFileError{file, 0, 0, "stopped"};
        baseline.summary = std::make_shared<const FolderSummary>(builder.Finish());
    } catch (const std::bad_alloc&) {
        // A folder of the file with more entries than memory holds, or a summary too large.
        return reader.MemoryError();
    }
    return baseline;
}

std::string ScanTimeText(const ExportMetadata& metadata) {
    if (!metadata.timestamp)
        return "an unknown time";
    std::time_t time = static_cast<std::time_t>(*metadata.timestamp);
    std::tm local{};
    char text[64];
    if (!::localtime_r(&time, &local) ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) == 0)
        return "an unknown time";
    return text;
}
