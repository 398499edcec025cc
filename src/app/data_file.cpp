#include "app/data_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <exception>
#include <string>

#include "app/table_access.h"
#include "fitting/data_file_reader.h"

namespace quorvel {

namespace {

// Bytes gathered per write.
constexpr qsizetype kChunk = qsizetype{1} << 20;

// Copies the lines into rows 1 ... n; a refused write keeps the rows before it.
TReadResult PlaceLines(const TDataFileTable& file, TTableAccess& table) {
    TBulkUpdate bulk(table);
    TReadResult result;
    const int lines = file.LineCount();
    int good = 0;  // rows whose two cells are written
    try {
        table.ReserveRows(lines);
        for (int row = 1; row <= lines; ++row) {
            table.SetCell(0, row, std::string(file.CellText(0, row)));
            table.SetCell(1, row, std::string(file.CellText(1, row)));
            ++good;
        }
    } catch (const std::exception&) {
        result.status = TReadStatus::BadData;
    }
    result.lines = good;
    if (good > 0) {
        try {
            table.SetRowCount(good + 2);
        } catch (const std::exception&) {
            result.status = TReadStatus::BadData;
        }
    }
    return result;
}

}  // namespace

TReadResult ReadDataFile(const QString& path, TTableAccess& table) {
    // Read whole before the table is touched, so that a refused file leaves it as it was.
    TDataFileTable file;
    switch (ReadDataTable(QFile::encodeName(path).toStdString(), file)) {
        case TDataReadStatus::OpenFailed:
            return {TReadStatus::OpenFailed, 0};
        case TDataReadStatus::TooManyLines:
            return {TReadStatus::TooManyLines, 0};
        case TDataReadStatus::ReadError: {
            TReadResult result = PlaceLines(file, table);
            if (result.status == TReadStatus::Ok) {
                result.status = TReadStatus::ReadError;
            }
            return result;
        }
        case TDataReadStatus::Ok:
            break;
    }
    return PlaceLines(file, table);
}

bool WriteDataStream(QIODevice& device, const TTableAccess& table) {
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
        if (y.empty() && x.empty()) {
            continue;
        }
        // Written in full even past 127 characters: cutting it would change the value.
        chunk.append(y.data(), static_cast<qsizetype>(y.size()));
        chunk += ' ';
        chunk.append(x.data(), static_cast<qsizetype>(x.size()));
        chunk += '\n';
        if (chunk.size() >= kChunk && !flush()) {
            return false;
        }
    }
    return chunk.isEmpty() || flush();
}

TWriteStatus WriteDataFile(const QString& path, const TTableAccess& table) {
    // The save goes through a temporary file renamed over the target: that would turn a device or a
    // pipe into a plain file, so only regular files (or new names) are written.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        return TWriteStatus::OpenFailed;
    }
    QSaveFile file(path);
    // Qt falls back only when the temporary file cannot be created for want of permission; a file the
    // user may write in a folder he may not is then written in place, as a plain open would.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return TWriteStatus::OpenFailed;
    }
    if (!WriteDataStream(file, table)) {
        file.cancelWriting();
        return TWriteStatus::WriteFailed;
    }
    return file.commit() ? TWriteStatus::Ok : TWriteStatus::WriteFailed;
}

}  // namespace quorvel
