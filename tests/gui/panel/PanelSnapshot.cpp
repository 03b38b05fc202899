// Renders the detail panel for a scanned folder, to look at: a PNG of the panel widget as
// the window shows it, or a one-page PDF printed as the Print command prints.
//   brimwell_panel_snapshot FOLDER OUTPUT.png|OUTPUT.pdf [WIDTH HEIGHT] [-k]
#include <QApplication>
#include <QPrinter>

#include <cstdio>

#include "fs/DirectoryReader.h"
#include "panel/DetailPanel.h"
#include "panel/ReportPrint.h"
#include "scan/FolderTree.h"
#include "scan/SizeUnit.h"
#include "tree/ItemStore.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList arguments = app.arguments();
    if (arguments.removeAll(QStringLiteral("-k")) > 0)
        SizeUnit::Toggle();
    if (arguments.size() != 3 && arguments.size() != 5) {
        std::fprintf(stderr, "usage: %s FOLDER OUTPUT.png|OUTPUT.pdf [WIDTH HEIGHT] [-k]\n",
                     argv[0]);
        return 2;
    }
    ItemStore store;
    DirectoryReader reader;
    ScanContext context{reader, nullptr};
    FolderTree::ScanRoot(store, arguments[1].toStdString(), context);

    const QString output = arguments[2];
    if (output.endsWith(QStringLiteral(".pdf"))) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(output);
        PrintOutcome outcome = PrintPage(printer, store);
        if (outcome.box)
            std::fprintf(stderr, "%s: %s\n", qPrintable(outcome.box->caption),
                         qPrintable(outcome.box->text));
        if (outcome.statusText)
            std::fprintf(stderr, "%s\n", qPrintable(*outcome.statusText));
        return outcome.box || outcome.statusText ? 1 : 0;
    }
    DetailPanel panel(store);
    panel.resize(arguments.size() == 5 ? arguments[3].toInt() : 640,
                 arguments.size() == 5 ? arguments[4].toInt() : 320);
    return panel.grab().save(output) ? 0 : 1;
}
