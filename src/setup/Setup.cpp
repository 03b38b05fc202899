// Start-menu desktop entries and the uninstall entry.
#include "setup/Setup.h"

#include <system_error>
#include <vector>

#include "desktop/DesktopEntry.h"

namespace {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brimwell";
constexpr const char* kGroupName = "Brimwell";
constexpr const char* kGroupTarget = "brimwell";  // the program file's own name

}  // namespace

Setup::Setup(const PlatformPaths& paths) : paths_(paths), registry_(paths) {}

void Setup::Run(bool remove) {
    if (remove) {
        RemoveShortcuts();
    } else {
        InstallShortcuts();
    }
}

void Setup::InstallShortcuts() {
    if (auto startMenu = LocateStartMenu(paths_, true)) {
        SaveShortcut(paths_.programPath, "Brimwell", *startMenu / "Brimwell.desktop", "");
    }
    CreateProgramGroup(paths_.programPath.parent_path());
}

void Setup::CreateProgramGroup(const std::filesystem::path& programFolder) {
    auto programs = LocateStartMenu(paths_, true);
    if (!programs)
        return;
    const std::filesystem::path group = *programs / kGroupName;
    std::error_code error;
    std::filesystem::create_directory(group, error);
    const std::filesystem::path target = programFolder / kGroupTarget;
    SaveShortcut(target, "Brimwell", group / "Brimwell.desktop", "");
    SaveShortcut(target, "UninstallMe", group / "UninstallMe.desktop", "-U");
}

void Setup::SaveShortcut(const std::filesystem::path& target, const std::string& description,
                         const std::filesystem::path& shortcutFile, const std::string& arguments) {
    if (!target.is_absolute())
        return;
    std::vector<ExecArgument> exec{{target.string()}};
    size_t start = 0;
    while (start < arguments.size()) {
        size_t end = arguments.find(' ', start);
        if (end == std::string::npos)
            end = arguments.size();
        if (end > start)
            exec.push_back({arguments.substr(start, end - start)});
        start = end + 1;
    }
    DesktopEntry entry;
    entry.Set("Type", "Application");
    entry.Set("Name", shortcutFile.stem().string());
    entry.Set("Comment", description);
    entry.Set("Exec", FormatExec(exec));
    WriteDesktopEntry(shortcutFile, entry);
}

void Setup::RemoveShortcuts() {
    if (auto startMenu = LocateStartMenu(paths_, false)) {
        std::error_code error;
        std::filesystem::remove(*startMenu / "Brimwell.desktop", error);
    }
    RemoveProgramGroup();
}

void Setup::RemoveProgramGroup() {
    auto programs = LocateStartMenu(paths_, false);
    if (!programs)
        return;
    const std::filesystem::path group = *programs / kGroupName;
    std::error_code error;
    std::filesystem::remove(group / "Brimwell.desktop", error);
    std::filesystem::remove(group / "UninstallMe.desktop", error);
    std::filesystem::remove(group, error);  // only an empty folder goes
}

void Setup::WriteUninstallEntry() {
    if (!registry_.CreateKey(RegistryRoot::Machine, kUninstallKey))
        return;
    registry_.SetValue(RegistryRoot::Machine, kUninstallKey, "UninstallString",
                       paths_.programPath.string() + " -U");
    registry_.SetValue(RegistryRoot::Machine, kUninstallKey, "DisplayName", "Brimwell");
}

void Setup::DeleteUninstallEntry() {
    registry_.DeleteKey(RegistryRoot::Machine, kUninstallKey);
}
