// Moving files and folders to the desktop's trash as the freedesktop.org Trash standard lays
// it out, so that the desktop's trash lists them and can put them back: the home trash
// for the home file system, $topdir/.Trash/$uid or $topdir/.Trash-$uid at the top of any
// other. Nothing is ever deleted: what cannot be renamed into a trash stays where it is.
//
// Qt's QFile::moveToTrash (6.4) is not used: it writes the info file only after the move
// (a failure then leaves an entry the desktop cannot put back), does not percent-encode
// Path=, writes absolute paths into the trashes of other file systems, keeps no
// directorysizes, and, when ~/.local/share does not exist, moves into ./files of the working
// folder and reports success.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

struct TrashOutcome {
    bool moved = false;
    std::string trashedAs;  // the entry's path in the trash's files folder
    std::string reason;     // why it was not moved
};

class FreedesktopTrash {
  public:
    // dataHome: the user's data folder ($XDG_DATA_HOME, ~/.local/share), which holds the home
    // trash; uid: whose trash folders to use at the top of other file systems.
    explicit FreedesktopTrash(std::filesystem::path dataHome, uid_t uid = ::getuid());

    // Moves path (absolute; a file, a link or a folder, not a mount point) into the trash of
    // its file system. folderSizeOnDisk is recorded in the trash's directorysizes when path
    // is a folder (the desktop then need not measure it).
    TrashOutcome Move(const std::string& path, std::uint64_t folderSizeOnDisk) const;

  private:
    std::filesystem::path dataHome_;
    uid_t uid_;
};

// The parts of a trash's files, kept apart for tests.
namespace TrashText {

// Every byte but letters, digits, "-._~" and "/" as %XX, as in the path of a URI.
std::string PercentEncoded(std::string_view path);
// The info file of an entry: its original path (absolute, or relative to the top of its
// file system for a trash there) and when it was trashed, in local time.
std::string Info(std::string_view originalPath, std::time_t deletedAt);

}  // namespace TrashText
