// Theme icons through QFileIconProvider, falling back to the widget style's icons.
#include "ui/StandardIcons.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QStyle>

namespace {

QIcon ThemeIcon(QAbstractFileIconProvider::IconType type, QStyle::StandardPixmap fallback) {
    QIcon icon = QFileIconProvider().icon(type);
    return icon.isNull() ? QApplication::style()->standardIcon(fallback) : icon;
}

}  // namespace

QIcon FolderIcon() {
    return ThemeIcon(QAbstractFileIconProvider::Folder, QStyle::SP_DirIcon);
}

QIcon FileIcon() {
    return ThemeIcon(QAbstractFileIconProvider::File, QStyle::SP_FileIcon);
}
