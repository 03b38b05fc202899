// Asking dpkg-query which package owns a path, without a shell.
#include "desktop/PackageFiles.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

extern char** environ;

namespace {

// `text` as a dpkg-query search pattern that matches exactly it: a pattern holding none of
// * [ ? \ is looked up as a literal path, and in any other the backslash escapes them.
std::string Literal(const std::string& text) {
    std::string pattern;
    for (char c : text) {
        if (c == '*' || c == '[' || c == '?' || c == '\\')
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

// The standard output of `program --search pattern`, or nothing when the program could not
// run or found nothing. Its standard input and error are /dev/null.
std::optional<std::string> Search(const std::string& program, const std::string& pattern) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string search = "--search";
    std::vector<char*> argv{const_cast<char*>(program.c_str()), search.data(),
                            const_cast<char*>(pattern.c_str()), nullptr};
    pid_t child = 0;
    int spawned = ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);

    std::string output;
    char buffer[65536];
    for (ssize_t got; spawned == 0 && (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0)
            output.append(buffer, static_cast<size_t>(got));
        else if (errno != EINTR)
            break;
    }
    ::close(pipeFds[0]);
    if (spawned != 0)
        return std::nullopt;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return output;
}

}  // namespace

DpkgPackageFiles::DpkgPackageFiles(std::string program) : program_(std::move(program)) {}

bool DpkgPackageFiles::Owns(const std::filesystem::path& path) const {
    const std::string name = path.filename().string();
    if (!path.is_absolute() || name.empty())
        return false;
    if (Search(program_, Literal(path.lexically_normal().string())))
        return true;
    // Another spelling of the same file: every listed path of that file name, one a line
    // after "package[, package...]: ", looked up on disk.
    auto listed = Search(program_, "*/" + Literal(name));
    std::istringstream lines(listed.value_or(""));
    for (std::string line; std::getline(lines, line);) {
        std::size_t colon = line.find(": /");
        std::error_code error;
        if (colon != std::string::npos &&
            std::filesystem::equivalent(line.substr(colon + 2), path, error))
            return true;
    }
    return false;
}
