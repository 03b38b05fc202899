// The signal handler only writes the signal's number into a pipe (all it may safely do);
// the event loop reads it through a socket notifier and runs the request there.
#include "desktop/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace {

constexpr std::array kTerminationSignals{SIGTERM, SIGHUP, SIGINT};
int wakeWriteEnd = -1;

void SetAction(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

void OnTerminationSignal(int number) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] ssize_t written = write(wakeWriteEnd, &byte, 1);
    SetAction(number, SIG_DFL);  // the next one of this kind is not asked twice
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onRequest) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // without a pipe the signals keep ending the process
    wakeWriteEnd = wake_[1];
    notifier_ = std::make_unique<QSocketNotifier>(wake_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this, onRequest = std::move(onRequest)] {
                         char bytes[16];
                         while (read(wake_[0], bytes, sizeof bytes) > 0) {
                         }
                         onRequest();
                     });
    for (int number : kTerminationSignals)
        SetAction(number, OnTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_)
        return;
    for (int number : kTerminationSignals)
        SetAction(number, SIG_DFL);
    notifier_.reset();
    wakeWriteEnd = -1;
    close(wake_[0]);
    close(wake_[1]);
}
