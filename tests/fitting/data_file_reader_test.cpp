// The data-file reader: lines, words, the byte-order mark, the line limit, read errors and what it opens,
// whatever pieces the bytes arrive in.
#include "fitting/data_file_reader.h"

#include "fitting/line_words.h"
#include "fitting/point_extraction.h"
#include "fitting/text_lines.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

using TRows = std::vector<std::pair<std::string, std::string>>;

// The rows as the table gives its cells; the words of each line, which the readings' two halves take
// without the cells' cache, must be the same.
TRows RowsOf(const TDataFileTable& table) {
    TRows rows;
    for (int row = 1; row <= table.LineCount(); ++row) {
        rows.emplace_back(table.CellText(0, row), table.CellText(1, row));
        const TDataFileTable::TLineWords words = table.LineWords(row);
        EXPECT_EQ(std::make_pair(std::string(words.y), std::string(words.x)), rows.back()) << "line " << row;
    }
    return rows;
}

const std::size_t kPieces[] = {0, 1, 2, 3, 7, 64};

// The text from any offset, in pieces of at most `piece` bytes (0: all asked for); offsets from failAt on
// fail.
TPositionalSource Positional(const std::string& text, std::size_t piece, std::uint64_t failAt = UINT64_MAX) {
    return [&text, piece, failAt](char* buffer, std::size_t size, std::uint64_t offset) -> std::ptrdiff_t {
        if (offset >= failAt) {
            return -1;
        }
        const std::uint64_t left =
            std::min<std::uint64_t>(failAt, text.size()) - std::min<std::uint64_t>(offset, text.size());
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>({size, left, piece == 0 ? size : piece}));
        std::memcpy(buffer, text.data() + offset, n);
        return static_cast<std::ptrdiff_t>(n);
    };
}

using TPairs = std::vector<std::pair<double, double>>;

TPairs PairsOf(const TPointTable& points) {
    TPairs pairs;
    for (const TDataPoint& p : points) {
        pairs.emplace_back(p.Y, p.X);
    }
    return pairs;
}
// What the recompute takes from the table: its points, or nothing where a counted word is no number.
std::optional<TPairs> TablePairs(const TDataFileTable& table) {
    try {
        return PairsOf(ExtractPoints(table));
    } catch (const Exception&) {
        return std::nullopt;
    }
}

// Feeds the text in pieces of `piece` bytes (0: at once) through the reader's byte source.
template <class Kept>
TDataReadStatus ReadKeptInPieces(const std::string& text, std::size_t piece, Kept& kept,
                                 const TDataReadOptions& options = {}) {
    std::size_t at = 0;
    const TByteSource source = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min({size, text.size() - at, piece == 0 ? size : piece});
        std::memcpy(buffer, text.data() + at, n);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    return ReadDataFrom(source, kept, options);
}

// The points read in order without the table: as TablePairs gives them, or nothing where the read is
// refused or a counted word is no number.
std::optional<TPairs> PointsInPieces(const std::string& text, std::size_t piece) {
    TDataPoints points;
    if (ReadKeptInPieces(text, piece, points) != TDataReadStatus::Ok || points.unreadable) {
        return std::nullopt;
    }
    return PairsOf(points.points);
}

// Both halves on their own threads, as the program runs them.
TDataReadOptions TwoCores(std::size_t maxLineBytes = 0, int maxLines = kMaxTableRows) {
    TDataReadOptions options;
    options.maxLineBytes = maxLineBytes;
    options.maxLines = maxLines;
    options.work.secondCore = true;
    return options;
}

