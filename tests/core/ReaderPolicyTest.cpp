// The number of read-ahead threads: more while listings wait for the device, back to one
// per processor while they run, within the bound, fixed when forced or on a rotating disk.
#include <gtest/gtest.h>

#include <vector>

#include "fs/ReaderPolicy.h"

namespace {

using std::chrono::milliseconds;

// Feeds windows of listings that each take 10 ms, of which the reader ran `running` and
// waited for a processor `waiting`; the target after each window.
std::vector<unsigned> Windows(ReaderPolicy& policy, int windows, milliseconds running,
                              milliseconds waiting = milliseconds(0)) {
    std::vector<unsigned> targets;
    for (int w = 0; w < windows; ++w) {
        for (unsigned i = 0; i < ReaderPolicy::kSamples; ++i)
            policy.Record(milliseconds(10), running, waiting);
        targets.push_back(policy.Target());
    }
    return targets;
}

TEST(ReaderPolicy, GrowsWhileListingsKeepWaitingForTheDeviceAndShrinksOnceTheyKeepRunning) {
    using Targets = std::vector<unsigned>;
    ReaderPolicy policy({2, false, 0});
    EXPECT_EQ(policy.Initial(), 2u);
    EXPECT_EQ(policy.Maximum(), 16u);
    // One window of waiting among running ones, such as a folder that was not cached.
    EXPECT_EQ(Windows(policy, 1, milliseconds(1)), Targets{2});
    EXPECT_EQ(Windows(policy, 1, milliseconds(9)), Targets{2});
    EXPECT_EQ(Windows(policy, 5, milliseconds(1)), (Targets{2, 4, 8, 16, 16}));  // a cold cache
    EXPECT_EQ(Windows(policy, 3, milliseconds(9)), Targets(3, 16));              // a cached stretch
    EXPECT_EQ(Windows(policy, 2, milliseconds(7)), Targets(2, 16));              // between
    // Warm again: half the extra readers go after every four windows of running.
    EXPECT_EQ(Windows(policy, 16, milliseconds(9)),
              (Targets{16, 16, 16, 9, 9, 9, 9, 6, 6, 6, 6, 4, 4, 4, 4, 3}));
    EXPECT_EQ(Windows(policy, 6, milliseconds(9)), (Targets{3, 3, 3, 2, 2, 2}));
}

TEST(ReaderPolicy, WaitingForAProcessorIsNotWaitingForTheDevice) {
    ReaderPolicy policy({2, false, 0});
    // Runnable but not running for 6 ms of 10: the processors are the limit, not the disk.
    EXPECT_EQ(Windows(policy, 3, milliseconds(4), milliseconds(6)),
              (std::vector<unsigned>{2, 2, 2}));
    EXPECT_EQ(Windows(policy, 2, milliseconds(4), milliseconds(0)), (std::vector<unsigned>{2, 4}));
}

TEST(ReaderPolicy, AForcedNumberAndARotatingDiskStayAsTheyAreAndTheBoundIsSixtyFour) {
    ReaderPolicy forced({2, false, 5});
    EXPECT_EQ(Windows(forced, 3, milliseconds(0)), (std::vector<unsigned>{5, 5, 5}));
    EXPECT_EQ(forced.Maximum(), 5u);
    ReaderPolicy rotating({8, true, 0});
    EXPECT_EQ(Windows(rotating, 2, milliseconds(0)), (std::vector<unsigned>{1, 1}));
    ReaderPolicy many({16, false, 0});
    EXPECT_EQ(many.Maximum(), 64u);
    EXPECT_EQ(ReaderPolicy({0, false, 0}).Initial(), 1u);
}

TEST(ReaderPolicy, ThisThreadsTimesCountTheTimeItRuns) {
    ThreadTimes before = ThisThreadTimes();
    volatile unsigned spin = 0;
    while (std::chrono::steady_clock::now() - before.wall < milliseconds(30))
        spin = spin + 1;
    ThreadTimes after = ThisThreadTimes();
    if (after.running == before.running)
        GTEST_SKIP() << "this kernel does not count a thread's running time";
    EXPECT_GT(after.running + after.waiting - before.running - before.waiting, milliseconds(20));
}

}  // namespace
