// The standard exception box's text rule; the box itself is seen on the real window (tests/app).
#include <gtest/gtest.h>

#include <string>

#include "ui/message_boxes.h"

namespace quorvel {
namespace {

TEST(ExceptionBoxText, FullStopAddedAfterALastByteAboveIt) {
    EXPECT_EQ(ExceptionBoxText("abc"), "abc.");
    EXPECT_EQ(ExceptionBoxText("abc."), "abc.");
    EXPECT_EQ(ExceptionBoxText(""), "");
    EXPECT_EQ(ExceptionBoxText("List index out of bounds (3)"), "List index out of bounds (3)");
    EXPECT_EQ(ExceptionBoxText("ошибка"), "ошибка.");
}

}  // namespace
}  // namespace quorvel
