// Parsing brimwell-report's command line, and its usage text.
#include "ReportOptions.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "shard/ShardNumbers.h"

namespace {

constexpr const char* kUsage =
    "Usage: brimwell-report [OPTION]... FOLDER\n"
    "  or:  brimwell-report [OPTION]... -f FILE...\n"
    "Scans FOLDER and prints the size of everything below it, one line per sub-folder,\n"
    "largest first, with the files lying directly in FOLDER as \"FILES\".\n"
    "  -f FILE            read the scan from FILE, an export in ncdu's JSON format (from\n"
    "                     ncdu, gdu or -o; plain or gzip), instead of scanning a folder;\n"
    "                     several files (further -f, or names after -f FILE) are grafted\n"
    "                     into one tree: shards of one scan merged, a file of a sub-folder\n"
    "                     in place of that folder, others below their common folder\n"
    "  -o FILE            write the scan to FILE in ncdu's JSON format instead of printing\n"
    "                     the report; \"-\" is standard output, a name ending in .gz is\n"
    "                     compressed\n"
    "  --compare OLD      compare the scan with OLD, an earlier scan file, instead of\n"
    "                     printing the report: the totals of both, then the folders that\n"
    "                     changed most, deepest first where one folder carries the change\n"
    "  -k                 sizes in kilobytes (default: megabytes)\n"
    "  --disk-usage       sizes as the space files take on disk (their allocated blocks, as\n"
    "                     du counts them; folders' own blocks too) instead of their apparent\n"
    "                     sizes (the lengths of the files, the default)\n"
    "  --largest N        print the N largest files below FOLDER instead of the report, one\n"
    "                     per line, largest first: the size, a tab, the path\n"
    "  -j N               read folders on N threads (default: one per processor, or 1 on\n"
    "                     a rotating disk); -j 1 reads them one after the other\n"
    "  -a                 count entries whose names begin with \".\" as files and enter such\n"
    "                     folders (default: only their size counts)\n"
    "  -x                 stay on FOLDER's file system: folders on another one are not\n"
    "                     entered\n"
    "  -l                 count a file with several hard links at every link (default: once,\n"
    "                     where the scan meets it first)\n"
    "  --exclude PATTERN  skip entries whose names match the shell pattern PATTERN: no size,\n"
    "                     no count, not entered; may be given more than once\n"
    "  --exclude-from FILE  the same for every non-empty line of FILE\n"
    "  --shard K/N        scan only shard K (from 0) of N of FOLDER, to graft with the\n"
    "                     others; \"%k\" in the name given to -o becomes K\n"
    "  --shard auto       K and N from the launcher: a Slurm job array or job step, Open MPI,\n"
    "                     MPICH or another PMI launcher\n"
    "  --plan OLD         cut the shards by the entries in OLD, an earlier scan file of\n"
    "                     FOLDER, so that they come out even\n"
    "  --help             this text\n"
    "  --version          the version\n"
    "A folder that cannot be read counts as empty and is named on standard error.\n";

constexpr unsigned kMaxThreads = 256;
constexpr std::size_t kMaxLargest = 1000000;

// A count of files from 1 to kMaxLargest, or 0 when text is not one.
std::size_t ParseLargest(const std::string& text) {
    if (text.empty() || text.size() > 7 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    std::size_t value = std::stoul(text);
    return value <= kMaxLargest ? value : 0;
}

// A thread count from 1 to kMaxThreads, or 0 when text is not one.
unsigned ParseThreads(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    unsigned value = static_cast<unsigned>(std::stoul(text));
    return value <= kMaxThreads ? value : 0;
}

class Arguments {
  public:
    Arguments(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool More() const { return next_ < argc_; }
    std::string Next() { return argv_[next_++]; }
    // The value of an option given as "--name=VALUE", "-nVALUE" or "--name VALUE" / "-n
    // VALUE"; nothing when it is missing.
    std::optional<std::string> Value(const std::string& argument, std::string_view name) {
        if (argument.size() > name.size()) {
            std::string_view rest = std::string_view(argument).substr(name.size());
            if (name.size() == 2)
                return std::string(rest);
            if (rest.front() == '=')
                return std::string(rest.substr(1));
            return std::nullopt;
        }
        if (More())
            return Next();
        return std::nullopt;
    }

  private:
    int argc_;
    char** argv_;
    int next_ = 1;
};

bool Takes(const std::string& argument, std::string_view name) {
    if (argument.rfind(name, 0) != 0)
        return false;
    return argument.size() == name.size() || name.size() == 2 || argument[name.size()] == '=';
}

bool ReadPatterns(const std::string& file, ScanRules& rules) {
    // A folder opens like a file, and reads as nothing.
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        return false;
    std::ifstream in(file);
    if (!in)
        return false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty())
            rules.excludes.push_back(line);
    }
    return !in.bad();
}

// What the shard, graft and comparison options cannot be given with.
std::optional<std::string> CombinationProblem(const ReportOptions& options, bool haveFolder) {
    if (!options.shard.empty() && !haveFolder)
        return "--shard needs a FOLDER";
    if (!options.plan.empty() && options.shard.empty())
        return "--plan needs --shard";
    // The largest files are printed instead of the report: of the whole scan, not of a shard,
    // and not written to a scan file.
    if (options.largest != 0 && !options.output.empty())
        return "either --largest or -o";
    if (options.largest != 0 && !options.shard.empty())
        return "either --largest or --shard";
    if (!options.compare.empty() && !options.output.empty())
        return "either --compare or -o";
    if (!options.compare.empty() && options.largest != 0)
        return "either --compare or --largest";
    if (!options.compare.empty() && !options.shard.empty())
        return "either --compare or --shard: a shard holds only part of the folder";
    const ScanRules& rules = options.rules;
    if (!options.moreScanFiles.empty() && !options.output.empty() &&
        (rules.includeHidden || rules.oneFileSystem || !rules.excludes.empty()))
        return "-a, -x and --exclude choose what a scan reads, not what a graft written with -o "
               "holds: give them to the scans of the files";
    return std::nullopt;
}

int UsageError(const std::string& message) {
    std::cerr << "brimwell-report: " << message << "\n" << kUsage;
    return 2;
}

}  // namespace

