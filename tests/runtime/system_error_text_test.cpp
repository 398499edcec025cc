// The reasons the boxes give for a failed write or read: Russian for every system error number.
#include "runtime/system_error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace quorvel {
namespace {

TEST(SystemErrorText, RussianForTheCommonFailures) {
    const struct {
        int error;
        const char* text;
    } rows[] = {
        // One row a line: the releases' clang-format versions pack this table differently.
        // clang-format off
        {ENOSPC, "на диске нет места"},
        {EROFS, "файловая система доступна только для чтения"},
        {EACCES, "нет прав доступа"},
        {ENOENT, "нет такого файла или папки"},
        {EFBIG, "файл слишком велик"},
        {EDQUOT, "превышена дисковая квота"},
        {EIO, "ошибка ввода-вывода"},
        {4242, "системная ошибка 4242"},
        // clang-format on
    };
    for (const auto& row : rows) {
        EXPECT_EQ(SystemErrorText(row.error), row.text) << row.error;
    }
}

// No number falls through to an English text: every letter of every reason is Cyrillic.
TEST(SystemErrorText, NoLatinLetterForAnyNumber) {
    for (int error = 0; error < 200; ++error) {
        const std::string text = SystemErrorText(error);
        EXPECT_FALSE(text.empty()) << error;
        for (const char c : text) {
            EXPECT_FALSE((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) << error << ": " << text;
        }
    }
}

}  // namespace
}  // namespace quorvel
