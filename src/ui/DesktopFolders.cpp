// Desktop services through QStandardPaths, QDesktopServices and QFileDialog.
#include "ui/DesktopFolders.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QUrl>

#include "fs/MountTable.h"
#include "fs/UserMounts.h"

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The user folder at location, created when it is missing, as the special-folder query it
// stands in for does; empty when the platform names none.
std::string UserFolder(QStandardPaths::StandardLocation location) {
    const QString folder = QStandardPaths::writableLocation(location);
    if (!folder.isEmpty())
        QDir().mkpath(folder);
    return LocalPath(folder);
}

}  // namespace

DefaultFolders ReadDefaultFolders() {
    DefaultFolders folders;
    folders.desktop = UserFolder(QStandardPaths::DesktopLocation);
    folders.documents = UserFolder(QStandardPaths::DocumentsLocation);
    const QByteArray home = QFile::encodeName(QDir::homePath());
    folders.mountRoots = UserMountRoots(ReadMountTable(), ThisUser(home.toStdString()));
    return folders;
}

QUrl FileUrl(const std::string& path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

bool OpenInFileManager(const std::string& folder) {
    // A path decoded to text would lose the bytes of a name that is not valid UTF-8.
    return QDesktopServices::openUrl(FileUrl(folder));
}

std::vector<std::string> ChooseScanFiles(QWidget* owner) {
    QStringList files = QFileDialog::getOpenFileNames(
        owner, QStringLiteral("Open Scan File"), QString(),
        QStringLiteral("Scan files (*.json *.json.gz *.gz);;All files (*)"));
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(LocalPath(file));
    return paths;
}

std::optional<std::string> ChooseFolder(QWidget* owner) {
    QString folder = QFileDialog::getExistingDirectory(owner);
    if (folder.isEmpty())
        return std::nullopt;
    return LocalPath(folder);
}
