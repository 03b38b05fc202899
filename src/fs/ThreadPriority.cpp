// Thread priority through setpriority on the calling thread's id.
#include "fs/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

void MakeThisThreadBackground() {
    auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, nice + 5);
}
