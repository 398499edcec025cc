// The clipboard table text: what the copy writes and how the paste places tokens.
#include "app/table_text.h"

#include <gtest/gtest.h>

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

TEST(PasteTableText, TwoLinesIntoFilledTableKeepEntryRowTexts) {
    TFakeTable table(20);
    table.FillNumbered(1, 10);
    ASSERT_EQ(PasteTableText(QStringLiteral("1\t2\r\n3\t4\r\n"), table), TPasteResult::Pasted);
    EXPECT_EQ(table.Cell(0, 1), "1");
    EXPECT_EQ(table.Cell(1, 1), "2");
    EXPECT_EQ(table.Cell(0, 2), "3");
    EXPECT_EQ(table.Cell(1, 2), "4");
    EXPECT_EQ(table.RowCount(), 4);
    EXPECT_EQ(table.Cell(0, 3), "y3");    // the new entry row keeps its old texts
    EXPECT_EQ(table.Cell(1, 10), "x10");  // hidden rows are not erased
    EXPECT_EQ(table.BulkDepth(), 0);
}

TEST(PasteTableText, OddTokenCountLeavesLastXAsItWas) {
    TFakeTable table(20);
    table.FillNumbered(1, 5);
    ASSERT_EQ(PasteTableText(QStringLiteral("5\t6\t7"), table), TPasteResult::Pasted);
    EXPECT_EQ(table.Cell(0, 1), "5");
    EXPECT_EQ(table.Cell(1, 1), "6");
    EXPECT_EQ(table.Cell(0, 2), "7");
    EXPECT_EQ(table.Cell(1, 2), "x2");
    EXPECT_EQ(table.RowCount(), 4);
}

TEST(PasteTableText, LeadingAndRepeatedSeparatorsDoNotMakeEmptyTokens) {
    TFakeTable table(20);
    // Copied from a table whose first Y was empty: the X moves up into Y.
    ASSERT_EQ(PasteTableText(QStringLiteral("\t2\r\n3\t4\r\n\t\r\n"), table), TPasteResult::Pasted);
    EXPECT_EQ(table.Cell(0, 1), "2");
    EXPECT_EQ(table.Cell(1, 1), "3");
    EXPECT_EQ(table.Cell(0, 2), "4");
    EXPECT_EQ(table.RowCount(), 4);
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

TEST(PasteTableText, CopyThenPasteGivesSameRows) {
    TFakeTable source(5);
    source.Set(1, "1,5", "2");
    source.Set(2, "абв", "4");
    source.Set(3, "5", "6");
    TFakeTable target(30);
    target.FillNumbered(1, 25);
    ASSERT_EQ(PasteTableText(TableCopyText(source), target), TPasteResult::Pasted);
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(target.Cell(0, row), source.Cell(0, row));
        EXPECT_EQ(target.Cell(1, row), source.Cell(1, row));
    }
    EXPECT_EQ(target.RowCount(), 5);
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

TEST(PasteTableText, RefusedCellWriteChangesNothing) {
    TFakeTable table(20);
    table.FillNumbered(1, 2);
    table.FailAfterWrites(3);
    EXPECT_EQ(PasteTableText(QStringLiteral("1\t2\t3\t4\t5"), table), TPasteResult::Refused);
    EXPECT_EQ(test::TableRow(table, 1), (std::pair<std::string, std::string>("y1", "x1")));
    EXPECT_EQ(test::TableRow(table, 2), (std::pair<std::string, std::string>("y2", "x2")));
    EXPECT_EQ(table.StoredCells(), 4u);
    EXPECT_EQ(table.RowCount(), 20);
    EXPECT_EQ(table.BulkDepth(), 0);
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
