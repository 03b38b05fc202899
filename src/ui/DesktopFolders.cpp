// Desktop services through QStandardPaths, QDesktopServices and QFileDialog.
#include "ui/DesktopFolders.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

#include "fs/MountTable.h"

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

DefaultFolders ReadDefaultFolders() {
    DefaultFolders folders;
    folders.desktop = LocalPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    folders.documents =
        LocalPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    folders.mountRoots = RealMountRoots(ReadMountTable());
    return folders;
}

void OpenInFileManager(const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(folder.c_str())));
}

std::optional<std::string> ChooseFolder(QWidget* owner) {
    QString folder = QFileDialog::getExistingDirectory(owner);
    if (folder.isEmpty())
        return std::nullopt;
    return LocalPath(folder);
}
