#include "cli/data_file_table.h"

#include <gtest/gtest.h>

#include <string>

#include "cli/fit_command.h"

namespace quorvel {
namespace {

TEST(DataFileTable, WordsOfEachLine) {
    const std::string content = "1 2\n3\t4 extra\r\n  5   6\r\n7\n\n \t\n8 9";
    const TDataFileTable table(content);
    ASSERT_EQ(table.LineCount(), 7);
    EXPECT_EQ(table.RowCount(), 9);  // header, seven lines, entry row
    EXPECT_EQ(table.CellText(0, 1), "1");
    EXPECT_EQ(table.CellText(1, 1), "2");
    EXPECT_EQ(table.CellText(0, 2), "3");
    EXPECT_EQ(table.CellText(1, 2), "4");
    EXPECT_EQ(table.CellText(0, 3), "5");
    EXPECT_EQ(table.CellText(1, 3), "6");
    EXPECT_EQ(table.CellText(0, 4), "7");  // one word: the X cell stays empty
    EXPECT_EQ(table.CellText(1, 4), "");
    EXPECT_EQ(table.CellText(0, 5), "");
    EXPECT_EQ(table.CellText(0, 6), "");
    EXPECT_EQ(table.CellText(0, 7), "8");  // the last line needs no LF
    EXPECT_EQ(table.CellText(1, 7), "9");
    EXPECT_EQ(table.CellText(0, 8), "");  // the entry row
    EXPECT_EQ(table.CellText(0, 0), "");
}

TEST(DataFileTable, LongLinesAreReadInPiecesOf126) {
    // 200 characters with the LF: a piece of 126 and one of 74.
    std::string line = "10 20";
    line.resize(126, ' ');
    line += "35 40";
    line.resize(199, ' ');
    line += '\n';
    ASSERT_EQ(line.size(), 200u);
    const std::string content = line + "50 60\n";
    const TDataFileTable table(content);
    ASSERT_EQ(table.LineCount(), 3);
    EXPECT_EQ(table.CellText(1, 1), "20");
    EXPECT_EQ(table.CellText(0, 2), "35");
    EXPECT_EQ(table.CellText(1, 2), "40");
    EXPECT_EQ(table.CellText(0, 3), "50");

    // A word across the boundary is cut in two.
    std::string cut(124, ' ');
    cut += "1234 5\n";
    const TDataFileTable split(cut);
    ASSERT_EQ(split.LineCount(), 2);
    EXPECT_EQ(split.CellText(0, 1), "12");
    EXPECT_EQ(split.CellText(1, 1), "");
    EXPECT_EQ(split.CellText(0, 2), "34");
    EXPECT_EQ(split.CellText(1, 2), "5");
}

// The limit counts characters, as the window's reader does: a piece never ends inside a two-byte
// character, and 126 of them make one piece.
TEST(DataFileTable, PiecesCountUtf8Characters) {
    std::string text;
    for (int i = 0; i < 130; ++i) {
        text += "\xC3\xA9";  // é
    }
    text += " 7\n";
    const TDataFileTable table(text);
    ASSERT_EQ(table.LineCount(), 2);
    EXPECT_EQ(table.CellText(0, 1).size(), 252u);
    EXPECT_EQ(table.CellText(0, 2), "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9");
    EXPECT_EQ(table.CellText(1, 2), "7");
}

TEST(DataFileTable, EmptyTextAndNul) {
    EXPECT_EQ(TDataFileTable("").LineCount(), 0);
    EXPECT_EQ(TDataFileTable("").RowCount(), 2);
    const std::string withNul("1 2\0 3\n4", 8);
    const TDataFileTable table(withNul);
    ASSERT_EQ(table.LineCount(), 2);
    EXPECT_EQ(table.CellText(1, 1), "2");  // the rest of the line after a NUL is not seen
    EXPECT_EQ(table.CellText(0, 2), "4");
    EXPECT_EQ(TDataFileTable(std::string("1\0 3\n", 5)).CellText(1, 1), "");
}

TEST(ParseFitArguments, OptionsAndUsageErrors) {
    std::string error;
    auto o = ParseFitArguments({}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->kind, fkCubic);
    EXPECT_EQ(o->file, "-");
    EXPECT_FALSE(o->json);
    EXPECT_FALSE(o->at);

    o = ParseFitArguments({"--kind", "linear", "--at", "-2,5", "--json", "data.txt"}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->kind, fkLinear);
    EXPECT_EQ(*o->at, "-2,5");
    EXPECT_TRUE(o->json);
    EXPECT_EQ(o->file, "data.txt");

    o = ParseFitArguments({"--kind=quadratic", "--at=3", "--", "-odd name"}, error);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->kind, fkQuadratic);
    EXPECT_EQ(*o->at, "3");
    EXPECT_EQ(o->file, "-odd name");

    EXPECT_FALSE(ParseFitArguments({"--kind", "quartic"}, error));
    EXPECT_EQ(error, "unknown kind 'quartic'");
    EXPECT_FALSE(ParseFitArguments({"--kind"}, error));
    EXPECT_FALSE(ParseFitArguments({"--verbose"}, error));
    EXPECT_FALSE(ParseFitArguments({"a.txt", "b.txt"}, error));
    EXPECT_FALSE(ParseFitArguments({"--kinds=cubic"}, error));
}

}  // namespace
}  // namespace quorvel
