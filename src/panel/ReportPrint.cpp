// Printing the detail panel's content on one page of a QPrinter.
#include "panel/ReportPrint.h"

#include <QEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "desktop/MemoryFile.h"
#include "desktop/OutputFile.h"
#include "panel/DetailPanel.h"

namespace {

MessageText JobCannotStart() {
    return {QStringLiteral("Error"), QStringLiteral("Error setting up AbortProc")};
}

QString Failure(const QString& path, const QString& reason) {
    return QStringLiteral("Could not print to %1: %2").arg(path, reason);
}

// Draws the page; false when the printer cannot start the job.
bool DrawPage(QPrinter& printer, const ItemStore& tree) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // Unless the printer is set to full-page mode, the painter's origin is the top left
    // corner of the printable area, so the area starts at (0, 0).
    const QSize printable = printer.pageRect(QPrinter::DevicePixel).toRect().size();
    DetailPanel::Paint(painter, QRect(QPoint(0, 0), printable), tree);
    painter.end();
    return true;
}

// Qt's PDF printer drops its write errors, so the page goes to memory, where writes do not
// fail, and reaches the disk through WriteOutputFile, which reports them.
PrintOutcome PrintToPdfFile(QPrinter& printer, const ItemStore& tree, const QString& file) {
    MemoryFile page;
    if (!page.Valid())
        return {std::nullopt, Failure(file, QString::fromStdString(page.ErrorText()))};
    printer.setOutputFileName(QString::fromStdString(page.Path()));
    const bool drawn = DrawPage(printer, tree);
    printer.setOutputFileName(file);
    if (!drawn)
        return {JobCannotStart(), std::nullopt};
    std::optional<std::string> pdf = page.Contents();
    if (!pdf)
        return {std::nullopt, Failure(file, QString::fromStdString(page.ErrorText()))};
    if (std::optional<QString> reason = WriteOutputFile(file, QByteArrayView(*pdf)))
        return {std::nullopt, Failure(file, *reason)};
    return {};
}

// Where CUPS can pick pages itself, Qt's dialog shows a page range, a page set ("Odd
// Pages") and the reverse order whatever its options say, each time it is shown. This
// hides them again once it is shown; the printer then keeps all pages, first page first.
class RangeAndOrderHider : public QObject {
  public:
    explicit RangeAndOrderHider(QPrintDialog& dialog) : QObject(&dialog) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            for (const char* name : {"gbPrintRange", "pageSetLabel", "pageSetCombo", "reverse"}) {
                if (auto* widget = watched->findChild<QWidget*>(QLatin1String(name)))
                    widget->hide();
            }
        }
        return false;
    }
};

}  // namespace

void ConfigurePrintDialog(QPrintDialog& dialog) {
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    dialog.installEventFilter(new RangeAndOrderHider(dialog));
}

PrintOutcome PrintPage(QPrinter& printer, const ItemStore& tree) {
    printer.setDocName(QString::fromLatin1(kPrintJobName));
    const QString file = printer.outputFileName();
    if (printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty())
        return PrintToPdfFile(printer, tree, file);
    if (!DrawPage(printer, tree))
        return {JobCannotStart(), std::nullopt};
    return {};
}

PrintOutcome PrintReport(const ItemStore& tree, const ChoosePrinter& choosePrinter) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(1);
    if (!choosePrinter(printer))
        return {};
    return PrintPage(printer, tree);
}
