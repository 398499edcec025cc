#pragma once
// The data file: one row per line, Y, one blank, X, LF; read back by lines of at most 126 characters.
#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace quorvel {

class TTableAccess;

// One line read takes at most this many characters (UTF-8 code points), its LF included; the rest of a
// longer line is read as a line of its own.
inline constexpr int kLineReadLimit = 126;

enum class TReadStatus {
    Ok,          // every line read, the row count set after the last one
    OpenFailed,  // nothing read, nothing changed
    ReadError,   // a read failed before the end: the lines read before it stay, row count set after them
    BadData,     // a table write failed: the lines written before it stay, row count set after them
};

struct TReadResult {
    TReadStatus status = TReadStatus::Ok;
    int lines = 0;  // lines written into the table
};

enum class TWriteStatus {
    Ok,
    OpenFailed,   // the file could not be created; nothing on disk changed
    WriteFailed,  // writing or replacing failed; an existing file stays as it was
};

// Reads the file into rows 1 ... n and sets the row count to n + 2 (when n > 0). The table is not
// cleared: the new entry row keeps its old texts, rows beyond it stay hidden.
TReadResult ReadDataFile(const QString& path, TTableAccess& table);
// The same from a device already open for reading.
TReadResult ReadDataStream(QIODevice& device, TTableAccess& table);

// Writes rows 1 ... row count - 2, skipping rows whose two cells are empty. The file is written to a
// temporary file beside it and replaces the old one only when complete. A target that exists but is
// not a regular file (directory, device, pipe) is never replaced: that counts as an open failure.
TWriteStatus WriteDataFile(const QString& path, const TTableAccess& table);
// The same bytes into a device open for writing; false when a write fails.
bool WriteDataStream(QIODevice& device, const TTableAccess& table);

// Length in bytes of the line at the start of data: up to and including the first LF, but at most
// kLineReadLimit characters. Returns 0 when the line may go on beyond size and atEnd is false.
qsizetype NextLineLength(const char* data, qsizetype size, bool atEnd);

// The first two words of a line: runs of characters other than blank, tab, CR, LF, VT and FF. A NUL
// ends the text. Missing words are empty.
struct TTwoWords {
    QByteArrayView first;
    QByteArrayView second;
};
TTwoWords ScanTwoWords(QByteArrayView line);

}  // namespace quorvel
