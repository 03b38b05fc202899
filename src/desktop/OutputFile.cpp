// Whole-file output through QSaveFile, unbuffered so that every failed write reports its
// own reason, with an explicit sync before the rename.
#include "desktop/OutputFile.h"

#include <unistd.h>

#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

std::optional<QString> WriteOutputFile(const QString& path, QByteArrayView bytes) {
    QSaveFile file(path);
    file.setDirectWriteFallback(true);  // taken only when the temporary file is refused
    // Buffered, a write that does not fit on the disk would fail only inside commit(),
    // which then renames the truncated file into place or reports "Unknown error".
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    // A disk that fills up takes part of a write without an error; the rest of it is
    // written again, and only that write fails, with the system's reason.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            QString reason = file.errorString();
            file.cancelWriting();
            return reason;
        }
        done += written;
    }
    // commit() ignores a failed sync, and some file systems report a full disk only then.
    if (::fsync(file.handle()) != 0) {
        QString reason = SystemReason(errno);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
