// A request to terminate from outside the window (SIGTERM from the session or a user's
// kill, SIGHUP when the terminal goes, SIGINT from Ctrl+C) handed to the event loop, so that
// the program closes as at Exit, with its placement saved and its scans stopped, instead
// of dying where it stands. A second request of the same kind ends the process at once, as
// a program that no longer answers expects to be ended, and removes the temporary files
// being written then (TemporaryFile), so that none is left behind.
#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

class TerminationSignals {
  public:
    // onRequest runs on the thread that owns the event loop, once per request. Only one
    // instance may live at a time.
    explicit TerminationSignals(std::function<void()> onRequest);
    ~TerminationSignals();  // the signals end the process again

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

  private:
    int wake_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
