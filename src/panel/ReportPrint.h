// The Print command: the print dialog's choices, and one page of the detail panel drawn
// onto the chosen printer.
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

// The choices the print dialog offers: the printer (a PDF file among them), the number of
// copies and collation; no page range, no selection, no current page.
void ConfigurePrintDialog(QPrintDialog& dialog);

// Prints one page on printer, which a print dialog has set up: names the job, then draws
// DetailPanel::Paint for tree's selection into the page's printable area, with the
// printer's default font. Lines that do not fit on the page are left out. Returns the
// message box to show when the job cannot be started (nothing is printed then); nothing
// otherwise. Runs no event loop, so the tree cannot change while the page is drawn.
std::optional<MessageText> PrintPage(QPrinter& printer, const ItemStore& tree);

// Shows the print dialog for printer: false when the user cancelled.
using ChoosePrinter = std::function<bool(QPrinter&)>;

// The Print command: a fresh printer at its native resolution with one copy, the dialog
// through choosePrinter, then PrintPage. Returns the message box to show, if any.
std::optional<MessageText> PrintReport(const ItemStore& tree, const ChoosePrinter& choosePrinter);
