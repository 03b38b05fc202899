// The desktop's own folders and services, through Qt: the Desktop and documents folders,
// the mount roots, opening the file manager on a folder, and the folder chooser.
#pragma once

#include <optional>
#include <string>

#include "scan/RootList.h"

class QWidget;

// The Desktop and documents folders (XDG user folders) and the real mount roots.
DefaultFolders ReadDefaultFolders();

// Asks the desktop to open its file manager on folder; failures are not reported.
void OpenInFileManager(const std::string& folder);

// The platform's folder chooser, owned by owner (may be null): the chosen folder, or
// nothing when cancelled.
std::optional<std::string> ChooseFolder(QWidget* owner);
