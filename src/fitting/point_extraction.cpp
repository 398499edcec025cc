#include "fitting/point_extraction.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"
#include "runtime/number_text.h"

namespace quorvel {

double ParseUserNumber(std::string_view text, TTextState state) {
    if (DecimalChar() == U'.') {
        return TextToNumber(text, state);
    }
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return TextToNumber(text, state);
    }
    const std::string decimal = DecimalText();  // short: kept in the string's own buffer
    const std::size_t length = text.size() - 1 + decimal.size();
    char local[128];
    std::string heap;
    char* out = local;
    if (length > sizeof(local)) {
        heap.resize(length);
        out = heap.data();
    }
    std::memcpy(out, text.data(), dot);
    std::memcpy(out + dot, decimal.data(), decimal.size());
    std::memcpy(out + dot + decimal.size(), text.data() + dot + 1, text.size() - dot - 1);
    return TextToNumber(std::string_view(out, length), state);
}

namespace {

// The rows from .. to - 1 that count, in order, with their Y and X texts: a row with an empty cell is
// skipped.
template <class F>
void ForEachCountedRow(const ITableSource& table, int from, int to, F&& take) {
    for (int row = from; row < to; ++row) {
        const ITableSource::TRowTexts texts = table.RowTexts(row);
        if (texts.y.empty() || texts.x.empty()) {
            continue;
        }
        if (!take(row, texts.y, texts.x)) {
            return;
        }
    }
}

// Appends the points of the counted rows from .. to - 1.
void AppendPoints(const ITableSource& table, int from, int to, TPointTable& into) {
    ForEachCountedRow(table, from, to, [&into](int, std::string_view yText, std::string_view xText) {
        TDataPoint point;
        point.Y = ParseUserNumber(yText);
        point.X = ParseUserNumber(xText);
        into.push_back(point);
        return true;
    });
}

// Bytes asked of the source per read; the buffer also holds a line begun, up to the longest.
constexpr std::size_t kPieceBytes = std::size_t{256} << 10;
constexpr std::size_t kHalfBuffer = std::size_t{4} << 20;

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// The usual line, "Y X" at its start as plain numbers parted by blanks: its LF (or end) with the point.
// nullptr for any other line, which WordsOfLine and ParseUserNumber then read; what this takes they
// would read the same. Bytes from data on may be read.
inline const char* PlainLine(const char* data, const char* p, const char* end, TDataPoint& point) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const char* q = ReadPlainDecimal(data, p, end, point.Y);
    if (q == nullptr || q == end || !blank(*q)) {
        return nullptr;
    }
    do {
        ++q;
    } while (q < end && blank(*q));
    q = ReadPlainDecimal(data, q, end, point.X);
    if (q == nullptr) {
        return nullptr;
    }
    if (q == end || *q == '\n') {
        return q;
    }
    // After X the line's rest is not read: a blank ends the word, and the LF is looked for.
    if (!blank(*q) && *q != '\r') {
        return nullptr;
    }
    const void* found = std::memchr(q, '\n', static_cast<std::size_t>(end - q));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

// One half of a data file as points: the first from the start up to and with the first LF at or after
// the middle, the second from there to the end.
struct THalfPoints {
    TPointTable points;
    std::uint64_t split = kNoLineStart;  // where the first ended, where the second's first line begins
    std::size_t lines = 0;
};

// Whether the half read as plain numbers in whole lines within the limits; stops, with false, once the
// other half has failed. The words are read where they lie, by the table's rules.
bool ReadHalfPoints(const TPositionalSource& source, std::uint64_t middle, bool first,
                    std::size_t maxLineBytes, std::atomic<bool>& failed, THalfPoints& half) {
    const std::unique_ptr<char[]> buffer(new char[kHalfBuffer]);
    char* const data = buffer.get();
    bool atTextStart = first;
    // The lines of [from, to), parted by LFs; the last is followed by one, or else ends the text (and is
    // then no line when empty).
    const auto take = [&](std::size_t from, std::size_t to, bool endsText) {
        if (atTextStart && to - from >= 3 && std::memcmp(data + from, kByteOrderMark, 3) == 0) {
            from += 3;
        }
        atTextStart = false;
        if (from == to && endsText) {
            return true;
        }
        const char* const end = data + to;
        for (const char* p = data + from;;) {
            TDataPoint point;
            const char* lf = PlainLine(data, p, end, point);
            const bool plain = lf != nullptr;
            if (!plain) {
                const void* found = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
                lf = found != nullptr ? static_cast<const char*>(found) : end;
            }
            if (maxLineBytes != 0 && static_cast<std::size_t>(lf - p) > maxLineBytes) {
                return false;
            }
            ++half.lines;
            if (plain) {
                half.points.push_back(point);
            } else if (const TDataFileTable::TLineWords words = WordsOfLine(p, lf);
                       !words.y.empty() && !words.x.empty()) {
                point.Y = ParseUserNumber(words.y);
                point.X = ParseUserNumber(words.x);
                half.points.push_back(point);
            }
            if (lf == end) {
                break;
            }
            p = lf + 1;
        }
        return half.lines <= kMaxTableRows;
    };
    std::size_t held = 0;  // bytes of a line begun, at the buffer's start
    std::uint64_t at = first ? 0 : middle;
    bool beforeFirstLine = !first;
    try {
        for (;;) {
            if (held == kHalfBuffer || failed.load(std::memory_order_relaxed)) {
                return false;
            }
            const std::ptrdiff_t got = source(data + held, std::min(kPieceBytes, kHalfBuffer - held), at);
            if (got < 0) {
                return false;
            }
            if (got == 0) {
                // The end: the last line may have no LF.
                return beforeFirstLine || take(0, held, true);
            }
            const std::uint64_t dataAt = at - held;
            at += static_cast<std::uint64_t>(got);
            const std::size_t size = held + static_cast<std::size_t>(got);
            std::size_t from = 0;
            if (beforeFirstLine) {
                const void* lf = std::memchr(data, '\n', size);
                if (lf == nullptr) {
                    continue;
                }
                from = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
                half.split = dataAt + from;
                beforeFirstLine = false;
            }
            const void* lf = nullptr;
            if (first && at > middle) {
                const std::size_t m = middle > dataAt ? static_cast<std::size_t>(middle - dataAt) : 0;
                lf = std::memchr(data + m, '\n', size - m);
            }
            const bool last = lf != nullptr;
            if (!last) {
                lf = memrchr(data + from, '\n', size - from);
            }
            const std::size_t cut =
                lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : from;
            // The LF that ends the piece's lines is not a line of its own.
            if (cut > from && !take(from, cut - 1, false)) {
                return false;
            }
            if (last) {
                half.split = dataAt + cut;
                return true;
            }
            held = size - cut;
            std::memmove(data, data + cut, held);
        }
    } catch (const Exception&) {
        return false;
    }
}

}  // namespace

