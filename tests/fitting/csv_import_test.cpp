// The CSV import: records cut by the quoting rules whatever pieces the bytes arrive in, the separator,
// decimal character, header and columns found in files as spreadsheets and loggers write them, the
// points equal to those of the same numbers in a data file, and refusals that name the line and column.
#include "fitting/csv_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/separators_scope.h"

namespace quorvel {
namespace {

using TRecords = std::vector<std::vector<std::string>>;

class TKeepRecords final : public ICsvRecordSink {
public:
    bool Record(const TCsvRecord& record) override {
        records.emplace_back(record.fields.begin(), record.fields.end());
        lines.push_back(record.lines);
        return true;
    }
    TRecords records;
    std::vector<std::vector<std::size_t>> lines;
};

const std::size_t kPieces[] = {0, 1, 2, 3, 5, 64};

// Feeds the text in pieces of `piece` bytes (0: at once) and finishes it.
bool ParseInPieces(const std::string& text, TCsvSeparator separator, std::size_t piece, TKeepRecords& sink,
                   TCsvParser*& used, std::unique_ptr<TCsvParser>& parser) {
    parser = std::make_unique<TCsvParser>(separator, sink);
    used = parser.get();
    const std::size_t step = piece == 0 ? std::max<std::size_t>(text.size(), 1) : piece;
    for (std::size_t at = 0; at < text.size(); at += step) {
        if (!parser->Feed(std::string_view(text).substr(at, step))) {
            return false;
        }
    }
    return parser->Finish();
}

struct TRecordsRow {
    const char* name;
    TCsvSeparator separator;
    std::string text;
    TRecords records;
    TCsvSyntaxFault fault = TCsvSyntaxFault::None;
    std::size_t faultLine = 0;
    std::size_t faultField = 0;
};

TEST(CsvRecords, CutByTheQuotingRulesInAnyPieces) {
    using S = TCsvSeparator;
    const TRecordsRow rows[] = {
        {"plain", S::Comma, "1,2\n3,4\n", {{"1", "2"}, {"3", "4"}}},
        {"last line without line end", S::Comma, "1,2\n3,4", {{"1", "2"}, {"3", "4"}}},
        {"CR LF and a byte-order mark", S::Semicolon, "\xEF\xBB\xBFY;X\r\n1;2\r\n", {{"Y", "X"}, {"1", "2"}}},
        {"a mark alone", S::Comma, "\xEF\xBB\xBF", {}},
        {"the start of a mark is text", S::Comma, "\xEF\xBB", {{"\xEF\xBB"}}},
        {"lone CR ends a line", S::Comma, "1,2\r3,4\r", {{"1", "2"}, {"3", "4"}}},
        {"empty trailing fields", S::Semicolon, "1;2;;\n", {{"1", "2", "", ""}}},
        {"empty line has no field", S::Comma, "1,2\n\n3,4\n", {{"1", "2"}, {}, {"3", "4"}}},
        {"quoted separator", S::Semicolon, "\"Давление; кПа\";\"X, мВ\"\n", {{"Давление; кПа", "X, мВ"}}},
        {"doubled quote", S::Comma, "\"a \"\"b\"\"\",c\n", {{"a \"b\"", "c"}}},
        {"line break inside quotes", S::Comma, "\"a\r\nb\",c\nd,e\n", {{"a\r\nb", "c"}, {"d", "e"}}},
        {"empty quoted field", S::Comma, "\"\",1\n", {{"", "1"}}},
        {"blanks before a quote dropped", S::Comma, "1,  \"2\"  ,3\n", {{"1", "2", "3"}}},
        {"blanks in a field kept", S::Comma, " 1 , 2 \n", {{" 1 ", " 2 "}}},
        {"quote inside a field is a byte", S::Comma, "5\" pipe,2\n", {{"5\" pipe", "2"}}},
        {"tab separator keeps blanks", S::Tab, "1,5\t 2,5 \t\n", {{"1,5", " 2,5 ", ""}}},
        {"blanks: runs part, ends part nothing", S::Blanks, "  1 \t 2  \n3 4", {{"1", "2"}, {"3", "4"}}},
        {"blanks: a line of blanks has no field", S::Blanks, "1 2\n \t \n", {{"1", "2"}, {}}},
        {"blanks: quoted field", S::Blanks, "\"Y s\" \"X\"\"\" 3\n", {{"Y s", "X\"", "3"}}},
        {"blanks at the end without line end", S::Comma, "1,2\n  ", {{"1", "2"}, {"  "}}},
        {"separator at the end", S::Comma, "1,", {{"1", ""}}},
        {"text after a closing quote",
         S::Comma,
         "1,2\n3,\"4\"x\n",
         {{"1", "2"}},
         TCsvSyntaxFault::TextAfterQuote,
         2,
         2},
        {"text after blanks after a quote",
         S::Semicolon,
         "\"4\" x;5\n",
         {},
         TCsvSyntaxFault::TextAfterQuote,
         1,
         1},
        {"quote not closed", S::Comma, "1,2\n3,\"4\n5\n", {{"1", "2"}}, TCsvSyntaxFault::UnclosedQuote, 2, 2},
    };
    for (const TRecordsRow& row : rows) {
        for (const std::size_t piece : kPieces) {
            TKeepRecords sink;
            TCsvParser* parser = nullptr;
            std::unique_ptr<TCsvParser> owner;
            const bool ok = ParseInPieces(row.text, row.separator, piece, sink, parser, owner);
            EXPECT_EQ(sink.records, row.records) << row.name << ", pieces of " << piece;
            EXPECT_EQ(ok, row.fault == TCsvSyntaxFault::None) << row.name << ", pieces of " << piece;
            EXPECT_EQ(parser->Fault(), row.fault) << row.name;
            if (row.fault != TCsvSyntaxFault::None) {
                EXPECT_EQ(parser->FaultLine(), row.faultLine) << row.name;
                EXPECT_EQ(parser->FaultField(), row.faultField) << row.name;
            }
        }
    }
}

TEST(CsvRecords, FieldsKnowTheLineTheyBeginOn) {
    TKeepRecords sink;
    TCsvParser* parser = nullptr;
    std::unique_ptr<TCsvParser> owner;
    ASSERT_TRUE(ParseInPieces("a,\"b\r\n\nc\",d\r\ne,f\r", TCsvSeparator::Comma, 1, sink, parser, owner));
    const std::vector<std::vector<std::size_t>> lines = {{1, 1, 3}, {4, 4}};
    EXPECT_EQ(sink.lines, lines);
}

TEST(CsvRecords, ALongRecordIsRefusedAtTheLimit) {
    TKeepRecords sink;
    TCsvParser parser(TCsvSeparator::Comma, sink, 8);
    EXPECT_TRUE(parser.Feed("1234,678\n"));
    EXPECT_FALSE(parser.Feed("1234,6789\n"));
    EXPECT_EQ(parser.Fault(), TCsvSyntaxFault::RecordTooLong);
}

struct TColumnsRow {
    const char* text;
    bool valid;
    std::vector<int> numbers;  // 0 where a name is meant
};

TEST(CsvColumns, NumbersFromOneOrNames) {
    const TColumnsRow rows[] = {
        {"1,2", true, {1, 2}},
        {" 3 , 4 ,5,6", true, {3, 4, 5, 6}},
        {"Давление,X", true, {0, 0}},
        {"2,Показания мВ,4", true, {2, 0, 4}},
        {"1", false, {}},
        {"1,2,3,4,5", false, {}},
        {"1,,2", false, {}},
        {"0,1", false, {}},
        {"", false, {}},
    };
    for (const TColumnsRow& row : rows) {
        const auto columns = ParseCsvColumns(row.text);
        ASSERT_EQ(columns.has_value(), row.valid) << row.text;
        if (!columns) {
            continue;
        }
        ASSERT_EQ(columns->size(), row.numbers.size()) << row.text;
        for (std::size_t i = 0; i < columns->size(); ++i) {
            EXPECT_EQ((*columns)[i].number, row.numbers[i]) << row.text << " #" << i;
            EXPECT_EQ((*columns)[i].name.empty(), row.numbers[i] != 0) << row.text << " #" << i;
        }
    }
    EXPECT_EQ(ParseCsvColumns("2,Показания мВ")->at(1).name, "Показания мВ");
}

struct TNumberRow {
    const char* field;
    char decimal;
    TCsvNumber read;
    double value;
};

TEST(CsvNumbers, TheDecimalCharacterChosenAndNoOther) {
    const TNumberRow rows[] = {
        {"1.5", '.', TCsvNumber::Ok, 1.5},
        {" -0,012 ", ',', TCsvNumber::Ok, -0.012},
        {"\t2,5e-3\t", ',', TCsvNumber::Ok, 2.5e-3},
        {"101325", ',', TCsvNumber::Ok, 101325},
        {"1,5", '.', TCsvNumber::NotANumber, 0},
        {"1.500", ',', TCsvNumber::NotANumber, 0},  // a thousands point, not 1.5
        {"1 234,5", ',', TCsvNumber::NotANumber, 0},
        {"1,2,3", ',', TCsvNumber::NotANumber, 0},
        {"", '.', TCsvNumber::NotANumber, 0},
        {"abc", '.', TCsvNumber::NotANumber, 0},
        {"1e400", '.', TCsvNumber::BeyondRange, 0},
    };
    for (const char32_t locale : {U'.', U','}) {
        const test::SeparatorsScope scope(locale, U' ');
        for (const TNumberRow& row : rows) {
            double value = -1;
            EXPECT_EQ(ReadCsvNumber(row.field, row.decimal, value), row.read) << row.field;
            if (row.read == TCsvNumber::Ok) {
                EXPECT_EQ(value, row.value) << row.field;
            }
        }
    }
}

struct TLayoutRow {
    const char* name;
    std::string text;
    TCsvChoice choice;
    TCsvSeparator separator;
    char decimal;
    int headerLines;
    int y;
    int x;
};

TCsvChoice Columns(const char* text) {
    TCsvChoice choice;
    choice.columns = *ParseCsvColumns(text);
    return choice;
}

TEST(CsvLayout, FoundInFilesAsProgramsWriteThem) {
    using S = TCsvSeparator;
    TCsvChoice semicolonDot;
    semicolonDot.separator = S::Semicolon;
    semicolonDot.decimal = '.';
    TCsvChoice twoHeaderLines;
    twoHeaderLines.headerLines = 2;
    const TLayoutRow rows[] = {
        {"spreadsheet, decimal comma, quoted header with the separator, CR LF, mark",
         "\xEF\xBB\xBF\"Давление; кПа\";\"Показания, мВ\"\r\n0;0,012\r\n25,5;10,3\r\n50;20,61\r\n",
         {},
         S::Semicolon,
         ',',
         1,
         0,
         1},
        {"spreadsheet, decimal point", "Y,X\n1.5,2.5\n2.5,3.5\n", {}, S::Comma, '.', 1, 0, 1},
        {"integers with semicolons", "1;2\n3;4\n", {}, S::Semicolon, ',', 0, 0, 1},
        {"integers with commas", "1,2\n3,4\n", {}, S::Comma, '.', 0, 0, 1},
        {"tabs and decimal comma", "Y\tX\n1,5\t2,5\n", {}, S::Tab, ',', 1, 0, 1},
        {"the plain data format", "1.5 2.5\n2.5  3.5\n", {}, S::Blanks, '.', 0, 0, 1},
        {"a logger's lines before the header",
         "Прибор: ДД-1;;\nДата: 01.02.2024;;\nY;X;T\n1,5;2,5;20\n",
         {},
         S::Semicolon,
         ',',
         3,
         0,
         1},
        {"a time column first", "Время;Y;X\n12:00:01;1,5;2,5\n", {}, S::Semicolon, ',', 1, 1, 2},
        {"row numbers, columns by name", "№;Y (истинное);X (по прибору)\n1;0,5;1,25\n2;1;2,5\n",
         Columns("Y (истинное),X (по прибору)"), S::Semicolon, ',', 1, 1, 2},
        {"row numbers, columns by number", "N,Y,X\n1,0.5,1.25\n", Columns("3,2"), S::Comma, '.', 1, 2, 1},
        {"a name in the first of two header lines", "Y;X\nкПа;мВ\n1;2\n", Columns("X,Y"), S::Semicolon, ',',
         2, 1, 0},
        {"empty trailing fields", "1,5;2,5;;\r\n3,5;4,5;;\r\n", {}, S::Semicolon, ',', 0, 0, 1},
        {"separator and decimal given", "1.5;2.5\n", semicolonDot, S::Semicolon, '.', 0, 0, 1},
        {"header lines given", "1;2\n3;4\n5;6\n", twoHeaderLines, S::Semicolon, ',', 2, 0, 1},
    };
    for (const TLayoutRow& row : rows) {
        TCsvLayout layout;
        TCsvFault fault;
        ASSERT_TRUE(FindCsvLayout(row.text, true, row.choice, layout, fault)) << row.name;
        EXPECT_EQ(layout.separator, row.separator) << row.name;
        EXPECT_EQ(layout.decimal, row.decimal) << row.name;
        EXPECT_EQ(layout.headerLines, row.headerLines) << row.name;
        EXPECT_EQ(layout.columns[crY], row.y) << row.name;
        EXPECT_EQ(layout.columns[crX], row.x) << row.name;
    }
}

// The byte source of a text in pieces of at most `piece` bytes (0: as asked).
TByteSource Source(const std::string& text, std::size_t piece, std::size_t& at) {
    at = 0;
    return [&text, piece, &at](char* buffer, std::size_t size) -> std::ptrdiff_t {
        const std::size_t n = std::min({size, text.size() - at, piece == 0 ? size : piece});
        std::memcpy(buffer, text.data() + at, n);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

// The same numbers as a data file's lines, read by the data-file reader.
TPointTable PlainPoints(const std::string& lines) {
    std::size_t at = 0;
    TDataPoints points;
    EXPECT_EQ(ReadDataFrom(Source(lines, 0, at), points), TDataReadStatus::Ok);
    EXPECT_FALSE(points.unreadable);
    return points.points;
}

bool SamePoints(const TPointTable& a, const TPointTable& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(TDataPoint)) == 0);
}

TEST(CsvRead, PointsEqualThoseOfTheSameNumbersInADataFile) {
    // Long digit strings go the reader's long way; a large file goes past the head's bytes.
    std::string csv = "\xEF\xBB\xBF\"№\";\"Y, кПа\";\"X; мВ\"\r\n";
    std::string plain;
    for (int i = 1; i <= 6000; ++i) {
        const std::string y = std::to_string(i) + ",1234567890123456789" + std::to_string(i % 7);
        const std::string x = std::to_string(i % 97) + "," + std::to_string(i * 7919 % 1000) + "e-3";
        csv += std::to_string(i) + ";" + y + ";" + x + ";\r\n";
        std::string yDot = y;
        std::string xDot = x;
        std::replace(yDot.begin(), yDot.end(), ',', '.');
        std::replace(xDot.begin(), xDot.end(), ',', '.');
        plain += yDot + " " + xDot + "\n";
    }
    csv += ";;;\r\n";  // a spreadsheet's empty row
    ASSERT_GT(csv.size(), kCsvHeadBytes);
    const TPointTable expected = PlainPoints(plain);
    for (const char32_t locale : {U'.', U','}) {
        const test::SeparatorsScope scope(locale, U' ');
        for (const std::size_t piece : {std::size_t{0}, std::size_t{4093}}) {
            std::size_t at = 0;
            TDataPoints points;
            const TCsvReadResult read = ReadCsvFrom(Source(csv, piece, at), points, Columns("2,3"));
            ASSERT_FALSE(read.Refused()) << read.fault.line;
            EXPECT_EQ(read.layout.headerLines, 1);
            EXPECT_TRUE(SamePoints(points.points, expected)) << "pieces of " << piece;
        }
    }
}

TEST(CsvRead, TheWindowsCellsTakeTheWindowsDecimalCharacter) {
    const std::string csv = "Y;X\n 1,5 ;2\n;3,25\n4;\n;;\n";
    struct TCase {
        char32_t locale;
        std::vector<std::pair<std::string, std::string>> rows;
    };
    const TCase cases[] = {{U'.', {{"1.5", "2"}, {"", "3.25"}, {"4", ""}}},
                           {U',', {{"1,5", "2"}, {"", "3,25"}, {"4", ""}}}};
    for (const TCase& c : cases) {
        const test::SeparatorsScope scope(c.locale, U' ');
        std::size_t at = 0;
        TDataFileTable table;
        ASSERT_FALSE(ReadCsvFrom(Source(csv, 0, at), table, {}).Refused());
        std::vector<std::pair<std::string, std::string>> rows;
        for (int line = 1; line <= table.LineCount(); ++line) {
            rows.emplace_back(table.LineWords(line).y, table.LineWords(line).x);
        }
        EXPECT_EQ(rows, c.rows);
    }
}

struct TFaultRow {
    const char* name;
    std::string text;
    TCsvChoice choice;
    TCsvProblem problem;
    std::size_t line;
    std::size_t column;
    int role;
    std::string field;
};

TEST(CsvRead, BadInputIsRefusedWholeNamingLineAndColumn) {
    const TFaultRow rows[] = {
        {"a word among the numbers", "Y;X\n1;2\n3;4\n5;abc\n", {}, TCsvProblem::NotANumber, 4, 2, crX, "abc"},
        {"a total line at the end",
         "Y;X\n1;2\n3;4\nИтого;7\n",
         {},
         TCsvProblem::NotANumber,
         4,
         1,
         crY,
         "Итого"},
        {"a thousands point", "Y;X\n1,5;2\n1.500;4\n", {}, TCsvProblem::NotANumber, 3, 1, crY, "1.500"},
        {"beyond the range", "1,2\n3,1e400\n", {}, TCsvProblem::BeyondRange, 2, 2, crX, "1e400"},
        {"after a quoted line break", "1,2\n\"3\n\",4\n", {}, TCsvProblem::NotANumber, 2, 1, crY, "3\n"},
        {"a quote not closed", "1,2\n3,\"4\n", {}, TCsvProblem::UnclosedQuote, 2, 2, -1, ""},
        {"text after a quote", "1,2\n\"3\"4,5\n", {}, TCsvProblem::TextAfterQuote, 2, 1, -1, ""},
        {"a name not in the header", "Y;X\n1;2\n", Columns("Y,T"), TCsvProblem::NoSuchColumn, 0, 0, -1, "T"},
        {"no line of numbers", "a;b\nc;d\n", {}, TCsvProblem::NoDataLine, 2, 0, -1, ""},
        {"an uncertainty that is no number", "1;2;x\n3;4;0,1\n5;6;y\n", Columns("1,2,3"),
         TCsvProblem::NotANumber, 3, 3, crUy, "y"},
    };
    for (const TFaultRow& row : rows) {
        std::size_t at = 0;
        TDataPoints points;
        const TCsvReadResult read = ReadCsvFrom(Source(row.text, 1, at), points, row.choice);
        EXPECT_EQ(read.status, TDataReadStatus::Ok) << row.name;
        EXPECT_EQ(read.fault.problem, row.problem) << row.name;
        EXPECT_EQ(read.fault.line, row.line) << row.name;
        EXPECT_EQ(read.fault.column, row.column) << row.name;
        EXPECT_EQ(read.fault.role, row.role) << row.name;
        EXPECT_EQ(read.fault.text, row.field) << row.name;
        EXPECT_TRUE(points.points.empty()) << row.name << ": no made-up rows";
    }
}

TEST(CsvRead, LimitsCancelAndFailedReadsKeepNothing) {
    const std::string csv = "1;2\n3;4\n5;6\n";
    std::size_t at = 0;
    TDataPoints points;
    TCsvReadOptions fewRows;
    fewRows.maxRows = 2;
    EXPECT_EQ(ReadCsvFrom(Source(csv, 0, at), points, {}, fewRows).status, TDataReadStatus::TooManyLines);
    EXPECT_TRUE(points.points.empty());
    fewRows.maxRows = 3;
    EXPECT_EQ(ReadCsvFrom(Source(csv, 0, at), points, {}, fewRows).status, TDataReadStatus::Ok);
    EXPECT_EQ(points.points.size(), 3u);

    TCsvReadOptions shortLines;
    shortLines.maxRecordBytes = 4;
    EXPECT_EQ(ReadCsvFrom(Source(csv + "10;20\n", 0, at), points, {}, shortLines).status,
              TDataReadStatus::LineTooLong);
    EXPECT_TRUE(points.points.empty());

    // Past the head, the read goes on in pieces with the progress told.
    std::string big;
    while (big.size() <= kCsvHeadBytes) {
        big += csv;
    }
    TCsvReadOptions cancelled;
    cancelled.progress = [](std::uint64_t, std::uint64_t) { return false; };
    EXPECT_EQ(ReadCsvFrom(Source(big, 0, at), points, {}, cancelled).status, TDataReadStatus::Cancelled);
    EXPECT_TRUE(points.points.empty());

    std::size_t calls = 0;
    const TByteSource failing = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        if (++calls > 1) {
            return -1;
        }
        const std::size_t n = std::min(size, big.size());
        std::memcpy(buffer, big.data(), n);
        return static_cast<std::ptrdiff_t>(n);
    };
    EXPECT_EQ(ReadCsvFrom(failing, points, {}).status, TDataReadStatus::ReadError);
    EXPECT_TRUE(points.points.empty());

