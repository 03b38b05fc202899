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

}  // namespace

QIcon FolderIcon() {
    return ThemeIcon(QAbstractFileIconProvider::Folder, QStyle::SP_DirIcon);
}

QIcon FileIcon() {
    return ThemeIcon(QAbstractFileIconProvider::File, QStyle::SP_FileIcon);
}

QIcon UnreadableFolderIcon() {
    const QIcon folder = FolderIcon();
    const QIcon warning =
        QIcon::fromTheme(QStringLiteral("dialog-warning"),
                         QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap = folder.pixmap(size, size);
        QPainter painter(&pixmap);
        const int emblem = size * 5 / 8;  // the lower right corner, as file managers mark
        painter.drawPixmap(size - emblem, size - emblem, warning.pixmap(emblem, emblem));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
