// Which files the system's package manager installed: those belong to it and are removed
// by it, so the program's own uninstall leaves them alone.
#pragma once

#include <filesystem>

class PackageFiles {
  public:
    virtual ~PackageFiles() = default;
    // True when an installed package lists `path` (a file or a folder) among its files.
    virtual bool Owns(const std::filesystem::path& path) const = 0;
};

// dpkg's record of installed files: one "<package>.list" file per package in
// /var/lib/dpkg/info, one absolute path a line. A path is owned when a list names it as it
// stands, or names a path of the same file name that is the same file on disk, as /bin/x
// is /usr/bin/x where /bin links to /usr/bin. Without the folder (no dpkg), nothing is owned.
class DpkgPackageFiles : public PackageFiles {
  public:
    explicit DpkgPackageFiles(std::filesystem::path infoFolder = "/var/lib/dpkg/info");
    bool Owns(const std::filesystem::path& path) const override;

  private:
    std::filesystem::path infoFolder_;
};
