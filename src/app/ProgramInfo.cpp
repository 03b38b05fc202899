// The texts of --help and --version. docs/man/brimwell.1 describes the same switches at
// length; keep the two in step.
#include "app/ProgramInfo.h"

namespace {

constexpr const char* kUsage =
    "Usage: brimwell [FOLDER]\n"
    "       brimwell -f FILE [-f FILE]...\n"
    "       brimwell -R | -I | -U\n"
    "       brimwell --help | --version\n"
    "Shows in a window how much disk space every folder takes.\n"
    "  FOLDER     open the window and scan FOLDER at once\n"
    "  -f FILE    open the window and read FILE, a scan in ncdu's JSON export format\n"
    "             (from brimwell-report -o, ncdu -o or gdu -o; plain or gzip); several\n"
    "             -f FILE are grafted into one root (shards of one scan, say)\n"
    "  (nothing)  open the window, and offer \"Brimwell\" on the file manager's menu for\n"
    "             every folder\n"
    "  -I         the same as starting without arguments\n"
    "  -R         add Brimwell to the applications menu, take \"Brimwell\" off the folders'\n"
    "             menu, and open the window\n"
    "  -U         uninstall after asking: remove the menu entries, the folders' menu\n"
    "             command and the uninstall entry, and delete the program file and its\n"
    "             folder at the next login (files a package owns are left to the package\n"
    "             manager)\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "A switch counts only as the whole command line (-f with its FILEs); any other text\n"
    "names a folder.\n";

}  // namespace

std::optional<std::string> InformationRequested(const std::string& commandLine) {
    if (commandLine == "--help")
        return kUsage;
    if (commandLine == "--version")
        return std::string("brimwell ") + BRIMWELL_VERSION + "\n";
    return std::nullopt;
}
