// A fixed buffer and a flag: the handler reads them without taking a lock or allocating.
#include "scanfile/SignalCleanup.h"

#include <unistd.h>
#include <climits>
#include <csignal>
#include <cstring>

#include <atomic>

namespace {

char watched[PATH_MAX];
std::atomic<bool> armed{false};

extern "C" void RemoveAndEnd(int number) {
    if (armed.load())
        ::unlink(watched);
    // SA_RESETHAND has put the default action back: the signal, blocked while this runs,
    // ends the process as soon as the handler returns.
    ::raise(number);
}

}  // namespace

namespace SignalCleanup {

void Install() {
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old {};
        if (::sigaction(number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(number, &action, nullptr);
    }
}

void Watch(const std::string& path) {
    armed.store(false);
    if (path.size() >= sizeof watched)
        return;
    std::memcpy(watched, path.c_str(), path.size() + 1);
    armed.store(true);
}

void Forget() {
    armed.store(false);
}

}  // namespace SignalCleanup