std::optional<ReportOptions> ParseReportOptions(int argc, char** argv, int& exitStatus) {
    ReportOptions options;
    bool haveFolder = false;
    Arguments arguments(argc, argv);
    exitStatus = 2;
    while (arguments.More()) {
        std::string argument = arguments.Next();
        if (argument == "--help") {
            std::cout << kUsage;
            exitStatus = 0;
            return std::nullopt;
        }
        if (argument == "--version") {
            std::cout << "brimwell-report " BRIMWELL_VERSION "\n";
            exitStatus = 0;
            return std::nullopt;
        }
        if (argument == "-k") {
            options.kilobytes = true;
        } else if (argument == "-a") {
            options.rules.includeHidden = true;
        } else if (argument == "-x") {
            options.rules.oneFileSystem = true;
        } else if (argument == "-l") {
            options.rules.countEveryLink = true;
        } else if (Takes(argument, "-f") || Takes(argument, "-o")) {
            const bool input = argument[1] == 'f';
            std::optional<std::string> file = arguments.Value(argument, input ? "-f" : "-o");
            if (!file || file->empty()) {
                exitStatus = UsageError(input ? "-f needs a FILE" : "-o needs a FILE");
                return std::nullopt;
            }
            if (input && !options.scanFile.empty())
                options.moreScanFiles.push_back(*file);
            else
                (input ? options.scanFile : options.output) = *file;
        } else if (Takes(argument, "--compare")) {
            std::optional<std::string> file = arguments.Value(argument, "--compare");
            if (!file || file->empty()) {
                exitStatus = UsageError("--compare needs a FILE");
                return std::nullopt;
            }
            options.compare = *file;
        } else if (Takes(argument, "-j")) {
            options.threads = ParseThreads(arguments.Value(argument, "-j").value_or(""));
            if (options.threads == 0) {
                exitStatus = UsageError("-j needs a number of threads from 1 to " +
                                        std::to_string(kMaxThreads));
                return std::nullopt;
            }
        } else if (argument == "--disk-usage") {
            options.diskUsage = true;
        } else if (Takes(argument, "--largest")) {
            options.largest = ParseLargest(arguments.Value(argument, "--largest").value_or(""));
            if (options.largest == 0) {
                exitStatus = UsageError("--largest needs a number of files from 1 to " +
                                        std::to_string(kMaxLargest));
                return std::nullopt;
            }
        } else if (Takes(argument, "--shard") || Takes(argument, "--plan")) {
            const bool shard = argument.rfind("--shard", 0) == 0;
            std::optional<std::string> value =
                arguments.Value(argument, shard ? "--shard" : "--plan");
            if (shard && (!value || (*value != "auto" && !ParseShardNumbers(*value)))) {
                exitStatus = UsageError("--shard needs K/N, with 0 <= K < N <= " +
                                        std::to_string(kMaxShards) + ", or auto");
                return std::nullopt;
            }
            if (!shard && (!value || value->empty())) {
                exitStatus = UsageError("--plan needs a FILE");
                return std::nullopt;
            }
            (shard ? options.shard : options.plan) = *value;
        } else if (Takes(argument, "--exclude-from")) {
            std::optional<std::string> file = arguments.Value(argument, "--exclude-from");
            if (!file || !ReadPatterns(*file, options.rules)) {
                exitStatus = UsageError("--exclude-from needs a readable FILE");
                return std::nullopt;
            }
        } else if (Takes(argument, "--exclude")) {
            std::optional<std::string> pattern = arguments.Value(argument, "--exclude");
            if (!pattern || pattern->empty()) {
                exitStatus = UsageError("--exclude needs a PATTERN");
                return std::nullopt;
            }
            options.rules.excludes.push_back(*pattern);
        } else if (!options.scanFile.empty() && (argument.empty() || argument[0] != '-')) {
            options.moreScanFiles.push_back(argument);  // "-f shard-*": more scan files
        } else if (argument == "--" && arguments.More() && !options.scanFile.empty()) {
            while (arguments.More())
                options.moreScanFiles.push_back(arguments.Next());
        } else if (argument == "--" && arguments.More() && !haveFolder) {
            options.folder = arguments.Next();
            haveFolder = !arguments.More();
            if (!haveFolder) {
                exitStatus = UsageError("only one FOLDER");
                return std::nullopt;
            }
        } else if (!argument.empty() && argument[0] == '-') {
            exitStatus = UsageError("unknown option " + argument);
            return std::nullopt;
        } else if (haveFolder) {
            exitStatus = UsageError("only one FOLDER");
            return std::nullopt;
        } else {
            options.folder = argument;
            haveFolder = true;
        }
    }
    if (haveFolder && !options.scanFile.empty()) {
        exitStatus = UsageError("either a FOLDER or -f FILE");
        return std::nullopt;
    }
    if (std::optional<std::string> problem = CombinationProblem(options, haveFolder)) {
        exitStatus = UsageError(*problem);
        return std::nullopt;
    }
    if (!haveFolder && options.scanFile.empty()) {
        std::cerr << kUsage;
        return std::nullopt;
    }
    return options;
}
