// Thread scheduling through sched_setscheduler on the calling thread.
#include "fs/ThreadPriority.h"

#include <sched.h>

void MakeThisThreadBackground() {
    sched_param param{};
    ::sched_setscheduler(0, SCHED_BATCH, &param);  // 0: the calling thread
}
