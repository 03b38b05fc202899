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
constexpr std::size_t kWriteChunk = 64 * 1024;

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
    std::string name;
    std::string sizeText;  // "0.25 M"
    std::size_t length;    // of the child's text, in characters
    double size;           // in the current unit
};

std::vector<ChildLine> ChildLines(const ItemNode& parent, bool toTerminal) {
    std::vector<ChildLine> lines;
    for (const ItemNode& child : parent.Children()) {
        if (!child.HasRecord())
            continue;  // still being scanned, or interrupted
        std::string name = toTerminal ? ForTerminal(child.RecordName()) : child.RecordName();
        std::string sizeText = SizeInUnit(child.TotalBytes());
        // The characters of ChildText: the name, " ( ", the size, " ) ".
        std::size_t length = Utf8Length(name) + sizeText.size() + 6;
        lines.push_back({std::move(name), std::move(sizeText), length, InUnit(child.TotalBytes())});
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
    return ChildText(record.name, record.totalBytes);
}

std::string ChildText(std::string_view name, std::uint64_t totalBytes) {
    return std::string(name) + " ( " + SizeInUnit(totalBytes) + " ) ";
}

std::string ForTerminal(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = SequenceLength(text, i);
        const bool control =
            byte < 0x20 || byte == 0x7f || (length == 0 && byte <= 0x9f) ||
            (length == 2 && byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) <= 0x9f);
        if (control)
            shown.push_back('?');
        else
            shown.append(text.substr(i, length == 0 ? 1 : length));
        i += length == 0 ? 1 : length;
    }
    return shown;
}

std::size_t Utf8Length(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++characters) {
        std::size_t length = SequenceLength(text, i);
        i += length == 0 ? 1 : length;
    }
    return characters;
}

void WriteReport(const ItemStore& tree, std::ostream& out, bool toTerminal) {
    TreeItem selected = tree.Selection();
    std::optional<FolderRecord> record = tree.Record(selected);
    if (selected == TreeItem::None || !record)
        return;
    if (toTerminal)
        record->path = ForTerminal(record->path);
    out << HeaderText(*record) << '\n';
    out << std::string(88, '-') << '\n';

    std::vector<ChildLine> lines = ChildLines(*tree.Node(selected), toTerminal);
    std::size_t column = 0;
    double largest = 0.0;
    for (const ChildLine& line : lines) {
        column = std::min(kMaxNameColumn, std::max(column, line.length));
        largest = std::max(largest, line.size);
    }
    // Lines are gathered into one buffer and written in large pieces: a folder may have a
    // million children.
    std::string buffer;
    for (const ChildLine& line : lines) {
        int stars = largest > 0.0 ? static_cast<int>(line.size * kBarWidth / largest) : 0;
        stars = std::clamp(stars, 0, kBarWidth);
        buffer.append(line.name);
        buffer.append(column > line.length ? column - line.length : 0, ' ');
        buffer.append(" ( ");
        buffer.append(line.sizeText);
        buffer.append(" ) |");
        buffer.append(static_cast<std::size_t>(stars), '*');
        buffer.push_back('\n');
        if (buffer.size() >= kWriteChunk) {
            out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    }
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.flush();
}

}  // namespace ReportText
