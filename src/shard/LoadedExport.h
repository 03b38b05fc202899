// A scan file read whole into memory and handed out with each folder's entries in name
// order. The graft merges files with the same top folder in name order; shards are written
// that way, and another file merged with them is loaded and sorted here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/ExportItems.h"

class LoadedExport : public ExportItemSource {
  public:
    // Reads the rest of source, which is at its top folder. Error() says why it could not
    // (running out of memory included).
    explicit LoadedExport(ExportItemSource& source);

    const ExportItem& Current() const override { return items_[current_]; }
    bool Next() override;
    bool SkipFolder() override;
    const std::string& FileName() const override { return file_; }
    std::optional<ScanFileError> Error() const override { return error_; }

  private:
    void Load(ExportItemSource& source);

    struct Level {
        std::vector<std::uint32_t> entries;  // the folder's entries, by name
        std::size_t next = 0;
        std::uint32_t end;  // the folder's end
    };

    std::string file_;
    std::vector<ExportItem> items_;    // in the file's order, ends included
    std::vector<std::uint32_t> ends_;  // of each folder: where its end is
    std::vector<Level> levels_;
    std::uint32_t current_ = 0;
    bool finished_ = false;
    std::optional<ScanFileError> error_;
};
