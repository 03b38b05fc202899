// The command line of brimwell-report: what it scans, how, and how it reports.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "fs/ScanRules.h"

struct ReportOptions {
    bool kilobytes = false;
    unsigned threads = 0;  // 0: chosen for the folder
    ScanRules rules;
    std::string folder;    // empty when a scan file is read instead
    std::string scanFile;  // -f: the scan file read instead of a folder ("-": standard input)
    std::string output;    // -o: the scan file written instead of the report ("-": standard output)
    bool diskUsage = false;   // --disk-usage: sizes as space on disk instead of apparent sizes
    std::size_t largest = 0;  // --largest N: the N largest files instead of the report; 0: no
    std::string compare;      // --compare: the earlier scan file the scan is compared with
    std::vector<std::string> moreScanFiles;  // further -f files, grafted with scanFile into one
    std::string shard;                       // --shard: "K/N", or "auto" for the launcher's numbers
    std::string plan;  // --plan: an earlier scan file that the shards are cut by
};

// Parses the arguments (argv[0] is the program). Returns the options, or nothing after
// printing the usage or an error; exitStatus is then what the program ends with (0 for
// --help, 2 for a usage error).
std::optional<ReportOptions> ParseReportOptions(int argc, char** argv, int& exitStatus);
