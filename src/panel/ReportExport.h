// The Export command: the save dialog's settings, and writing the text report to the
// chosen file as a whole or not at all.
#pragma once

#include <QString>

#include <functional>
#include <optional>

#include "desktop/Dialogs.h"

class ItemStore;
class QFileDialog;

// Sets up a save dialog as request describes; the dialog starts in its own default folder.
void ConfigureSaveDialog(QFileDialog& dialog, const SaveFileRequest& request);

// Writes the report of tree's selected item (ReportText::WriteReport, lines ended by line
// feeds) to path with WriteOutputFile: whole or not at all, in place only where the folder
// refuses a temporary file. An empty report still creates an empty file. Returns nothing
// on success, otherwise a short text for the status bar that names the file and the reason.
std::optional<QString> WriteReportFile(const ItemStore& tree, const QString& path);

// Asks for the file to write: the chosen path, or nothing when the user cancelled.
using ChooseSaveFile = std::function<std::optional<QString>(const SaveFileRequest&)>;

// The Export command after the window has asked running scans to stop: asks chooseFile for
// a path with the default SaveFileRequest, then writes the report there. Returns the
// status-bar text when the file could not be written; nothing when it was written or the
// user cancelled.
std::optional<QString> ExportReport(const ItemStore& tree, const ChooseSaveFile& chooseFile);
