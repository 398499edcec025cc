#include "fitting/point_extraction.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "fitting/work_options.h"
#include "runtime/exceptions.h"
#include "table_fixture.h"

namespace quorvel {
namespace {

using testing::TDecimalScope;
using testing::TTextTable;

std::string ConvertMessage(const ITableSource& table, const TWorkOptions& work = {}) {
    try {
        ExtractPoints(table, {}, work);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return "no error";
}

TEST(ParseUserNumber, AcceptsPointAndLocaleSeparator) {
    TDecimalScope comma(U',');
    EXPECT_EQ(ParseUserNumber("2.5"), 2.5);
    EXPECT_EQ(ParseUserNumber("2,5"), 2.5);
    EXPECT_EQ(ParseUserNumber("-15,74e4"), -157400);
    EXPECT_EQ(ParseUserNumber(" 7 "), 7);
    EXPECT_THROW(ParseUserNumber("1.2.3"), EConvertError);
    // A long text with a point still goes through the replacement.
    const std::string longText = "1." + std::string(200, '5');
    EXPECT_NEAR(ParseUserNumber(longText), 1.5555555555555556, 1e-15);
    try {
        ParseUserNumber("1.2.3");
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1,2.3' is not a valid floating point value");
    }
}

TEST(ParseUserNumber, PointLocale) {
    TDecimalScope point(U'.');
    EXPECT_EQ(ParseUserNumber("2.5"), 2.5);
    EXPECT_THROW(ParseUserNumber("2,5"), EConvertError);
}

TEST(ExtractPoints, SkipRulesAndOrder) {
    TDecimalScope point(U'.');
    const TTextTable table{{"1", "10"}, {"", ""}, {"2", ""},     {"", "3"},
                           {"4", "40"}, {"", ""}, {"5.5", "-50"}};
    const TPointTable points = ExtractPoints(table);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].Y, 1);
    EXPECT_EQ(points[0].X, 10);
    EXPECT_EQ(points[1].Y, 4);
    EXPECT_EQ(points[1].X, 40);
    EXPECT_EQ(points[2].Y, 5.5);
    EXPECT_EQ(points[2].X, -50);
    EXPECT_TRUE(ExtractPoints(TTextTable{}).empty());
}

TEST(ExtractPoints, BadCellsRaiseTheConversionError) {
    TDecimalScope comma(U',');
    EXPECT_EQ(ConvertMessage(TTextTable{{"1", "2"}, {"abc", "def"}}),
              "'abc' is not a valid floating point value");
    EXPECT_EQ(ConvertMessage(TTextTable{{"1.5", "1.2.3"}}), "'1,2.3' is not a valid floating point value");
    EXPECT_EQ(ConvertMessage(TTextTable{{" ", "1"}}), "' ' is not a valid floating point value");
    EXPECT_EQ(ConvertMessage(TTextTable{{"-", "1"}}), "'-' is not a valid floating point value");
    // A cell the recompute reads is finished: a cut exponent is no number (it was read as 1,5).
    EXPECT_EQ(ConvertMessage(TTextTable{{"1", "1.5e-"}}), "'1,5e-' is not a valid floating point value");
    EXPECT_EQ(ParseUserNumber("1.5e-", tsBeingTyped), 1.5);
    // Nor is a decimal mark without a digit (it was read as 0, so the line ". 3" was the point (3, 0)).
    for (const char* mark : {".", "-.", "+.", ".e5"}) {
        const std::string shown = std::string(mark).replace(std::string(mark).find('.'), 1, ",");
        EXPECT_EQ(ConvertMessage(TTextTable{{"1", "1"}, {mark, "3"}}),
                  "'" + shown + "' is not a valid floating point value");
        EXPECT_EQ(ParseUserNumber(mark, tsBeingTyped), 0) << mark;
    }
    // A half-filled bad row is skipped without a parse.
    EXPECT_EQ(ConvertMessage(TTextTable{{"abc", ""}, {"1", "2"}}), "no error");
}

// A table large enough to be read in two halves: on two cores (quorvel-fit) the points of one core, in row
// order across the middle, and the first bad cell in row order is the one reported.
TEST(ExtractPoints, LargeTableReadInTwoHalves) {
    TDecimalScope point(U'.');
    class TLargeTable : public ITableSource {
    public:
        std::vector<std::pair<std::string, std::string>> rows;
        int RowCount() const override { return static_cast<int>(rows.size()) + 1; }
        std::string_view CellText(int col, int row) const override {
            if (row < 1 || row > static_cast<int>(rows.size())) {
                return {};
            }
            const auto& r = rows[static_cast<std::size_t>(row - 1)];
            return col == 0 ? r.first : r.second;
        }
    } table;
    std::vector<int> kept;  // the rows' numbers that are points
    for (int i = 0; i < 70001; ++i) {
        // Every 1000th row is half empty and skipped.
        const bool skipped = i % 1000 == 7 || i == 65535 || i == 65536;
        table.rows.emplace_back(std::to_string(i) + ".5", skipped ? "" : std::to_string(-i));
        if (!skipped) {
            kept.push_back(i);
        }
    }
    for (const bool twoCores : {false, true}) {
        const TWorkOptions work{.secondCore = twoCores};
        // Told steps, the rows are read in pieces (across a skipped row at a piece's end, too); the steps
        // rise and stay below the end. Each half of two is shorter than a piece.
        std::vector<double> steps;
        const auto told = [&steps](double done) { steps.push_back(done); };
        const TPointTable points = ExtractPoints(table, told, work);
        EXPECT_EQ(steps.empty(), twoCores);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        EXPECT_TRUE(steps.empty() || (steps.front() > 0 && steps.back() < 1));
        ASSERT_EQ(points.size(), kept.size());
        for (std::size_t k = 0; k < kept.size(); ++k) {
            ASSERT_EQ(points[k].X, -kept[k]) << k;
            ASSERT_EQ(points[k].Y, kept[k] + 0.5) << k;
        }
        auto faulty = table;
        faulty.rows[60000].first = "second";
        EXPECT_EQ(ConvertMessage(faulty, work), "'second' is not a valid floating point value");
        faulty.rows[20000].second = "first";
        EXPECT_EQ(ConvertMessage(faulty, work), "'first' is not a valid floating point value");
    }
}

// The window names the cell that stopped the extraction: the same rows, Y before X.
TEST(ExtractPoints, UnreadableCellIsTheOneThatStopsIt) {
    TDecimalScope comma(U',');
    const struct {
        const char* name;
        TTextTable table;
        int col;
        int row;
    } cases[] = {
        {"both bad: Y first", TTextTable{{"1", "2"}, {"abc", "def"}}, 0, 2},
        {"a bad X", TTextTable{{"1,5", "1.2.3"}}, 1, 1},
        {"a half-filled bad row is skipped", TTextTable{{"abc", ""}, {"1", "2"}, {"3", "x"}}, 1, 3},
        {"an overflow", TTextTable{{"1e999", "1"}}, 0, 1},
        {"every cell reads", TTextTable{{"1", "2"}, {"", "q"}}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TCellPlace place = UnreadableCell(c.table);
        EXPECT_EQ(place.row, c.row);
        if (c.row != 0) {
            EXPECT_EQ(place.col, c.col);
        }
    }
}

TEST(Sufficiency, DegreePlusOnePoints) {
    EXPECT_EQ(RequiredPoints(fkLinear), 2);
    EXPECT_EQ(RequiredPoints(fkQuadratic), 3);
    EXPECT_EQ(RequiredPoints(fkCubic), 4);
    EXPECT_TRUE(HasTooFewPoints(fkLinear, 1));
    EXPECT_FALSE(HasTooFewPoints(fkLinear, 2));
    EXPECT_TRUE(HasTooFewPoints(fkQuadratic, 2));
    EXPECT_FALSE(HasTooFewPoints(fkQuadratic, 3));
    EXPECT_TRUE(HasTooFewPoints(fkCubic, 3));
    EXPECT_FALSE(HasTooFewPoints(fkCubic, 4));
    EXPECT_TRUE(HasTooFewPoints(fkCubic, 0));
}

}  // namespace
}  // namespace quorvel
