#include "app/data_file.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "app/command_ui.h"
#include "app/table_access.h"
#include "app/window_work.h"
#include "fitting/data_file_reader.h"
#include "runtime/file_target.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

// Bytes gathered per write.
constexpr qsizetype kChunk = qsizetype{1} << 20;

// Rows between two steps of the progress.
constexpr int kRowsPerStep = 1 << 14;

std::size_t TextBytes(const TDataFileTable& file) {
    return file.TextBytes();
}
std::size_t TextBytes(const TFourColumnFileTable& file) {
    return file.values.TextBytes();
}
TTableAccess::TRowTexts RowOf(const TDataFileTable& file, int line) {
    const TDataFileTable::TLineWords words = file.LineWords(line);
    return {words.y, words.x};
}
TTableAccess::TRowTexts RowOf(const TFourColumnFileTable& file, int line) {
    return file.RowTexts(line);
}

template <class FileTable>
TReadResult PlaceLines(const FileTable& file, TTableAccess& table, TProgress* progress) {
    TBulkUpdate bulk(table);
    TTableChange change(table);
    TReadResult result;
    const int lines = file.LineCount();
    int good = 0;  // rows whose two cells are written
    try {
        table.ReserveRows(lines);
        // The texts' room at once, rather than by doubling as they come: each column's is the words' bytes
        // of both, known without a pass over the lines. The part a column does not fill is never written,
        // so the system gives it no memory.
        const std::size_t textBytes = TextBytes(file);
        table.ReserveText(0, textBytes);
        table.ReserveText(1, textBytes);
        for (int row = 1; row <= lines; row += kRowsPerStep) {
            if (progress != nullptr && row > 1 &&
                !progress->Step(kReadShare + (1 - kReadShare) * row / lines)) {
                change.TakeBack();
                return {TReadStatus::Cancelled, 0};
            }
            const int count = std::min(kRowsPerStep, lines - row + 1);
            // Rows come in order: those before the one asked last are whole, should a write throw.
            table.SetRows(row, count, [&file, &good](int line) {
                good = line - 1;
                return RowOf(file, line);
            });
            good = row + count - 1;
        }
    } catch (const std::bad_alloc&) {
        // Not bad data: the file may be fine, there was no room for it. Nothing of it is kept.
        change.TakeBack();
        return {TReadStatus::OutOfMemory, 0};
    } catch (const std::exception&) {
        result.status = TReadStatus::BadData;
    }
    result.lines = good;
    if (good > 0) {
        try {
            table.SetRowCount(good + 2);
        } catch (const std::bad_alloc&) {
            change.TakeBack();
            return {TReadStatus::OutOfMemory, 0};
        } catch (const std::exception&) {
            result.status = TReadStatus::BadData;
        }
    }
    change.Keep();
    if (good > 0) {
        // Rows of an earlier, longer table would stay in the new entry row (and be fitted) or come
        // back as the table grows: after a read the table holds the file's rows and nothing else.
        table.EraseRowsFrom(good + 1);
    }
    return result;
}

}  // namespace

TReadResult PlaceDataLines(const TDataFileTable& file, TTableAccess& table, TProgress* progress) {
    return PlaceLines(file, table, progress);
}

TReadResult PlaceDataLines(const TFourColumnFileTable& file, TTableAccess& table, TProgress* progress) {
    return PlaceLines(file, table, progress);
}

namespace {

// Whether the file open for writing is the target itself: the save could make no temporary file
// beside it and writes in place.
bool WritesInPlace(const QSaveFile& file, const QString& path) {
    struct stat opened = {};
    struct stat target = {};
    return file.handle() >= 0 && ::fstat(file.handle(), &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &target) == 0 && opened.st_dev == target.st_dev &&
           opened.st_ino == target.st_ino;
}

}  // namespace

