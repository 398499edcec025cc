#include "cli/data_file_table.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

namespace {

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The next word of [p, end): white space before it is skipped; a NUL ends the text, as it ends a
// C string.
std::string_view NextWord(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    const char* start = p;
    while (p < end && !IsSpace(*p) && *p != '\0') {
        ++p;
    }
    if (p < end && *p == '\0') {
        const std::string_view word(start, static_cast<std::size_t>(p - start));
        p = end;
        return word;
    }
    return std::string_view(start, static_cast<std::size_t>(p - start));
}

}  // namespace

TDataFileTable::TDataFileTable(std::string_view content) {
    rows_.reserve(content.size() / 16 + 1);
    const char* p = content.data();
    const char* const end = p + content.size();
    while (p < end) {
        const std::size_t room = std::min<std::size_t>(kMaxPiece, static_cast<std::size_t>(end - p));
        const void* lf = std::memchr(p, '\n', room);
        const char* pieceEnd = lf != nullptr ? static_cast<const char*>(lf) + 1 : p + room;
        const char* q = p;
        const std::string_view y = NextWord(q, pieceEnd);
        const std::string_view x = NextWord(q, pieceEnd);
        rows_.emplace_back(y, x);
        p = pieceEnd;
    }
}

std::string_view TDataFileTable::CellText(int col, int row) const {
    if (row < 1 || row > static_cast<int>(rows_.size()) || col < 0 || col > 1) {
        return {};
    }
    const auto& r = rows_[static_cast<std::size_t>(row - 1)];
    return col == 0 ? r.first : r.second;
}

}  // namespace quorvel
