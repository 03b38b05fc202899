// Restart-time deletion on Linux: the restart-instruction file "Wininit.ini" in the user's
// Brimwell config folder, and an XDG autostart entry that carries out its deletions at the
// user's next login, in file order, clears them and then removes itself.
#pragma once

#include <filesystem>

#include "desktop/PlatformPaths.h"

class PendingDeletions {
  public:
    explicit PendingDeletions(const PlatformPaths& paths);

    // <config>/Brimwell/Wininit.ini: "[rename]" sections whose "NUL=path" lines name the
    // paths to delete.
    std::filesystem::path InstructionFile() const;
    // <autostart>/brimwell-pending-deletions.desktop
    std::filesystem::path RunnerEntry() const;

    // Writes the autostart entry. At login it runs /bin/sh with a fixed script; the two
    // file paths are passed as arguments, never spliced into the script, and the paths
    // from the file are only ever quoted expansions, so blanks, quotes and "$" are safe.
    // The script acts on "NUL=" lines of "[rename]" sections only, and only on absolute
    // paths: a folder is removed only when empty (rmdir), anything else with rm -f (a
    // symbolic link itself, never its target). It then writes the file back without those
    // lines, or deletes it when nothing else is left, and deletes the entry.
    // False when the entry cannot be written.
    bool InstallRunner() const;

  private:
    PlatformPaths paths_;
};
