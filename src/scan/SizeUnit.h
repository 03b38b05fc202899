// The process-wide display unit for sizes (megabytes at every start, or kilobytes) and the
// stop request of scans that have none of their own.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tree/ItemLabel.h"  // FormatSize, FormatCount

// One atomic flag carries the unit, so a reader always sees a divisor and a letter that
// belong together, whichever thread toggles.
class SizeUnit {
  public:
    struct Snapshot {
        bool inMegabytes;
        double divisor;
        char letter;
    };

    static Snapshot Current();
    static bool InMegabytes() { return inMegabytes_.load(std::memory_order_relaxed); }
    static void Toggle();
    // Back to megabytes; for tests and tools that need a known start.
    static void Reset() { inMegabytes_.store(true, std::memory_order_relaxed); }

  private:
    static std::atomic<bool> inMegabytes_;
};

// The stop request of scans that were given no stop flag of their own (ScanContext::stop):
// the headless tool's one scan. The window's scans each have their own, so that a stop
// belongs to the scans that were running when it was asked for.
extern std::atomic<bool> StopRequested;
