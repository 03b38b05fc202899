// The default base folders, taken from Qt's XDG lookups and the running process.
#include "desktop/PlatformPaths.h"

#include <QStandardPaths>
#include <QString>
#include <system_error>

namespace {

std::filesystem::path Location(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    return std::filesystem::path(folder.toLocal8Bit().toStdString());
}

}  // namespace

PlatformPaths PlatformPaths::Defaults() {
    PlatformPaths paths;
    paths.configHome = Location(QStandardPaths::GenericConfigLocation);
    paths.userApplications = Location(QStandardPaths::ApplicationsLocation);
    paths.dataHome = Location(QStandardPaths::GenericDataLocation);
    paths.autostart = paths.configHome / "autostart";
    paths.allUsersApplications = "/usr/local/share/applications";
    paths.machineRoot = "/etc/Brimwell";
    std::error_code error;
    paths.programPath = std::filesystem::read_symlink("/proc/self/exe", error);
    return paths;
}

std::optional<std::filesystem::path> LocateStartMenu(const PlatformPaths& paths, bool create) {
    std::error_code error;
    if (!paths.allUsersApplications.empty() &&
        std::filesystem::is_directory(paths.allUsersApplications, error)) {
        return paths.allUsersApplications;
    }
    if (paths.userApplications.empty())
        return std::nullopt;
    if (create)
        std::filesystem::create_directories(paths.userApplications, error);
    return paths.userApplications;
}
