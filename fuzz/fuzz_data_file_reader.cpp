// Fuzzes the line tokenizer and the data-file reader against a plain reading of the rules (lines at their
// line ends, a leading byte-order mark skipped, a NUL that ends a line's text where the format says so,
// the first four white-space separated words). On every input, the text at once: a data file's table (a
// text with more lines than the limit keeps nothing). On a sample: the first four words of each line in
// both formats; the points read without the table are those the table gives; the same in pieces of any
// size, an open line written shorter; and in two halves, parted anywhere, the second after the first or
// beside it on another core.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
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

// The reads in pieces and in halves are checked on one input in kSampleEvery each, picked by a hash of its
// bytes, the points alone and the four words of both formats on one more each, so that the fuzzer runs
// fast; the halves on two cores, which start a thread for each read, on one of kTwoCoresEvery of those.
constexpr std::uint32_t kSampleEvery = 8;
constexpr std::uint32_t kTwoCoresEvery = 64;

// The checks' own steps need no coverage of their own: the fuzzer's feedback is the reader's.
#if defined(__clang__)
#define QUORVEL_CHECK_STEP __attribute__((no_sanitize("coverage")))
#else
#define QUORVEL_CHECK_STEP
#endif

// The rules read as plainly as they are written, to hold the tokenizer against, byte by byte. (Into the
// caller's vector, whose room serves the next input too.)
QUORVEL_CHECK_STEP void PlainReading(std::string_view text, TLineRules rules, std::vector<TWords>& lines) {
    const char* p = text.data();
    const char* const end = p + text.size();
    const auto white = [rules](char c) {
        return c == ' ' || c == '\t' || c == '\v' || c == '\f' || (c == '\r' && !rules.crEndsLine);
    };
    const auto endsLine = [rules](char c) { return c == '\n' || (c == '\r' && rules.crEndsLine); };
    if (end - p >= 3 && p[0] == '\xEF' && p[1] == '\xBB' && p[2] == '\xBF') {
        p += 3;
    }
    lines.clear();
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && !endsLine(*lineEnd)) {
            ++lineEnd;
        }
        const char* next = lineEnd == end ? end : lineEnd + 1;
        if (lineEnd < end && *lineEnd == '\r' && next < end && *next == '\n') {
            ++next;  // CR LF, where CR ends a line
        }
        if (rules.nulEndsText) {
            for (const char* q = p; q < lineEnd; ++q) {
                if (*q == '\0') {
                    lineEnd = q;
                    break;
                }
            }
        }
        TWords words;
        for (std::string_view& word : words) {
            while (p < lineEnd && white(*p)) {
                ++p;
            }
            const char* const begin = p;
            while (p < lineEnd && !white(*p)) {
                ++p;
            }
            word = std::string_view(begin, static_cast<std::size_t>(p - begin));
        }
        lines.push_back(words);
        p = next;
    }
}

QUORVEL_CHECK_STEP bool SameWords(const TWords& a, const TWords& b) {
    for (std::size_t w = 0; w < a.size(); ++w) {
        if (a[w].size() != b[w].size() ||
            (!a[w].empty() && std::memcmp(a[w].data(), b[w].data(), a[w].size()) != 0))
            return false;
    }
    return true;
}

// Holds each line's first four words against the plain reading's as it takes them.
template <TLineRules R>
class TWordsCheck {
public:
    static constexpr int kWords = ::kWords;
    explicit TWordsCheck(const std::vector<TWords>& expected) : expected_(expected) {}
    TWords Read(quorvel::TLineCursor<R>& line) {
        TWords words;
        for (std::string_view& word : words) {
            word = line.Next();
        }
        return words;
    }
    bool Take(const TWords& words) {
        if (lines_ >= expected_.size() || !SameWords(words, expected_[lines_++]))
            std::abort();
        return true;
    }
    std::size_t Lines() const { return lines_; }

private:
    const std::vector<TWords>& expected_;
    std::size_t lines_ = 0;
};

// The words of every line, in pieces, and with an open line written shorter from shortenFrom bytes on.
template <TLineRules R>
void CheckWords(std::string_view text, const std::vector<TWords>& expected, std::size_t piece,
                std::size_t shortenFrom) {
    TWordsCheck<R> check(expected);
    quorvel::TLineSplitter<R, TWordsCheck<R>> splitter(check, quorvel::TLineLimits{SIZE_MAX, 0, shortenFrom});
    for (std::size_t at = 0; at < text.size(); at += piece) {
        if (!splitter.Feed(text.substr(at, piece)))
            std::abort();
    }
    if (!splitter.Finish() || check.Lines() != expected.size() || splitter.Lines() != expected.size())
        std::abort();
}

// Whether the four-column table's rows hold each line's first four words.
QUORVEL_CHECK_STEP bool SameFourRows(const quorvel::TFourColumnFileTable& table,
                                     const std::vector<TWords>& lines) {
    if (static_cast<std::size_t>(table.LineCount()) != lines.size())
        return false;
    for (int row = 1; row <= table.LineCount(); ++row) {
        const TWords& words = lines[static_cast<std::size_t>(row - 1)];
        const quorvel::ITableSource::TRowTexts cells = table.RowTexts(row);
        if (cells.y != words[0] || cells.x != words[1] || cells.uy != words[2] || cells.ux != words[3])
            return false;
    }
    return true;
}

// Whether the table's rows hold each line's first two words.
QUORVEL_CHECK_STEP bool SameRows(const quorvel::TDataFileTable& table, const std::vector<TWords>& lines) {
    if (static_cast<std::size_t>(table.LineCount()) != lines.size())
        return false;
    for (int row = 1; row <= table.LineCount(); ++row) {
        const TWords& words = lines[static_cast<std::size_t>(row - 1)];
        const quorvel::TDataFileTable::TLineWords cells = table.LineWords(row);
        if (cells.y != words[0] || cells.x != words[1])
            return false;
    }
    return true;
}

