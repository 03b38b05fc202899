// The items of a whole file, each folder's entries sorted when the walk enters it.
#include "shard/LoadedExport.h"

#include <algorithm>
#include <new>

LoadedExport::LoadedExport(ExportItemSource& source) : file_(source.FileName()) {
    try {
        Load(source);
    } catch (const std::bad_alloc&) {
        // A file larger than memory ends as the loading reader ends it.
        items_.assign(1, ExportItem());
        ends_.assign(1, 0);
        error_ = ScanFileReader::NoMemory(file_);
    }
}

void LoadedExport::Load(ExportItemSource& source) {
    std::vector<std::uint32_t> open;
    items_.push_back(source.Current());
    ends_.push_back(0);
    open.push_back(0);
    while (!open.empty() && source.Next()) {
        const auto index = static_cast<std::uint32_t>(items_.size());
        items_.push_back(source.Current());
        ends_.push_back(index);
        if (items_.back().IsFolder()) {
            open.push_back(index);
        } else if (items_.back().IsEnd()) {
            ends_[open.back()] = index;
            open.pop_back();
        }
    }
    error_ = source.Error();
    if (!error_ && !open.empty())
        error_ = ScanFileError{file_, 0, 0, "the export ends before its top folder does"};
}

bool LoadedExport::Next() {
    if (finished_ || error_)
        return false;
    const ExportItem& item = items_[current_];
    if (item.IsFolder()) {
        Level& level = levels_.emplace_back();
        level.end = ends_[current_];
        for (std::uint32_t at = current_ + 1; at < level.end;
             at = items_[at].IsFolder() ? ends_[at] + 1 : at + 1)
            level.entries.push_back(at);
        std::sort(
            level.entries.begin(), level.entries.end(),
            [this](std::uint32_t a, std::uint32_t b) { return items_[a].name < items_[b].name; });
    } else if (item.IsEnd()) {
        levels_.pop_back();
        if (levels_.empty()) {
            finished_ = true;
            return false;
        }
    }
    Level& level = levels_.back();
    current_ = level.next < level.entries.size() ? level.entries[level.next++] : level.end;
    return true;
}

bool LoadedExport::SkipFolder() {
    if (items_[current_].IsFolder()) {
        levels_.push_back({{}, 0, ends_[current_]});
        current_ = ends_[current_];
    }
    return !error_;
}
