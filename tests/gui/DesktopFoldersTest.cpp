// The desktop's own folders and the file manager: the user folders a first run creates,
// and the URL that hands a folder to the file manager byte for byte.
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fstream>

#include "GuiTestSupport.h"
#include "ui/DesktopFolders.h"

class DesktopFoldersTest : public QObject {
    Q_OBJECT

  private slots:
    // A name that is not UTF-8, and characters that would start a query or a fragment:
    // undoing the percent-encoding gives back the path's bytes.
    void fileUrlKeepsEveryByteOfThePath() {
        const std::string path = "/tmp/caf\xe9 50% #1?/\xff\xfe \xc3\xa9t\xc3\xa9";
        const QUrl url = FileUrl(path);
        QVERIFY(url.isValid() && url.isLocalFile());
        QVERIFY(!url.hasQuery() && !url.hasFragment());
        const QByteArray encoded = url.toEncoded();
        QVERIFY2(encoded.startsWith("file:///tmp/caf%E9%2050%25%20%231%3F/%FF%FE%20"),
                 encoded.constData());
        QCOMPARE(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()),
                 QByteArray::fromStdString(path));
    }

    // A first run in a new home: the Desktop the user-dirs file names and the documents
    // folder exist afterwards.
    void missingUserFoldersAreCreated() {
        QTemporaryDir home;
        const QString config = home.filePath(QStringLiteral(".config"));
        QVERIFY(QDir().mkpath(config));
        std::ofstream(QString(config + "/user-dirs.dirs").toStdString())
            << "XDG_DESKTOP_DIR=\"$HOME/My Desk\"\n";
        test::ScopedEnvironment homeVariable("HOME", QFile::encodeName(home.path()));
        test::ScopedEnvironment configVariable("XDG_CONFIG_HOME", QFile::encodeName(config));

        const DefaultFolders folders = ReadDefaultFolders();
        QCOMPARE(folders.desktop, home.filePath(QStringLiteral("My Desk")).toStdString());
        QCOMPARE(folders.documents, home.filePath(QStringLiteral("Documents")).toStdString());
        QVERIFY(QFileInfo(QString::fromStdString(folders.desktop)).isDir());
        QVERIFY(QFileInfo(QString::fromStdString(folders.documents)).isDir());
        QCOMPARE(folders.mountRoots.front(), std::string("/"));
    }
};

QTEST_MAIN(DesktopFoldersTest)
#include "DesktopFoldersTest.moc"
