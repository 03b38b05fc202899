// Export and Print as the window runs them, with the dialogs answered through Dialogs and
// failures shown where the user sees them.
#include <QTest>

#include <sstream>

#include "WindowFixture.h"
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

}  // namespace

class ReportCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void exportAndPrintGoThroughTheDialogs() {
        TempDir dir;
        test::MakeTree(dir, "e", 3, 2);
        dir.MakeFile("plain", 3);  // a file where a folder should be
        Fixture f;
        MainWindow& window = f.Open(dir / "e");
        QVERIFY(f.Show());
        QVERIFY(f.Scanned(dir / "e"));
        QTreeView& view = window.Tree().View();
        view.setFocus();

        StopRequested = false;
        f.dialogs.savePath = QString::fromStdString(dir / "report.txt");
        QTest::keyClick(&view, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(f.dialogs.stopRequestedWhenAsked);  // running scans were asked to stop first
        QCOMPARE(f.dialogs.saveRequests.at(0).title, QStringLiteral("Export File Size Info"));
        QCOMPARE(ReadAll(dir / "report.txt"), EngineReport(f.Store()));
        QVERIFY(ReadAll(dir / "report.txt").startsWith(QByteArray::fromStdString(dir / "e   ( ")));
        QCOMPARE(window.StatusText(), f.Complete(dir / "e"));  // success says nothing

        const std::string unwritable = dir / "plain/report.txt";
        f.dialogs.savePath = QString::fromStdString(unwritable);
        QVERIFY(window.ExecuteCommand(Command::ExportInfo));
        const QString prefix = QString::fromStdString("Could not write " + unwritable + ": ");
        QVERIFY2(window.StatusText().startsWith(prefix), qPrintable(window.StatusText()));
        QVERIFY(window.StatusText().size() > prefix.size());  // and the reason
        QCOMPARE(ReadAll(dir / "plain"), QByteArray("xxx"));

        StopRequested = false;
        const std::string pdf = dir / "page.pdf";
        auto printTo = [&](const std::string& file) {
            return [file](QPrinter& printer) {
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(QString::fromStdString(file));
            };
        };
        f.dialogs.choosePrinter = printTo(pdf);
        QTest::keyClick(&view, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(!StopRequested);  // printing does not stop a scan
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        f.dialogs.choosePrinter = printTo(dir / "plain/page.pdf");  // the job cannot start
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        f.dialogs.choosePrinter = nullptr;  // cancelled
        QVERIFY(window.ExecuteCommand(Command::PrintSelected));
        QCOMPARE(f.dialogs.log,
                 std::vector<std::string>({"save", "save", "print", "print",
                                           "message Error: Error setting up AbortProc", "print"}));
    }
};

QTEST_MAIN(ReportCommandsTest)
#include "ReportCommandsTest.moc"
