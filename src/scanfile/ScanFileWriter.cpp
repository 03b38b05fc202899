// The export written entry by entry: a folder's files, and the folders the scan does not
// enter, in listing order between the sub-folders it enters, each at its place.
#include "scanfile/ScanFileWriter.h"

#include <climits>
#include <cstdlib>
#include <ctime>

#include "scanfile/JsonText.h"

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

using json_text::AppendNumber;
using json_text::AppendString;

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

std::string ScanFileWriter::OptionsMetadata(const ScanRules& rules) {
    std::string text = ",\"brimwell\":{\"hidden\":";
    text.append(rules.includeHidden ? "true" : "false");
    text.append(",\"onefs\":");
    text.append(rules.oneFileSystem ? "true" : "false");
    text.append(",\"everylink\":");
    text.append(rules.countEveryLink ? "true" : "false");
    text.append(",\"exclude\":[");
    for (std::size_t i = 0; i < rules.excludes.size(); ++i) {
        if (i > 0)
            text.push_back(',');
        AppendString(text, rules.excludes[i]);
    }
    text.append("]}");
    return text;
}

ScanFileWriter::ScanFileWriter(FolderSource& inner, ScanFileOutput& out, Program program)
    : inner_(inner), out_(out), program_(std::move(program)) {}

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

void ScanFileWriter::Open(Level& level, ListOutcome outcome, std::uint64_t device,
                          std::uint64_t sizeOnDisk) {
    if (levels_.size() == 1) {
        text_.append("[1,2,{\"progname\":");
        AppendString(text_, program_.name);
        text_.append(",\"progver\":");
        AppendString(text_, program_.version);
        text_.append(",\"timestamp\":");
        AppendNumber(text_, static_cast<std::uint64_t>(std::time(nullptr)));
        text_.append(program_.metadata);
        text_.append("},\n[{\"name\":");
    } else {
        text_.append(",\n[{\"name\":");
    }
    AppendString(text_, level.name);
    if (device != 0) {
        text_.append(",\"dev\":");
        AppendNumber(text_, device);
    }
    if (sizeOnDisk != 0) {
        text_.append(",\"dsize\":");
        AppendNumber(text_, sizeOnDisk);
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
             out.device != parentDevice ? out.device : 0, listed ? out.folderSizeOnDisk : 0);
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
