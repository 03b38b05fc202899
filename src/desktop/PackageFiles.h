// Which files the system's package manager installed: those belong to it and are removed
// by it, so the program's own uninstall leaves them alone.
#pragma once

#include <filesystem>
#include <string>

class PackageFiles {
  public:
    virtual ~PackageFiles() = default;
    // True when an installed package lists `path` (a file or a folder) among its files.
    virtual bool Owns(const std::filesystem::path& path) const = 0;
};

// Asks dpkg (`dpkg-query --search`). A path is owned when a package lists it as it stands,
// or lists a path of the same file name that is the same file on disk, as /bin/x is
// /usr/bin/x where /bin links to /usr/bin. Where dpkg-query cannot run, nothing is owned.
class DpkgPackageFiles : public PackageFiles {
  public:
    explicit DpkgPackageFiles(std::string program = "dpkg-query");
    bool Owns(const std::filesystem::path& path) const override;

  private:
    std::string program_;
};
