// The export written entry by entry: a folder's files, and the folders the scan does not
// enter, in listing order between the sub-folders it enters, each at its place.
#include "scanfile/ScanFileWriter.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <ctime>

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

void AppendNumber(std::string& text, std::uint64_t value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

// A name as a JSON string. Bytes from 0x80 up are written as they are, valid UTF-8 or not,
// as ncdu writes them: no escape could give the bytes of a name that is not UTF-8 back.
void AppendString(std::string& text, std::string_view bytes) {
    static const char kHex[] = "0123456789abcdef";
    text.push_back('"');
    std::size_t run = 0;  // the start of the bytes that need no escape
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte != '"' && byte != '\\')
            continue;
        text.append(bytes.substr(run, i - run));
        run = i + 1;
        switch (byte) {
            case '"':
                text.append("\\\"");
                break;
            case '\\':
                text.append("\\\\");
                break;
            case '\n':
                text.append("\\n");
                break;
            case '\t':
                text.append("\\t");
                break;
            case '\r':
                text.append("\\r");
                break;
            case '\b':
                text.append("\\b");
                break;
            case '\f':
                text.append("\\f");
                break;
            default:
                text.append("\\u00");
                text.push_back(kHex[byte >> 4]);
                text.push_back(kHex[byte & 15]);
        }
    }
    text.append(bytes.substr(run));
    text.push_back('"');
}

// The folder's full path, as ncdu names the top folder; the path as given when it has none.
std::string FullPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string full = resolved;
    std::free(resolved);
    return full;
}

}  // namespace

ScanFileWriter::ScanFileWriter(FolderSource& inner, ScanFileOutput& out, Program program,
                               ScanRules options)
    : inner_(inner), out_(out), program_(std::move(program)), options_(std::move(options)) {}

void ScanFileWriter::Flush() {
    out_.Write(text_);
    text_.clear();
}

void ScanFileWriter::EnterRoot(const std::string& path) {
    inner_.EnterRoot(path);
    levels_.clear();
    Level& root = levels_.emplace_back();
    root.name = FullPath(path);
}

void ScanFileWriter::Enter(std::string_view name) {
    inner_.Enter(name);
    if (!levels_.empty()) {
        Level& parent = levels_.back();
        if (!parent.opened)
            Open(parent, ListOutcome::Listed);
        WriteEntries(parent, &name);
    }
    Level& level = levels_.emplace_back();
    level.name = name;
}

void ScanFileWriter::Open(Level& level, ListOutcome outcome, std::uint64_t device) {
    if (levels_.size() == 1) {
        text_.append("[1,2,{\"progname\":");
        AppendString(text_, program_.name);
        text_.append(",\"progver\":");
        AppendString(text_, program_.version);
        text_.append(",\"timestamp\":");
        AppendNumber(text_, static_cast<std::uint64_t>(std::time(nullptr)));
        // ncdu and gdu pass over keys they do not know.
        text_.append(",\"brimwell\":{\"hidden\":");
        text_.append(options_.includeHidden ? "true" : "false");
        text_.append(",\"onefs\":");
        text_.append(options_.oneFileSystem ? "true" : "false");
        text_.append(",\"everylink\":");
        text_.append(options_.countEveryLink ? "true" : "false");
        text_.append(",\"exclude\":[");
        for (std::size_t i = 0; i < options_.excludes.size(); ++i) {
            if (i > 0)
                text_.push_back(',');
            AppendString(text_, options_.excludes[i]);
        }
        text_.append("]}},\n[{\"name\":");
    } else {
        text_.append(",\n[{\"name\":");
    }
    AppendString(text_, level.name);
    if (device != 0) {
        text_.append(",\"dev\":");
        AppendNumber(text_, device);
    }
    switch (outcome) {
        case ListOutcome::Listed:
            break;
        case ListOutcome::Unreadable:
            text_.append(",\"read_error\":true");
            break;
        case ListOutcome::OtherFileSystem:
            text_.append(",\"excluded\":\"otherfs\"");
            break;
        case ListOutcome::PseudoFileSystem:
            text_.append(",\"excluded\":\"kernfs\"");
            break;
    }
    text_.push_back('}');
    level.opened = true;
}