    TDataFileTable table;
    EXPECT_EQ(ReadCsvFile("/dev/null", table, {}).status, TDataReadStatus::OpenFailed);
    EXPECT_EQ(ReadCsvFile("/nonexistent/t.csv", table, {}).status, TDataReadStatus::OpenFailed);
}

TEST(CsvRead, UncertaintyColumnsByTheRulesOfDataLines) {
    TCalibrationPoints kept;
    kept.uxRule = TUncertaintyRule{0.5, 0};
    std::size_t at = 0;
    const std::string csv = "Y;X;uY;uX\n1;2;0,1;\n3;4;0,2;0,3\n5;6;0;0,3\n";
    const TCsvReadResult read = ReadCsvFrom(Source(csv, 0, at), kept, Columns("Y,X,uY,uX"));
    ASSERT_FALSE(read.Refused());
    EXPECT_EQ(kept.faultLine, 4u);
    EXPECT_EQ(kept.faultWord, "0");
    EXPECT_EQ(kept.fault, "u(Y) must be greater than 0");
    ASSERT_EQ(kept.points.size(), 2u);
    EXPECT_EQ(kept.u.uy, (std::vector<double>{0.1, 0.2}));
    EXPECT_EQ(kept.u.ux, (std::vector<double>{0.5, 0.3}));  // the rule fills the empty field
}

TEST(CsvNames, EndInCsvInAnyCase) {
    EXPECT_TRUE(IsCsvFileName("a.csv"));
    EXPECT_TRUE(IsCsvFileName("/x/Data.CSV"));
    EXPECT_FALSE(IsCsvFileName("a.csv.txt"));
    EXPECT_FALSE(IsCsvFileName("csv"));
    EXPECT_FALSE(IsCsvFileName("a.tsv"));
}

}  // namespace
}  // namespace quorvel
