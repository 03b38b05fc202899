// Reading a scan file item by item, when the caller asks for the next one. RapidJSON, as
// Debian ships it, only parses a whole document and calls back, which cannot read several
// files in step; this reader parses the export's JSON itself, checks its shape and values as
// ScanFileReader does, and holds one item and the input's few small blocks, whatever the
// size of the file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "scanfile/ExportItems.h"
#include "scanfile/JsonTokens.h"
#include "scanfile/ScanFileStreams.h"

class ExportItemReader : public ExportItemSource {
  public:
    // The bytes read from the file at a time: small, since a graft reads many files at once.
    static constexpr std::size_t kBlockSize = 32 * 1024;

    ExportItemReader();

    // Opens path ("-": standard input), plain or gzip-compressed, and reads up to the top
    // folder's info object, which becomes Current. stop is asked before every block; when it
    // answers true, reading ends with an error. False with Error() saying why.
    bool Open(const std::string& path, std::function<bool()> stop = {});
    // The shard's mark, when the metadata holds one.
    const std::optional<ShardMark>& Shard() const { return shard_; }
    // When the scan was made, and with which options, as far as the metadata says.
    const ExportMetadata& Metadata() const { return metadata_; }

    const ExportItem& Current() const override { return item_; }
    bool Next() override;
    bool SkipFolder() override;
    const std::string& FileName() const override { return file_; }
    std::optional<ScanFileError> Error() const override { return error_; }

  private:
    using Token = JsonTokens::Token;

    bool Skip(Token first);
    bool Expect(Token wanted, const char* what);
    bool Fail(std::string what);
    bool Bad(Token token);

    bool ReadHeader();
    bool ReadMetadata();
    bool ReadShardMark();
    bool ReadOptions();
    enum class Where { Top, Folder, File };  // whose info object
    bool ReadInfo(Where where);
    bool ReadField(std::string_view key, Token value, bool& hasName);
    bool ReadFolderStart();
    bool ReadNext();
    bool OutOfMemory();
    bool FinishTop();

    std::string file_;
    ScanFileInput input_;
    std::optional<JsonTokens> tokens_;  // once the input is open
    std::string key_;
    ExportItem item_;
    std::optional<ShardMark> shard_;
    ExportMetadata metadata_;             // its program is not kept
    std::vector<std::uint64_t> devices_;  // of the folders open on the current path
    bool finished_ = false;
    std::optional<ScanFileError> error_;
};
