// The clipboard table text: what the copy writes and how the paste places tokens.
#include "app/table_text.h"

#include <gtest/gtest.h>

#include "fake_table.h"

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
    ASSERT_TRUE(PasteTableText(QStringLiteral("1\t2\r\n3\t4\r\n"), table));
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
    ASSERT_TRUE(PasteTableText(QStringLiteral("5\t6\t7"), table));
    EXPECT_EQ(table.Cell(0, 1), "5");
    EXPECT_EQ(table.Cell(1, 1), "6");
    EXPECT_EQ(table.Cell(0, 2), "7");
    EXPECT_EQ(table.Cell(1, 2), "x2");
    EXPECT_EQ(table.RowCount(), 4);
}

TEST(PasteTableText, LeadingAndRepeatedSeparatorsDoNotMakeEmptyTokens) {
    TFakeTable table(20);
    // Copied from a table whose first Y was empty: the X moves up into Y.
    ASSERT_TRUE(PasteTableText(QStringLiteral("\t2\r\n3\t4\r\n\t\r\n"), table));
    EXPECT_EQ(table.Cell(0, 1), "2");
    EXPECT_EQ(table.Cell(1, 1), "3");
    EXPECT_EQ(table.Cell(0, 2), "4");
    EXPECT_EQ(table.RowCount(), 4);
}

TEST(PasteTableText, LineEndsReadAlikeAndBlanksStayInTokens) {
    for (const QString& end : {QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("\r\n")}) {
        SCOPED_TRACE(end.toUtf8().toHex().toStdString());
        TFakeTable table(20);
        ASSERT_TRUE(PasteTableText("1 2" + kTab + " 3 " + end + "4,5" + kTab + "-6e1" + end, table));
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
        EXPECT_FALSE(PasteTableText(text, table));
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
    ASSERT_TRUE(PasteTableText(TableCopyText(source), target));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(target.Cell(0, row), source.Cell(0, row));
        EXPECT_EQ(target.Cell(1, row), source.Cell(1, row));
    }
    EXPECT_EQ(target.RowCount(), 5);
}

TEST(PasteTableText, ReadsOnlyFirst32767Characters) {
    // 4-character tokens "1234" with one tab each: 5 characters per token.
    QString text;
    while (text.size() < kPasteTextLimit + 100) {
        text += QStringLiteral("1234\t");
    }
    TFakeTable table(20);
    ASSERT_TRUE(PasteTableText(text, table));
    // 32767 = 6553 * 5 + 2: 6553 whole tokens, then a token cut to "12" by the limit.
    const int tokens = 6554;
    EXPECT_EQ(table.RowCount(), (tokens + 1) / 2 + 2);
    EXPECT_EQ(table.Cell(0, 3277), "1234");
    EXPECT_EQ(table.Cell(1, 3277), "12");
    EXPECT_TRUE(table.Cell(0, 3278).empty());
}

TEST(PasteTableText, LimitCountsCharactersNotCodeUnits) {
    // A character outside the basic plane takes two UTF-16 units but counts once.
    const QString wide = QString::fromUcs4(U"\U0001D400");
    QString text;
    for (int i = 0; i < kPasteTextLimit - 2; ++i) {
        text += (i % 2 == 0) ? wide : kTab;
    }
    text += QStringLiteral("\t5\t6");  // characters 32766 and 32767 are the tab and the 5
    TFakeTable table(20);
    ASSERT_TRUE(PasteTableText(text, table));
    const int tokens = (kPasteTextLimit - 1) / 2 + 1;  // the wide characters, then "5"
    EXPECT_EQ(table.RowCount(), (tokens + 1) / 2 + 2);
    EXPECT_EQ(table.Cell(0, 1), wide.toStdString());
    EXPECT_EQ(table.Cell(1, tokens / 2), "5");
    EXPECT_TRUE(table.Cell(0, tokens / 2 + 1).empty());  // the 6 lies beyond the limit
}

TEST(PasteTableText, TokenOf255CharactersIsTakenAnd256Fails) {
    TFakeTable table(20);
    const QString ok(kPasteTokenLimit, QChar(u'7'));
    ASSERT_TRUE(PasteTableText("1\t" + ok, table));
    EXPECT_EQ(table.Cell(1, 1), ok.toStdString());
    EXPECT_EQ(table.RowCount(), 3);

    TFakeTable other(20);
    other.FillNumbered(1, 4);
    const QString tooLong(kPasteTokenLimit + 1, QChar(u'8'));
    EXPECT_FALSE(PasteTableText("1\t2\t3\t" + tooLong + "\t5", other));
    EXPECT_EQ(other.Cell(0, 1), "1");  // placed before the failure: stays
    EXPECT_EQ(other.Cell(1, 1), "2");
    EXPECT_EQ(other.Cell(0, 2), "3");
    EXPECT_EQ(other.Cell(1, 2), "x2");  // the long token is not cut into the cell
    EXPECT_EQ(other.Cell(0, 3), "y3");
    EXPECT_EQ(other.RowCount(), 20);
}

TEST(PasteTableText, RefusedCellWriteFailsWithoutRowCountChange) {
    TFakeTable table(20);
    table.FailAfterWrites(3);
    EXPECT_FALSE(PasteTableText(QStringLiteral("1\t2\t3\t4\t5"), table));
    EXPECT_EQ(table.Cell(0, 2), "3");
    EXPECT_TRUE(table.Cell(1, 2).empty());
    EXPECT_EQ(table.RowCount(), 20);
    EXPECT_EQ(table.BulkDepth(), 0);
}

}  // namespace
}  // namespace quorvel
