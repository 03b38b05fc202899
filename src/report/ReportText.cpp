// Formatting of the panel's texts and of the text report.
#include "report/ReportText.h"

#include <algorithm>
#include <vector>

#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

namespace ReportText {
namespace {

constexpr std::size_t kMaxNameColumn = 50;
constexpr int kBarWidth = 30;

std::string SizeInUnit(std::uint64_t bytes) {
    SizeUnit::Snapshot unit = SizeUnit::Current();
    return FormatSize(bytes, unit.divisor) + " " + unit.letter;
}

double InUnit(std::uint64_t bytes) {
    return static_cast<double>(bytes) / SizeUnit::Current().divisor;
}

// Length of the valid UTF-8 sequence starting at text[i], or 0 if there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

struct ChildLine {
    const FolderRecord* record;
    std::size_t length;  // of the child's text, in characters
    double size;         // in the current unit
};

std::vector<ChildLine> ChildLines(const ItemNode& parent) {
    std::vector<ChildLine> lines;
    for (const auto& child : parent.children) {
        if (!child->record)
            continue;  // still being scanned, or interrupted
        const FolderRecord& record = *child->record;
        lines.push_back({&record, Utf8Length(ChildText(record)), InUnit(record.totalBytes)});
    }
    return lines;
}

}  // namespace

std::string HeaderText(const FolderRecord& record) {
    return record.path + "   ( " + SizeInUnit(record.totalBytes) +
           " , Folders : " + FormatCount(record.folderCount) +
           " , Files : " + FormatCount(record.fileCount) + " ) ";
}

std::string ChildText(const FolderRecord& record) {
    return record.name + " ( " + SizeInUnit(record.totalBytes) + " ) ";
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        std::size_t length = SequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    return characters;
}

void WriteReport(const ItemStore& tree, std::ostream& out) {
    TreeItem selected = tree.Selection();
    const ItemNode* node = tree.Node(selected);
    if (selected == TreeItem::None || !node || !node->record)
        return;
    out << HeaderText(*node->record) << '\n' << std::flush;
    out << std::string(88, '-') << '\n' << std::flush;

    std::vector<ChildLine> lines = ChildLines(*node);
    std::size_t column = 0;
    double largest = 0.0;
    for (const ChildLine& line : lines) {
        column = std::min(kMaxNameColumn, std::max(column, line.length));
        largest = std::max(largest, line.size);
    }
    for (const ChildLine& line : lines) {
        int stars = largest > 0.0 ? static_cast<int>(line.size * kBarWidth / largest) : 0;
        stars = std::clamp(stars, 0, kBarWidth);
        out << line.record->name
            << std::string(column > line.length ? column - line.length : 0, ' ') << " ( "
            << SizeInUnit(line.record->totalBytes) << " ) |"
            << std::string(static_cast<std::size_t>(stars), '*') << '\n'
            << std::flush;
    }
}

}  // namespace ReportText