// The points read without the table, in two halves: as TablePairs gives them, or nothing where the read
// is refused.
std::optional<TPairs> HalvesPairs(const TPositionalSource& source, std::uint64_t size,
                                  std::size_t maxLineBytes) {
    TDataPoints points;
    if (ReadDataInTwoParts(source, size, points, TwoCores(maxLineBytes)) != TDataReadStatus::Ok ||
        points.unreadable) {
        return std::nullopt;
    }
    return PairsOf(points.points);
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

TEST(DataFileReader, LinesAndWordsInAnyPieces) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string columns = Repeat(" 123.456", 20);  // 160 characters more on each line
    struct Case {
        const char* name;
        std::string text;
        TRows rows;
    };
    const Case cases[] = {
        {"writer format", "1 2\n3 4\n", {{"1", "2"}, {"3", "4"}}},
        {"last line without LF", "1 2\n3 4", {{"1", "2"}, {"3", "4"}}},
        {"empty text", "", {}},
        {"CR LF, tabs, leading blanks and further words",
         "1\t2\r\n3  4  extra words\r\n\t5 6",
         {{"1", "2"}, {"3", "4"}, {"5", "6"}}},
        {"vertical tab and form feed", "\v1\f2", {{"1", "2"}}},
        {"short lines leave cells empty, never the previous words",
         "7\n1 2\n3\n  \t\n\n",
         {{"7", ""}, {"1", "2"}, {"3", ""}, {"", ""}, {"", ""}}},
        {"a line of 200 characters is one row",
         std::string(100, 'a') + ' ' + std::string(98, 'b') + '\n',
         {{std::string(100, 'a'), std::string(98, 'b')}}},
        {"further columns past 126 characters make no rows",
         "3" + columns + " 1\n5 2" + columns + "\n7 3" + columns + "\n",
         {{"3", "123.456"}, {"5", "2"}, {"7", "3"}}},
        {"a word across the old 126-character cut stays whole",
         std::string(124, ' ') + "1234 5\n",
         {{"1234", "5"}}},
        {"control characters are word characters, also eight bytes on",
         "12345678\x01"
         "9 \x1f"
         "abcdefgh\x7f\t1\n\x02\x03 12345678\v9\n",
         {{"12345678\x01"
           "9",
           "\x1f"
           "abcdefgh\x7f"},
          {"\x02\x03", "12345678"}}},
        {"a NUL ends the line's text", std::string("1 2\0 3\n4", 8), {{"1", "2"}, {"4", ""}}},
        {"a NUL right after Y", std::string("1\0 3\n", 5), {{"1", ""}}},
        {"a NUL first", std::string("\0 1 2\n3 4", 9), {{"", ""}, {"3", "4"}}},
        {"byte-order mark at the start", bom + "1 2\n", {{"1", "2"}}},
        {"only a byte-order mark", bom, {}},
        {"byte-order mark and an empty line", bom + "\n", {{"", ""}}},
        {"a mark further on is text", "1 2\n" + bom + "3 4\n", {{"1", "2"}, {bom + "3", "4"}}},
        {"a second mark is text", bom + bom + " 1", {{bom, "1"}}},
        {"half a mark is text",
         "\xEF\xBB"
         "1 2\n",
         {{"\xEF\xBB"
           "1",
           "2"}}},
        {"half a mark alone is text", "\xEF\xBB", {{"\xEF\xBB", ""}}},
        {"stray UTF-8 bytes are text, never line breaks",
         std::string(130, '\x80') + " 7 8",
         {{std::string(130, '\x80'), "7"}}},
        {"UTF-8 words", "ж 1,5\r\n", {{"ж", "1,5"}}},
        {"plain numbers and what may follow them",
         "-0.5\t+7.25\n1 2 3\n1 2\r\n.5 5.\n1\v2\n1.5e3 2\n12345678901234567890 1\n"
         "123456789.0123456 -98765432.10\n9007199254740993 1\n0.1 -2\n3.25\t\t4.5 tail",
         {{"-0.5", "+7.25"},
          {"1", "2"},
          {"1", "2"},
          {".5", "5."},
          {"1", "2"},
          {"1.5e3", "2"},
          {"12345678901234567890", "1"},
          {"123456789.0123456", "-98765432.10"},
          {"9007199254740993", "1"},
          {"0.1", "-2"},
          {"3.25", "4.5"}}},
        {"a letter right after X", "1 2x\n", {{"1", "2x"}}},
        {"a control character right after X", "1 2\x01\n", {{"1", "2\x01"}}},
        {"a second decimal point in X", "1 2.5.1\n", {{"1", "2.5.1"}}},
    };
    for (const Case& c : cases) {
        TDataFileTable whole;
        ASSERT_EQ(ParseDataText(c.text, whole), TDataReadStatus::Ok);
        EXPECT_EQ(RowsOf(whole), c.rows) << c.name;
        const std::optional<TPairs> pairs = TablePairs(whole);
        for (const std::size_t piece : kPieces) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            TDataFileTable table;
            ASSERT_EQ(ReadKeptInPieces(c.text, piece, table), TDataReadStatus::Ok);
            EXPECT_EQ(RowsOf(table), c.rows);
            // The points without the table, as quorvel-fit reads them: those the table gives.
            EXPECT_EQ(PointsInPieces(c.text, piece), pairs);
        }
        // Read in two halves at once, parted at every byte: the same lines, and the points the table's
        // give.
        for (std::size_t middle = 0; middle <= c.text.size() + 1; ++middle) {
            for (const std::size_t piece : {0, 2}) {
                SCOPED_TRACE(std::string(c.name) + ", parted at " + std::to_string(middle) + ", pieces of " +
                             std::to_string(piece));
                TDataFileTable halves;
                ASSERT_EQ(ReadDataInTwoParts(Positional(c.text, piece), 2 * middle, halves, TwoCores()),
                          TDataReadStatus::Ok);
                EXPECT_EQ(RowsOf(halves), c.rows);
                EXPECT_EQ(HalvesPairs(Positional(c.text, piece), 2 * middle, 0), pairs);
            }
        }
    }
}

