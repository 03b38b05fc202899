// The earlier scan of a comparison: a scan file read with the rules of the scan it is compared
// with and kept as a FolderSummary, with what the file says of itself.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "compare/FolderSummary.h"
#include "fs/ScanRules.h"
#include "scanfile/ScanFileReader.h"

struct Baseline {
    std::string file;
    std::shared_ptr<const FolderSummary> summary;
    ExportMetadata metadata;
    std::string topPath;  // where it was scanned
};

// Reads scan file `file` (plain or gzip, "-" for standard input) as a scan with rules would
// read it, and keeps its figures. stop (null: StopRequested) ends the reading early; the
// result is then an error saying so. Running out of memory is the reader's MemoryError.
std::variant<Baseline, ScanFileError> LoadBaseline(const std::string& file, const ScanRules& rules,
                                                   const std::atomic<bool>* stop = nullptr);

// "2024-05-01 03:00:00" in local time, or "an unknown time".
std::string ScanTimeText(const ExportMetadata& metadata);
