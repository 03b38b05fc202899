// Spelling out labels, and the locale-independent number formatting they use.
#include "tree/ItemLabel.h"

#include <charconv>

#include "tree/SizeMeasure.h"

namespace {

void AppendSize(std::string& out, std::uint64_t bytes, bool megabytes) {
    char buffer[64];
    double value = static_cast<double>(bytes) / UnitDivisor(megabytes);
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::size_t length = error == std::errc() ? static_cast<std::size_t>(end - buffer) : 0;
    if (length < 4)
        out.append(4 - length, ' ');  // the width of "%4.2f"
    out.append(buffer, length);
}

void AppendCount(std::string& out, std::int32_t count) {
    char buffer[16];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, count);
    if (error == std::errc())
        out.append(buffer, end);
}

}  // namespace

ItemLabel ItemLabel::Folder(std::string stem, std::uint64_t bytes, std::int32_t files,
                            std::int32_t folders, bool megabytes) {
    ItemLabel label(std::move(stem));
    label.form = LabelForm::Folder;
    label.megabytes = megabytes;
    label.bytes = bytes;
    label.files = files;
    label.folders = folders;
    return label;
}

ItemLabel ItemLabel::FilesEntry(std::uint64_t bytes, bool ofRoot, bool megabytes) {
    ItemLabel label;
    label.form = ofRoot ? LabelForm::FilesOfRoot : LabelForm::FilesOfFolder;
    label.megabytes = megabytes;
    label.bytes = bytes;
    return label;
}

std::string ItemLabel::Text() const {
    std::string text;
    AppendLabel(text, form, megabytes, stem, SizeMeasure::Shown(bytes, diskBytes), files, folders);
    return text;
}

void AppendLabel(std::string& out, LabelForm form, bool megabytes, std::string_view stem,
                 std::uint64_t bytes, std::int32_t files, std::int32_t folders) {
    const char letter = UnitLetter(megabytes);
    switch (form) {
        case LabelForm::Text:
            out.append(stem);
            return;
        case LabelForm::Folder:
            out.reserve(out.size() + stem.size() + 48);
            out.append(stem);
            out.append("   ( ");
            AppendSize(out, bytes, megabytes);
            out.push_back(' ');
            out.push_back(letter);
            out.append(" , Files : ");
            AppendCount(out, files);
            out.append(" , Folders : ");
            AppendCount(out, folders);
            out.append(" )");
            return;
        case LabelForm::FilesOfFolder:
        case LabelForm::FilesOfRoot:
            out.append("FILES   ( ");
            AppendSize(out, bytes, megabytes);
            out.append(form == LabelForm::FilesOfFolder ? " ) " : " ");
            out.push_back(letter);
            out.push_back(' ');
            return;
    }
}

std::string FormatSize(std::uint64_t bytes, double divisor) {
    char buffer[64];
    double value = static_cast<double>(bytes) / divisor;
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.size() < 4)
        text.insert(0, 4 - text.size(), ' ');  // the width of "%4.2f"
    return text;
}

std::string FormatCount(std::int32_t count) {
    std::string text;
    AppendCount(text, count);
    return text;
}
