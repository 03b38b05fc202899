// The size unit, the stop request and the locale-independent number formatting of labels.
#include "scan/SizeUnit.h"

#include <charconv>

std::atomic<bool> SizeUnit::inMegabytes_{true};
std::atomic<bool> StopRequested{false};

SizeUnit::Snapshot SizeUnit::Current() {
    bool meg = InMegabytes();
    return meg ? Snapshot{true, 1048576.0, 'M'} : Snapshot{false, 1024.0, 'K'};
}

void SizeUnit::Toggle() {
    inMegabytes_.store(!InMegabytes(), std::memory_order_relaxed);
}

std::string FormatSize(std::uint64_t bytes, double divisor) {
    char buffer[64];
    double value = static_cast<double>(bytes) / divisor;
    auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::string text(buffer, error == std::errc() ? end : buffer);
    if (text.size() < 4)
        text.insert(0, 4 - text.size(), ' ');  // the width of "%4.2f"
    return text;
}

std::string FormatCount(std::int32_t count) {
    char buffer[16];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, count);
    return std::string(buffer, error == std::errc() ? end : buffer);
}
