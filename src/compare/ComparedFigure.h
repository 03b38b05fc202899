// The size a comparison compares, in one place: the summary of the earlier scan and the items
// of the tree now both take it from here, so that another figure (the size on disk, say) is
// chosen for both at once.
#pragma once

#include <cstdint>

#include "tree/FolderRecord.h"
#include "tree/ItemStore.h"
#include "tree/SizeMeasure.h"

// The figure shown: apparent sizes, or the space on disk (--disk-usage, Show Size On Disk).
inline std::uint64_t ComparedBytes(const FolderRecord& record) {
    return SizeMeasure::Shown(record);
}

inline std::uint64_t ComparedBytes(const ItemNode& item) {
    return item.ShownBytes();
}
