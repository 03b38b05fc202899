// The process-wide choice between apparent sizes and the space on disk.
#include "tree/SizeMeasure.h"

#include <atomic>

namespace {
std::atomic<bool> onDisk{false};
}

namespace SizeMeasure {

bool OnDisk() {
    return onDisk.load(std::memory_order_relaxed);
}

void SetOnDisk(bool value) {
    onDisk.store(value, std::memory_order_relaxed);
}

}  // namespace SizeMeasure
