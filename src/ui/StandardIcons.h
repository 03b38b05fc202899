// The desktop theme's folder and file icons, with the style's own when the theme has none, a
// folder marked with a warning for a folder that could not be read, and one marked with a
// drive for a mount point that a scan did not enter.
#pragma once

#include <QIcon>

QIcon FolderIcon();
QIcon FileIcon();
QIcon UnreadableFolderIcon();
QIcon MountPointIcon();
