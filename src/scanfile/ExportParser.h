// The scan file's parser: a RapidJSON SAX handler that checks the shape of ncdu's export,
// [major, minor, {metadata}, [folder info, entries...]], and packs its tree as it goes. Kept
// in a header of its own, included by the reader alone, so that the parser can inline the
// handler's calls: there are some ten for every entry of a file.
#pragma once

#include <rapidjson/rapidjson.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fs/ScanRules.h"
#include "scanfile/PackedTree.h"
#include "scanfile/ScanFileReader.h"
#include "scanfile/ScanFileStreams.h"

namespace export_parser {

constexpr std::uint64_t kLargestSize = std::numeric_limits<std::int64_t>::max();

// The fields of an info object that the reader uses; the others are skipped.
enum class Field {
    Name,
    Size,
    SizeOnDisk,
    Device,
    Inode,
    LinkCount,
    HasLinks,
    ReadError,
    NotRegular,
    Excluded,
    Other
};

// By length first: the keys of a million entries are looked up here.
inline Field FieldOf(std::string_view key) {
    switch (key.size()) {
        case 3:
            return key == "dev" ? Field::Device : key == "ino" ? Field::Inode : Field::Other;
        case 4:
            return key == "name" ? Field::Name : Field::Other;
        case 5:
            if (key == "asize")
                return Field::Size;
            if (key == "dsize")
                return Field::SizeOnDisk;
            if (key == "nlink")
                return Field::LinkCount;
            return key == "hlnkc" ? Field::HasLinks : Field::Other;
        case 6:
            return key == "notreg" ? Field::NotRegular : Field::Other;
        case 8:
            return key == "excluded" ? Field::Excluded : Field::Other;
        case 10:
            return key == "read_error" ? Field::ReadError : Field::Other;
        default:
            return Field::Other;
    }
}

// What "excluded" says of an entry. ncdu 1.18 writes "othfs" for another file system
// (its documentation and its own reader say "otherfs"); other values mean a pattern.
enum class Exclusion { None, Pattern, OtherFileSystem, PseudoFileSystem };

inline Exclusion ExclusionOf(std::string_view value) {
    if (value == "otherfs" || value == "othfs" || value == "frmlnk")
        return Exclusion::OtherFileSystem;
    if (value == "kernfs")
        return Exclusion::PseudoFileSystem;
    return Exclusion::Pattern;
}

struct Info {
    Field field = Field::Other;  // of the key just read
    bool hasName = false;
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t sizeOnDisk = 0;
    std::uint64_t inode = 0;
    std::uint64_t linkCount = 0;
    std::optional<std::uint64_t> device;
    bool hasInode = false;
    bool hasLinks = false;
    bool readError = false;
    bool notRegular = false;
    Exclusion excluded = Exclusion::None;

    void Clear() {
        std::string keep = std::move(name);
        *this = Info();
        name = std::move(keep);
        name.clear();
    }
};

// The handler: a state machine over the top array and the folders below it, with a stack of
// open folders instead of recursion.
class ExportParser {
  public:
    ExportParser(const ScanRules& rules, PackedTree& tree) : rules_(rules), tree_(tree) {}

    const std::string& Problem() const { return problem_; }
    const std::string& TopPath() const { return topPath_; }
    bool Complete() const { return complete_; }
    // Whether the top folder gives its device, as exports that give folders' devices do.
    bool HasDevices() const { return topHasDevice_; }
    // Whether some file says it has several hard links.
    bool ClaimsLinks() const { return claimsLinks_; }

    const ExportMetadata& Metadata() const { return metadata_; }

