// Signed sizes and counts in the current unit.
#include "compare/ChangeText.h"

#include "scan/SizeUnit.h"

namespace ChangeText {

std::string SignedSize(std::int64_t bytes) {
    const SizeUnit::Snapshot unit = SizeUnit::Current();
    const std::uint64_t magnitude =
        bytes < 0 ? ~static_cast<std::uint64_t>(bytes) + 1 : static_cast<std::uint64_t>(bytes);
    std::string text = FormatSize(magnitude, unit.divisor);
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    return (bytes < 0 ? "-" : "+") + text + " " + unit.letter;
}

std::string SignedCount(std::int64_t count) {
    return (count < 0 ? "" : "+") + std::to_string(count);
}

const char* KindWord(ItemChange::Kind kind) {
    switch (kind) {
        case ItemChange::Kind::New:
            return "new";
        case ItemChange::Kind::Gone:
            return "gone";
        case ItemChange::Kind::Both:
            break;
    }
    return "";
}

std::string LabelSuffix(const ItemChange& change) {
    std::string text = SignedSize(change.Bytes());
    if (change.kind != ItemChange::Kind::Both)
        text.append(" ").append(KindWord(change.kind));
    return text;
}

std::string GoneLabel(const std::string& name, const ItemChange& change) {
    return ItemLabel::Folder(name, change.bytesBefore, change.filesBefore, change.foldersBefore,
                             SizeUnit::InMegabytes())
        .Text();
}

}  // namespace ChangeText

namespace ChangeText {

std::string OptionsText(const ScanRules& rules) {
    std::string text;
    auto add = [&text](const std::string& option) {
        if (!text.empty())
            text.push_back(' ');
        text.append(option);
    };
    if (rules.includeHidden)
        add("-a");
    if (rules.oneFileSystem)
        add("-x");
    if (rules.countEveryLink)
        add("-l");
    for (const std::string& pattern : rules.excludes)
        add("--exclude '" + pattern + "'");
    return text.empty() ? "no options" : text;
}

std::optional<std::string> OptionsWarning(const std::optional<ScanRules>& before,
                                          const ScanRules& now) {
    if (!before || OptionsText(*before) == OptionsText(now))
        return std::nullopt;
    return "the earlier scan was made with " + OptionsText(*before) + ", this one with " +
           OptionsText(now) + ": some changes may come from the options";
}

}  // namespace ChangeText
