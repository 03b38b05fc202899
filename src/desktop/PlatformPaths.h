// Every base folder the settings, registry and setup code touches, gathered in one value so
// that the program uses the user's XDG folders and tests use a temporary folder instead.
#pragma once

#include <filesystem>
#include <optional>

struct PlatformPaths {
    // The user's config folder (~/.config). A bare profile name such as "Brimwell.ini"
    // resolves here; it plays the part of the Windows folder for profile files.
    std::filesystem::path configHome;
    // The user's applications folder (~/.local/share/applications): per-user start menu
    // and Programs folder, and where folder verbs become desktop entries.
    std::filesystem::path userApplications;
    // The user's autostart folder (~/.config/autostart).
    std::filesystem::path autostart;
    // The all-users start menu and Programs folder; located only when it exists.
    std::filesystem::path allUsersApplications;
    // Holds the machine root of the registry; only an administrator can write it.
    std::filesystem::path machineRoot;
    // The running program file (the stand-in for GetModuleFileNameA).
    std::filesystem::path programPath;
    // The user's data folder (~/.local/share, $XDG_DATA_HOME), which holds the home trash.
    std::filesystem::path dataHome;

    // ~/.config/Brimwell: the user and classes roots of the registry and "Wininit.ini".
    std::filesystem::path BrimwellConfig() const { return configHome / "Brimwell"; }

    // The real folders of this user and process: Qt's XDG lookups, the fixed system
    // folders /usr/local/share/applications and /etc/Brimwell, and /proc/self/exe.
    static PlatformPaths Defaults();
};

// The start menu (and Programs folder) that shortcuts go to: the all-users folder when it
// exists as a folder, otherwise the per-user folder, which is created when `create` is
// true. Empty when neither can be located.
std::optional<std::filesystem::path> LocateStartMenu(const PlatformPaths& paths, bool create);