using TFourRows = std::vector<std::vector<std::string>>;

// The four cells of each line of a four-column table, and, as RowsOf, its first two as the table's rows.
TFourRows FourRowsOf(const TFourColumnFileTable& table, TRows* firstTwo = nullptr) {
    TFourRows rows;
    EXPECT_EQ(table.RowCount(), table.LineCount() + 2);
    for (int row = 1; row <= table.LineCount(); ++row) {
        const ITableSource::TRowTexts texts = table.RowTexts(row);
        rows.push_back(
            {std::string(texts.y), std::string(texts.x), std::string(texts.uy), std::string(texts.ux)});
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(table.CellText(col, row), rows.back()[static_cast<std::size_t>(col)]);
        }
        if (firstTwo != nullptr) {
            firstTwo->emplace_back(texts.y, texts.x);
        }
    }
    return rows;
}

// The window's table with its columns u(Y) and u(X): the third and fourth words of each line, whole or in
// pieces or halves; its first two words are those of the two-column table.
TEST(DataFileReader, FourColumnsOfEachLine) {
    const struct {
        const char* name;
        std::string text;
        TFourRows rows;
    } cases[] = {
        {"four words", "1 2 0.1 0.02\n3 4 0.2 0\n", {{"1", "2", "0.1", "0.02"}, {"3", "4", "0.2", "0"}}},
        {"three words and fewer",
         "1 2 0.1\n3 4\n5\n\n",
         {{"1", "2", "0.1", ""}, {"3", "4", "", ""}, {"5", "", "", ""}, {"", "", "", ""}}},
        {"tabs, CR LF and a fifth word",
         "\t1\t2  0.1\t0.2 note\r\n3 4 x y",
         {{"1", "2", "0.1", "0.2"}, {"3", "4", "x", "y"}}},
        {"byte-order mark",
         "\xEF\xBB\xBF"
         "1 2 3 4",
         {{"1", "2", "3", "4"}}},
    };
    for (const auto& c : cases) {
        TFourColumnFileTable whole;
        ASSERT_EQ(ParseDataText(c.text, whole), TDataReadStatus::Ok);
        TRows firstTwo;
        EXPECT_EQ(FourRowsOf(whole, &firstTwo), c.rows) << c.name;
        TDataFileTable two;
        ASSERT_EQ(ParseDataText(c.text, two), TDataReadStatus::Ok);
        EXPECT_EQ(firstTwo, RowsOf(two)) << c.name;
        for (const std::size_t piece : kPieces) {
            TFourColumnFileTable table;
            ASSERT_EQ(ReadKeptInPieces(c.text, piece, table), TDataReadStatus::Ok);
            EXPECT_EQ(FourRowsOf(table), c.rows) << c.name << ", pieces of " << piece;
        }
        for (std::size_t middle = 0; middle <= c.text.size() + 1; ++middle) {
            TFourColumnFileTable halves;
            ASSERT_EQ(ReadDataInTwoParts(Positional(c.text, 2), 2 * middle, halves, TwoCores()),
                      TDataReadStatus::Ok);
            EXPECT_EQ(FourRowsOf(halves), c.rows) << c.name << ", parted at " << middle;
        }
    }
}

