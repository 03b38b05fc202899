// The desktop's own folders and services, through Qt: the Desktop and documents folders,
// the mount roots, opening the file manager on a folder, and the folder chooser.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "scan/RootList.h"

class QUrl;
class QWidget;

// The Desktop and documents folders (XDG user folders), each created when it is missing,
// "/" and the mounts the user's file manager shows.
DefaultFolders ReadDefaultFolders();

// The file: URL of an absolute path, with every byte other than letters, digits, "-", ".",
// "_", "~" and "/" percent-encoded as it is, so that a name that is not valid UTF-8 names
// the same file at the other end.
QUrl FileUrl(const std::string& path);

// Asks the desktop to open its file manager on folder (an absolute path); false when no
// program to open it with could be started.
bool OpenInFileManager(const std::string& folder);

// The platform's folder chooser, owned by owner (may be null): the chosen folder, or
// nothing when cancelled.
std::optional<std::string> ChooseFolder(QWidget* owner);
// The file chooser for scan files (ncdu's JSON exports, plain or gzip): the files chosen,
// none when cancelled.
std::vector<std::string> ChooseScanFiles(QWidget* owner);
