// Filling a column of uncertainties from a rule: which cells are written with what, and a fill that
// stops leaving the table as it was.
#include "app/uncertainty_fill.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_table.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"

namespace quorvel {
namespace {

using test::TFakeTable;

struct TRowTexts {
    std::string y, x, uy, ux;
};

TFakeTable Table(const std::vector<TRowTexts>& rows) {
    // The rows given are 1 ... n; the last of them is the entry row.
    TFakeTable table(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        table.SetCell(0, row, rows[i].y);
        table.SetCell(1, row, rows[i].x);
        table.SetCell(kUYColumn, row, rows[i].uy);
        table.SetCell(kUXColumn, row, rows[i].ux);
    }
    return table;
}

std::vector<TRowTexts> Rows(const TFakeTable& table) {
    std::vector<TRowTexts> rows;
    for (int row = 1; row < table.RowCount(); ++row) {
        rows.push_back({std::string(table.Cell(0, row)), std::string(table.Cell(1, row)),
                        std::string(table.Cell(kUYColumn, row)), std::string(table.Cell(kUXColumn, row))});
    }
    return rows;
}

bool operator==(const TRowTexts& a, const TRowTexts& b) {
    return a.y == b.y && a.x == b.x && a.uy == b.uy && a.ux == b.ux;
}

void PrintTo(const TRowTexts& r, std::ostream* out) {
    *out << '{' << r.y << '|' << r.x << '|' << r.uy << '|' << r.ux << '}';
}

struct TFillCase {
    const char* name;
    char decimal;
    std::vector<TRowTexts> rows;
    int target, value;
    TUncertaintyRule rule;
    bool onlyEmpty;
    std::vector<TRowTexts> expected;
    int written;
};

TEST(UncertaintyFill, WritesTheRuleOfEachRowsValue) {
    const TFillCase cases[] = {
        {"absolute_uy",
         '.',
         {{"10", "1", "", ""}, {"-3", "2", "", ""}, {"7", "", "", ""}},
         kUYColumn,
         0,
         {0.05, 0},
         false,
         {{"10", "1", "0.05", ""}, {"-3", "2", "0.05", ""}, {"7", "", "", ""}},
         2},
        {"percent_ux_of_negative_and_exponent",
         '.',
         {{"1", "10", "", ""}, {"2", "-10", "", ""}, {"3", "2.5e3", "", ""}, {"", "", "", ""}},
         kUXColumn,
         1,
         {0, 2},
         true,
         {{"1", "10", "", "0.2"}, {"2", "-10", "", "0.2"}, {"3", "2.5e3", "", "50"}, {"", "", "", ""}},
         3},
        {"both_parts",
         '.',
         {{"10", "1", "", ""}, {"0", "2", "", ""}, {"-4", "3", "", ""}, {"", "", "", ""}},
         kUYColumn,
         0,
         {0.05, 2},
         true,
         {{"10", "1", "0.25", ""}, {"0", "2", "0.05", ""}, {"-4", "3", "0.13", ""}, {"", "", "", ""}},
         3},
        // Filled cells kept, or written over; rows without the value (an empty row, one half typed)
        // and the entry row left alone.
        {"only_empty_keeps_filled",
         '.',
         {{"10", "1", "0.3", "x"},
          {"", "", "", ""},
          {"", "5", "", ""},
          {"20", "2", "", ""},
          {"8", "", "", ""}},
         kUYColumn,
         0,
         {0, 1},
         true,
         {{"10", "1", "0.3", "x"},
          {"", "", "", ""},
          {"", "5", "", ""},
          {"20", "2", "0.2", ""},
          {"8", "", "", ""}},
         1},
        {"without_only_empty_writes_over",
         '.',
         {{"10", "1", "0.3", ""}, {"20", "2", "", ""}, {"", "", "", ""}},
         kUYColumn,
         0,
         {0, 1},
         false,
         {{"10", "1", "0.1", ""}, {"20", "2", "0.2", ""}, {"", "", "", ""}},
         2},
        // Read and written with the decimal character of the locale, "." read as well.
        {"decimal_comma",
         ',',
         {{"1", "12,5", "", ""}, {"2", "0.5", "", ""}, {"", "", "", ""}},
         kUXColumn,
         1,
         {0.1, 0.4},
         true,
         {{"1", "12,5", "", "0,15"}, {"2", "0.5", "", "0,102"}, {"", "", "", ""}},
         2},
    };
    for (const TFillCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetDecimalChar(static_cast<char32_t>(c.decimal));
        TFakeTable table = Table(c.rows);
        const int setUpWrites = table.WritesOutsideBulk();
        const TFillResult result = FillUncertaintyColumn(table, c.target, c.value, c.rule, c.onlyEmpty);
        EXPECT_EQ(table.WritesOutsideBulk(), setUpWrites) << "every write inside one bulk update";
        EXPECT_TRUE(result.Ok());
        EXPECT_EQ(result.written, c.written);
        EXPECT_EQ(Rows(table), c.expected);
        EXPECT_EQ(table.BulkDepth(), 0);
    }
    SetDecimalChar('.');
}

struct TStopCase {
    const char* name;
    std::vector<TRowTexts> rows;
    TUncertaintyRule rule;
    TFillFault fault;
    int row;
    std::string text;
    const char* message;
};

TEST(UncertaintyFill, AValueThatStopsItLeavesTheTableAsItWas) {
    SetUserLanguage(TLanguage::Russian);
    SetDecimalChar('.');
    const TStopCase cases[] = {
        {"not_a_number",
         {{"10", "1", "", ""}, {"2", "1", "", ""}, {"abc", "3", "", ""}, {"", "", "", ""}},
         {0.1, 0},
         TFillFault::ValueNotNumber,
         3,
         "abc",
         "Строка 3: abc не является правильным числом"},
        {"value_beyond_range",
         {{"10", "1", "", ""}, {"1e400", "1", "", ""}, {"", "", "", ""}},
         {0.1, 0},
         TFillFault::ValueNotNumber,
         2,
         "1e400",
         "Строка 2: 1e400 не является правильным числом"},
        {"rule_beyond_range",
         {{"10", "1", "", ""}, {"-1e308", "1", "", ""}, {"", "", "", ""}},
         {0, 200},
         TFillFault::ResultBeyondRange,
         2,
         "-1e308",
         "Строка 2: неопределённость для -1e308 вне диапазона чисел"},
    };
    for (const TStopCase& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table = Table(c.rows);
        const TFillResult result = FillUncertaintyColumn(table, kUYColumn, 0, c.rule, true);
        EXPECT_FALSE(result.Ok());
        EXPECT_EQ(result.fault, c.fault);
        EXPECT_EQ(result.row, c.row);
        EXPECT_EQ(result.column, 0);
        EXPECT_EQ(result.text, c.text);
        EXPECT_EQ(result.written, 0);
        EXPECT_EQ(Rows(table), c.rows);
        EXPECT_EQ(table.BulkDepth(), 0);
        EXPECT_EQ(FillFaultText(result), c.message);
    }
    // A write that fails takes back the ones before it.
    const std::vector<TRowTexts> rows = {{"1", "1", "", ""}, {"2", "2", "", ""}, {"", "", "", ""}};
    TFakeTable table = Table(rows);
    table.FailAfterWrites(1);
    EXPECT_THROW(FillUncertaintyColumn(table, kUYColumn, 0, {1, 0}, true), std::runtime_error);
    EXPECT_EQ(Rows(table), rows);
    EXPECT_EQ(table.BulkDepth(), 0);
}

}  // namespace
}  // namespace quorvel
