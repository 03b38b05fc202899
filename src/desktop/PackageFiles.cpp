// Reading dpkg's lists of installed files.
#include "desktop/PackageFiles.h"

#include <fstream>
#include <string>
#include <system_error>

DpkgPackageFiles::DpkgPackageFiles(std::filesystem::path infoFolder)
    : infoFolder_(std::move(infoFolder)) {}

bool DpkgPackageFiles::Owns(const std::filesystem::path& path) const {
    const std::string wanted = path.lexically_normal().string();
    const std::string name = path.filename().string();
    if (name.empty() || !path.is_absolute())
        return false;
    std::error_code error;
    for (std::filesystem::directory_iterator it(infoFolder_, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().extension() != ".list")
            continue;
        std::ifstream list(it->path());
        for (std::string line; std::getline(list, line);) {
            if (line == wanted)
                return true;
            // Another spelling of the same file: only lines of the same file name are
            // looked up on disk.
            std::error_code missing;
            if (line.size() > name.size() && line.ends_with(name) &&
                line[line.size() - name.size() - 1] == '/' &&
                std::filesystem::equivalent(line, path, missing))
                return true;
        }
    }
    return false;
}
