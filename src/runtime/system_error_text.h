#pragma once
// The reasons a file could not be written or read, as the window's boxes give them: in the window's
// language, never the C library's English texts.
#include <string>

namespace quorvel {

// A name that is not a regular file, which a save would replace with one.
inline constexpr const char* kNotRegularFileText = "это не обычный файл";

// The reason behind a system error number, in Russian ("на диске нет места" for ENOSPC); a number
// without a text of its own gives "системная ошибка N".
std::string SystemErrorText(int error);

}  // namespace quorvel
