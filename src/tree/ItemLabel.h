// An item's label as the tree keeps it: plain text, or a stem followed by figures formatted
// in the unit that was current when the label was made. The store keeps the parts and
// spells the text out when it is shown, so that a tree of millions of items does not hold
// millions of label strings; the text is the same either way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

enum class LabelForm : std::uint8_t {
    Text,           // the stem alone
    Folder,         // stem + "   ( 1.50 M , Files : 3 , Folders : 1 )"
    FilesOfFolder,  // "FILES   ( 1.50 ) M " (no stem)
    FilesOfRoot,    // "FILES   ( 1.50 M " (no stem)
};

struct ItemLabel {
    LabelForm form = LabelForm::Text;
    bool megabytes = true;  // the unit the figures are shown in: M, else K
    std::string stem;
    std::uint64_t bytes = 0;      // apparent sizes
    std::uint64_t diskBytes = 0;  // the same as space on disk; which one shows: SizeMeasure
    std::int32_t files = 0;
    std::int32_t folders = 0;

    ItemLabel() = default;
    // Plain text (implicit, so that a string is a label).
    ItemLabel(std::string text) : stem(std::move(text)) {}  // NOLINT(google-explicit-constructor)
    ItemLabel(const char* text) : stem(text) {}             // NOLINT(google-explicit-constructor)

    static ItemLabel Folder(std::string stem, std::uint64_t bytes, std::int32_t files,
                            std::int32_t folders, bool megabytes);
    static ItemLabel FilesEntry(std::uint64_t bytes, bool ofRoot, bool megabytes);
    // Sets the figure shown when sizes on disk are shown.
    ItemLabel&& WithDiskBytes(std::uint64_t onDisk) && {
        diskBytes = onDisk;
        return std::move(*this);
    }

    // The label as shown, with the size of the current measure.
    std::string Text() const;
};

// Spells out a label from its parts (what ItemLabel::Text and the store use).
void AppendLabel(std::string& out, LabelForm form, bool megabytes, std::string_view stem,
                 std::uint64_t bytes, std::int32_t files, std::int32_t folders);

// Size in a unit, printed as "%4.2f" with a full stop whatever the locale.
std::string FormatSize(std::uint64_t bytes, double divisor);
// A count printed as "%ld".
std::string FormatCount(std::int32_t count);
// The divisor and letter of the megabyte or kilobyte unit.
inline double UnitDivisor(bool megabytes) {
    return megabytes ? 1048576.0 : 1024.0;
}
inline char UnitLetter(bool megabytes) {
    return megabytes ? 'M' : 'K';
}
