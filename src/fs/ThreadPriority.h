// Scheduling hints for worker threads.
#pragma once

// Marks the calling thread, and every thread it starts afterwards, as a batch thread
// (SCHED_BATCH): it keeps its share of the processors against other programs, but does not
// preempt a thread that wakes up, so that a busy worker leaves the user-interface thread
// room to answer at once. (A higher nice value did that too, but let any other busy
// program starve the scan.) Failures are ignored.
void MakeThisThreadBackground();
