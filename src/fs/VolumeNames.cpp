// Reading /dev/disk/by-label and naming mount points after the labels of their devices.
#include "fs/VolumeNames.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// udev writes a blank, a "/" and other unsafe bytes of a label as "\xHH".
std::string DecodeHexEscapes(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            int high = HexDigit(name[i + 2]), low = HexDigit(name[i + 3]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        out += name[i];
    }
    return out;
}

// The canonical form of path, or path itself when it cannot be resolved.
std::string Canonical(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                         &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

const VolumeLabel* LabelOf(const Mount& mount, const std::vector<VolumeLabel>& labels) {
    for (const VolumeLabel& label : labels) {
        if (label.device == mount.device || label.path == mount.source)
            return &label;
    }
    return nullptr;
}

}  // namespace

std::vector<VolumeLabel> ReadVolumeLabels(const std::string& folder) {
    std::vector<VolumeLabel> labels;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return labels;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        const std::string link = folder + "/" + name;
        struct stat target {};
        if (name == "." || name == ".." || ::stat(link.c_str(), &target) != 0 ||
            !S_ISBLK(target.st_mode))
            continue;
        labels.push_back({DecodeHexEscapes(name), target.st_rdev, Canonical(link)});
    }
    return labels;
}

std::map<std::string, std::string> MountDisplayNames(const std::vector<Mount>& mounts,
                                                     const std::vector<VolumeLabel>& labels) {
    std::map<std::string, std::string> names;
    for (const Mount& mount : mounts) {
        if (IsPseudoFileSystem(mount.type) || mount.mountPoint.empty())
            continue;
        const VolumeLabel* label = LabelOf(mount, labels);
        names[mount.mountPoint] =
            label ? label->label + " (" + mount.mountPoint + ")" : mount.mountPoint;
    }
    return names;
}

std::map<std::string, std::string> ReadMountDisplayNames() {
    std::vector<Mount> mounts = ReadMountTable();
    for (Mount& mount : mounts) {
        if (mount.source.rfind("/dev/", 0) == 0)
            mount.source = Canonical(mount.source);
    }
    return MountDisplayNames(mounts, ReadVolumeLabels());
}
