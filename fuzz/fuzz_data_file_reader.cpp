// Fuzzes the line tokenizer and the data-file reader against a plain reading of the rules (lines at their
// line ends, a leading byte-order mark skipped, a NUL that ends a line's text where the format says so,
// the first four white-space separated words). On every input: each line format's first four words,
// whatever pieces the bytes arrive in and however soon an open line is written shorter; the data file's
// table read whole and in pieces (a text with more lines than the limit keeps nothing); the points read
// without the table are those the table gives. On one input in kHalvesEvery, picked by a hash of its
// bytes: the same read in two halves at once, parted anywhere, table and points.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fitting/data_file_reader.h"
#include "fitting/line_words.h"
#include "fitting/point_extraction.h"
#include "fitting/text_lines.h"
#include "runtime/exceptions.h"

namespace {

using quorvel::TLineRules;

constexpr int kWords = 4;
using TWords = std::array<std::string_view, kWords>;
using TRows = std::vector<std::pair<std::string_view, std::string_view>>;

// The two halves start a thread each: checked on a sample, so that the fuzzer runs fast on the rest.
constexpr std::uint32_t kHalvesEvery = 16;

// The rules read as plainly as they are written, to hold the tokenizer against.
std::vector<TWords> PlainReading(std::string_view text, TLineRules rules) {
    const auto white = [rules](char c) {
        return c == ' ' || c == '\t' || c == '\v' || c == '\f' || (c == '\r' && !rules.crEndsLine);
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<TWords> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of(rules.crEndsLine ? std::string_view("\n\r", 2) : "\n");
        std::string_view line = text.substr(0, end);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (rules.crEndsLine && end != std::string_view::npos && text[end] == '\r' && next < text.size() &&
            text[next] == '\n') {
            ++next;
        }
        text.remove_prefix(next);
        if (rules.nulEndsText) {
            line = line.substr(0, line.find('\0'));
        }
        TWords words;
        for (std::string_view& word : words) {
            std::size_t i = 0;
            while (i < line.size() && white(line[i])) {
                ++i;
            }
            std::size_t j = i;
            while (j < line.size() && !white(line[j])) {
                ++j;
            }
            word = line.substr(i, j - i);
            line.remove_prefix(j);
        }
        lines.push_back(words);
    }
    return lines;
}

// Keeps the first four words of each line, as copies (an open line's words are written shorter).
template <TLineRules R>
class TWordsSink {
public:
    static constexpr int kWords = ::kWords;
    std::vector<std::array<std::string, kWords>> lines;
    std::array<std::string, kWords> Read(quorvel::TLineCursor<R>& line) {
        std::array<std::string, kWords> words;
        for (std::string& word : words) {
            word = line.Next();
        }
        return words;
    }
    bool Take(const std::array<std::string, kWords>& words) {
        lines.push_back(words);
        return true;
    }
};

template <TLineRules R>
void CheckWords(std::string_view text, std::size_t piece, std::size_t shortenFrom) {
    TWordsSink<R> sink;
    quorvel::TLineSplitter<R, TWordsSink<R>> splitter(sink, quorvel::TLineLimits{SIZE_MAX, 0, shortenFrom});
    for (std::size_t at = 0; at < text.size(); at += piece) {
        if (!splitter.Feed(text.substr(at, piece)))
            std::abort();
    }
    if (!splitter.Finish())
        std::abort();
    const std::vector<TWords> expected = PlainReading(text, R);
    if (sink.lines.size() != expected.size() || splitter.Lines() != expected.size())
        std::abort();
    for (std::size_t k = 0; k < expected.size(); ++k) {
        for (int w = 0; w < kWords; ++w) {
            if (sink.lines[k][static_cast<std::size_t>(w)] != expected[k][static_cast<std::size_t>(w)])
                std::abort();
        }
    }
}

TRows RowsOf(const quorvel::TDataFileTable& table) {
    TRows rows;
    for (int row = 1; row <= table.LineCount(); ++row) {
        rows.emplace_back(table.CellText(0, row), table.CellText(1, row));
    }
    return rows;
}

// What the recompute takes from the table: its points, or nothing where a counted word is no number.
std::optional<quorvel::TPointTable> TablePoints(const quorvel::TDataFileTable& table) {
    try {
        return quorvel::ExtractPoints(table);
    } catch (const quorvel::Exception&) {
        return std::nullopt;
    }
}

void CheckPoints(const quorvel::TDataPoints& read, const std::optional<quorvel::TPointTable>& fromTable) {
    if (!read.unreadable != fromTable.has_value())
        std::abort();
    // Bit for bit, so that -0 and 0 are told apart.
    const auto same = [](const quorvel::TDataPoint& a, const quorvel::TDataPoint& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    if (fromTable &&
        !std::equal(read.points.begin(), read.points.end(), fromTable->begin(), fromTable->end(), same))
        std::abort();
}

std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        h = (h ^ data[i]) * 16777619u;
    }
    return h;
}

