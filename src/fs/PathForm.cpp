// Long path forms through std::filesystem, without resolving symbolic links.
#include "fs/PathForm.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

std::string LongPathForm(const std::string& path) {
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        return path;
    std::string form = absolute.lexically_normal().string();
    while (form.size() > 1 && form.back() == '/')
        form.pop_back();
    return form;
}
