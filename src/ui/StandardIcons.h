// The desktop theme's folder and file icons, with the style's own when the theme has none,
// and a folder marked with a warning for a folder that could not be read.
#pragma once

#include <QIcon>

QIcon FolderIcon();
QIcon FileIcon();
QIcon UnreadableFolderIcon();
