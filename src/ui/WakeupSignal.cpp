// The wake-up signal through eventfd.
#include "ui/WakeupSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

WakeupSignal::WakeupSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeupSignal::~WakeupSignal() {
    if (fd_ >= 0)
        ::close(fd_);
}

void WakeupSignal::Raise() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(fd_, &one, sizeof one);
}

void WakeupSignal::Clear() {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t read = ::read(fd_, &count, sizeof count);
}
