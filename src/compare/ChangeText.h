// The texts of a change, as the report, the tree and the panel show it: a signed size in the
// current unit ("+5.00 M", "-1.25 K"), signed counts, and the words for new and gone folders.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "compare/TreeComparison.h"
#include "fs/ScanRules.h"

namespace ChangeText {

// "+5.00 M", "-1.25 M", "+0.00 M": "%4.2f" after the sign, in the current unit.
std::string SignedSize(std::int64_t bytes);
// "+3", "-12", "+0".
std::string SignedCount(std::int64_t count);
// "new", "gone", or nothing for a folder of both scans.
const char* KindWord(ItemChange::Kind kind);
// What the tree shows after a label: "+5.00 M", "+5.00 M new", "-5.00 M gone".
std::string LabelSuffix(const ItemChange& change);
// The label of a folder that is gone, with its earlier figures in the current unit.
std::string GoneLabel(const std::string& name, const ItemChange& change);

}  // namespace ChangeText

namespace ChangeText {

// The options of a scan as brimwell-report spells them ("-a -x --exclude '*.o'"), or "no
// options".
std::string OptionsText(const ScanRules& rules);
// The warning for a comparison whose earlier scan was made with other options than its own,
// which show as changes that are not; nothing when they agree or the file does not say.
std::optional<std::string> OptionsWarning(const std::optional<ScanRules>& before,
                                          const ScanRules& now);

}  // namespace ChangeText
