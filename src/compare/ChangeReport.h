// The text report of a comparison: both scans with their totals and the change, a rule, and
// the folders where the change happened, largest change first. A folder is left out when one
// of its sub-folders carries most of its change (that line says it), so the first lines name
// the deepest folders that account for the change instead of the folders above them. A folder
// that is new or gone is named as a whole, by its top.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "compare/TreeComparison.h"

namespace ChangeReport {

// One side of the comparison in the header: the path it was scanned at and when ("now" for
// a scan of the disk).
struct Side {
    std::string root;
    std::string time;
};

// A folder where something changed: its path below the root, its change, its depth.
struct Line {
    std::string path;
    ItemChange change;
    std::size_t depth = 0;
};

// How many folders the report names unless asked for another number.
constexpr std::size_t kLines = 20;

// A folder is left out when one sub-folder carries at least this share of its change, with
// the same sign.
constexpr double kCarriedShare = 0.75;

// The folders of the compared root and the gone ones that changed, in the order the report
// lists them; the comparison must be done.
std::vector<Line> ChangedFolders(const ItemStore& store, const TreeComparison& comparison);

// Writes the header, the rule and at most maxLines lines (0: all), then how many more
// folders changed, if any. Paths are written byte for byte, or as ReportText::ForTerminal
// shows them when toTerminal is true.
void Write(const ItemStore& store, const TreeComparison& comparison, const Side& now,
           const Side& before, std::size_t maxLines, std::ostream& out, bool toTerminal = false);

}  // namespace ChangeReport
