// The export's text, written as the items come: the header with the first folder, then one
// line per entry, as the scan's writer lays it out.
#include "scanfile/ExportItemWriter.h"

#include <ctime>

#include "scanfile/JsonText.h"

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

}  // namespace

ExportItemWriter::ExportItemWriter(ScanFileOutput& out, ScanFileWriter::Program program)
    : out_(out), program_(std::move(program)) {}

void ExportItemWriter::Info(std::string_view name, std::string_view fields) {
    text_.append("{\"name\":");
    json_text::AppendString(text_, name);
    text_.append(fields);
    text_.push_back('}');
}

void ExportItemWriter::FlushIfFull() {
    if (text_.size() >= kFlushAt) {
        out_.Write(text_);
        text_.clear();
    }
}

void ExportItemWriter::BeginFolder(std::string_view name, std::string_view fields) {
    if (!started_) {
        started_ = true;
        text_.append("[1,2,{\"progname\":");
        json_text::AppendString(text_, program_.name);
        text_.append(",\"progver\":");
        json_text::AppendString(text_, program_.version);
        text_.append(",\"timestamp\":");
        json_text::AppendNumber(
            text_, program_.timestamp.value_or(static_cast<std::uint64_t>(std::time(nullptr))));
        text_.append(program_.metadata);
        text_.append("},\n[");
    } else {
        text_.append(",\n[");
    }
    Info(name, fields);
    ++depth_;
    FlushIfFull();
}

void ExportItemWriter::File(std::string_view name, std::string_view fields) {
    text_.append(",\n");
    Info(name, fields);
    FlushIfFull();
}

void ExportItemWriter::EndFolder() {
    text_.push_back(']');
    if (--depth_ == 0) {
        text_.append("]\n");
        out_.Write(text_);
        text_.clear();
        return;
    }
    FlushIfFull();
}
