// The uninstall sequence and the "Wininit.ini" lines that delete the program at login.
#include "setup/Uninstaller.h"

#include <string>
#include <string_view>
#include <vector>

#include "desktop/AtomicFile.h"
#include "desktop/PendingDeletions.h"
#include "setup/Setup.h"

namespace {

constexpr std::size_t kHeaderSearchBytes = 10000;
constexpr std::string_view kHeader = "[rename]";

// Only a path that names exactly one file when read back from its line may be scheduled.
bool Schedulable(const std::string& path) {
    return !path.empty() && path.front() == '/' && path != "/" &&
           path.find_first_of("\r\n") == std::string::npos;
}

}  // namespace

Uninstaller::Uninstaller(const PlatformPaths& paths, Dialogs& dialogs, const PackageFiles& packages)
    : paths_(paths), dialogs_(dialogs), packages_(packages) {}

void Uninstaller::Run() {
    Setup setup(paths_);
    setup.DeleteUninstallEntry();
    setup.Run(true);
    ScheduleDeletion(paths_.programPath);
    dialogs_.ShowMessage("Brimwell", "You must restart your machine to complete the uninstall");
}

bool Uninstaller::ScheduleDeletion(const std::filesystem::path& programPath) {
    // The short (8.3) form of a path is the path itself here.
    const std::string file = programPath.string();
    const std::string folder = file.substr(0, file.rfind('/'));
    std::vector<std::string> lines;
    if (!Schedulable(file))
        return false;
    if (!packages_.Owns(file))
        lines.push_back("NUL=" + file + "\r\n");
    if (Schedulable(folder) && !packages_.Owns(folder))
        lines.push_back("NUL=" + folder + "\r\n");
    if (lines.empty())
        return false;

    PendingDeletions pending(paths_);
    bool written = UpdateFile(pending.InstructionFile(), [&](std::string_view current) {
        std::string next(current);
        if (!next.empty() && next.back() != '\n')
            next += "\r\n";  // never join a line
        if (current.substr(0, kHeaderSearchBytes).find(kHeader) == std::string_view::npos) {
            next += std::string(kHeader) + "\r\n";
        }
        for (const std::string& line : lines)
            next += line;
        return std::optional<std::string>(next);
    });
    return written && pending.InstallRunner();
}