bool ScanFileWriter::List(FolderListing& out) {
    bool listed = inner_.List(out);
    if (levels_.empty())
        return listed;
    Level& level = levels_.back();
    const std::uint64_t parentDevice = levels_.size() > 1 ? levels_[levels_.size() - 2].device : 0;
    level.device = out.device != 0 ? out.device : parentDevice;
    if (!level.opened)
        Open(level, listed ? ListOutcome::Listed : out.outcome,
             out.device != parentDevice ? out.device : 0);
    if (listed) {
        if (spare_.empty()) {
            level.listing = std::make_unique<FolderListing>(out);
        } else {
            level.listing = std::move(spare_.back());
            spare_.pop_back();
            *level.listing = out;
        }
        level.next = 0;
    }
    if (text_.size() >= kFlushAt)
        Flush();
    return listed;
}

void ScanFileWriter::WriteEntries(Level& level, const std::string_view* until) {
    if (!level.listing)
        return;
    const FolderListing& listing = *level.listing;
    while (level.next < listing.entries.size()) {
        const FolderEntry& entry = listing.entries[level.next++];
        if (until && entry.isDirectory && !entry.excluded && listing.Name(entry) == *until)
            break;
        WriteEntry(listing, entry);
        if (text_.size() >= kFlushAt)
            Flush();
    }
}

void ScanFileWriter::WriteEntry(const FolderListing& listing, const FolderEntry& entry) {
    std::string_view name = listing.Name(entry);
    if (name == "." || name == "..")
        return;
    if (entry.isDirectory) {
        // A folder the scan did not enter (excluded, or a name beginning with "." that the
        // rules skip): ncdu shows it as excluded, and a reader skips it as the scan did.
        text_.append(",\n[{\"name\":");
        AppendString(text_, name);
        text_.append(",\"excluded\":\"pattern\"}]");
        return;
    }
    text_.append(",\n{\"name\":");
    AppendString(text_, name);
    if (entry.excluded) {
        text_.append(",\"excluded\":\"pattern\"}");
        return;
    }
    if (entry.size != 0) {
        text_.append(",\"asize\":");
        AppendNumber(text_, entry.size);
    }
    if (entry.sizeOnDisk != 0) {
        text_.append(",\"dsize\":");
        AppendNumber(text_, entry.sizeOnDisk);
    }
    if (entry.link != 0) {
        const LinkIdentity& identity = listing.links[entry.link - 1];
        text_.append(",\"dev\":");
        AppendNumber(text_, identity.device);
        text_.append(",\"ino\":");
        AppendNumber(text_, identity.inode);
        text_.append(",\"hlnkc\":true");
        std::uint32_t count =
            entry.link <= listing.linkCounts.size() ? listing.linkCounts[entry.link - 1] : 0;
        if (count > 1) {
            text_.append(",\"nlink\":");
            AppendNumber(text_, count);
        }
    }
    if (entry.special)
        text_.append(",\"notreg\":true");
    text_.push_back('}');
}

void ScanFileWriter::Leave() {
    inner_.Leave();
    if (levels_.empty())
        return;
    Level& level = levels_.back();
    if (!level.opened)
        Open(level, ListOutcome::Listed);
    WriteEntries(level, nullptr);
    text_.push_back(']');
    if (level.listing && level.listing->entries.capacity() <= 4096 && spare_.size() < 64)
        spare_.push_back(std::move(level.listing));
    levels_.pop_back();
    if (levels_.empty())
        text_.append("]\n");
    if (levels_.empty() || text_.size() >= kFlushAt)
        Flush();
}