    bool StartArray() { return StartContainer(true); }
    bool StartObject() { return StartContainer(false); }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        if (metaDepth_ > 0)
            return MetaKey(std::string_view(text, length));
        if (skip_ == 0)
            info_.field = FieldOf(std::string_view(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (metaDepth_ > 0)
            return MetaEnd();
        if (skip_ > 0) {
            --skip_;
            --depth_;
            return true;
        }
        --depth_;
        inInfo_ = false;
        return EndInfo();
    }
    bool EndArray(rapidjson::SizeType) {
        if (metaDepth_ > 0)
            return MetaEnd();
        --depth_;
        if (skip_ > 0) {
            --skip_;
            return true;
        }
        if (folders_.empty()) {  // the top array
            if (element_ < 4)
                return Fail("the export ends before its top folder");
            complete_ = true;
            return true;
        }
        OpenFolder& folder = folders_.back();
        if (!folder.hasInfo)
            return Fail("a folder array must begin with its info object");
        if (folder.stored != PackedTree::kNowhere) {
            ListOutcome outcome = folder.outcome;
            // A folder the scan could not read to the end keeps what it did read.
            if (outcome == ListOutcome::Unreadable && folder.entries > 0)
                outcome = ListOutcome::Listed;
            tree_.EndFolder(folder.stored, outcome);
        }
        folders_.pop_back();
        return true;
    }

    bool Null() { return metaDepth_ > 0 || Scalar("null"); }
    bool Bool(bool value) {
        if (metaDepth_ > 0)
            return MetaBool(value);
        if (skip_ > 0 || !inInfo_)
            return Scalar("true or false");
        switch (info_.field) {
            case Field::HasLinks:
                info_.hasLinks = value;
                return true;
            case Field::ReadError:
                info_.readError = value;
                return true;
            case Field::NotRegular:
                info_.notRegular = value;
                return true;
            case Field::Other:
                return true;
            default:
                return WrongType();
        }
    }
    bool Int(int value) { return metaDepth_ > 0 || Signed(value); }
    bool Int64(std::int64_t value) { return metaDepth_ > 0 || Signed(value); }
    bool Uint(unsigned value) { return metaDepth_ > 0 ? MetaNumber(value) : Number(value); }
    bool Uint64(std::uint64_t value) { return metaDepth_ > 0 ? MetaNumber(value) : Number(value); }
    // RapidJSON hands over as a double what has a fraction or an exponent, or does not fit
    // in 64 bits: a whole number below 2^63 (such as 1e3) is taken like any other.
    bool Double(double value) {
        if (metaDepth_ > 0)
            return true;
        if (value < 0)
            return NotWhole(" is negative");
        if (value >= 9223372036854775808.0)
            return NotWhole(" is above 2^63 - 1");
        if (value != static_cast<double>(static_cast<std::uint64_t>(value)))
            return NotWhole(" is not a whole number");
        return Number(static_cast<std::uint64_t>(value));
    }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return true; }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        if (metaDepth_ > 0)
            return MetaString(std::string_view(text, length));
        if (skip_ > 0 || !inInfo_)
            return Scalar("a string");
        if (info_.field == Field::Name) {
            // Longer names are cut by the cursor at kMaxName + 1 bytes, and end here.
            static_assert(ScanFileInput::kStringBuffer > ScanFileReader::kMaxName + 1);
            if (length > ScanFileReader::kMaxName)
                return Fail("a name longer than " + std::to_string(ScanFileReader::kMaxName) +
                            " bytes");
            info_.name.assign(text, length);
            info_.hasName = true;
            return true;
        }
        if (info_.field == Field::Excluded) {
            info_.excluded = ExclusionOf(std::string_view(text, length));
            return true;
        }
        return info_.field == Field::Other ? true : WrongType();
    }

  private:
    struct OpenFolder {
        PackedTree::Position stored = PackedTree::kNowhere;  // kNowhere: its entries are not kept
        std::uint64_t device = 0;
        bool hasInfo = false;
        bool keepEntries = false;
        ListOutcome outcome = ListOutcome::Listed;
        std::uint64_t entries = 0;
    };

    bool Fail(std::string problem) {
        problem_ = std::move(problem);
        return false;
    }

    bool Deeper() {
        if (++depth_ > ScanFileReader::kMaxDepth)
            return Fail("nested deeper than " + std::to_string(ScanFileReader::kMaxDepth) +
                        " levels");
        return true;
    }

