// The size a comparison compares, in one place: the summary of the earlier scan and the items
// of the tree now both take it from here, so that another figure (the size on disk, say) is
// chosen for both at once.
#pragma once

#include <cstdint>

#include "tree/FolderRecord.h"
#include "tree/ItemStore.h"

inline std::uint64_t ComparedBytes(const FolderRecord& record) {
    return record.totalBytes;
}

inline std::uint64_t ComparedBytes(const ItemNode& item) {
    return item.TotalBytes();
}