TEST(DataFileReader, TableOfTheLines) {
    TDataFileTable table;
    ParseDataText("1 2\n3\n", table);
    EXPECT_EQ(table.RowCount(), 4);  // header, two lines, entry row
    EXPECT_EQ(table.CellText(0, 0), "");
    EXPECT_EQ(table.CellText(0, 2), "3");
    EXPECT_EQ(table.CellText(0, 3), "");
    EXPECT_EQ(table.CellText(2, 1), "");
    EXPECT_EQ(table.CellText(0, -1), "");
}

TEST(DataFileReader, MoreLinesThanTheLimitKeepNothing) {
    const struct {
        std::string text;
        int maxLines;
        TDataReadStatus status;
        int lines;
    } cases[] = {
        {"1\n2\n3\n", 3, TDataReadStatus::Ok, 3},
        {"1\n2\n3", 3, TDataReadStatus::Ok, 3},
        {"\xEF\xBB\xBF"
         "1\n2\n3\n",
         3, TDataReadStatus::Ok, 3},
        {"1\n2\n3\n4", 3, TDataReadStatus::TooManyLines, 0},
        {"1\n2\n3\n\n", 3, TDataReadStatus::TooManyLines, 0},  // an empty fourth line is a line
        {"\n\n\n\n", 3, TDataReadStatus::TooManyLines, 0},
        {"", 0, TDataReadStatus::Ok, 0},
        {"\xEF\xBB\xBF", 0, TDataReadStatus::Ok, 0},
        // Held back as the start of a mark, then found to be a line of text at the end.
        {"\xEF", 0, TDataReadStatus::TooManyLines, 0},
        {"\xEF\xBB", 0, TDataReadStatus::TooManyLines, 0},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : kPieces) {
            SCOPED_TRACE(c.text + ", at most " + std::to_string(c.maxLines) + ", pieces of " +
                         std::to_string(piece));
            TDataFileTable table;
            TDataReadOptions options;
            options.maxLines = c.maxLines;
            EXPECT_EQ(ReadKeptInPieces(c.text, piece, table, options), c.status);
            EXPECT_EQ(table.LineCount(), c.lines);
            EXPECT_EQ(ParseDataText(c.text, table, c.maxLines), c.status);
        }
        for (std::size_t middle = 0; middle <= c.text.size(); ++middle) {
            SCOPED_TRACE(c.text + ", at most " + std::to_string(c.maxLines) + ", parted at " +
                         std::to_string(middle));
            TDataFileTable table;
            EXPECT_EQ(ReadDataInTwoParts(Positional(c.text, 1), 2 * middle, table, TwoCores(0, c.maxLines)),
                      c.status);
            EXPECT_EQ(table.LineCount(), c.lines);
        }
    }
}

TEST(DataFileReader, ReadErrorKeepsTheWholeLinesBeforeIt) {
    const std::string text = "1 2\n3 4\n5 6\n7 8\n";
    for (const std::size_t failAt : {std::size_t{0}, std::size_t{10}, std::size_t{12}}) {
        SCOPED_TRACE(failAt);
        std::size_t at = 0;
        const TByteSource source = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
            if (at >= failAt) {
                return -1;
            }
            const std::size_t n = std::min({size, failAt - at, std::size_t{7}});
            std::memcpy(buffer, text.data() + at, n);
            at += n;
            return static_cast<std::ptrdiff_t>(n);
        };
        TDataFileTable table;
        EXPECT_EQ(ReadDataFrom(source, table), TDataReadStatus::ReadError);
        // The line broken off by the error is not known to be whole: it is not used.
        const TRows whole = {{"1", "2"}, {"3", "4"}, {"5", "6"}};
        EXPECT_EQ(RowsOf(table), TRows(whole.begin(), whole.begin() + static_cast<long>(failAt / 4)));
        // The same in two halves, wherever they part; the points of a text read in part are none.
        for (std::size_t middle = 0; middle <= text.size(); ++middle) {
            SCOPED_TRACE(middle);
            TDataFileTable halves;
            EXPECT_EQ(ReadDataInTwoParts(Positional(text, 7, failAt), 2 * middle, halves, TwoCores()),
                      TDataReadStatus::ReadError);
            EXPECT_EQ(RowsOf(halves), RowsOf(table));
            EXPECT_EQ(HalvesPairs(Positional(text, 7, failAt), 2 * middle, 0), std::nullopt);
        }
    }
}