    // Whether the value now starting is an element of the top array after the folder.
    bool TopExtra() const { return started_ && folders_.empty() && !inInfo_ && element_ >= 4; }

    // The name of what the value now read stands for, in messages.
    std::string Subject() const {
        if (inInfo_) {
            static const char* const kNames[] = {"name",   "asize",    "dsize",  "dev",
                                                 "ino",    "nlink",    "hlnkc",  "read_error",
                                                 "notreg", "excluded", "a field"};
            return kNames[static_cast<int>(info_.field)];
        }
        if (folders_.empty()) {
            static const char* const kElements[] = {"the format's major version",
                                                    "the format's minor version", "the metadata",
                                                    "the top folder"};
            return element_ >= 1 && element_ <= 4 ? kElements[element_ - 1] : "the export";
        }
        return "an entry of a folder";
    }

    bool WrongType() {
        switch (info_.field) {
            case Field::Name:
            case Field::Excluded:
                return Fail(Subject() + " is not a string");
            case Field::HasLinks:
            case Field::ReadError:
            case Field::NotRegular:
                return Fail(Subject() + " is not true or false");
            default:
                return Fail(Subject() + " is not a number");
        }
    }

    // A value that is neither a number nor a name: fine where values are skipped.
    bool Scalar(const char* what) {
        if (skip_ > 0 || TopExtra() || (inInfo_ && info_.field == Field::Other))
            return true;
        if (!started_)
            return Fail("not an ncdu export: it does not begin with an array");
        if (inInfo_)
            return WrongType();
        if (folders_.empty())
            return StartElement() && Fail(Subject() + " is " + what);
        return Fail("a folder holds objects and arrays only, not " + std::string(what));
    }

    // Counts the top array's elements as they start; the first two must be numbers.
    bool StartElement() {
        ++element_;
        return true;
    }

    bool Signed(std::int64_t value) {
        if (value == 0)  // "-0"
            return Number(0);
        return NotWhole(" is negative");
    }

    // A number that no field takes: negative, or with a fraction or an exponent.
    bool NotWhole(const char* problem) {
        if (skip_ > 0 || TopExtra() || (inInfo_ && info_.field == Field::Other))
            return true;
        if (!started_)
            return Fail("not an ncdu export: it does not begin with an array");
        if (!inInfo_) {
            if (!folders_.empty())
                return Fail("a folder holds objects and arrays only, not a number");
            StartElement();
            return Fail(Subject() + problem);
        }
        switch (info_.field) {
            case Field::Size:
            case Field::SizeOnDisk:
            case Field::Device:
            case Field::Inode:
            case Field::LinkCount:
                return Fail(Subject() + problem);
            default:
                return WrongType();
        }
    }

    bool Number(std::uint64_t value) {
        if (skip_ > 0 || TopExtra())
            return true;
        if (!started_)
            return Fail("not an ncdu export: it does not begin with an array");
        if (!inInfo_) {
            if (!folders_.empty())
                return Fail("a folder holds objects and arrays only, not a number");
            StartElement();
            if (element_ == 1 && value != 1)
                return Fail("major version " + std::to_string(value) +
                            " of the format is not supported (only 1 is)");
            if (element_ > 2)
                return Fail(Subject() + " is a number");
            return true;
        }
        switch (info_.field) {
            case Field::Size:
            case Field::SizeOnDisk:
                if (value > kLargestSize)
                    return Fail(Subject() + " is above 2^63 - 1");
                (info_.field == Field::Size ? info_.size : info_.sizeOnDisk) = value;
                return true;
            case Field::Device:
                info_.device = value;
                return true;
            case Field::Inode:
                info_.inode = value;
                info_.hasInode = true;
                return true;
            case Field::LinkCount:
                info_.linkCount = value;
                return true;
            case Field::Other:
                return true;
            default:
                return WrongType();
        }
    }

