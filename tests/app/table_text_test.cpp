// The clipboard table text: what the copy writes and how the paste places tokens.
#include "app/table_text.h"

#include <gtest/gtest.h>
#include <vector>

#include "fake_table.h"
#include "fitting/paste_tokens.h"

namespace quorvel {
namespace {

using test::TFakeTable;

const QString kTab = QStringLiteral("\t");

TEST(TableCopyText, StartStateGivesNineteenTabLines) {
    TFakeTable table(20);
    QString expected;
    for (int i = 0; i < 19; ++i) {
        expected += QStringLiteral("\t\r\n");
    }
    EXPECT_EQ(TableCopyText(table), expected);
}

TEST(TableCopyText, RowsInOrderWithEntryRowAndNoHeader) {
    TFakeTable table(4);
    table.Set(0, "Y (истинное)", "X (по прибору)");
    table.Set(1, "1", "2");
    table.Set(2, "3", "4");
    EXPECT_EQ(TableCopyText(table), QStringLiteral("1\t2\r\n3\t4\r\n\t\r\n"));
}

TEST(TableCopyText, CellsVerbatimAndHiddenRowsLeftOut) {
    TFakeTable table(3);
    table.Set(1, " 1,5 ", "");
    table.Set(2, "", "7e3");
    table.Set(3, "hidden", "row");
    EXPECT_EQ(TableCopyText(table), QStringLiteral(" 1,5 \t\r\n\t7e3\r\n"));
}

TEST(TableCopyText, OneRowTableGivesEmptyText) {
    TFakeTable table(1);
    EXPECT_TRUE(TableCopyText(table).isEmpty());
}

// A tab separates the cells of a row and a line break ends the row, so an empty cell keeps its place:
// once dropped, every later value moved up one cell and wrong pairs were fitted. And only the pasted
// rows are left: the longer table's next row used to stay in the new entry row, where it was fitted,
// and with an odd cell count the last row kept its old X.
TEST(PasteTableText, EmptyCellsKeepThePairsAligned) {
    using Rows = std::vector<std::pair<std::string, std::string>>;
    const struct {
        const char* name;
        const char* text;
        Rows rows;
    } cases[] = {
        {"two lines over thirty rows", "1\t2\r\n3\t4\r\n", {{"1", "2"}, {"3", "4"}}},
        {"an odd cell count", "5\t6\t7", {{"5", "6"}, {"7", ""}}},
        {"an empty X inside",
         "1\t1\r\n2\t\r\n3\t3\r\n4\t4.5\r\n5\t5\r\n",
         {{"1", "1"}, {"2", ""}, {"3", "3"}, {"4", "4.5"}, {"5", "5"}}},
        {"an empty first Y", "\t2\r\n3\t4\r\n\t\r\n", {{"", "2"}, {"3", "4"}}},
        {"an empty row between", "1\t2\r\n\t\r\n3\t4\r\n", {{"1", "2"}, {"", ""}, {"3", "4"}}},
        {"empty rows first", "\t\r\n\t\r\n1\t2\r\n", {{"", ""}, {"", ""}, {"1", "2"}}},
        {"trailing empty rows add none", "5\t6\r\n\t\r\n\t\r\n", {{"5", "6"}}},
        {"blank lines make no cell", "\r\n\n1\t2\r\n\r\n\n3\t4\n\n", {{"1", "2"}, {"3", "4"}}},
        {"lone CR line ends", "5\t\r6\t7\r", {{"5", ""}, {"6", "7"}}},
        {"one value a line pairs up", "1\n2\n3\n4\n", {{"1", "2"}, {"3", "4"}}},
        {"two tabs part an empty cell", "1\t\t2\t3", {{"1", ""}, {"2", "3"}}},
        {"blanks are cell text", " \t1\r\n", {{" ", "1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(40);
        table.FillNumbered(1, 30);
        ASSERT_EQ(PasteTableText(QString::fromUtf8(c.text), table), TPasteResult::Pasted);
        const int rows = static_cast<int>(c.rows.size());
        EXPECT_EQ(table.RowCount(), rows + 2);
        for (int row = 1; row <= rows; ++row) {
            EXPECT_EQ(test::TableRow(table, row), c.rows[static_cast<std::size_t>(row - 1)]) << row;
        }
        EXPECT_EQ(test::TableRow(table, rows + 1), (std::pair<std::string, std::string>()));
        std::size_t filled = 0;
        for (const auto& [y, x] : c.rows) {
            filled += !y.empty() + !x.empty();
        }
        EXPECT_EQ(table.StoredCells(), filled);  // nothing of the old table, hidden or not
        EXPECT_EQ(table.BulkDepth(), 0);
    }
}

TEST(PasteTableText, LineEndsReadAlikeAndBlanksStayInTokens) {
    for (const QString& end : {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n")}) {
        SCOPED_TRACE(end.toUtf8().toHex().toStdString());
        TFakeTable table(20);
        ASSERT_EQ(PasteTableText("1 2" + kTab + " 3 " + end + "4,5" + kTab + "-6e1" + end, table),
                  TPasteResult::Pasted);
        EXPECT_EQ(table.Cell(0, 1), "1 2");
        EXPECT_EQ(table.Cell(1, 1), " 3 ");
        EXPECT_EQ(table.Cell(0, 2), "4,5");
        EXPECT_EQ(table.Cell(1, 2), "-6e1");
        EXPECT_EQ(table.RowCount(), 4);
    }
}

TEST(PasteTableText, NoTokenFailsAndTouchesNothing) {
    for (const QString& text : {QString(), QStringLiteral("\t\r\n\r\n\t")}) {
        TFakeTable table(7);
        table.FillNumbered(1, 3);
        EXPECT_EQ(PasteTableText(text, table), TPasteResult::Refused);
        EXPECT_EQ(table.RowCount(), 7);
        EXPECT_EQ(table.Cell(0, 1), "y1");
        EXPECT_EQ(table.StoredCells(), 6u);
        EXPECT_EQ(table.BulkDepth(), 0);
    }
}

// With u(Y) and u(X) shown, a row of the text is a row of the table: two columns fill Y and X with the
// uncertainties empty, four fill all; a row of more cells is refused, the table as it was.
TEST(PasteTableText, FourColumnsTakeTheTextByRows) {
    using Row = std::vector<std::string>;
    const struct {
        const char* name;
        const char* text;
        std::vector<Row> rows;  // empty: refused
    } cases[] = {
        {"four cells a row",
         "1\t2\t0.1\t0.01\r\n3\t4\t0.2\t\r\n",
         {{"1", "2", "0.1", "0.01"}, {"3", "4", "0.2", ""}}},
        {"two cells a row", "1\t2\r\n3\t4\r\n", {{"1", "2", "", ""}, {"3", "4", "", ""}}},
        {"rows of any length up to four",
         "1\n2\t3\t4\n5\t6\t7\t8\n",
         {{"1", "", "", ""}, {"2", "3", "4", ""}, {"5", "6", "7", "8"}}},
        {"an empty row between",
         "1\t2\t3\r\n\t\r\n4\t5\t6\r\n",
         {{"1", "2", "3", ""}, {"", "", "", ""}, {"4", "5", "6", ""}}},
        {"empty cells past the fourth", "1\t2\t3\t4\t\t\r\n", {{"1", "2", "3", "4"}}},
        {"a fifth cell", "1\t2\t3\t4\t5\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(40);
        table.columns = 4;
        table.FillNumbered(1, 30);
        table.SetCell(2, 5, "u5");
        const std::size_t before = table.StoredCells();
        const TPasteResult result = PasteTableText(QString::fromUtf8(c.text), table);
        if (c.rows.empty()) {
            EXPECT_EQ(result, TPasteResult::Refused);
            EXPECT_EQ(table.StoredCells(), before);
            EXPECT_EQ(table.RowCount(), 40);
            continue;
        }
        ASSERT_EQ(result, TPasteResult::Pasted);
        const int rows = static_cast<int>(c.rows.size());
        EXPECT_EQ(table.RowCount(), rows + 2);
        std::size_t filled = 0;
        for (int row = 1; row <= rows; ++row) {
            for (int col = 0; col < 4; ++col) {
                const std::string& cell =
                    c.rows[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col)];
                EXPECT_EQ(table.Cell(col, row), cell) << row << ", " << col;
                filled += !cell.empty();
            }
        }
        EXPECT_EQ(table.StoredCells(), filled);  // nothing of the old table
        // The copy gives the rows back, four cells a line.
        if (std::string(c.name) == "four cells a row") {
            EXPECT_EQ(TableCopyText(table), QString("1\t2\t0.1\t0.01\r\n3\t4\t0.2\t\r\n\t\t\t\r\n"));
        }
    }
}

TEST(PasteTableText, CopyThenPasteGivesTheSameTable) {
    TFakeTable source(7);
    source.Set(1, "1,5", "2");
    source.Set(2, "абв", "");  // the copy writes "абв\t\r\n"
    source.Set(3, "", "4");
    source.Set(5, "5", "6");  // after an empty row
    TFakeTable target(30);
    target.FillNumbered(1, 25);
    ASSERT_EQ(PasteTableText(TableCopyText(source), target), TPasteResult::Pasted);
    for (int row = 1; row < source.RowCount(); ++row) {
        EXPECT_EQ(test::TableRow(target, row), test::TableRow(source, row)) << row;
    }
    EXPECT_EQ(target.RowCount(), source.RowCount());
    EXPECT_EQ(target.StoredCells(), source.StoredCells());
    EXPECT_EQ(TableCopyText(target), TableCopyText(source));
}

TEST(PasteTableText, ReadsTheWholeText) {
    // Past the 32 767 characters once read: the token at the cut was taken as "6".
    QString text;
    while (text.size() < 40000) {
        text += QStringLiteral("12345\t67890\r\n");
    }
    const int rows = static_cast<int>(text.size() / 13);
    TFakeTable table(20);
    ASSERT_EQ(PasteTableText(text, table), TPasteResult::Pasted);
    EXPECT_EQ(table.RowCount(), rows + 2);
    for (int row = 1; row <= rows; ++row) {
        ASSERT_EQ(test::TableRow(table, row), (std::pair<std::string, std::string>("12345", "67890"))) << row;
    }
}

TEST(PasteTableText, TokenOf255CharactersIsTakenAnd256FailsChangingNothing) {
    // A character outside the basic plane takes two UTF-16 units and four UTF-8 bytes but counts once.
    const QString wide = QString::fromUcs4(U"\U0001D400");
    for (const QString& character : {QStringLiteral("7"), wide}) {
        TFakeTable table(20);
        const QString ok = character.repeated(kPasteTokenLimit);
        ASSERT_EQ(PasteTableText("1\t" + ok, table), TPasteResult::Pasted);
        EXPECT_EQ(table.Cell(1, 1), ok.toStdString());
        EXPECT_EQ(table.RowCount(), 3);
    }
    // The failure box used to come after rows 1 and 2 were already overwritten.
    TFakeTable table(20);
    table.Set(1, "7", "7");
    table.Set(2, "8", "8");
    table.Set(3, "9", "9");
    for (const QString& character : {QStringLiteral("8"), wide}) {
        const QString tooLong = character.repeated(kPasteTokenLimit + 1);
        EXPECT_EQ(PasteTableText("1\t1\r\n2\t2\r\n" + tooLong + "\t5", table), TPasteResult::Refused);
        EXPECT_EQ(test::TableRow(table, 1), (std::pair<std::string, std::string>("7", "7")));
        EXPECT_EQ(test::TableRow(table, 2), (std::pair<std::string, std::string>("8", "8")));
        EXPECT_EQ(test::TableRow(table, 3), (std::pair<std::string, std::string>("9", "9")));
        EXPECT_EQ(table.RowCount(), 20);
        EXPECT_EQ(table.StoredCells(), 6u);
    }
}

// Out of memory is told apart from bad data (it once said the clipboard held bad data).
TEST(PasteTableText, FailedCellWriteOrOutOfMemoryChangesNothing) {
    const struct {
        const char* name;
        bool outOfMemory;
        int failingStep;  // of the progress; 0: a cell write fails instead
        TPasteResult result;
    } cases[] = {
        {"a refused write", false, 0, TPasteResult::Refused},
        {"no memory for a cell", true, 0, TPasteResult::OutOfMemory},
        {"no memory at the first step", true, 1, TPasteResult::OutOfMemory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeTable table(20);
        table.FillNumbered(1, 2);
        test::TScriptedProgress progress(c.failingStep, c.outOfMemory);
        if (c.failingStep == 0) {
            table.FailAfterWrites(3, c.outOfMemory);
        }
        EXPECT_EQ(PasteTableText(QStringLiteral("1\t2\t3\t4\t5"), table, &progress), c.result);
        EXPECT_EQ(test::TableRow(table, 1), (std::pair<std::string, std::string>("y1", "x1")));
        EXPECT_EQ(test::TableRow(table, 2), (std::pair<std::string, std::string>("y2", "x2")));
        EXPECT_EQ(table.StoredCells(), 4u);
        EXPECT_EQ(table.RowCount(), 20);
        EXPECT_EQ(table.BulkDepth(), 0);
    }
}

TEST(CheckPasteText, EveryTokenIsCheckedBeforeAnyIsPlaced) {
    const std::string longToken(kPasteTokenLimit + 1, '5');
    const struct {
        const char* name;
        std::string text;
        TPasteCheck status;
        int rows;
    } cases[] = {
        {"two rows", "1\t2\r\n3\t4\r\n", TPasteCheck::Ok, 2},
        {"an odd token starts a row", "1\t2\t3", TPasteCheck::Ok, 2},
        {"separators only", "\t\r\n\n", TPasteCheck::NoToken, 0},
        {"empty", "", TPasteCheck::NoToken, 0},
        {"a long token after good ones", "1\t2\n" + longToken, TPasteCheck::TokenTooLong, 0},
        {"three rows at a limit of three", "1\t2\n3\t4\n5\t6\n", TPasteCheck::Ok, 3},
        {"a fourth row's token", "1\t2\n3\t4\n5\t6\n7", TPasteCheck::TooManyRows, 0},
        {"an empty X keeps its row", "1\t\r\n3\t4", TPasteCheck::Ok, 2},
        {"trailing empty rows", "1\t2\r\n\t\r\n\t\r\n", TPasteCheck::Ok, 1},
        {"empty rows before a fourth", "\t\n\t\n\t\n7", TPasteCheck::TooManyRows, 0},
        {"tabs only", "\t\t\t", TPasteCheck::NoToken, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPasteScan scan = CheckPasteText(c.text, 3);
        EXPECT_EQ(scan.status, c.status);
        if (c.status == TPasteCheck::Ok) {
            EXPECT_EQ(scan.rows, c.rows);
        }
    }
}

}  // namespace
}  // namespace quorvel
