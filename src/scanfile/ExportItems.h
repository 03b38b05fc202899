// A scan file as a sequence of items, read one at a time: a folder (its info object), a file,
// and the end of a folder. The graft reads several files in step and copies what it reads,
// so an item keeps the values it does not look at as JSON text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scanfile/ScanFileReader.h"

struct ExportItem {
    enum class Kind : std::uint8_t { Folder, File, End };
    Kind kind = Kind::End;
    std::string name;          // the name's bytes; a top folder's is its path
    std::string fields;        // the other members of the info object, each ",\"key\":value"
    std::uint64_t device = 0;  // its "dev", or that of the folder it lies in
    bool ownDevice = false;    // "dev" is among fields
    bool readError = false;    // "read_error": true
    bool excluded = false;     // "excluded", whatever the reason
    bool IsFolder() const { return kind == Kind::Folder; }
    bool IsEnd() const { return kind == Kind::End; }
};

// What a shard's scan file says of itself in its metadata: shard index of count, cut by the
// plan with this fingerprint.
struct ShardMark {
    std::uint32_t index = 0;
    std::uint32_t count = 0;
    std::string plan;
};

// Items in the order of an export: a folder, then what it holds (each sub-folder with all
// it holds), then its end.
class ExportItemSource {
  public:
    virtual ~ExportItemSource() = default;
    // The item the source is at; at first the top folder.
    virtual const ExportItem& Current() const = 0;
    // Moves to the next item. False after the top folder's end, or on an error.
    virtual bool Next() = 0;
    // With Current a folder: moves to its end, past everything it holds. False on an error.
    virtual bool SkipFolder() = 0;
    // The file's name, for messages.
    virtual const std::string& FileName() const = 0;
    // Why the last move failed; nothing when it did not, or when the export ended.
    virtual std::optional<ScanFileError> Error() const = 0;
};
