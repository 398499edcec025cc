#pragma once
// The data file in the window: one row per line, Y, one blank, X, LF. The lines are read by the fitting
// engine's reader, which quorvel-fit uses too.
#include <QString>

class QIODevice;

namespace quorvel {

class TDataFileTable;
class TFourColumnFileTable;
class TProgress;
class TTableAccess;

// The progress dialog's text while a file is written in place and cannot be cancelled.
inline constexpr const char* kInPlaceWriteText =
    "Файл записывается на место прежнего: прервать запись нельзя.";

enum class TReadStatus {
    Ok,            // every line read, the row count set after the last one
    OpenFailed,    // nothing read, nothing changed
    ReadError,     // a read failed before the end: the lines read before it stay, row count set after them
    BadData,       // a table write failed: the lines written before it stay, row count set after them
    TooManyLines,  // more lines than a table holds: nothing changed
    Cancelled,     // the user cancelled: nothing changed
    OutOfMemory,   // the memory ran out while reading or placing: nothing changed
};

struct TReadResult {
    TReadStatus status = TReadStatus::Ok;
    int lines = 0;  // lines written into the table
};

enum class TWriteStatus {
    Ok,
    OpenFailed,   // the file could not be created; nothing on disk changed
    WriteFailed,  // writing or replacing failed; an existing file stays as it was unless it was being
                  // written in place
    Cancelled,    // the user cancelled: an existing file stays as it was
};

// Reads the file into rows 1 ... n (while the table shows u(Y) and u(X), each line's third and fourth
// words into them) and sets the row count to n + 2 (when n > 0); the new entry row and
// every row after it are emptied, hidden rows included, so no row of the table before is left. A file
// with no line changes nothing. Only regular files are
// opened; a pipe or a device is an open failure, so the window never waits on one. With a progress,
// the reading and the placing run in its steps, and a cancel leaves the table as it was.
TReadResult ReadDataFile(const QString& path, TTableAccess& table, TProgress* progress = nullptr);

// The read's share of the work before the placing; measured, the placing takes about twice as long.
inline constexpr double kReadShare = 0.35;

// Copies lines read whole into rows 1 ... n and empties every row after them, as a read does; a refused
// write keeps the rows before it, a cancel none. With a progress, the placing runs in its steps after the
// read's share.
TReadResult PlaceDataLines(const TDataFileTable& file, TTableAccess& table, TProgress* progress);
TReadResult PlaceDataLines(const TFourColumnFileTable& file, TTableAccess& table, TProgress* progress);

// Writes rows 1 ... row count - 2, skipping rows whose cells are all empty; while the table shows u(Y) and
// u(X), they follow X on the line (empty ones at its end left out). The file is written to a
// temporary file beside it and replaces the old one only when complete. Only when no temporary file
// can be made there (a folder the user may not write) is a writable existing file written in place.
// A target that exists but is not a regular file (directory, device, pipe) is never replaced: that
// counts as an open failure. With a progress, a cancel leaves an existing file as it was; a file written
// in place cannot be cancelled, since its old bytes are gone as soon as it is opened.
TWriteStatus WriteDataFile(const QString& path, const TTableAccess& table, TProgress* progress = nullptr);
// The first row (from 1) that a data file would not give back cell for cell while the table carries u(Y)
// and u(X): an empty cell before a filled one; 0 when there is none, or the table carries two columns.
int RowLosingItsPlaces(const TTableAccess& table);

// The same bytes into a device open for writing; Cancelled only through the progress.
TWriteStatus WriteDataStream(QIODevice& device, const TTableAccess& table, TProgress* progress = nullptr);

}  // namespace quorvel