namespace {

template <class FileTable>
TReadResult ReadFileInto(const QString& path, TTableAccess& table, TProgress* progress) {
    // Read whole before the table is touched, so that a refused file leaves it as it was.
    FileTable file;
    TDataReadOptions reading;
    reading.work = kWindowWork;
    if (progress != nullptr) {
        reading.progress = [progress](std::uint64_t done, std::uint64_t size) {
            return progress->Step(size == 0 ? 0 : kReadShare * std::min(1.0, double(done) / double(size)));
        };
    }
    TDataReadStatus status = TDataReadStatus::Ok;
    try {
        status = ReadDataFile(QFile::encodeName(path).toStdString(), file, reading);
    } catch (const std::bad_alloc&) {
        return {TReadStatus::OutOfMemory, 0};  // the table is not touched before the file is read whole
    }
    switch (status) {
        case TDataReadStatus::OpenFailed:
            return {TReadStatus::OpenFailed, 0};
        case TDataReadStatus::TooManyLines:
        case TDataReadStatus::LineTooLong:  // not asked for: the window reads lines of any length
            return {TReadStatus::TooManyLines, 0};
        case TDataReadStatus::Cancelled:
            return {TReadStatus::Cancelled, 0};
        case TDataReadStatus::ReadError: {
            TReadResult result = PlaceDataLines(file, table, progress);
            if (result.status == TReadStatus::Ok) {
                result.status = TReadStatus::ReadError;
            }
            return result;
        }
        case TDataReadStatus::Ok:
            break;
    }
    return PlaceDataLines(file, table, progress);
}

}  // namespace

TReadResult ReadDataFile(const QString& path, TTableAccess& table, TProgress* progress) {
    // While the table shows u(Y) and u(X), a line's third and fourth words are its uncertainties.
    return table.Columns() > 2 ? ReadFileInto<TFourColumnFileTable>(path, table, progress)
                               : ReadFileInto<TDataFileTable>(path, table, progress);
}

TWriteStatus WriteDataStream(QIODevice& device, const TTableAccess& table, TProgress* progress) {
    QByteArray chunk;
    chunk.reserve(kChunk + 1024);
    auto flush = [&]() {
        const bool ok = device.write(chunk) == chunk.size();
        chunk.clear();
        return ok;
    };
    const int last = table.RowCount() - 1;
    for (int row = 1; row < last; ++row) {
        const std::string_view y = table.Cell(0, row);
        const std::string_view x = table.Cell(1, row);
        // u(Y) and u(X) follow while the table shows them, as quorvel-fit --uncertainties reads them;
        // empty ones at the line's end are left out, so a table without them is written as before.
        std::string_view u[2];
        int words = 0;
        if (table.Columns() > 2) {
            u[0] = table.Cell(2, row);
            u[1] = table.Cell(3, row);
            words = !u[1].empty() ? 2 : !u[0].empty() ? 1 : 0;
        }
        if (y.empty() && x.empty() && words == 0) {
            continue;
        }
        // Written in full even past 127 characters: cutting it would change the value.
        chunk.append(y.data(), static_cast<qsizetype>(y.size()));
        chunk += ' ';
        chunk.append(x.data(), static_cast<qsizetype>(x.size()));
        for (int k = 0; k < words; ++k) {
            chunk += ' ';
            chunk.append(u[k].data(), static_cast<qsizetype>(u[k].size()));
        }
        chunk += '\n';
        if (chunk.size() >= kChunk) {
            if (!flush()) {
                return TWriteStatus::WriteFailed;
            }
            if (progress != nullptr && !progress->Step(double(row) / last)) {
                return TWriteStatus::Cancelled;
            }
        }
    }
    return chunk.isEmpty() || flush() ? TWriteStatus::Ok : TWriteStatus::WriteFailed;
}

int RowLosingItsPlaces(const TTableAccess& table) {
    const int columns = table.Columns();
    if (columns <= 2) {
        return 0;  // the two columns' file as it always was
    }
    const int last = table.RowCount() - 1;
    for (int row = 1; row < last; ++row) {
        bool empty = false;
        for (int col = 0; col < columns; ++col) {
            const bool filled = !table.Cell(col, row).empty();
            if (filled && empty) {
                return row;
            }
            empty = empty || !filled;
        }
    }
    return 0;
}

TWriteStatus WriteDataFile(const QString& path, const TTableAccess& table, TProgress* progress) {
    if (!IsReplaceableFile(QFile::encodeName(path).toStdString())) {
        return TWriteStatus::OpenFailed;
    }
    QSaveFile file(path);
    // Qt falls back only when the temporary file cannot be created for want of permission; a file the
    // user may write in a folder he may not is then written in place, as a plain open would.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return TWriteStatus::OpenFailed;
    }
    if (progress != nullptr && WritesInPlace(file, path)) {
        // The old bytes went when the file was opened: a cancel now would leave a half-written file
        // where the old one was, so the write runs to its end.
        progress->ForbidCancel(QString::fromUtf8(Tr(kInPlaceWriteText)));
    }
    const TWriteStatus status = WriteDataStream(file, table, progress);
    if (status != TWriteStatus::Ok) {
        file.cancelWriting();
        return status;
    }
    return file.commit() ? TWriteStatus::Ok : TWriteStatus::WriteFailed;
}

}  // namespace quorvel
