// How many threads read folders ahead of a scan. On a warm cache listing is processor
// work, and more readers than processors only add switching; on a cold cache the readers
// wait for the device, and more of them keep it busy. The policy starts with one reader
// per processor and watches what the readers do: when they spend a good part of their
// listings blocked (neither running nor waiting for a processor) in two decisions in a
// row, it doubles them, up to a bound; after four decisions in a row that found them nearly
// always running, it takes back half the extra ones. One folder that was not cached, or a
// cached stretch of a cold disk, thus does not swing the number. A rotating disk keeps one
// reader, and a forced number is kept as it is.
#pragma once

#include <chrono>
#include <cstdint>

class ReaderPolicy {
  public:
    using Nanoseconds = std::chrono::nanoseconds;

    struct Setup {
        unsigned processors = 1;
        bool rotatingDisk = false;
        unsigned forced = 0;  // a number chosen by the user; 0: adapt
    };
    explicit ReaderPolicy(Setup setup);

    unsigned Initial() const { return initial_; }
    unsigned Maximum() const { return maximum_; }
    // Readers wanted now.
    unsigned Target() const { return target_; }

    // One listing by a reader: wall time from start to end, the part of it the thread ran,
    // and the part it was ready to run but waited for a processor. Every kSamples listings
    // the target is decided again. True when the target changed.
    bool Record(Nanoseconds wall, Nanoseconds running, Nanoseconds waitingForProcessor);

    static constexpr unsigned kSamples = 16;
    static constexpr unsigned kCalmWindows = 4;
    static constexpr unsigned kWaitingWindows = 2;
    static constexpr unsigned kMostReaders = 64;
    static constexpr unsigned kReadersPerProcessor = 8;

  private:
    unsigned initial_;
    unsigned maximum_;
    unsigned target_;
    unsigned samples_ = 0;
    // Decisions in a row that found the readers nearly always running, or often blocked.
    unsigned calmWindows_ = 0;
    unsigned waitingWindows_ = 0;
    Nanoseconds wall_{0};
    Nanoseconds blocked_{0};
};

// A thread's own clock: the wall time, the time it has run (its CPU-time clock) and the
// time it has waited for a processor (/proc/thread-self/schedstat).
struct ThreadTimes {
    std::chrono::steady_clock::time_point wall;
    ReaderPolicy::Nanoseconds running{0};
    ReaderPolicy::Nanoseconds waiting{0};
};
// The calling thread's times now; waiting stays 0 where the kernel does not say.
ThreadTimes ThisThreadTimes();