    // The metadata object: the time of the scan, and the options it was made with when a
    // Brimwell wrote it ("brimwell": {"hidden", "onefs", "everylink": true or false,
    // "exclude": [patterns]}). Everything else in it is passed over.
    bool MetaKey(std::string_view key) {
        if (metaDepth_ == 1)
            metaKey_ = key;
        else if (metaDepth_ == 2)
            optionKey_ = key;
        return true;
    }
    bool InOptions() const { return metaKey_ == kOptionsKey && metadata_.options.has_value(); }
    bool MetaStart(bool array) {
        ++metaDepth_;
        if (metaDepth_ == 2 && !array && metaKey_ == kOptionsKey)
            metadata_.options.emplace();
        return true;
    }
    bool MetaEnd() {
        --depth_;
        if (--metaDepth_ == 1)
            optionKey_.clear();
        return true;
    }
    bool MetaBool(bool value) {
        if (metaDepth_ == 2 && InOptions()) {
            if (optionKey_ == "hidden")
                metadata_.options->includeHidden = value;
            else if (optionKey_ == "onefs")
                metadata_.options->oneFileSystem = value;
            else if (optionKey_ == "everylink")
                metadata_.options->countEveryLink = value;
        }
        return true;
    }
    bool MetaNumber(std::uint64_t value) {
        if (metaDepth_ == 1 && metaKey_ == "timestamp")
            metadata_.timestamp = value;
        return true;
    }
    bool MetaString(std::string_view value) {
        if (metaDepth_ == 1 && metaKey_ == "progname")
            metadata_.program = value;
        if (metaDepth_ == 3 && InOptions() && optionKey_ == "exclude")
            metadata_.options->excludes.emplace_back(value);
        return true;
    }

    bool StartContainer(bool array) {
        if (!Deeper())
            return false;
        if (metaDepth_ > 0)
            return MetaStart(array);
        if (skip_ > 0 || TopExtra() || (inInfo_ && info_.field == Field::Other)) {
            if (TopExtra())
                StartElement();
            ++skip_;
            return true;
        }
        if (!started_) {
            if (!array)
                return Fail("not an ncdu export: it does not begin with an array");
            started_ = true;
            return true;
        }
        if (inInfo_)
            return WrongType();
        if (folders_.empty()) {
            StartElement();
            if (element_ == 3 && !array) {
                metaDepth_ = 1;
                return true;
            }
            if (element_ == 4 && array) {
                folders_.push_back(OpenFolder());
                return true;
            }
            return Fail(Subject() + (array ? " is an array" : " is an object"));
        }
        OpenFolder& folder = folders_.back();
        if (!folder.hasInfo) {
            if (array)
                return Fail("a folder array must begin with its info object");
            inInfo_ = true;
            info_.Clear();
            return true;
        }
        if (array) {
            folders_.push_back(OpenFolder());
            return true;
        }
        inInfo_ = true;
        info_.Clear();
        return true;
    }

    // The device the info object gives, where it differs from parentDevice; 0 otherwise.
    std::uint64_t DeviceOfOwn(std::uint64_t parentDevice) const {
        return info_.device && *info_.device != parentDevice ? *info_.device : 0;
    }

    bool ValidName(bool top) const {
        const std::string& name = info_.name;
        if (name.empty() || name.find('\0') != std::string::npos)
            return false;
        return top || (name != "." && name != ".." && name.find('/') == std::string::npos);
    }

