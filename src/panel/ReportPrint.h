// The Print command: the print dialog's choices, and one page of the detail panel drawn
// onto the chosen printer, or into the chosen PDF file as a whole or not at all.
#pragma once

#include <QString>

#include <functional>
#include <optional>

class ItemStore;
class QPrintDialog;
class QPrinter;

// The name the print queue lists every job under, whatever folder it shows.
inline constexpr char kPrintJobName[] = "File Size Information for ";

// A message box for the user: its caption and its text.
struct MessageText {
    QString caption;
    QString text;
};

// What the user is told after printing; both empty when the page was printed or the user
// cancelled.
struct PrintOutcome {
    std::optional<MessageText> box;     // the job could not be started
    std::optional<QString> statusText;  // the PDF file could not be written, and why
};

// The choices the print dialog offers: the printer (a PDF file among them), the number of
// copies and collation; no page range, no page set, no reverse order, no selection and no
// current page.
void ConfigurePrintDialog(QPrintDialog& dialog);

// Prints one page on printer, which a print dialog has set up: names the job, then draws
// DetailPanel::Paint for tree's selection into the page's printable area, with the
// printer's default font. Lines that do not fit on the page are left out. A page for a PDF
// file is made in memory first and then written with WriteOutputFile, so a failure leaves
// the old file (or none) and says why. Runs no event loop, so the tree cannot change while
// the page is drawn.
PrintOutcome PrintPage(QPrinter& printer, const ItemStore& tree);

// Shows the print dialog for printer: false when the user cancelled.
using ChoosePrinter = std::function<bool(QPrinter&)>;

// The Print command: a fresh printer at its native resolution with one copy, the dialog
// through choosePrinter, then PrintPage.
PrintOutcome PrintReport(const ItemStore& tree, const ChoosePrinter& choosePrinter);
