// Exclusion patterns, matched as a shell matches file names.
#include "fs/ScanRules.h"

#include <fnmatch.h>

bool ScanRules::Excludes(const char* name) const {
    for (const std::string& pattern : excludes) {
        if (::fnmatch(pattern.c_str(), name, 0) == 0)
            return true;
    }
    return false;
}
