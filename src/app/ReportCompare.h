// brimwell-report --compare OLD: reads the earlier scan before the scan, then writes the
// comparison report instead of the plain one.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "compare/Baseline.h"
#include "tree/ItemStore.h"

namespace ReportCompare {

// Reads OLD with the scan's rules. A file that cannot be read is named on standard error
// (nothing is returned); one made with other options is warned about there.
std::optional<Baseline> LoadBefore(const std::string& file, const ScanRules& rules);

// Writes the comparison of tree's one root, scanned at nowTime ("now" for the disk), with
// before; paths as a terminal shows them when toTerminal is true. False when nothing could be
// written.
bool Write(const ItemStore& tree, const std::string& nowTime, const Baseline& before,
           std::ostream& out, bool toTerminal);

}  // namespace ReportCompare
