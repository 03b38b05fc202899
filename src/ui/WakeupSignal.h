// A wake-up signal one thread raises and another thread's event loop watches: an eventfd.
// Raising it touches no memory the other thread reads, so the hand-over between the
// threads is carried entirely by the data structures that need it (and their locks).
#pragma once

class WakeupSignal {
  public:
    WakeupSignal();
    ~WakeupSignal();
    WakeupSignal(const WakeupSignal&) = delete;
    WakeupSignal& operator=(const WakeupSignal&) = delete;

    // From any thread: makes Descriptor() readable until Clear().
    void Raise();
    // Makes Descriptor() unreadable again.
    void Clear();
    // The descriptor to watch for reading; -1 if none could be made.
    int Descriptor() const { return fd_; }

  private:
    int fd_;
};
