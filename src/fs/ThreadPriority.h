// Scheduling hints for worker threads.
#pragma once

// Lowers the calling thread's scheduling priority a little (its nice value goes up by 5),
// and with it that of every thread it starts afterwards, so that a busy worker leaves the
// user-interface thread room to answer at once. Failures are ignored.
void MakeThisThreadBackground();
