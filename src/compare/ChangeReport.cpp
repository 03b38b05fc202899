// Choosing the folders a comparison report names, and writing the report.
#include "compare/ChangeReport.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "compare/ChangeText.h"
#include "report/ReportText.h"
#include "scan/SizeUnit.h"

namespace ChangeReport {
namespace {

constexpr std::size_t kMaxPathColumn = 50;
constexpr std::size_t kWriteChunk = 64 * 1024;

// What a folder's change is measured by: its bytes, or its files when no byte changed, or its
// folders.
int Measure(const ItemChange& change, std::int64_t& value) {
    if ((value = change.Bytes()) != 0)
        return 0;
    if ((value = change.files) != 0)
        return 1;
    value = change.folders;
    return 2;
}

std::int64_t MeasureAs(const ItemChange& change, int kind) {
    return kind == 0 ? change.Bytes() : kind == 1 ? change.files : change.folders;
}

// Keeps the greatest change with the same sign as the folder's, in the folder's measure.
class Carried {
  public:
    explicit Carried(const ItemChange& folder) : kind_(Measure(folder, own_)) {}
    void Child(const ItemChange& child) {
        std::int64_t value = MeasureAs(child, kind_);
        if ((value > 0) == (own_ > 0) && std::llabs(value) > largest_)
            largest_ = std::llabs(value);
    }
    // Whether the folder is to be named: it changed, and no sub-folder carries most of it.
    bool Named() const {
        return own_ != 0 && static_cast<double>(largest_) <
                                kCarriedShare * static_cast<double>(std::llabs(own_));
    }

