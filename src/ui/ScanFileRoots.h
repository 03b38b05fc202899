// Roots read from scan files in the window: the body of the scan thread that reads one and
// fills its root as a scan of the disk would, the reason a file could not be read, and which
// roots came from which file (their folders may not exist on this machine). Each file read on
// its own has a root of its own, apart from a scan of the disk at the same path and from
// another file of the same path; reading the same file again fills its root again.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "scan/ScanThread.h"
#include "scanfile/ScanFileReader.h"

class ScanFileRoots {
  public:
    // Several scan files opened together are one root, the graft of them: a scan names them
    // as one text, their paths joined by zero bytes, which no path holds. One file is its
    // path.
    static std::string JoinFiles(const std::vector<std::string>& files);
    static std::vector<std::string> SplitFiles(const std::string& files);
    // The files as the status bar names them: "a + b + c", or "a + b + 62 more".
    static std::string Title(const std::string& files);
    // Loads scan file `files` (or the graft of the files JoinFiles joined) into reader; what
    // went wrong, if anything.
    static std::optional<std::string> Load(ScanFileReader& reader, const std::string& files,
                                           const std::function<bool()>& stopping);

    // The body of a scan thread (ScanThreads::Body) that reads scan file `file` (or the graft
    // of the files JoinFiles joined) into target's tree: loads it with the scan's rules,
    // then scans the loaded tree as the root named by the export's top path. A file that
    // cannot be read changes nothing in the tree; the reason is kept for TakeFailure. Running
    // out of memory while the loaded tree is scanned ends the scan as a stop would, with that
    // reason. Reports the end of scan id last.
    int Run(ScanTarget& target, std::uint64_t id, const std::string& file,
            const ScanControl& control);
    // The text the status bar shows at the end of scan id instead of "Scanning ... Complete":
    // why its file could not be read ("<file>:<line>:<column>: <what>"). Nothing for a scan
    // that read its file or was stopped. Forgets it.
    std::optional<std::string> TakeFailure(std::uint64_t id);
    // The file a root item was read from, and when its scan was made.
    struct Source {
        std::string file;
        std::string time;
    };
    std::optional<Source> SourceOf(TreeItem root) const;
    bool IsFileRoot(TreeItem root) const { return SourceOf(root).has_value(); }

  private:
    mutable std::mutex mutex_;
    std::map<std::uint64_t, std::string> failures_;
    std::map<TreeItem, Source> roots_;
};
