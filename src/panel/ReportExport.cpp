// Writing the text report to the file the user chose, as a whole or not at all.
#include "panel/ReportExport.h"

#include <QFileDialog>

#include <sstream>
#include <string>

#include "desktop/OutputFile.h"
#include "report/ReportText.h"

namespace {

QString Failure(const QString& path, const QString& reason) {
    return QStringLiteral("Could not write %1: %2").arg(path, reason);
}

}  // namespace

void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setWindowTitle(request.title);
    dialog.setNameFilter(request.typeLabel + QStringLiteral(" (") + request.typePattern +
                         QStringLiteral(")"));
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);  // the entry reads "*.TXT"
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.selectFile(request.defaultName);
}

std::optional<QString> WriteReportFile(const ItemStore& tree, const QString& path) {
    std::ostringstream text;
    ReportText::WriteReport(tree, text);
    const std::string report = std::move(text).str();
    if (std::optional<QString> reason = WriteOutputFile(path, QByteArrayView(report)))
        return Failure(path, *reason);
    return std::nullopt;
}

std::optional<QString> ExportReport(const ItemStore& tree, const ChooseSaveFile& chooseFile) {
    std::optional<QString> path = chooseFile(SaveFileRequest{});
    if (!path || path->isEmpty())
        return std::nullopt;
    return WriteReportFile(tree, *path);
}
