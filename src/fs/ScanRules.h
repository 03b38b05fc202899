// Which entries a scan counts and enters beyond the fixed rules: names beginning with ".",
// other file systems, excluded names and hard links. The scan and the folder readers share
// one set, so that a reader never reads ahead into a folder the scan will not enter.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ScanRules {
    // Entries whose names begin with "." are counted as files and entered as folders like
    // any other; by default only their size counts.
    bool includeHidden = false;
    // Folders on another file system than the starting folder's are not entered.
    bool oneFileSystem = false;
    // With oneFileSystem: the device of the file system to stay on, when a scan starts
    // below the folder whose file system counts (a shard starts at each of its parts); 0:
    // the starting folder's.
    std::uint64_t fileSystem = 0;
    // A file with several hard links counts at every link; by default only at the first
    // one the scan meets.
    bool countEveryLink = false;
    // Shell patterns matched against entry names: a matching entry is skipped altogether.
    std::vector<std::string> excludes;

    // Whether an entry named name is counted as a file or entered as a folder ("." and ".."
    // never are); its size counts either way.
    bool Counts(std::string_view name) const {
        if (name.empty())
            return false;
        if (name.front() != '.')
            return true;
        return includeHidden && name != "." && name != "..";
    }
    // Whether an entry named name is skipped before it is examined: no size, no count, not
    // entered.
    bool Excludes(const char* name) const;
};
