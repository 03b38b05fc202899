// The temporary file of a scan file being written, removed when SIGINT, SIGTERM or SIGHUP
// ends the process, so that an interrupted scan leaves the old file and nothing beside it.
// The handler does nothing but unlink a name prepared beforehand (unlink is
// async-signal-safe) and then lets the signal end the process as it would have, whatever the
// scan is doing at that moment, even waiting on a hung mount.
#pragma once

#include <string>

namespace SignalCleanup {

// Installs the handler for those of the three signals that are not ignored (a program
// started by nohup keeps ignoring SIGHUP). Once, early in a program that writes scan files;
// without it, Watch and Forget change nothing.
void Install();
// The file the handler removes from now on: one at a time. A path longer than the system
// takes for a name is not watched.
void Watch(const std::string& path);
// The handler removes nothing any more.
void Forget();

}  // namespace SignalCleanup
