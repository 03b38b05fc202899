// Message boxes through QMessageBox (line breaks written as CR LF show as one break), the
// save-file dialog through QFileDialog and the print dialog through QPrintDialog.
#include "ui/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>

#include "panel/ReportExport.h"
#include "panel/ReportPrint.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QMessageBox::Icon BoxIcon(Dialogs::Icon icon) {
    switch (icon) {
        case Dialogs::Icon::Information:
            return QMessageBox::Information;
        case Dialogs::Icon::Warning:
            return QMessageBox::Warning;
        case Dialogs::Icon::Error:
            return QMessageBox::Critical;
        case Dialogs::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

bool QtDialogs::AskYesNo(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, Text(caption), Text(text),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::ShowMessage(const std::string& caption, const std::string& text, Icon icon) {
    QMessageBox box(BoxIcon(icon), Text(caption), Text(text), QMessageBox::Ok, owner_);
    box.exec();
}

std::optional<QString> QtDialogs::ChooseSaveFile(QWidget* owner, const SaveFileRequest& request) {
    QFileDialog dialog(owner ? owner : owner_);
    ConfigureSaveDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

bool QtDialogs::ChoosePrinter(QWidget* owner, QPrinter& printer) {
    QPrintDialog dialog(&printer, owner ? owner : owner_);
    ConfigurePrintDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}
