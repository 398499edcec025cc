#include "chart/qt/whole_file.h"

#include <QByteArray>
#include <QSaveFile>

namespace quorvel {

QString WriteAndCommit(QSaveFile& file, const QByteArray& bytes) {
    // A short write reports no error by itself, so the rest is written again until the device says why
    // it cannot take it.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            return reason.isEmpty() ? QStringLiteral("write error") : reason;
        }
        done += n;
    }
    if (!file.commit()) {
        const QString reason = file.errorString();
        return reason.isEmpty() ? QStringLiteral("write error") : reason;
    }
    return {};
}

QString WriteWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    return WriteAndCommit(file, bytes);
}

}  // namespace quorvel
