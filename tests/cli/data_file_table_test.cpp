// The data file itself is read by the fitting engine's reader and tested there.
#include <gtest/gtest.h>

#include <string>

#include "cli/fit_command.h"

namespace quorvel {
namespace {

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
    // A chart file's type is checked with the options, before any data is read.
    EXPECT_FALSE(ParseFitArguments({"--chart", "chart.bmp"}, error));
    EXPECT_EQ(error, "unknown chart file type 'chart.bmp' (use .png or .svg)");
    EXPECT_TRUE(ParseFitArguments({"--chart=chart.SVG"}, error));
}

}  // namespace
}  // namespace quorvel
