// Writing the text report to a file through a temporary file and a rename, so that a
// failed export never leaves a truncated report behind.
#include "panel/ReportExport.h"

#include <QFileDialog>
#include <QSaveFile>

#include <sstream>
#include <string>

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

    // QSaveFile writes next to the target and renames only in commit(); a file that was
    // not committed is removed when it goes out of scope.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure(path, file.errorString());
    const auto size = static_cast<qint64>(report.size());
    if (file.write(report.data(), size) != size) {
        QString reason = file.errorString();
        file.cancelWriting();
        return Failure(path, reason);
    }
    if (!file.commit())
        return Failure(path, file.errorString());
    return std::nullopt;
}

std::optional<QString> ExportReport(const ItemStore& tree, const ChooseSaveFile& chooseFile) {
    std::optional<QString> path = chooseFile(SaveFileRequest{});
    if (!path || path->isEmpty())
        return std::nullopt;
    return WriteReportFile(tree, *path);
}