// What the recompute takes from the table: its points, or nothing where a counted word is no number.
std::optional<quorvel::TPointTable> TablePoints(const quorvel::TDataFileTable& table) {
    try {
        return quorvel::ExtractPoints(table);
    } catch (const quorvel::Exception&) {
        return std::nullopt;
    }
}

QUORVEL_CHECK_STEP void CheckPoints(const quorvel::TDataPoints& read,
                                    const std::optional<quorvel::TPointTable>& fromTable) {
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

QUORVEL_CHECK_STEP std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (std::size_t i = 0; i < size; ++i) {
        h = (h ^ data[i]) * 16777619u;
    }
    return h;
}

// The points read in order, in pieces of `piece` bytes, and the table too where it is given the rows.
void CheckInOrder(std::string_view text, std::size_t piece, const quorvel::TDataReadOptions& options,
                  bool tooMany, const std::vector<TWords>* expected,
                  const std::optional<quorvel::TPointTable>& fromTable) {
    std::size_t at = 0;
    const quorvel::TByteSource pieces = [&](char* buffer, std::size_t n) {
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        at += got;
        return static_cast<std::ptrdiff_t>(got);
    };
    const quorvel::TDataReadStatus status =
        tooMany ? quorvel::TDataReadStatus::TooManyLines : quorvel::TDataReadStatus::Ok;
    if (expected != nullptr) {
        quorvel::TDataFileTable table;
        if (quorvel::ReadDataFrom(pieces, table, options) != status ||
            (!tooMany && !SameRows(table, *expected)))
            std::abort();
        at = 0;
    }
    quorvel::TDataPoints points;
    if (quorvel::ReadDataFrom(pieces, points, options) != status)
        std::abort();
    if (!tooMany)
        CheckPoints(points, fromTable);
}

void CheckHalves(std::string_view text, std::size_t piece, std::uint64_t middle, int maxLines, bool tooMany,
                 const std::vector<TWords>& expected, const std::optional<quorvel::TPointTable>& fromTable,
                 bool twoCores) {
    const quorvel::TPositionalSource source = [text, piece](char* buffer, std::size_t n,
                                                            std::uint64_t offset) {
        const std::size_t at = std::min<std::size_t>(offset, text.size());
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        return static_cast<std::ptrdiff_t>(got);
    };
    quorvel::TDataReadOptions options;
    options.maxLines = maxLines;
    options.work.secondCore = twoCores;
    quorvel::TDataFileTable halves;
    const quorvel::TDataReadStatus status = quorvel::ReadDataInTwoParts(source, 2 * middle, halves, options);
    if (status != (tooMany ? quorvel::TDataReadStatus::TooManyLines : quorvel::TDataReadStatus::Ok))
        std::abort();
    if (tooMany ? halves.LineCount() != 0 : !SameRows(halves, expected))
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

    // Every input: the data file's rules against the tokenizer, through the table, the text at once.
    static std::vector<TWords> expected;
    PlainReading(text, quorvel::kDataLines, expected);
    const std::size_t atOnce = std::max<std::size_t>(text.size(), 1);
    const bool tooMany = expected.size() > static_cast<std::size_t>(maxLines);
    quorvel::TDataFileTable whole;
    if ((quorvel::ParseDataText(text, whole, maxLines) == quorvel::TDataReadStatus::TooManyLines) != tooMany)
        std::abort();
    if (tooMany ? whole.LineCount() != 0 : !SameRows(whole, expected))
        std::abort();

    // The readings' rules, the points (a word that is no number throws, which costs), and the reads in
    // pieces and in halves, on a sample each.
    const std::uint32_t sample = hash % kSampleEvery;
    if (sample > 3) {
        return 0;
    }
    static std::vector<TWords> readings;
    if (sample == 0 || sample == 3) {
        // Both formats' four words, and the window's table with its columns u(Y) and u(X).
        CheckWords<quorvel::kDataLines>(text, expected, atOnce, SIZE_MAX);
        quorvel::TFourColumnFileTable four;
        if ((quorvel::ParseDataText(text, four, maxLines) == quorvel::TDataReadStatus::TooManyLines) !=
            tooMany)
            std::abort();
        if (tooMany ? four.LineCount() != 0 : !SameFourRows(four, expected))
            std::abort();
        PlainReading(text, quorvel::kReadingLines, readings);
        CheckWords<quorvel::kReadingLines>(text, readings, atOnce, SIZE_MAX);
    }
    if (sample == 3) {
        return 0;
    }
    const std::optional<quorvel::TPointTable> fromTable = tooMany ? std::nullopt : TablePoints(whole);
    quorvel::TDataReadOptions options;
    options.maxLines = maxLines;
    switch (sample) {
        case 0:
            // The text in pieces, an open line written shorter from a few bytes on.
            CheckWords<quorvel::kDataLines>(text, expected, piece, 1 + (hash >> 8) % 16);
            CheckWords<quorvel::kReadingLines>(text, readings, piece, 1 + (hash >> 12) % 16);
            CheckInOrder(text, piece, options, tooMany, &expected, fromTable);
            break;
        case 1:
            // The same bits pick where the halves part. The halves' split and join are the same whether
            // the second runs beside the first or after it.
            CheckHalves(text, piece, text.size() * (data[0] & 0x1F) / 31, maxLines, tooMany, expected,
                        fromTable, (hash >> 8) % kTwoCoresEvery == 0);
            break;
        default:  // 2
            CheckInOrder(text, atOnce, options, tooMany, nullptr, fromTable);
            break;
    }
    return 0;
}