void CheckHalves(std::string_view text, std::size_t piece, std::uint64_t middle, int maxLines, bool tooMany,
                 const TRows& expected, const std::optional<quorvel::TPointTable>& fromTable) {
    const quorvel::TPositionalSource source = [text, piece](char* buffer, std::size_t n,
                                                            std::uint64_t offset) {
        const std::size_t at = std::min<std::size_t>(offset, text.size());
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        return static_cast<std::ptrdiff_t>(got);
    };
    quorvel::TDataReadOptions options;
    options.maxLines = maxLines;
    options.work.secondCore = true;
    quorvel::TDataFileTable halves;
    const quorvel::TDataReadStatus status = quorvel::ReadDataInTwoParts(source, 2 * middle, halves, options);
    if (status != (tooMany ? quorvel::TDataReadStatus::TooManyLines : quorvel::TDataReadStatus::Ok))
        std::abort();
    if (tooMany ? halves.LineCount() != 0 : RowsOf(halves) != expected)
        std::abort();
    quorvel::TDataPoints points;
    if (quorvel::ReadDataInTwoParts(source, 2 * middle, points, options) != status)
        std::abort();
    if (!tooMany)
        CheckPoints(points, fromTable);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the piece size and the line limit.
    const std::size_t piece = 1 + (data[0] & 0x1F);
    const int maxLines = (data[0] >> 5) == 7 ? quorvel::kMaxTableRows : (data[0] >> 5);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::uint32_t hash = Hash(data, size);

    CheckWords<quorvel::kDataLines>(text, piece, 1 + hash % 16);
    CheckWords<quorvel::kReadingLines>(text, piece, 1 + (hash >> 4) % 16);

    TRows expected;
    for (const TWords& words : PlainReading(text, quorvel::kDataLines)) {
        expected.emplace_back(words[0], words[1]);
    }
    const bool tooMany = expected.size() > static_cast<std::size_t>(maxLines);

    quorvel::TDataFileTable whole;
    if ((quorvel::ParseDataText(text, whole, maxLines) == quorvel::TDataReadStatus::TooManyLines) != tooMany)
        std::abort();
    if (tooMany ? whole.LineCount() != 0 : RowsOf(whole) != expected)
        std::abort();

    std::size_t at = 0;
    const quorvel::TByteSource pieces = [&](char* buffer, std::size_t n) {
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        at += got;
        return static_cast<std::ptrdiff_t>(got);
    };
    quorvel::TDataReadOptions options;
    options.maxLines = maxLines;
    quorvel::TDataFileTable table;
    const quorvel::TDataReadStatus status = quorvel::ReadDataFrom(pieces, table, options);
    if (status != (tooMany ? quorvel::TDataReadStatus::TooManyLines : quorvel::TDataReadStatus::Ok))
        std::abort();
    if (!tooMany && RowsOf(table) != expected)
        std::abort();

    const std::optional<quorvel::TPointTable> fromTable = tooMany ? std::nullopt : TablePoints(whole);
    at = 0;
    quorvel::TDataPoints points;
    if (quorvel::ReadDataFrom(pieces, points, options) != status)
        std::abort();
    if (!tooMany)
        CheckPoints(points, fromTable);

    if ((hash >> 8) % kHalvesEvery == 0) {
        // The same bits pick where the halves part.
        CheckHalves(text, piece, text.size() * (data[0] & 0x1F) / 31, maxLines, tooMany, expected, fromTable);
    }
    return 0;
}
