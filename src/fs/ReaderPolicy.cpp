// The adaptive number of read-ahead threads, and the per-thread times it is decided from.
#include "fs/ReaderPolicy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "fs/FileDescriptor.h"

ReaderPolicy::ReaderPolicy(Setup setup) {
    const unsigned processors = std::max(1u, setup.processors);
    if (setup.forced > 0) {
        initial_ = maximum_ = setup.forced;
    } else if (setup.rotatingDisk) {
        initial_ = maximum_ = 1;
    } else {
        initial_ = processors;
        maximum_ = std::min(kMostReaders, processors * kReadersPerProcessor);
    }
    target_ = initial_;
}

bool ReaderPolicy::Record(Nanoseconds wall, Nanoseconds running, Nanoseconds waitingForProcessor) {
    if (maximum_ == initial_ || wall.count() <= 0)
        return false;
    wall_ += wall;
    blocked_ += std::max(Nanoseconds(0), wall - running - waitingForProcessor);
    if (++samples_ < kSamples)
        return false;
    const double blocked = static_cast<double>(blocked_.count()) / wall_.count();
    samples_ = 0;
    wall_ = blocked_ = Nanoseconds(0);
    const unsigned before = target_;
    calmWindows_ = blocked <= 0.1 ? calmWindows_ + 1 : 0;
    waitingWindows_ = blocked >= 0.4 ? waitingWindows_ + 1 : 0;
    if (waitingWindows_ >= kWaitingWindows) {  // waiting for the device: more requests help
        target_ = std::min(maximum_, target_ * 2);
    } else if (calmWindows_ >= kCalmWindows) {  // running for a while: extras only compete
        target_ = std::max(initial_, target_ - std::max(1u, (target_ - initial_) / 2));
        calmWindows_ = 0;
    }
    return target_ != before;
}

ThreadTimes ThisThreadTimes() {
    ThreadTimes times;
    times.wall = std::chrono::steady_clock::now();
    // The thread's running time from its own clock, which is exact; the kernel's schedstat
    // figure for a running thread lags by up to a scheduler tick.
    timespec cpu;
    if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu) == 0)
        times.running = std::chrono::seconds(cpu.tv_sec) + ReaderPolicy::Nanoseconds(cpu.tv_nsec);
    // The time spent ready to run but waiting for a processor, from schedstat's second field.
    thread_local FileDescriptor schedstat(
        ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC));
    if (!schedstat.IsOpen())
        return times;
    char text[96];
    ssize_t got = ::pread(schedstat.Get(), text, sizeof text - 1, 0);
    if (got <= 0)
        return times;
    text[got] = '\0';
    char* end = nullptr;
    std::strtoull(text, &end, 10);  // the running time, not used
    times.waiting = ReaderPolicy::Nanoseconds(std::strtoull(end, nullptr, 10));
    return times;
}