TEST(DataFileReader, CancelledOrRefusedHalvesKeepNothing) {
    const std::string text = "1 2\n" + std::string(98, '3') + " 4\n5 6\n";
    for (std::size_t middle = 0; middle <= text.size(); middle += 5) {
        SCOPED_TRACE(middle);
        TDataFileTable table;
        int calls = 0;
        // Stopped at the second piece: the other half's lines are not kept either.
        TDataReadOptions stopAtSecond = TwoCores();
        stopAtSecond.progress = [&calls](std::uint64_t, std::uint64_t) { return ++calls < 2; };
        EXPECT_EQ(ReadDataInTwoParts(Positional(text, 3), 2 * middle, table, stopAtSecond),
                  TDataReadStatus::Cancelled);
        EXPECT_EQ(table.LineCount(), 0);
        // A line of 100 bytes beyond a limit of 99, in either half.
        EXPECT_EQ(ReadDataInTwoParts(Positional(text, 3), 2 * middle, table, TwoCores(99)),
                  TDataReadStatus::LineTooLong);
        EXPECT_EQ(table.LineCount(), 0);
        EXPECT_EQ(HalvesPairs(Positional(text, 3), 2 * middle, 99), std::nullopt);
        EXPECT_EQ(HalvesPairs(Positional(text, 3), 2 * middle, 100).value_or(TPairs{}).size(), 3u);
    }
}

