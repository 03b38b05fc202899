// Text export and printing: the report file is the engine's report or nothing at all, and
// a printed page of the panel reaches a PDF file.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

#include "PanelTrees.h"
#include "SmallFileSystem.h"
#include "panel/ReportExport.h"
#include "panel/ReportPrint.h"
#include "report/ReportText.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QByteArray EngineReport(const ItemStore& store) {
    std::ostringstream out;
    ReportText::WriteReport(store, out);
    return QByteArray::fromStdString(out.str());
}

// A selected root with three children and, for a long page, many more.
struct ReportTree {
    ItemStore store;
    TreeItem root = AddFolder(store, TreeItem::None, "/home/ada/100% pictures", 1572864, 3, 12);

    explicit ReportTree(int extraChildren = 0) {
        AddFolder(store, root, "Holiday", 1048576);
        AddFolder(store, root, "Family", 262144);
        AddFolder(store, root, "FILES", 262144);
        for (int i = 0; i < extraChildren; ++i)
            AddFolder(store, root, "extra" + std::to_string(i), 10);
        store.Select(root);
    }
};

// The object names of the widgets of this kind that dialog shows.
template <class Widget>
QStringList Shown(const QWidget& dialog) {
    QStringList names;
    for (Widget* widget : dialog.findChildren<Widget*>()) {
        if (widget->isVisibleTo(&dialog))
            names << widget->objectName();
    }
    return names;
}

// A program's standard output; empty when it is not installed.
QString Run(const QString& program, const QStringList& arguments) {
    QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return {};
    QProcess process;
    process.start(path, arguments);
    return process.waitForFinished(60000) ? QString::fromUtf8(process.readAllStandardOutput())
                                          : QString();
}

}  // namespace

class ReportOutputTest : public QObject {
    Q_OBJECT

  private slots:
    // The file is replaced by the engine's report, empty for an empty selection. When it
    // cannot be created: an error that names it and gives the reason, and nothing left behind.
    void exportWritesTheEngineReportOrNothing() {
        QTemporaryDir dir;
        ReportTree tree;
        const QString path = dir.filePath(QStringLiteral("report"));  // typed without extension
        QVERIFY(WriteAll(path, QByteArray(5000, '#')));
        QCOMPARE(WriteReportFile(tree.store, path), std::nullopt);
        QCOMPARE(ReadAll(path), EngineReport(tree.store));

        QVERIFY(WriteAll(dir.filePath(QStringLiteral("plain")), "keep me"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        for (const QString& name : {QStringLiteral("plain/report.txt"), QStringLiteral("folder")}) {
            const QString failing = dir.filePath(name);
            const QString named = "Could not write " + failing + ": ";  // and then the reason
            const QString error = WriteReportFile(tree.store, failing).value_or(QString());
            QVERIFY2(error.startsWith(named) && error.size() > named.size(), qPrintable(error));
        }
        QCOMPARE(Entries(dir.path()),
                 (QStringList{QStringLiteral("folder"), QStringLiteral("plain"),
                              QStringLiteral("report")}));
        QCOMPARE(ReadAll(dir.filePath(QStringLiteral("plain"))), QByteArray("keep me"));
        QVERIFY(Entries(dir.filePath(QStringLiteral("folder"))).isEmpty());

        tree.store.Select(TreeItem::None);
        QCOMPARE(WriteReportFile(tree.store, path), std::nullopt);
        QCOMPARE(ReadAll(path), QByteArray());
        QVERIFY(QFileInfo::exists(path));
    }

    void saveDialogIsSetUp() {
        QFileDialog save;
        save.setOption(QFileDialog::DontUseNativeDialog);
        ConfigureSaveDialog(save, SaveFileRequest{});
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save.windowTitle(), QStringLiteral("Export File Size Info"));
        QCOMPARE(save.nameFilters(), QStringList{QStringLiteral("*.TXT (*.TXT)")});
        QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(save.defaultSuffix().isEmpty());  // a name typed without extension stays so
        QVERIFY(save.selectedFiles().value(0).endsWith(QStringLiteral("/File Size Info.txt")));
    }

    // The printer, the number of copies and collation; none of the page choices that Qt
    // offers of its own accord where CUPS could pick pages, even with the options open.
    void printDialogOffersThePrinterAndCopiesOnly() {
        QPrinter printer;
        QPrintDialog dialog(&printer);
        ConfigurePrintDialog(dialog);
        dialog.show();  // the dialog sets its widgets up as it shows
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        for (QAbstractButton* button : buttons->buttons()) {
            if (buttons->buttonRole(button) == QDialogButtonBox::ResetRole)
                button->click();  // "Options >>"
        }
        QCOMPARE(Shown<QComboBox>(dialog), QStringList{"printers"});
        QCOMPARE(Shown<QAbstractSpinBox>(dialog), QStringList{"copies"});
        QCOMPARE(Shown<QCheckBox>(dialog), QStringList{"collate"});
        QCOMPARE(Shown<QRadioButton>(dialog), QStringList());
        dialog.reject();
    }

    // One page in a PDF file under the job name: the header and the first children are on
    // it, children beyond the page are left out.
    void printsOnePageToAPdfFile() {
        QTemporaryDir dir;
        ReportTree tree(400);
        const QString pdf = dir.filePath(QStringLiteral("page.pdf"));
        auto toPdf = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        PrintOutcome printed = PrintReport(tree.store, toPdf);
        QVERIFY(!printed.box && !printed.statusText);
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));

        QString text = Run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).simplified();
        if (!text.isEmpty()) {
            QVERIFY2(text.contains(QStringLiteral(
                         "/home/ada/100% pictures ( 1.50 M , Folders : 3 , Files : 12 )")),
                     qPrintable(text.left(300)));
            QVERIFY(text.contains(QStringLiteral("Holiday ( 1.00 M ) Family ( 0.25 M )")));
            QVERIFY(text.contains(QStringLiteral("extra0 ( 0.00 M )")));
            QVERIFY(!text.contains(QStringLiteral("extra399 ")));
        }
        QString info = Run(QStringLiteral("pdfinfo"), {pdf});
        if (!info.isEmpty()) {
            QVERIFY(info.contains(QRegularExpression(QStringLiteral("\\nPages:\\s+1\\n"))));
            QVERIFY(info.contains(QStringLiteral("File Size Information for")));
        }
    }

    // A page that does not fit on the disk: the reason in the status text, and the file
    // that was there before is left as it was.
    void printToAFullDiskSaysWhyAndKeepsTheOldFile() {
        SmallFileSystem disk(64 * 1024);
        if (!disk.Mounted())
            QSKIP("cannot mount a small tmpfs here (needs root)");
        const QString pdf = QString::fromStdString(disk / "page.pdf");
        QVERIFY(WriteAll(pdf, "old page"));
        QVERIFY(disk.Fill());
        ReportTree tree;
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        PrintOutcome outcome = PrintPage(printer, tree.store);
        QVERIFY(!outcome.box);
        QCOMPARE(outcome.statusText.value_or(QString()),
                 "Could not print to " + pdf + ": No space left on device");
        QCOMPARE(ReadAll(pdf), QByteArray("old page"));
        QCOMPARE(Entries(QString::fromStdString(disk / "")),
                 (QStringList{QStringLiteral("filler"), QStringLiteral("page.pdf")}));
        QCOMPARE(printer.outputFileName(), pdf);  // the printer still names the chosen file
    }
};

QTEST_MAIN(ReportOutputTest)
#include "ReportOutputTest.moc"
