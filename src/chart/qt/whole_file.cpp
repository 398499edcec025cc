#include "chart/qt/whole_file.h"

#include <QByteArray>
#include <QSaveFile>

#include <cerrno>

namespace quorvel {

namespace {

// The reason of the failure just met, with its error number, read before anything else can change it.
QString Failure(const QSaveFile& file, int* error) {
    const int code = errno;
    if (error != nullptr) {
        *error = code;
    }
    const QString reason = file.errorString();
    return reason.isEmpty() ? QStringLiteral("write error") : reason;
}

}  // namespace

QString WriteAndCommit(QSaveFile& file, const QByteArray& bytes, int* error) {
    // A short write reports no error by itself, so the rest is written again until the device says why
    // it cannot take it.
    for (qint64 done = 0; done < bytes.size();) {
        errno = 0;
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = Failure(file, error);
            file.cancelWriting();
            return reason;
        }
        done += n;
    }
    errno = 0;
    if (!file.commit()) {
        return Failure(file, error);
    }
    return {};
}

QString WriteWholeFile(const QString& path, const QByteArray& bytes, int* error) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return Failure(file, error);
    }
    return WriteAndCommit(file, bytes, error);
}

}  // namespace quorvel
