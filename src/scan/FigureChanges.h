// Figures that change below a folder without a scan of its root: a folder or a file moved to
// the trash, a folder scanned again. The ancestors follow at once: their records and labels
// (in the current unit) take the change, and every parent whose child changed puts its
// children back in size order.
#pragma once

#include <cstdint>

#include "tree/FolderRecord.h"
#include "tree/ItemStore.h"

// Differences of a folder's figures, both measures.
struct FigureChange {
    std::int64_t bytes = 0;
    std::int64_t diskBytes = 0;
    std::int64_t files = 0;
    std::int64_t folders = 0;
};

namespace FigureChanges {

// What taking a folder with these figures out of its parent changes there: its sizes, its
// files, its folders and itself.
FigureChange Without(const FolderRecord& folder);
// What a folder's figures changed by between two records of it.
FigureChange Between(const FolderRecord& before, const FolderRecord& after);
// Adds change to the record of `from` and of every ancestor that has one (sums stop at 0 and
// at their largest value), rewrites their labels in their forms, and sorts the children of
// each one's parent.
void AddUpward(ItemStore& tree, TreeItem from, const FigureChange& change);
// A file of `size` (apparent) and `sizeOnDisk` left folder: its FILES entry, the folder and
// the ancestors lose them and one file.
void RemoveFile(ItemStore& tree, TreeItem folder, std::uint64_t size, std::uint64_t sizeOnDisk);

}  // namespace FigureChanges
