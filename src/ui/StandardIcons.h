// The desktop theme's folder and file icons, with the style's own when the theme has none.
#pragma once

#include <QIcon>

QIcon FolderIcon();
QIcon FileIcon();
