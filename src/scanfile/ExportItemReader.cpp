// The export's JSON read token by token: the top array, the metadata, and one info object
// at a time, with the same checks and messages as the loading parser.
#include "scanfile/ExportItemReader.h"

#include <charconv>
#include <cstdlib>
#include <limits>
#include <new>

#include "scanfile/JsonText.h"

namespace {

constexpr std::uint64_t kLargestSize = std::numeric_limits<std::int64_t>::max();

enum class Field { Name, Number, Device, Flag, ReadError, Excluded, Other };

Field FieldOf(std::string_view key) {
    if (key == "name")
        return Field::Name;
    if (key == "asize" || key == "dsize" || key == "ino" || key == "nlink")
        return Field::Number;
    if (key == "dev")
        return Field::Device;
    if (key == "hlnkc" || key == "notreg")
        return Field::Flag;
    if (key == "read_error")
        return Field::ReadError;
    if (key == "excluded")
        return Field::Excluded;
    return Field::Other;
}

// A JSON number as a whole number from 0 to 2^64 - 1 (2^63 - 1 for sizes), or why it is
// not one, as the loading parser says it.
std::optional<std::uint64_t> WholeNumber(const std::string& text, bool size, std::string& problem) {
    if (text.find_first_of(".eE") != std::string::npos) {
        double value = std::strtod(text.c_str(), nullptr);
        if (value < 0)
            problem = " is negative";
        else if (value >= 9223372036854775808.0)
            problem = " is above 2^63 - 1";
        else if (value != static_cast<double>(static_cast<std::uint64_t>(value)))
            problem = " is not a whole number";
        else
            return static_cast<std::uint64_t>(value);
        return std::nullopt;
    }
    if (text.front() == '-') {
        if (text == "-0")
            return 0;
        problem = " is negative";
        return std::nullopt;
    }
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || (size && value > kLargestSize)) {
        problem = " is above 2^63 - 1";
        return std::nullopt;
    }
    return value;
}

bool ValidName(const std::string& name, bool top) {
    if (name.empty() || name.find('\0') != std::string::npos)
        return false;
    return top || (name != "." && name != ".." && name.find('/') == std::string::npos);
}

}  // namespace

ExportItemReader::ExportItemReader() : input_(kBlockSize) {}

bool ExportItemReader::Fail(std::string what) {
    if (error_)
        return false;
    ScanFileError error;
    error.file = file_;
    if (!input_.Failure().empty()) {
        what = input_.Failure();
    } else if (input_.Stopped()) {
        what = "stopped";
    }
    ScanFileInput::Place place = input_.Where(tokens_ ? tokens_->Offset() : 0);
    error.line = place.line;
    error.column = place.column;
    error.what = std::move(what);
    error_ = std::move(error);
    return false;
}

// A token that is not the one wanted: the input's end, or a fault of the JSON.
bool ExportItemReader::Bad(Token token) {
    if (token == Token::End || (token == Token::Bad && tokens_->Fault().empty()))
        return Fail("the file ends before the export does");
    if (token == Token::Bad)
        return Fail(tokens_->Fault());
    return Fail("not valid JSON: a value, a comma or a bracket is out of place");
}

bool ExportItemReader::Skip(Token first) {
    if (tokens_->SkipValue(first))
        return true;
    return Fail(tokens_->Fault().empty() ? "the file ends before the export does"
                                         : tokens_->Fault());
}

bool ExportItemReader::Expect(Token wanted, const char* what) {
    Token token = tokens_->Read();
    if (token == wanted)
        return true;
    if (token == Token::End || token == Token::Bad)
        return Bad(token);
    return Fail(what);
}