  private:
    std::int64_t own_ = 0;
    int kind_;
    std::int64_t largest_ = 0;
};

std::string Joined(const std::string& path, std::string_view name) {
    return path.empty() ? std::string(name) : path + "/" + std::string(name);
}

bool ListedBefore(const Line& a, const Line& b) {
    const std::int64_t bytesA = std::llabs(a.change.Bytes()), bytesB = std::llabs(b.change.Bytes());
    if (bytesA != bytesB)
        return bytesA > bytesB;
    const std::int64_t filesA = std::llabs(a.change.files), filesB = std::llabs(b.change.files);
    if (filesA != filesB)
        return filesA > filesB;
    if (a.depth != b.depth)
        return a.depth > b.depth;
    return a.path < b.path;
}

std::string Figures(const std::string& size, const std::string& folders, const std::string& files) {
    return "( " + size + " , Folders : " + folders + " , Files : " + files + " )";
}

}  // namespace

std::vector<Line> ChangedFolders(const ItemStore& store, const TreeComparison& comparison) {
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> goneBelow;
    for (const TreeComparison::Gone& gone : comparison.GoneFolders())
        goneBelow[static_cast<std::uint64_t>(gone.parent)].push_back(gone.node);

    std::vector<Line> lines;
    struct Pending {
        const ItemNode* node;
        std::string path;
        std::size_t depth;
    };
    std::vector<Pending> pending;
    if (const ItemNode* root = store.Node(comparison.Root()); root && root->Parent())
        pending.push_back({root, std::string(), 0});
    while (!pending.empty()) {
        Pending folder = std::move(pending.back());
        pending.pop_back();
        std::optional<ItemChange> change = comparison.ChangeOf(*folder.node);
        if (!change)
            continue;
        if (change->kind == ItemChange::Kind::New) {  // named as a whole, at its top
            if (Carried(*change).Named())
                lines.push_back({std::move(folder.path), *change, folder.depth});
            continue;
        }
        Carried carried(*change);
        for (const ItemNode& child : folder.node->Children()) {
            if (!child.HasRecord() || child.IsFilesEntry())
                continue;
            if (std::optional<ItemChange> below = comparison.ChangeOf(child))
                carried.Child(*below);
            pending.push_back({&child, Joined(folder.path, child.RecordName()), folder.depth + 1});
        }
        auto gone = goneBelow.find(static_cast<std::uint64_t>(folder.node->Id()));
        if (gone != goneBelow.end()) {
            for (std::uint32_t node : gone->second) {  // named as a whole, at its top
                ItemChange was = comparison.GoneChange(node);
                carried.Child(was);
                if (Carried(was).Named()) {
                    lines.push_back({Joined(folder.path, comparison.Before().Name(node)), was,
                                     folder.depth + 1});
                }
            }
        }
        if (folder.depth > 0 && carried.Named())
            lines.push_back({std::move(folder.path), *change, folder.depth});
    }
    std::sort(lines.begin(), lines.end(), ListedBefore);
    return lines;
}

void Write(const ItemStore& store, const TreeComparison& comparison, const Side& now,
           const Side& before, std::size_t maxLines, std::ostream& out, bool toTerminal) {
    const ItemNode* root = store.Node(comparison.Root());
    std::optional<ItemChange> total = root ? comparison.ChangeOf(*root) : std::nullopt;
    if (!total)
        return;
    const SizeUnit::Snapshot unit = SizeUnit::Current();
    auto size = [&unit](std::uint64_t bytes) {
        return FormatSize(bytes, unit.divisor) + " " + unit.letter;
    };
    auto shown = [toTerminal](const std::string& path) {
        return toTerminal ? ReportText::ForTerminal(path) : path;
    };
    out << shown(now.root) << "   "
        << Figures(size(total->bytesNow), FormatCount(root->FolderCount()),
                   FormatCount(root->FileCount()))
        << "   " << now.time << '\n';
    out << shown(before.root) << "   "
        << Figures(size(total->bytesBefore), FormatCount(total->foldersBefore),
                   FormatCount(total->filesBefore))
        << "   " << before.time << '\n';
    out << "Change   "
        << Figures(ChangeText::SignedSize(total->Bytes()), ChangeText::SignedCount(total->folders),
                   ChangeText::SignedCount(total->files))
        << '\n';
    out << std::string(88, '-') << '\n';

    std::vector<Line> lines = ChangedFolders(store, comparison);
    const std::size_t count = maxLines == 0 ? lines.size() : std::min(maxLines, lines.size());
    struct Texts {
        std::string path;
        std::size_t pathLength;
        std::string size;
        std::string change;
    };
    std::vector<Texts> texts;
    std::size_t pathColumn = 0, sizeColumn = 0, changeColumn = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Line& line = lines[i];
        Texts& text = texts.emplace_back(Texts{shown(line.path), 0, size(line.change.bytesNow),
                                               ChangeText::SignedSize(line.change.Bytes())});
        text.pathLength = ReportText::Utf8Length(text.path);
        pathColumn = std::min(kMaxPathColumn, std::max(pathColumn, text.pathLength));
        sizeColumn = std::max(sizeColumn, text.size.size());
        changeColumn = std::max(changeColumn, text.change.size());
    }
    std::string buffer;
    for (std::size_t i = 0; i < count; ++i) {
        const Line& line = lines[i];
        const Texts& text = texts[i];
        buffer.append(text.path);
        buffer.append(pathColumn > text.pathLength ? pathColumn - text.pathLength : 0, ' ');
        buffer.append(" ( ");
        buffer.append(sizeColumn - text.size.size(), ' ');
        buffer.append(text.size);
        buffer.append(" ) ");
        buffer.append(changeColumn - text.change.size(), ' ');
        buffer.append(text.change);
        buffer.append(" , Folders : ").append(ChangeText::SignedCount(line.change.folders));
        buffer.append(" , Files : ").append(ChangeText::SignedCount(line.change.files));
        if (line.change.kind != ItemChange::Kind::Both)
            buffer.append("   ").append(ChangeText::KindWord(line.change.kind));
        buffer.push_back('\n');
        if (buffer.size() >= kWriteChunk) {
            out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            buffer.clear();
        }
    }
    if (count < lines.size())
        buffer.append("... and " + std::to_string(lines.size() - count) + " more folders\n");
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.flush();
}

}  // namespace ChangeReport
