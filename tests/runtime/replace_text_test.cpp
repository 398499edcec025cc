// Substring replacement as callers use it to bring a typed "." to the decimal character.
#include <gtest/gtest.h>

#include "runtime/number_text.h"

namespace quorvel {
namespace {

TEST(ReplaceText, FirstOccurrenceOrAll) {
    EXPECT_EQ(ReplaceText("1.2.3", ".", ","), "1,2.3");
    EXPECT_EQ(ReplaceText("1.2.3", ".", ",", rfReplaceAll), "1,2,3");
    EXPECT_EQ(ReplaceText("aaaa", "aa", "b", rfReplaceAll), "bb");
    EXPECT_EQ(ReplaceText("1.5", ".", "\u066B"), "1\u066B5");
    EXPECT_EQ(ReplaceText("abc", "", "x", rfReplaceAll), "abc");
    EXPECT_EQ(ReplaceText("", ".", ","), "");
    EXPECT_EQ(ReplaceText("abc", "abcd", "x"), "abc");
    EXPECT_EQ(ReplaceText("a.b", ".", ""), "ab");
}

TEST(ReplaceText, IgnoringCaseKeepsTheUnchangedCharactersAsPassed) {
    EXPECT_EQ(ReplaceText("Abc aBC", "BC", "-", rfIgnoreCase), "A- aBC");
    EXPECT_EQ(ReplaceText("Abc aBC", "BC", "-", rfIgnoreCase | rfReplaceAll), "A- a-");
    EXPECT_EQ(ReplaceText("Abc aBC", "BC", "-"), "Abc a-");
    // Cyrillic letters of different byte forms still match by their upper-case forms.
    EXPECT_EQ(ReplaceText("Истинное ИСТИННОЕ", "истинное", "X", rfIgnoreCase | rfReplaceAll), "X X");
    EXPECT_EQ(ReplaceText("xЖx", "ж", "zh", rfIgnoreCase), "xzhx");
    // An ill-formed byte matches only itself and never swallows its neighbours.
    EXPECT_EQ(ReplaceText("a\xFF"
                          "b",
                          "\xFF", "?", rfIgnoreCase),
              "a?b");
    EXPECT_EQ(ReplaceText("a\xFE"
                          "b",
                          "\xFF", "?", rfIgnoreCase),
              "a\xFE"
              "b");
}

}  // namespace
}  // namespace quorvel
