// Loading the earlier scan and writing the comparison report for brimwell-report.
#include "ReportCompare.h"

#include <iostream>
#include <limits>

#include "compare/ChangeReport.h"
#include "compare/ChangeText.h"

namespace ReportCompare {

std::optional<Baseline> LoadBefore(const std::string& file, const ScanRules& rules) {
    auto loaded = LoadBaseline(file, rules);
    if (auto* error = std::get_if<ScanFileError>(&loaded)) {
        std::cerr << "brimwell-report: " << error->Text() << "\n";
        return std::nullopt;
    }
    Baseline before = std::get<Baseline>(std::move(loaded));
    if (auto warning = ChangeText::OptionsWarning(before.metadata.options, rules))
        std::cerr << "brimwell-report: warning: " << file << ": " << *warning << "\n";
    return before;
}

bool Write(const ItemStore& tree, const std::string& nowTime, const Baseline& before,
           std::ostream& out, bool toTerminal) {
    const TreeItem root =
        tree.Top().Children().Empty() ? TreeItem::None : tree.Top().Children().Front()->Id();
    std::optional<FolderRecord> record = tree.Record(root);
    if (!record)
        return false;
    TreeComparison comparison(tree, root, before.summary);
    comparison.Step(std::numeric_limits<std::size_t>::max());
    ChangeReport::Write(tree, comparison, {record->path, nowTime},
                        {before.topPath, ScanTimeText(before.metadata)}, ChangeReport::kLines, out,
                        toTerminal);
    return out.good();
}

}  // namespace ReportCompare
