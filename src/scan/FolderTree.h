// The scan that builds the folder tree, the order of children, and relabelling in the
// current unit. Keeps no state between calls: the tree is the model.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "fs/FolderSource.h"
#include "scan/HardLinkLedger.h"
#include "tree/TreeControl.h"

// The five figures one folder's scan reports to its caller. Sums stop at 2^64-1 and counts
// at 2^31-1 instead of wrapping around.
struct ScanSums {
    std::uint64_t total = 0;      // every entry listed directly in the folder, plus sub-folders
    std::uint64_t filesOnly = 0;  // files directly in the folder
    std::int32_t directFiles = 0;
    std::int32_t files = 0;    // all depths
    std::int32_t folders = 0;  // all depths
    // total and filesOnly as space on disk; diskTotal also holds the folders' own blocks.
    std::uint64_t diskTotal = 0;
    std::uint64_t diskFilesOnly = 0;
};

// What a scan reads from besides the tree: the listings, where to count progress, which
// entries count, whom to tell about folders that cannot be read, and when to stop.
struct ScanContext {
    explicit ScanContext(FolderSource& listings, ScanCounters* progress = nullptr)
        : source(listings), counters(progress) {}

    FolderSource& source;
    ScanCounters* counters = nullptr;  // may be null
    // The rules the source was made with; null: the default rules.
    const ScanRules* rules = nullptr;
    // Told about every folder below the start that could not be read: its path (byte for
    // byte) and the errno. May be empty.
    std::function<void(const std::string& path, int error)> cannotRead;
    // The scan's own stop flag, set by whoever wants this scan to stop; null: the
    // process-wide StopRequested. Read at every check; the scan never clears it.
    const std::atomic<bool>* stop = nullptr;
    // Files with several hard links that folders outside this scan count already: not
    // counted again (a folder scanned again inside its root). May be null.
    const HardLinkLedger* countedElsewhere = nullptr;
    // Where the scan notes which folder item counts each file with several hard links. May
    // be null: the scan then keeps that to itself.
    HardLinkLedger* counted = nullptr;
    // Whether a root item of the starting folder's path is this scan's to fill again; empty:
    // every one is. Roots read from different sources (a scan file, the disk) stay apart.
    std::function<bool(TreeItem root)> ownsRoot;
    // Told the root item the scan fills, once it is found or inserted. May be empty.
    std::function<void(TreeItem root)> rootPlaced;

    bool Stopping() const;
};

// The icon index of a folder (and of its FILES entry) in the tree's icon list, of a folder
// that could not be read, and of a mount point the scan did not enter (another file system
// while the scan stays on its own, or a pseudo file system), so that their zeros are not
// taken for an empty folder.
constexpr int kFolderIcon = 0;
constexpr int kUnreadableFolderIcon = 2;
constexpr int kMountPointIcon = 3;
inline int FileIconIndex(const std::string& /*path*/, bool asFolder) {
    return asFolder ? 0 : 1;
}

namespace FolderTree {

// "   ( 1234.57 M , Files : 876 , Folders : 43 )" in the current unit.
std::string FolderLabelSuffix(std::uint64_t bytes, std::int32_t files, std::int32_t folders);
// "FILES   ( 3.50 ) M " for a sub-folder, "FILES   ( 3.50 M " for a root.
std::string FilesEntryLabel(std::uint64_t filesBytes, bool ofRoot);
// The path with one "/" appended unless it already ends in one.
std::string WorkingPath(const std::string& path);

// Scans one starting folder into tree: finds or inserts its root item, fills it, and at the
// end selects it (or keeps a selection inside it). A root is found by its record's path,
// whatever record it holds (placeholder, progress or finished; a trailing "/" aside), among
// the roots context.ownsRoot accepts, and is rescanned at its place: the caller makes sure that two
// scans never work on one root at once.
void ScanRoot(TreeControl& tree, const std::string& rootPath, ScanContext& context);

// Scans folderPath, the current folder of context.source, whose item is parentItem, and
// everything below it, adding its figures to sums. Walks with a stack of its own, so depth
// is limited by memory, not by the thread's stack.
void ScanFolder(bool isRoot, TreeControl& tree, TreeItem parentItem, const std::string& folderPath,
                ScanSums& sums, ScanContext& context);

// CompareBySize (larger totalBytes first) is declared with the records, in
// tree/FolderRecord.h: the item store sorts by it without calling it once per comparison.

// Rewrites the label of every item below item that has a record, children first, in the
// current unit. None relabels the whole tree. Walks with a stack of its own.
void Relabel(TreeControl& tree, TreeItem item);

// Scans folderPath again into item, a folder below a root whose figures its ancestors hold:
// the item's children go and its label is its name until the scan has finished; then it has
// its new figures, FILES entry and order, as a scan of its parent would have left them. The
// ancestors are the caller's (FigureChanges). A stop leaves the item without a record.
void RescanFolder(TreeControl& tree, TreeItem item, const std::string& folderPath,
                  ScanContext& context);

// Sorts the children of item and of every item below it by CompareBySize, for sizes of
// another measure (SizeMeasure). None sorts the whole tree; the top level keeps its order.
void SortAllBySize(TreeControl& tree, TreeItem item);

}  // namespace FolderTree
