// Uninstall: the uninstall entry and the shortcuts go at once; the program file and its
// folder are deleted at the user's next login through the restart-instruction file, unless
// a package owns them: those are left for the package manager to remove. The settings are
// left alone.
#pragma once

#include <filesystem>

#include "desktop/Dialogs.h"
#include "desktop/PackageFiles.h"
#include "desktop/PlatformPaths.h"

class Uninstaller {
  public:
    // `dialogs` shows the final message; `packages` tells which files a package owns. Both
    // must outlive this object.
    Uninstaller(const PlatformPaths& paths, Dialogs& dialogs, const PackageFiles& packages);

    // Deletes the uninstall entry and the shortcuts, schedules the deletion of the running
    // program file and its folder, and tells the user to restart. Nothing stops the
    // sequence; the message is shown in every case.
    void Run();

    // Adds to "Wininit.ini": "[rename]" when the first 10000 bytes do not already hold it
    // (exact case), then "NUL=" lines for the program file and for its folder, each ended
    // by CR LF, and installs the login-time runner. The file is replaced atomically. A path
    // that is not absolute or holds a line break is not written, because the line could
    // then name some other file; a folder of "/" is never scheduled. Nor is a path that a
    // package owns: removing the package removes it (the program file and /usr/bin, say,
    // when the program came from a package). False when nothing could be scheduled.
    bool ScheduleDeletion(const std::filesystem::path& programPath);

  private:
    PlatformPaths paths_;
    Dialogs& dialogs_;
    const PackageFiles& packages_;
};
