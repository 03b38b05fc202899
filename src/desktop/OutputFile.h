// Writing a file the user named, such as an exported report or a page printed to a PDF
// file: the new contents replace the file whole, or the file stays as it was, and a
// failure comes back with the system's reason.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// Replaces the file at path by bytes: they go to a temporary file beside it, which is
// flushed to disk and then renamed over path, so a failure leaves the old file (or none)
// and never part of the new one. When the folder does not let us create the temporary
// file but path itself is writable, path is written in place instead; only then can a
// failure part-way leave it partly written. Returns nothing on success, otherwise the
// reason, such as "No space left on device" or "Permission denied".
std::optional<QString> WriteOutputFile(const QString& path, QByteArrayView bytes);
