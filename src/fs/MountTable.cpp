// Reading /proc/self/mountinfo.
#include "fs/MountTable.h"

#include <sys/sysmacros.h>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string DecodeOctalEscapes(const std::string& field) {
    auto isOctal = [&](std::size_t k) { return field[k] >= '0' && field[k] <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(i + 1) && isOctal(i + 2) &&
            isOctal(i + 3)) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

}  // namespace

bool IsPseudoFileSystem(const std::string& type) {
    static const std::array<const char*, 16> kPseudo = {
        "proc",    "sysfs",     "devtmpfs",   "devpts",     "cgroup", "cgroup2",
        "tracefs", "debugfs",   "securityfs", "pstore",     "bpf",    "configfs",
        "mqueue",  "hugetlbfs", "fusectl",    "binfmt_misc"};
    if (type == "autofs")
        return true;
    for (const char* name : kPseudo) {
        if (type == name)
            return true;
    }
    return false;
}

std::vector<Mount> ParseMountInfo(const std::string& text) {
    std::vector<Mount> mounts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, majorMinor, root, mountPoint, field;
        if (!(fields >> id >> parent >> majorMinor >> root >> mountPoint))
            continue;
        while (fields >> field && field != "-") {
        }
        std::string type, source;
        if (!(fields >> type))
            continue;
        fields >> source;
        unsigned major = 0, minor = 0;
        if (std::sscanf(majorMinor.c_str(), "%u:%u", &major, &minor) != 2)
            continue;
        mounts.push_back({DecodeOctalEscapes(mountPoint), type, makedev(major, minor),
                          DecodeOctalEscapes(source), DecodeOctalEscapes(root)});
    }
    return mounts;
}

std::vector<Mount> ReadMountTable() {
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    return ParseMountInfo(text.str());
}
