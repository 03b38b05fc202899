// Export and Print as the window runs them: through the keys and the item menu, with the
// dialogs answered through Dialogs, failures shown where the user sees them; and the Qt
// dialogs behind Dialogs.
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QPrintDialog>
#include <QStandardPaths>
#include <QTest>

#include <cstdlib>
#include <sstream>

#include "WindowFixture.h"
#include "app/ResourceTables.h"
#include "platform/QtDialogs.h"
#include "report/ReportText.h"

using test::Fixture;

namespace {

QByteArray ReadAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray EngineReport(const ItemStore& store) {
    std::ostringstream out;
    ReportText::WriteReport(store, out);
    return QByteArray::fromStdString(out.str());
}

// The text pdftotext reads from a PDF file; nothing when pdftotext is not installed. Runs
// it through the shell rather than QProcess: ThreadSanitizer stops the test when threads
// start after a QProcess has forked.
std::optional<QString> PdfText(const std::string& pdf) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (program.isEmpty())
        return std::nullopt;
    const std::string text = pdf + ".txt";
    const std::string command = "'" + program.toStdString() + "' '" + pdf + "' '" + text + "'";
    if (std::system(command.c_str()) != 0)
        return QString();
    return QString::fromUtf8(ReadAll(text)).simplified();
}

}  // namespace

class ReportCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        StopRequested = false;
        SizeUnit::Reset();
    }

    void exportAsksForAFileAndWritesTheReport() {
        TempDir dir;
        test::MakeTree(dir, "e", 3, 2);
        Fixture f;
        MainWindow& window = f.Open(dir / "e");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "e"), 30000);
        QTreeView& view = window.Tree().View();
        view.setFocus();

        f.dialogs.savePath = QString::fromStdString(dir / "report.txt");
        QTest::keyClick(&view, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(f.dialogs.stopRequestedWhenAsked);  // running scans were asked to stop first
        QCOMPARE(f.dialogs.saveRequests.size(), std::size_t{1});
        const SaveFileRequest& request = f.dialogs.saveRequests.front();
        QCOMPARE(request.title, QStringLiteral("Export File Size Info"));
        QCOMPARE(request.defaultName, QStringLiteral("File Size Info.txt"));
        QCOMPARE(request.typeLabel, QStringLiteral("*.TXT"));
        QCOMPARE(request.typePattern, QStringLiteral("*.TXT"));
        QVERIFY(request.confirmOverwrite);
        QVERIFY(request.defaultSuffix.isEmpty());
        QCOMPARE(ReadAll(dir / "report.txt"), EngineReport(f.Store()));
        QVERIFY(ReadAll(dir / "report.txt").startsWith(QByteArray::fromStdString(dir / "e   ( ")));
        QCOMPARE(window.StatusText(), f.Complete(dir / "e"));  // success says nothing

        // From the item menu, for the folder right-clicked.
        TreeItem sub = f.Store().GetChild(f.Store().GetChild(TreeItem::None));
        QPoint at = view.visualRect(window.Tree().Model().IndexOf(sub)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &click);
        QTRY_VERIFY(window.ItemMenu() && window.ItemMenu()->isVisible());
        f.dialogs.savePath = QString::fromStdString(dir / "sub.txt");
        window.ItemMenu()->actions().at(3)->trigger();
        window.ItemMenu()->close();
        QVERIFY(ReadAll(dir / "sub.txt")
                    .startsWith(QByteArray::fromStdString(f.Store().Record(sub)->path + "   ( ")));
        QCOMPARE(ReadAll(dir / "sub.txt"), EngineReport(f.Store()));

        // Cancelled: nothing is written, nothing is said.
        f.dialogs.savePath.reset();
        window.SetStatusText(QStringLiteral("before"));
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));
        QCOMPARE(window.StatusText(), QStringLiteral("before"));
        QCOMPARE(f.dialogs.log, std::vector<std::string>({"save", "save", "save"}));
    }

    void aFileThatCannotBeWrittenIsNamedInTheStatusBar() {
        TempDir dir;
        test::MakeTree(dir, "e", 1, 1);
        dir.MakeFile("plain", 3);  // a file where the report's folder should be
        Fixture f;
        MainWindow& window = f.Open(dir / "e");
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "e"), 30000);
        const std::string path = dir / "plain/report.txt";
        f.dialogs.savePath = QString::fromStdString(path);
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));
        const QString prefix = QString::fromStdString("Could not write " + path + ": ");
        QVERIFY2(window.StatusText().startsWith(prefix), qPrintable(window.StatusText()));
        QVERIFY(window.StatusText().size() > prefix.size());  // and the reason
        QCOMPARE(ReadAll(dir / "plain"), QByteArray("xxx"));
        QCOMPARE(f.dialogs.log, std::vector<std::string>{"save"});  // no message box
    }

    void printPutsThePanelOnAPdfPage() {
        TempDir dir;
        test::MakeTree(dir, "p", 2, 1);
        Fixture f;
        MainWindow& window = f.Open(dir / "p");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.StatusText(), f.Complete(dir / "p"), 30000);
        const std::string pdf = dir / "page.pdf";
        f.dialogs.choosePrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf));
        };
        window.Tree().View().setFocus();
        QTest::keyClick(&window.Tree().View(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(f.dialogs.log, std::vector<std::string>{"print"});
        QVERIFY(!StopRequested);  // printing does not stop a scan
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        if (const std::optional<QString> text = PdfText(pdf)) {
            const std::string header =
                ReportText::HeaderText(*f.Store().Record(f.Store().Selection()));
            QVERIFY2(text->contains(QString::fromStdString(header).simplified()),
                     qPrintable(*text));
            QVERIFY(text->contains(QStringLiteral("FILES ( 0.00 M )")));
        }

        // A printer that cannot start the job: the error box, and no page.
        dir.MakeFile("plain", 1);
        f.dialogs.choosePrinter = [&](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(dir / "plain/page.pdf"));
        };
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        QCOMPARE(f.dialogs.log.back(), std::string("message Error: Error setting up AbortProc"));

        f.dialogs.choosePrinter = nullptr;  // cancelled: nothing more happens
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        QCOMPARE(f.dialogs.log.size(), std::size_t{4});
    }

    void qtDialogsShowTheSaveDialog() {
        TempDir dir;
        QtDialogs dialogs;
        const QString chosen = QString::fromStdString(dir / "chosen.txt");
        std::optional<QString> path;
        QVERIFY(test::WithPopup([&] { path = dialogs.ChooseSaveFile(nullptr, SaveFileRequest{}); },
                                [&](QWidget& shown) {
                                    auto* save = qobject_cast<QFileDialog*>(&shown);
                                    QVERIFY(save);
                                    QCOMPARE(save->windowTitle(),
                                             QStringLiteral("Export File Size Info"));
                                    QCOMPARE(save->acceptMode(), QFileDialog::AcceptSave);
                                    save->selectFile(chosen);
                                    static_cast<QDialog*>(save)->accept();  // its Save button
                                }));
        QCOMPARE(path, std::optional<QString>(chosen));
        QVERIFY(test::WithPopup([&] { path = dialogs.ChooseSaveFile(nullptr, SaveFileRequest{}); },
                                [](QWidget& shown) { shown.close(); }));
        QCOMPARE(path, std::nullopt);
    }

    void qtDialogsShowThePrintDialog() {
        QtDialogs dialogs;
        QPrinter printer;
        bool print = true;
        QVERIFY(test::WithPopup([&] { print = dialogs.ChoosePrinter(nullptr, printer); },
                                [&](QWidget& shown) {
                                    auto* dialog = qobject_cast<QPrintDialog*>(&shown);
                                    QVERIFY(dialog);
                                    QCOMPARE(dialog->printer(), &printer);
                                    QVERIFY(
                                        !dialog->testOption(QAbstractPrintDialog::PrintPageRange));
                                    QVERIFY(dialog->testOption(QAbstractPrintDialog::PrintToFile));
                                    dialog->reject();
                                }));
        QVERIFY(!print);
    }
};

QTEST_MAIN(ReportCommandsTest)
#include "ReportCommandsTest.moc"
