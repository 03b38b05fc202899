// Printing the detail panel's content on one page of a QPrinter.
#include "panel/ReportPrint.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "panel/DetailPanel.h"

void ConfigurePrintDialog(QPrintDialog& dialog) {
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
}

std::optional<MessageText> PrintPage(QPrinter& printer, const ItemStore& tree) {
    printer.setDocName(QString::fromLatin1(kPrintJobName));
    QPainter painter;
    if (!painter.begin(&printer)) {
        return MessageText{QStringLiteral("Error"), QStringLiteral("Error setting up AbortProc")};
    }
    // Unless the printer is set to full-page mode, the painter's origin is the top left
    // corner of the printable area, so the area starts at (0, 0).
    const QSize printable = printer.pageRect(QPrinter::DevicePixel).toRect().size();
    DetailPanel::Paint(painter, QRect(QPoint(0, 0), printable), tree);
    painter.end();
    return std::nullopt;
}

std::optional<MessageText> PrintReport(const ItemStore& tree, const ChoosePrinter& choosePrinter) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(1);
    if (!choosePrinter(printer))
        return std::nullopt;
    return PrintPage(printer, tree);
}