    bool EndInfo() {
        if (!info_.hasName)
            return Fail("an entry without a name");
        OpenFolder& folder = folders_.back();
        const bool top = folders_.size() == 1;
        if (!folder.hasInfo) {
            if (!ValidName(top))
                return Fail(
                    "a folder's name is empty, \".\" or \"..\", or holds \"/\" or a zero byte");
            return FolderInfo(top);
        }
        if (!ValidName(false))
            return Fail("a file's name is empty, \".\" or \"..\", or holds \"/\" or a zero byte");
        claimsLinks_ = claimsLinks_ || info_.hasLinks || info_.linkCount > 1;
        if (!folder.keepEntries)
            return true;
        ++folder.entries;
        const bool excluded = info_.excluded == Exclusion::Pattern ||
                              (!rules_.excludes.empty() && rules_.Excludes(info_.name.c_str()));
        if (!excluded && (info_.excluded == Exclusion::OtherFileSystem ||
                          info_.excluded == Exclusion::PseudoFileSystem)) {
            // A mount point written as an info object: a folder the scan cannot enter.
            PackedTree::Position stored =
                tree_.BeginFolder(info_.name, false, DeviceOfOwn(folder.device));
            tree_.EndFolder(stored, info_.excluded == Exclusion::OtherFileSystem
                                        ? ListOutcome::OtherFileSystem
                                        : ListOutcome::PseudoFileSystem);
            return true;
        }
        PackedTree::File file;
        file.name = info_.name;
        file.excluded = excluded;
        if (!excluded) {
            file.size = info_.size;
            file.sizeOnDisk = info_.sizeOnDisk;
            file.special = info_.notRegular;
            // Without devices an inode number says nothing for sure: each link counts.
            file.linked =
                topHasDevice_ && info_.hasInode && (info_.hasLinks || info_.linkCount > 1);
            file.device = info_.device.value_or(folder.device);
            file.inode = info_.inode;
            file.count = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                info_.linkCount, std::numeric_limits<std::uint32_t>::max()));
        }
        tree_.AddFile(file);
        return true;
    }

    // The folder's own info object: where its entries go, if anywhere.
    bool FolderInfo(bool top) {
        OpenFolder& folder = folders_.back();
        folder.hasInfo = true;
        OpenFolder* parent = top ? nullptr : &folders_[folders_.size() - 2];
        folder.device = info_.device.value_or(parent ? parent->device : 0);
        if (top) {
            topPath_ = info_.name;
            topDevice_ = folder.device;
            topHasDevice_ = info_.device.has_value();
        } else if (!parent->keepEntries) {
            return true;  // inside a folder whose entries are not kept
        } else {
            ++parent->entries;
        }
        bool excluded = !top && (info_.excluded == Exclusion::Pattern ||
                                 (!rules_.excludes.empty() && rules_.Excludes(info_.name.c_str())));
        switch (info_.excluded) {
            case Exclusion::OtherFileSystem:
                folder.outcome = ListOutcome::OtherFileSystem;
                break;
            case Exclusion::PseudoFileSystem:
                folder.outcome = ListOutcome::PseudoFileSystem;
                break;
            default:
                if (rules_.oneFileSystem && folder.device != topDevice_)
                    folder.outcome = ListOutcome::OtherFileSystem;
                else if (info_.readError)
                    folder.outcome = ListOutcome::Unreadable;
                break;
        }
        folder.stored = tree_.BeginFolder(
            info_.name, excluded, top ? info_.device.value_or(0) : DeviceOfOwn(parent->device),
            info_.sizeOnDisk);
        // Only what a scan enters is kept: a folder that is excluded, named with a "." the
        // rules skip, or not listed has nothing the scan will look at.
        folder.keepEntries =
            !excluded && (top || rules_.Counts(info_.name)) &&
            (folder.outcome == ListOutcome::Listed || folder.outcome == ListOutcome::Unreadable);
        return true;
    }

    static constexpr std::string_view kOptionsKey = "brimwell";

    const ScanRules& rules_;
    PackedTree& tree_;
    ExportMetadata metadata_;
    std::size_t metaDepth_ = 0;  // open arrays and objects of the metadata
    std::string metaKey_;        // the metadata's key being read
    std::string optionKey_;      // the key of the options being read
    std::vector<OpenFolder> folders_;
    Info info_;
    bool inInfo_ = false;
    bool started_ = false;
    bool complete_ = false;
    std::uint64_t element_ = 0;  // elements of the top array started so far
    std::size_t skip_ = 0;       // open arrays and objects of a value being skipped
    std::size_t depth_ = 0;      // open arrays and objects
    std::string problem_;
    std::string topPath_;
    std::uint64_t topDevice_ = 0;
    bool topHasDevice_ = false;
    bool claimsLinks_ = false;
};

}  // namespace export_parser

using export_parser::ExportParser;
