// Which of its two sizes a folder shows: the apparent size of its files (the sum of their
// lengths, the default) or the space they take on disk (their allocated blocks, as du counts
// them). One choice for the process, like the unit: labels, the panel, the report and the
// largest files read it whenever they show a size. The tree keeps both figures, so a switch
// only rewrites labels and reorders children.
#pragma once

#include <cstdint>

#include "tree/FolderRecord.h"

namespace SizeMeasure {

bool OnDisk();
void SetOnDisk(bool onDisk);

// The one of the two figures that is shown.
inline std::uint64_t Shown(std::uint64_t apparent, std::uint64_t onDisk) {
    return OnDisk() ? onDisk : apparent;
}
inline std::uint64_t Shown(const FolderRecord& record) {
    return Shown(record.totalBytes, record.diskBytes);
}

}  // namespace SizeMeasure