std::optional<TPointTable> ReadDataPoints(const TPositionalSource& source, std::uint64_t size,
                                          std::size_t maxLineBytes) {
    const std::uint64_t middle = size / 2;
    THalfPoints halves[2];
    // Lines are rarely shorter than 16 bytes: the first half's room takes the second's points too.
    ReserveLarge(halves[0].points,
                 static_cast<std::size_t>(std::min<std::uint64_t>(size / 16, kMaxTableRows)));
    ReserveLarge(halves[1].points,
                 static_cast<std::size_t>(std::min<std::uint64_t>(size / 32, kMaxTableRows)));
    std::atomic<bool> failed{false};
    bool read[2] = {false, false};
    const auto half = [&](int index) {
        read[index] = ReadHalfPoints(source, middle, index == 0, maxLineBytes, failed, halves[index]);
        if (!read[index]) {
            failed.store(true);
        }
    };
    BothAtOnce([&half] { half(0); }, [&half] { half(1); });
    if (!read[0] || !read[1] || halves[0].split != halves[1].split ||
        halves[0].lines + halves[1].lines > kMaxTableRows) {
        return std::nullopt;
    }
    TPointTable& points = halves[0].points;
    const std::size_t more = halves[1].points.size();
    if (points.size() + more <= points.capacity() && more >= kTwoPartsFrom) {
        // The copy's room is fresh memory, whose page faults would otherwise be taken by one core.
        const char* const room = reinterpret_cast<const char*>(points.data() + points.size());
        const std::size_t bytes = more * sizeof(TDataPoint);
        BothAtOnce([room, bytes] { PopulateForWriting(room, bytes / 2); },
                   [room, bytes] { PopulateForWriting(room + bytes / 2, bytes - bytes / 2); });
    }
    points.insert(points.end(), halves[1].points.begin(), halves[1].points.end());
    return std::move(points);
}

std::optional<TPointTable> ReadDataFilePoints(const std::string& path, std::size_t maxLineBytes) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        return std::nullopt;
    }
    const TDescriptorCloser closer(fd);
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) < kTwoPartReadFrom) {
        return std::nullopt;
    }
    return ReadDataPoints(PositionalSource(fd), static_cast<std::uint64_t>(info.st_size), maxLineBytes);
}

TPointTable ExtractPoints(const ITableSource& table, const TWorkSteps& steps) {
    TPointTable points;
    const int rows = table.RowCount();
    if (rows <= 1) {
        return points;
    }
    // A large table is read in two halves at once (where the program allows a second core), the
    // second half's points then following the first's; the first bad cell in row order is reported.
    const auto dataRows = static_cast<std::size_t>(rows - 1);
    ReserveLarge(points, dataRows);
    TPointTable second;
    // Only the part on this thread tells its steps; the other comes in one piece.
    InTwoPartsInSteps(dataRows, steps, [&](std::size_t from, std::size_t to, int part) {
        TPointTable& into = part == 0 ? points : second;
        if (part != 0) {
            ReserveLarge(into, to - from);
        }
        AppendPoints(table, static_cast<int>(from) + 1, static_cast<int>(to) + 1, into);
    });
    points.insert(points.end(), second.begin(), second.end());
    return points;
}

TCellPlace UnreadableCell(const ITableSource& table) {
    TCellPlace place;
    ForEachCountedRow(table, 1, table.RowCount(),
                      [&place](int row, std::string_view yText, std::string_view xText) {
                          int col = 0;
                          try {
                              (void)ParseUserNumber(yText);
                              col = 1;
                              (void)ParseUserNumber(xText);
                              return true;
                          } catch (const Exception&) {
                              place = {col, row};
                              return false;
                          }
                      });
    return place;
}

int RequiredPoints(TFunctionKind kind) {
    return static_cast<int>(kind) + 1;
}

bool HasTooFewPoints(TFunctionKind kind, int pointCount) {
    return pointCount < RequiredPoints(kind);
}

}  // namespace quorvel
