// The size unit and the stop request.
#include "scan/SizeUnit.h"

std::atomic<bool> SizeUnit::inMegabytes_{true};
std::atomic<bool> StopRequested{false};

SizeUnit::Snapshot SizeUnit::Current() {
    bool meg = InMegabytes();
    return meg ? Snapshot{true, 1048576.0, 'M'} : Snapshot{false, 1024.0, 'K'};
}

void SizeUnit::Toggle() {
    inMegabytes_.store(!InMegabytes(), std::memory_order_relaxed);
}
