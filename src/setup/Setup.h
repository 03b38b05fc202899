// Self-install where the program lies: desktop entries for the start menu and the program
// group "Brimwell" (standing in for shell links), and the uninstall entry in the machine
// root of the registry; and taking them away again. Nothing is copied, no failure is
// reported: each failure ends only its own step.
#pragma once

#include <filesystem>
#include <string>

#include "desktop/PlatformPaths.h"
#include "desktop/Registry.h"

class Setup {
  public:
    explicit Setup(const PlatformPaths& paths);

    // RemoveShortcuts() when `remove` is true, else InstallShortcuts().
    void Run(bool remove);
    // "Brimwell.desktop" for the running program in the start menu, then the program group.
    void InstallShortcuts();
    // The folder "Brimwell" in the start menu with "Brimwell.desktop" and
    // "UninstallMe.desktop" (argument "-U"), both starting the file "brimwell" in
    // `programFolder`, whatever the running file is called.
    void CreateProgramGroup(const std::filesystem::path& programFolder);
    // Writes one desktop entry: Name is the shortcut file's base name, Comment the
    // description, Exec the target followed by `arguments` split at blanks. Not written
    // when the target is not an absolute path.
    void SaveShortcut(const std::filesystem::path& target, const std::string& description,
                      const std::filesystem::path& shortcutFile, const std::string& arguments);
    // Deletes the start menu's "Brimwell.desktop", then the program group.
    void RemoveShortcuts();
    // Deletes the group's two entries, then the group folder if nothing else is left in it.
    void RemoveProgramGroup();
    // Key "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Brimwell" in the machine
    // root with "UninstallString" (program path and " -U") and "DisplayName" ("Brimwell").
    void WriteUninstallEntry();
    void DeleteUninstallEntry();

  private:
    PlatformPaths paths_;
    Registry registry_;
};
