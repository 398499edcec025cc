#include "app/data_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "app/table_access.h"

namespace quorvel {

namespace {

// Bytes asked of the device per read and gathered per write.
constexpr qsizetype kChunk = qsizetype{1} << 20;
// A partial line carried over between reads: 126 characters of at most four bytes each.
constexpr qsizetype kCarry = 4 * kLineReadLimit;

// Continuation bytes announced by a UTF-8 lead byte; 0 for ASCII and for bytes that cannot lead.
int ContinuationBytes(unsigned char b) {
    if (b >= 0xC0 && b <= 0xDF) {
        return 1;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        return 2;
    }
    if (b >= 0xF0 && b <= 0xF7) {
        return 3;
    }
    return 0;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

qsizetype NextLineLength(const char* data, qsizetype size, bool atEnd) {
    int characters = 0;
    int pending = 0;  // continuation bytes still expected for the current character
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (pending > 0 && (b & 0xC0) == 0x80) {
            --pending;
            continue;
        }
        if (characters == kLineReadLimit) {
            return i;  // this byte starts the next line
        }
        ++characters;
        pending = ContinuationBytes(b);
        if (b == '\n') {
            return i + 1;
        }
    }
    return atEnd ? size : 0;
}

TTwoWords ScanTwoWords(QByteArrayView line) {
    const char* p = line.data();
    const char* end = p + line.size();
    if (const void* nul = std::memchr(p, '\0', static_cast<std::size_t>(line.size()))) {
        end = static_cast<const char*>(nul);
    }
    QByteArrayView words[2];
    for (auto& word : words) {
        while (p < end && IsBlank(*p)) {
            ++p;
        }
        const char* start = p;
        while (p < end && !IsBlank(*p)) {
            ++p;
        }
        word = QByteArrayView(start, p - start);
    }
    return {words[0], words[1]};
}

TReadResult ReadDataStream(QIODevice& device, TTableAccess& table) {
    TBulkUpdate bulk(table);
    TReadResult result;
    QByteArray buffer(kChunk + kCarry, Qt::Uninitialized);
    char* data = buffer.data();
    qsizetype begin = 0;
    qsizetype end = 0;
    bool atEnd = false;
    int good = 0;  // rows whose two cells are written
    try {
        while (true) {
            while (begin < end) {
                const qsizetype length = NextLineLength(data + begin, end - begin, atEnd);
                if (length == 0) {
                    break;
                }
                if (good > INT_MAX - 3) {
                    throw std::length_error("too many rows");
                }
                const TTwoWords words = ScanTwoWords(QByteArrayView(data + begin, length));
                table.SetCell(0, good + 1, std::string(words.first.data(), words.first.size()));
                table.SetCell(1, good + 1, std::string(words.second.data(), words.second.size()));
                ++good;
                begin += length;
            }
            if (atEnd) {
                break;
            }
            // Keep the partial line at the front; whatever the device returns next continues it.
            std::memmove(data, data + begin, static_cast<std::size_t>(end - begin));
            end -= begin;
            begin = 0;
            const qint64 got = device.read(data + end, buffer.size() - end);
            if (got < 0) {
                // The partial line before the failure is not known to be whole: it is not used.
                result.status = TReadStatus::ReadError;
                break;
            }
            if (got == 0) {
                atEnd = true;
            }
            end += got;
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

TReadResult ReadDataFile(const QString& path, TTableAccess& table) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return {TReadStatus::OpenFailed, 0};
    }
    return ReadDataStream(file, table);
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
