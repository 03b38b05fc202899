// Loading a scan file through RapidJSON with the export's parser, and the folder source that
// lists the packed tree.
#include "scanfile/ScanFileReader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cerrno>
#include <new>

#include "scanfile/ExportParser.h"
#include "scanfile/ScanFileStreams.h"

// The cursor is a few pointers: RapidJSON may copy it into registers while it reads.
template <>
struct rapidjson::StreamTraits<ScanFileInput::Cursor> {
    enum { copyOptimization = 1 };
};

namespace {

// The parser's stack, which grows with the nesting of the file: running out of memory there
// throws like every other allocation of the reader, instead of handing RapidJSON a null.
class ThrowingAllocator : public rapidjson::CrtAllocator {
  public:
    void* Malloc(std::size_t size) { return Checked(CrtAllocator::Malloc(size), size); }
    void* Realloc(void* original, std::size_t originalSize, std::size_t newSize) {
        return Checked(CrtAllocator::Realloc(original, originalSize, newSize), newSize);
    }

  private:
    static void* Checked(void* memory, std::size_t size) {
        if (!memory && size != 0)
            throw std::bad_alloc();
        return memory;
    }
};

constexpr const char* kNoMemory = "not enough memory for the export";

// The text of a JSON syntax error.
std::string SyntaxProblem(rapidjson::ParseErrorCode code) {
    switch (code) {
        case rapidjson::kParseErrorDocumentEmpty:
            return "the file is empty";
        case rapidjson::kParseErrorDocumentRootNotSingular:
            return "more follows the end of the export";
        default:
            return std::string("not valid JSON: ") + rapidjson::GetParseError_En(code);
    }
}

}  // namespace

std::string ScanFileError::Text() const {
    if (line == 0)
        return file + ": " + what;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
}

ScanFileReader::ScanFileReader(ScanRules rules) : rules_(std::move(rules)) {}

std::optional<ScanFileError> ScanFileReader::Load(const std::string& path,
                                                  std::function<bool()> stop) {
    tree_ = PackedTree();
    topPath_.clear();
    metadata_ = ExportMetadata();
    hasDevices_ = false;
    claimsLinks_ = false;
    walked_ = false;
    path_ = path;
    try {
        return Parse(path, std::move(stop));
    } catch (const std::bad_alloc&) {
        tree_ = PackedTree();
        return MemoryError();
    }
}

ScanFileError ScanFileReader::NoMemory(const std::string& file) {
    ScanFileError error;
    error.file = file;
    error.what = kNoMemory;
    return error;
}

std::optional<ScanFileError> ScanFileReader::Parse(const std::string& path,
                                                   std::function<bool()> stop) {
    ScanFileError error;
    error.file = path;
    ScanFileInput input;
    input.SetStop(std::move(stop));
    if (!input.Open(path)) {
        error.what = input.Failure();
        return error;
    }
    ExportParser parser(rules_, tree_);
    rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, ThrowingAllocator> reader;
    // Iterative: nesting costs the parser's own stack, not the thread's. In situ: strings
    // are decoded into the cursor's buffer. Strings are not checked for UTF-8: names are
    // bytes, and ncdu writes them as they are.
    constexpr unsigned kParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;
    ScanFileInput::Cursor cursor = input.Begin();
    rapidjson::ParseResult result = reader.Parse<kParseFlags>(cursor, parser);
    // The parser takes a zero byte for the end of the file: the export is whole only when
    // the file really ended there, and ended well.
    const bool whole = input.AtEnd();
    if (result && parser.Complete() && whole) {
        topPath_ = parser.TopPath();
        metadata_ = parser.Metadata();
        hasDevices_ = parser.HasDevices();
        claimsLinks_ = parser.ClaimsLinks();
        return std::nullopt;
    }
    tree_ = PackedTree();
    const std::size_t offset = result ? cursor.Tell() : result.Offset();
    ScanFileInput::Place place = input.Where(offset);
    error.line = place.line;
    error.column = place.column;
    if (!input.Failure().empty()) {
        error.what = input.Failure();
    } else if (input.Stopped()) {
        error.what = "stopped";
    } else if (!parser.Problem().empty()) {
        error.what = parser.Problem();
    } else if (result) {
        error.what = "more follows the end of the export";  // after a zero byte
    } else if (whole && result.Offset() >= input.BytesRead() &&
               result.Code() != rapidjson::kParseErrorDocumentEmpty) {
        error.what = "the file ends before the export does";
    } else if (!whole && result.Code() == rapidjson::kParseErrorDocumentEmpty) {
        error.what = "not an ncdu export: it begins with a zero byte";
    } else {
        error.what = SyntaxProblem(result.Code());
    }
    return error;
}

void ScanFileReader::EnterRoot(const std::string&) {
    levels_.clear();
    subFolders_.clear();
    Level& top = levels_.emplace_back();
    if (!walked_ && !topPath_.empty())
        top.folder = 0;
    walked_ = true;
}

void ScanFileReader::Enter(std::string_view name) {
    if (levels_.empty())
        levels_.emplace_back();  // entered without a root: lists nothing
    Level& parent = levels_.back();
    PackedTree::Position found = PackedTree::kNowhere;
    // The scan enters sub-folders in the order it lists them.
    while (parent.next < parent.subFoldersEnd) {
        PackedTree::Position candidate = subFolders_[parent.next++];
        if (tree_.NameAt(candidate) == name) {
            found = candidate;
            break;
        }
    }
    Level& level = levels_.emplace_back();
    level.folder = found;
    level.subFoldersBegin = level.subFoldersEnd = level.next = subFolders_.size();
}

void ScanFileReader::Leave() {
    if (levels_.empty())
        return;
    subFolders_.resize(levels_.back().subFoldersBegin);
    levels_.pop_back();
    if (levels_.empty())
        tree_.ReleaseAll();
}

bool ScanFileReader::List(FolderListing& out) {
    out.Clear();
    if (levels_.empty())
        return false;
    Level& level = levels_.back();
    if (level.folder == PackedTree::kNowhere) {
        out.Fail(ListOutcome::Unreadable, ENOENT);
        return false;
    }
    // Everything before this folder has been walked: a depth-first walk never goes back.
    tree_.ReleaseBefore(level.folder);
    PackedTree::Record folder = tree_.Read(level.folder);
    if (folder.outcome != ListOutcome::Listed) {
        out.Fail(folder.outcome);
        out.device = folder.device;
        return false;
    }
    out.folderSizeOnDisk = folder.file.sizeOnDisk;
    subFolders_.resize(level.subFoldersBegin);
    for (PackedTree::Position at = folder.contents; at != folder.next;) {
        PackedTree::Record record = tree_.Read(at);
        FolderEntry& entry = out.Add(record.file.name);
        entry.excluded = record.file.excluded;
        if (record.folder) {
            entry.isDirectory = true;
            subFolders_.push_back(at);
        } else {
            entry.size = record.file.size;
            entry.sizeOnDisk = record.file.sizeOnDisk;
            entry.special = record.file.special;
            if (record.file.linked) {
                out.links.push_back({record.file.device, record.file.inode});
                out.linkCounts.push_back(record.file.count);
                entry.link = static_cast<std::uint32_t>(out.links.size());
            }
        }
        at = record.next;
    }
    level.next = level.subFoldersBegin;
    level.subFoldersEnd = subFolders_.size();
    out.device = folder.device;
    return true;
}