// Lines "Y X u(Y) [u(X)]": the uncertainties of the counted lines, the rules for missing ones, and the
// first line that is wrong, whether the text is read in order or in two halves parted anywhere.
TEST(DataFileReader, UncertaintyColumnsAndTheirFaults) {
    struct TCase {
        const char* name;
        std::string text;
        std::optional<TUncertaintyRule> uyRule;
        std::vector<std::pair<double, double>> uncertainties;  // u(Y), u(X) of the points kept
        std::size_t faultLine;
        std::string fault;
        std::size_t unreadableLine;
    };
    const std::string body = "1 1 0.1\n2 2 0.2 0.05\n\n3\n4 4 4e-1 0\n";
    const std::vector<TCase> cases = {
        {"columns", body, std::nullopt, {{0.1, 0}, {0.2, 0.05}, {0.4, 0}}, 0, "", 0},
        {"u(X) given late",
         "1 1 0.1\n2 2 0.1\n3 3 0.1 0.5\n",
         std::nullopt,
         {{0.1, 0}, {0.1, 0}, {0.1, 0.5}},
         0,
         "",
         0},
        {"u(X) from the first line",
         "1 1 0.1 0.2\n2 2 0.1\n",
         std::nullopt,
         {{0.1, 0.2}, {0.1, 0}},
         0,
         "",
         0},
        {"u(X) never given", "1 1 0.1\n2 2 0.1 0\n", std::nullopt, {{0.1, 0}, {0.1, 0}}, 0, "", 0},
        {"a rule fills", "10 1\n-20 2 0.5\n", TUncertaintyRule{0.1, 1}, {{0.2, 0}, {0.5, 0}}, 0, "", 0},
        {"missing u(Y)",
         body + "5 5\n",
         std::nullopt,
         {},
         6,
         "no u(Y) (the third word), and no --u-y rule",
         0},
        {"zero u(Y) from the rule", "0 1\n", TUncertaintyRule{0, 2}, {}, 1, "u(Y) must be greater than 0", 0},
        {"negative u(X)", body + "5 5 1 -2\n6 6 1\n", std::nullopt, {}, 6, "u(X) must not be negative", 0},
        {"no number", body + "5 5 x1\n", std::nullopt, {}, 6, "'x1' is not a valid floating point value", 0},
        // The first fault is told; the rest of the text is read only for its status.
        {"Y no number first", body + "y 5 0\n6 6 0\n", std::nullopt, {}, 0, "", 6},
        {"u(Y) first", body + "5 5 0\ny 6 1\n", std::nullopt, {}, 6, "u(Y) must be greater than 0", 7},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        // The text repeated, so that a half may begin anywhere; the fault is then the first copy's.
        const std::string text = Repeat(c.text, 3);
        const std::size_t lines = static_cast<std::size_t>(std::count(c.text.begin(), c.text.end(), '\n'));
        const auto check = [&](const TCalibrationPoints& kept) {
            EXPECT_EQ(kept.lines, 3 * lines);
            EXPECT_EQ(kept.faultLine, c.faultLine);
            EXPECT_EQ(kept.fault, c.fault);
            EXPECT_EQ(kept.unreadableLine, c.unreadableLine);
            EXPECT_EQ(kept.unreadable != nullptr, c.unreadableLine != 0);
            if (c.faultLine == 0 && c.unreadableLine == 0) {
                ASSERT_EQ(kept.points.size(), 3 * c.uncertainties.size());
                ASSERT_EQ(kept.u.uy.size(), kept.points.size());
                ASSERT_TRUE(kept.u.ux.empty() || kept.u.ux.size() == kept.points.size());
                for (std::size_t i = 0; i < kept.points.size(); ++i) {
                    const auto& [uy, ux] = c.uncertainties[i % c.uncertainties.size()];
                    EXPECT_EQ(kept.u.Uy(i), uy) << i;
                    EXPECT_EQ(kept.u.Ux(i), ux) << i;
                }
            }
        };
        TCalibrationPoints inOrder;
        inOrder.uyRule = c.uyRule;
        std::size_t at = 0;
        const TByteSource source = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
            const std::size_t n = std::min({size, text.size() - at, std::size_t{3}});
            std::memcpy(buffer, text.data() + at, n);
            at += n;
            return static_cast<std::ptrdiff_t>(n);
        };
        ASSERT_EQ(ReadDataFrom(source, inOrder, {}), TDataReadStatus::Ok);
        check(inOrder);
        for (std::size_t middle = 1; middle < text.size(); middle += 3) {
            SCOPED_TRACE(middle);
            TCalibrationPoints halves;
            halves.uyRule = c.uyRule;
            ASSERT_EQ(ReadDataInTwoParts(Positional(text, 0), 2 * middle, halves, TwoCores()),
                      TDataReadStatus::Ok);
            check(halves);
        }
    }
}

// The readings of --apply end their lines at CR too and keep a NUL in its word; a data file's lines end at
// LF alone and end their text at a NUL. The first four words of each line, whatever pieces the bytes come
// in, and also where a line begun is written shorter after every byte.
using TFourWords = std::array<std::string, 4>;

template <TLineRules R>
class TFourWordsSink {
public:
    static constexpr int kWords = 4;
    std::vector<TFourWords> lines;
    TFourWords Read(TLineCursor<R>& line) {
        TFourWords words;
        for (std::string& word : words) {
            word = line.Next();
        }
        return words;
    }
    bool Take(const TFourWords& words) {
        lines.push_back(words);
        return true;
    }
};

template <TLineRules R>
std::vector<TFourWords> FourWordsInPieces(const std::string& text, std::size_t piece,
                                          std::size_t shortenFrom) {
    TFourWordsSink<R> sink;
    TLineSplitter<R, TFourWordsSink<R>> splitter(sink, TLineLimits{SIZE_MAX, 0, shortenFrom});
    for (std::size_t at = 0; at < text.size(); at += piece) {
        EXPECT_TRUE(splitter.Feed(std::string_view(text).substr(at, piece)));
    }
    EXPECT_TRUE(splitter.Finish());
    EXPECT_EQ(splitter.Lines(), sink.lines.size());
    return sink.lines;
}