bool ExportItemReader::Open(const std::string& path, std::function<bool()> stop) {
    file_ = path;
    input_.SetStop(std::move(stop));
    try {
        if (!input_.Open(path)) {
            ScanFileError error;
            error.file = file_;
            error.what = input_.Failure();
            error_ = std::move(error);
            return false;
        }
        tokens_.emplace(input_);
        return ReadHeader();
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

// Reading the export ends in the loading reader's own error: an item's strings, or the
// levels of a deep file, may not fit.
bool ExportItemReader::OutOfMemory() {
    item_ = ExportItem();
    if (!error_)
        error_ = ScanFileReader::NoMemory(file_);
    return false;
}

bool ExportItemReader::ReadHeader() {
    Token token = tokens_->Read();
    if (token == Token::End && input_.AtEnd())
        return Fail("the file is empty");
    if (token == Token::Bad && tokens_->AtZeroByte())
        return Fail("not an ncdu export: it begins with a zero byte");
    if (token != Token::BeginArray) {
        if (token == Token::End || token == Token::Bad)
            return Bad(token);
        return Fail("not an ncdu export: it does not begin with an array");
    }
    const char* const kVersions[] = {"the format's major version", "the format's minor version"};
    for (int element = 0; element < 2; ++element) {
        token = tokens_->Read();
        if (token != Token::Number)
            return token == Token::End || token == Token::Bad
                       ? Bad(token)
                       : Fail(std::string(kVersions[element]) + " is not a number");
        if (element == 0 && tokens_->Text() != "1")
            return Fail("major version " + tokens_->Text() +
                        " of the format is not supported (only 1 is)");
        if (!Expect(Token::Comma, "the export ends before its top folder"))
            return false;
    }
    if (!Expect(Token::BeginObject, "the metadata is not an object") || !ReadMetadata())
        return false;
    if (!Expect(Token::Comma, "the export ends before its top folder"))
        return false;
    if (!Expect(Token::BeginArray, "the top folder is not an array") ||
        !Expect(Token::BeginObject, "a folder array must begin with its info object"))
        return false;
    if (!ReadInfo(Where::Top))
        return false;
    item_.kind = ExportItem::Kind::Folder;
    devices_.push_back(item_.device);
    return true;
}

// The metadata's members, of which the time of the scan, its options and the shard's mark
// are kept.
bool ExportItemReader::ReadMetadata() {
    Token token = tokens_->Read();
    if (token == Token::EndObject)
        return true;
    for (;;) {
        if (token != Token::String)
            return Bad(token);
        const std::string key = tokens_->Text();
        if (!Expect(Token::Colon, "not valid JSON: Missing a colon after a name of object member."))
            return false;
        token = tokens_->Read();
        if (key == "shard" && token == Token::BeginObject) {
            if (!ReadShardMark())
                return false;
        } else if (key == "brimwell" && token == Token::BeginObject) {
            if (!ReadOptions())
                return false;
        } else if (key == "timestamp" && token == Token::Number) {
            std::string problem;
            metadata_.timestamp = WholeNumber(tokens_->Text(), false, problem);
        } else if (!Skip(token)) {
            return false;
        }
        token = tokens_->Read();
        if (token == Token::EndObject)
            return true;
        if (token != Token::Comma)
            return Bad(token);
        token = tokens_->Read();
    }
}

// "shard":{"index":K,"count":N,"plan":"..."}, after its opening brace.
bool ExportItemReader::ReadShardMark() {
    ShardMark mark;
    bool hasIndex = false, hasCount = false, hasPlan = false;
    Token token = tokens_->Read();
    while (token == Token::String) {
        key_ = tokens_->Text();
        if (!Expect(Token::Colon, "not valid JSON: Missing a colon after a name of object member."))
            return false;
        token = tokens_->Read();
        std::string problem;
        if (token == Token::Number && (key_ == "index" || key_ == "count")) {
            std::optional<std::uint64_t> value = WholeNumber(tokens_->Text(), false, problem);
            if (value && *value <= std::numeric_limits<std::uint32_t>::max()) {
                (key_ == "index" ? mark.index : mark.count) = static_cast<std::uint32_t>(*value);
                (key_ == "index" ? hasIndex : hasCount) = true;
            }
        } else if (token == Token::String && key_ == "plan") {
            mark.plan = tokens_->Text();
            hasPlan = true;
        } else if (!Skip(token)) {
            return false;
        }
        token = tokens_->Read();
        if (token == Token::Comma)
            token = tokens_->Read();
    }
    if (token != Token::EndObject)
        return Bad(token);
    if (hasIndex && hasCount && hasPlan && mark.index < mark.count)
        shard_ = std::move(mark);
    return true;
}

// "brimwell":{"hidden":…,"onefs":…,"everylink":…,"exclude":[…]}, after its opening brace: the
// options the scan was made with, as the scan's writer puts them.
bool ExportItemReader::ReadOptions() {
    ScanRules& options = metadata_.options.emplace();
    Token token = tokens_->Read();
    while (token == Token::String) {
        key_ = tokens_->Text();
        if (!Expect(Token::Colon, "not valid JSON: Missing a colon after a name of object member."))
            return false;
        token = tokens_->Read();
        const bool flag = token == Token::True || token == Token::False;
        if (flag && key_ == "hidden") {
            options.includeHidden = token == Token::True;
        } else if (flag && key_ == "onefs") {
            options.oneFileSystem = token == Token::True;
        } else if (flag && key_ == "everylink") {
            options.countEveryLink = token == Token::True;
        } else if (token == Token::BeginArray && key_ == "exclude") {
            for (token = tokens_->Read(); token == Token::String;) {
                options.excludes.push_back(tokens_->Text());
                token = tokens_->Read();
                if (token == Token::Comma)
                    token = tokens_->Read();
            }
            if (token != Token::EndArray)
                return Bad(token);
        } else if (!Skip(token)) {
            return false;
        }
        token = tokens_->Read();
        if (token == Token::Comma)
            token = tokens_->Read();
    }
    return token == Token::EndObject || Bad(token);
}

bool ExportItemReader::ReadField(std::string_view key, Token value, bool& hasName) {
    const Field field = FieldOf(key);
    auto wrongType = [&](const char* type) {
        if (value == Token::End || value == Token::Bad)
            return Bad(value);
        return Fail(std::string(key) + " is not " + type);
    };
    switch (field) {
        case Field::Name:
            if (value != Token::String)
                return wrongType("a string");
            item_.name = tokens_->Text();
            hasName = true;
            return true;
        case Field::Number:
        case Field::Device: {
            if (value != Token::Number)
                return wrongType("a number");
            std::string problem;
            std::optional<std::uint64_t> number =
                WholeNumber(tokens_->Text(), key == "asize" || key == "dsize", problem);
            if (!number)
                return Fail(std::string(key) + problem);
            item_.fields.append(",\"").append(key).append("\":");
            json_text::AppendNumber(item_.fields, *number);
            if (field == Field::Device) {
                item_.device = *number;
                item_.ownDevice = true;
            }
            return true;
        }
        case Field::Flag:
        case Field::ReadError:
            if (value != Token::True && value != Token::False)
                return wrongType("true or false");
            item_.fields.append(",\"").append(key).append(value == Token::True ? "\":true"
                                                                               : "\":false");
            if (field == Field::ReadError)
                item_.readError = value == Token::True;
            return true;
        case Field::Excluded:
            if (value != Token::String)
                return wrongType("a string");
            item_.fields.append(",\"excluded\":");
            json_text::AppendString(item_.fields, tokens_->Text());
            item_.excluded = true;
            return true;
        case Field::Other:
            break;
    }
    // Values the graft does not know are copied; objects and arrays in them are left out.
    switch (value) {
        case Token::String:
            item_.fields.append(",");
            json_text::AppendString(item_.fields, key);
            item_.fields.push_back(':');
            json_text::AppendString(item_.fields, tokens_->Text());
            return true;
        case Token::Number:
        case Token::True:
        case Token::False:
        case Token::Null:
            item_.fields.append(",");
            json_text::AppendString(item_.fields, key);
            item_.fields.push_back(':');
            item_.fields.append(value == Token::Number  ? tokens_->Text()
                                : value == Token::True  ? "true"
                                : value == Token::False ? "false"
                                                        : "null");
            return true;
        default:
            return Skip(value);
    }
}

// One info object, its opening brace read.
bool ExportItemReader::ReadInfo(Where where) {
    const bool top = where == Where::Top;
    item_.name.clear();
    item_.fields.clear();
    item_.ownDevice = false;
    item_.readError = false;
    item_.excluded = false;
    bool hasName = false;
    Token token = tokens_->Read();
    if (token != Token::EndObject) {
        for (;;) {
            if (token != Token::String)
                return Bad(token);
            key_ = tokens_->Text();
            if (!Expect(Token::Colon,
                        "not valid JSON: Missing a colon after a name of object member."))
                return false;
            if (!ReadField(key_, tokens_->Read(), hasName))
                return false;
            token = tokens_->Read();
            if (token == Token::EndObject)
                break;
            if (token != Token::Comma)
                return Bad(token);
            token = tokens_->Read();
        }
    }
    if (!hasName)
        return Fail("an entry without a name");
    if (item_.name.size() > ScanFileReader::kMaxName)
        return Fail("a name longer than " + std::to_string(ScanFileReader::kMaxName) + " bytes");
    if (!ValidName(item_.name, top))
        return Fail(std::string(where == Where::File ? "a file's" : "a folder's") +
                    " name is empty, \".\" or \"..\", or holds \"/\" or a zero byte");
    if (!item_.ownDevice)
        item_.device = devices_.empty() ? 0 : devices_.back();
    return true;
}

// After "[": the folder's info object.
bool ExportItemReader::ReadFolderStart() {
    if (devices_.size() >= ScanFileReader::kMaxDepth)
        return Fail("nested deeper than " + std::to_string(ScanFileReader::kMaxDepth) + " levels");
    if (!Expect(Token::BeginObject, "a folder array must begin with its info object") ||
        !ReadInfo(Where::Folder))
        return false;
    item_.kind = ExportItem::Kind::Folder;
    devices_.push_back(item_.device);
    return true;
}

bool ExportItemReader::Next() {
    if (finished_ || error_)
        return false;
    try {
        return ReadNext();
    } catch (const std::bad_alloc&) {
        return OutOfMemory();
    }
}

bool ExportItemReader::ReadNext() {
    if (item_.IsEnd() && devices_.empty()) {
        finished_ = true;
        return false;
    }
    Token token = tokens_->Read();
    if (token == Token::EndArray) {
        item_.kind = ExportItem::Kind::End;
        item_.name.clear();
        item_.fields.clear();
        devices_.pop_back();
        return devices_.empty() ? FinishTop() : true;
    }
    if (token != Token::Comma)
        return Bad(token);
    token = tokens_->Read();
    if (token == Token::BeginObject) {
        if (!ReadInfo(Where::File))
            return false;
        item_.kind = ExportItem::Kind::File;
        return true;
    }
    if (token == Token::BeginArray)
        return ReadFolderStart();
    if (token == Token::End || token == Token::Bad)
        return Bad(token);
    const char* what = token == Token::String   ? "a string"
                       : token == Token::Number ? "a number"
                       : token == Token::Null   ? "null"
                                                : "true or false";
    return Fail(std::string("a folder holds objects and arrays only, not ") + what);
}

// After the top folder: the rest of the top array, and nothing after it.
bool ExportItemReader::FinishTop() {
    for (;;) {
        Token token = tokens_->Read();
        if (token == Token::EndArray)
            break;
        if (token != Token::Comma)
            return Bad(token);
        if (!Skip(tokens_->Read()))
            return false;
    }
    // A zero byte ends the JSON, not the file: what follows it follows the export too.
    Token token = tokens_->Read();
    if (token == Token::End)
        return input_.AtEnd() ? true : Fail("");
    return Fail("more follows the end of the export");
}

bool ExportItemReader::SkipFolder() {
    if (!item_.IsFolder())
        return true;
    for (std::size_t depth = 1; depth > 0;) {
        if (!Next())
            return false;
        if (item_.IsFolder())
            ++depth;
        else if (item_.IsEnd())
            --depth;
    }
    return true;
}
