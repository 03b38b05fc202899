// The signal handler only writes the signal's number into a pipe (all it may safely do);
// the event loop reads it through a socket notifier and runs the request there. A second
// signal of a kind removes the temporary files being written, then ends the process.
#include "desktop/TerminationSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "desktop/TemporaryFile.h"

namespace {

constexpr std::array kTerminationSignals{SIGTERM, SIGHUP, SIGINT};
int wakeWriteEnd = -1;
// Whether a signal of each kind has been asked for already, by its index above.
volatile sig_atomic_t requested[kTerminationSignals.size()] = {};

std::size_t IndexOf(int number) {
    for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
        if (kTerminationSignals[i] == number)
            return i;
    }
    return 0;
}

void SetAction(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(number, &action, nullptr);
}

void OnTerminationSignal(int number) {
    const int savedErrno = errno;
    volatile sig_atomic_t& asked = requested[IndexOf(number)];
    if (!asked) {
        asked = 1;
        const char byte = static_cast<char>(number);
        [[maybe_unused]] ssize_t written = write(wakeWriteEnd, &byte, 1);
    } else {
        // The program did not end when asked: it ends now, as the signal ends a program,
        // without a half-written temporary file (the settings being saved, say) left behind.
        RemoveRegisteredTemporaryFiles();
        SetAction(number, SIG_DFL);
        raise(number);  // delivered as this handler returns
    }
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
    for (volatile sig_atomic_t& asked : requested)
        asked = 0;
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