TEST(LineWords, FirstFourWordsOfEachFormatInAnyPieces) {
    const std::string nul(1, '\0');
    const std::string far(70000, ' ');  // blanks past the first shortening of a line without a limit
    const struct {
        const char* name;
        bool readings;
        std::string text;
        std::vector<TFourWords> lines;
    } rows[] = {
        {"four words of five", false, "a b c d e\n", {{"a", "b", "c", "d"}}},
        {"blanks of every kind", false, "\t\v\f a  \t b\f", {{"a", "b", "", ""}}},
        {"empty lines", false, "\n\n", {{}, {}}},
        {"a CR in a data file is a blank", false, "1\r2\r\n3", {{"1", "2", "", ""}, {"3", "", "", ""}}},
        {"a lone CR and a CR LF end a reading", true, "1\r2\r\n3\n\r\n", {{"1"}, {"2"}, {"3"}, {}}},
        {"CR LF, CR LF", true, "\r\n\r\n", {{}, {}}},
        {"a NUL ends a data line's text",
         false,
         "a" + nul + "b c\nd " + nul + " e",
         {{"a", "", "", ""}, {"d", "", "", ""}}},
        {"a NUL belongs to its reading", true, "a" + nul + "b c", {{"a" + nul + "b", "c", "", ""}}},
        {"a byte-order mark at the start only",
         true,
         "\xEF\xBB\xBF a\n\xEF\xBB\xBF",
         {{"a", "", "", ""}, {"\xEF\xBB\xBF", "", "", ""}}},
        {"words far apart on a long line",
         false,
         "w1" + far + "w2" + far + "w3 w4" + far + "w5\nz",
         {{"w1", "w2", "w3", "w4"}, {"z", "", "", ""}}},
        {"a long word", false, std::string(70001, 'y') + " x", {{std::string(70001, 'y'), "x", "", ""}}},
    };
    for (const auto& row : rows) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4096}}) {
            for (const std::size_t shortenFrom : {std::size_t{1}, std::size_t{1} << 16}) {
                if (piece < 4096 && row.text.size() > 1000 && shortenFrom == 1) {
                    continue;  // a long line written shorter after every byte takes too long
                }
                SCOPED_TRACE(std::string(row.name) + ", pieces of " + std::to_string(piece) +
                             ", shorter from " + std::to_string(shortenFrom));
                EXPECT_EQ(row.readings ? FourWordsInPieces<kReadingLines>(row.text, piece, shortenFrom)
                                       : FourWordsInPieces<kDataLines>(row.text, piece, shortenFrom),
                          row.lines);
            }
        }
    }
}

