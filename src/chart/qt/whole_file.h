#pragma once
// Files written whole or not at all: the bytes go to a temporary file beside the target, which
// replaces it only once every byte is on the disk, so that a full disk or a missing folder leaves no
// part of a file and an old file as it was.
#include <QString>

class QByteArray;
class QSaveFile;

namespace quorvel {

// Writes all of `bytes` into a save file opened with QIODevice::Unbuffered (a buffered one would lose
// the error of its last flush) and commits it. Returns the reason when it could not, after dropping
// the temporary file, as Qt tells it, with the system's error number in `error` when one is known (0
// otherwise); an empty text when the file is in place.
QString WriteAndCommit(QSaveFile& file, const QByteArray& bytes, int* error = nullptr);

// The same for a file opened here by name.
QString WriteWholeFile(const QString& path, const QByteArray& bytes, int* error = nullptr);

}  // namespace quorvel
