// Theme icons through QFileIconProvider, falling back to the widget style's icons.
#include "ui/StandardIcons.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

QIcon ThemeIcon(QAbstractFileIconProvider::IconType type, QStyle::StandardPixmap fallback) {
    QIcon icon = QFileIconProvider().icon(type);
    return icon.isNull() ? QApplication::style()->standardIcon(fallback) : icon;
}

// The folder icon with the theme's icon `emblem` (or the style's `fallback`) in its lower
// right corner, as file managers mark folders.
QIcon FolderWithEmblem(const QString& emblem, QStyle::StandardPixmap fallback) {
    const QIcon folder = FolderIcon();
    const QIcon mark = QIcon::fromTheme(emblem, QApplication::style()->standardIcon(fallback));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap = folder.pixmap(size, size);
        QPainter painter(&pixmap);
        const int side = size * 5 / 8;
        painter.drawPixmap(size - side, size - side, mark.pixmap(side, side));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QIcon FolderIcon() {
    return ThemeIcon(QAbstractFileIconProvider::Folder, QStyle::SP_DirIcon);
}

QIcon FileIcon() {
    return ThemeIcon(QAbstractFileIconProvider::File, QStyle::SP_FileIcon);
}

QIcon UnreadableFolderIcon() {
    return FolderWithEmblem(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning);
}

QIcon MountPointIcon() {
    return FolderWithEmblem(QStringLiteral("drive-harddisk"), QStyle::SP_DriveHDIcon);
}