// A plain number read on the way to its word's end is taken only where it is the whole word; any other
// word is found whole for the number reader that reads cells.
TEST(LineWords, ANumberReadOnTheWayIsTakenOnlyAsAWholeWord) {
    const struct {
        std::string line;
        std::string word;
        bool whole;
        double value;  // when whole
    } rows[] = {
        {"12 34", "12", true, 12},
        {"-0\t1", "-0", true, -0.0},
        {"+7.25\n", "+7.25", true, 7.25},
        {std::string("5\0"
                     "7",
                     3),
         "5", true, 5},  // a NUL ends a data line's text
        {"1.5e3 2", "1.5e3", false, 0},
        {"12x 3", "12x", false, 0},
        {"1\x01 2", "1\x01", false, 0},
        {"1,5 2", "1,5", false, 0},
        {"12345678901234567890 1", "12345678901234567890", false, 0},
        {". 1", ".", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const char* const begin = row.line.data();
        TLineCursor<kDataLines> line(begin, begin, begin + row.line.size());
        double value = 99;
        bool whole = true;
        const std::string_view word =
            line.Next([&value](const char* from, const char* p,
                               const char* end) { return ReadPlainDecimal(from, p, end, value); },
                      whole);
        EXPECT_EQ(word, row.word);
        EXPECT_EQ(whole, row.whole);
        if (row.whole) {
            EXPECT_EQ(std::memcmp(&value, &row.value, sizeof value), 0) << value;
        }
    }
}

// quorvel-fit reads the points without the table; a counted word that is no number is told as the
// table's extraction tells it: the first in line order, Y before X, whatever pieces or halves the text is
// read in.
TEST(DataFileReader, TheFirstWordThatIsNoNumberIsTheOneTold) {
    const struct {
        std::string text;
        std::string message;  // empty: every counted word is a number
    } rows[] = {
        {"1 2\nabc 3\n4 x\n", "'abc' is not a valid floating point value"},
        {"a b\n", "'a' is not a valid floating point value"},
        {"1 x\ny 2\n", "'x' is not a valid floating point value"},
        {"y\n1 2\n3 q\n", "'q' is not a valid floating point value"},
        {"1 2\n3 1e999\n5 z\n", "Floating point overflow"},
        {"1 2\n3 4\n", ""},
    };
    const auto told = [](const TDataPoints& points) {
        try {
            if (points.unreadable) {
                std::rethrow_exception(points.unreadable);
            }
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string();
    };
    for (const auto& row : rows) {
        for (const std::size_t piece : kPieces) {
            SCOPED_TRACE(row.text + ", pieces of " + std::to_string(piece));
            TDataPoints points;
            ASSERT_EQ(ReadKeptInPieces(row.text, piece, points), TDataReadStatus::Ok);
            EXPECT_EQ(told(points), row.message);
        }
        for (std::size_t middle = 0; middle <= row.text.size(); ++middle) {
            SCOPED_TRACE(row.text + ", parted at " + std::to_string(middle));
            TDataPoints points;
            ASSERT_EQ(ReadDataInTwoParts(Positional(row.text, 2), 2 * middle, points, TwoCores()),
                      TDataReadStatus::Ok);
            EXPECT_EQ(told(points), row.message);
        }
    }
}

// The window reads lines of any length: a line begun in one piece is carried to the next however long it
// is, and only the room of its words is kept.
TEST(DataFileReader, ALineOfAnyLengthIsOneRow) {
    const std::string far(200000, ' ');
    const std::string word(300000, '7');
    const struct {
        const char* name;
        std::string text;
        TRows rows;
    } rows[] = {
        {"words far apart", "1" + far + "2" + far + "3\n4 5", {{"1", "2"}, {"4", "5"}}},
        {"a long word", word + " 1\n", {{word, "1"}}},
        {"a long line without its end", far + "8\t" + word, {{"8", word}}},
        {"a NUL early in a long line", std::string("6\0", 2) + word + "\n1 2", {{"6", ""}, {"1", "2"}}},
    };
    for (const auto& row : rows) {
        for (const std::size_t piece : {std::size_t{1000}, std::size_t{4096}, std::size_t{0}}) {
            SCOPED_TRACE(std::string(row.name) + ", pieces of " + std::to_string(piece));
            TDataFileTable table;
            ASSERT_EQ(ReadKeptInPieces(row.text, piece, table), TDataReadStatus::Ok);
            EXPECT_EQ(RowsOf(table), row.rows);
        }
    }
}

TEST(DataFileReader, OpensOnlyRegularFilesAndNeverWaits) {
    const std::string dir = ::testing::TempDir() + "quorvel_reader_" + std::to_string(getpid());
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string file = dir + "/pairs.txt";
    std::ofstream(file, std::ios::binary) << "1 2\n";
    const std::string fifo = dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = dir + "/socket";
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    const std::string link = dir + "/link.txt";
    ASSERT_EQ(symlink(file.c_str(), link.c_str()), 0);

    const struct {
        std::string path;
        TDataReadStatus status;
    } cases[] = {
        {file, TDataReadStatus::Ok},
        {link, TDataReadStatus::Ok},
        {fifo, TDataReadStatus::OpenFailed},  // with no writer: opening must not wait for one
        {"/dev/null", TDataReadStatus::OpenFailed},
        {"/dev/zero", TDataReadStatus::OpenFailed},  // endless
        {socketPath, TDataReadStatus::OpenFailed},
        {dir, TDataReadStatus::OpenFailed},
        {dir + "/missing.txt", TDataReadStatus::OpenFailed},
        {"", TDataReadStatus::OpenFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TDataFileTable table;
        EXPECT_EQ(ReadDataFile(c.path, table), c.status);
        EXPECT_EQ(table.LineCount(), c.status == TDataReadStatus::Ok ? 1 : 0);
    }
    close(sock);
    for (const std::string& path : {file, fifo, socketPath, link}) {
        unlink(path.c_str());
    }
    rmdir(dir.c_str());
}

}  // namespace
}  // namespace quorvel
