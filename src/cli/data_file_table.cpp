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

TDataFileTable::TDataFileTable(std::string_view content) : content_(content) {
    starts_.reserve(content.size() / 16 + 2);
    const char* const begin = content.data();
    const char* p = begin;
    const char* const end = p + content.size();
    while (p < end) {
        starts_.push_back(static_cast<std::size_t>(p - begin));
        const std::size_t room = std::min<std::size_t>(kMaxPiece, static_cast<std::size_t>(end - p));
        const void* lf = std::memchr(p, '\n', room);
        p = lf != nullptr ? static_cast<const char*>(lf) + 1 : p + room;
    }
    starts_.push_back(content.size());
}

std::string_view TDataFileTable::CellText(int col, int row) const {
    if (row < 1 || row > LineCount() || col < 0 || col > 1) {
        return {};
    }
    if (row != cachedRow_) {
        const std::size_t index = static_cast<std::size_t>(row - 1);
        const char* p = content_.data() + starts_[index];
        const char* const end = content_.data() + starts_[index + 1];
        cachedWords_[0] = NextWord(p, end);
        cachedWords_[1] = NextWord(p, end);
        cachedRow_ = row;
    }
    return cachedWords_[col];
}

}  // namespace quorvel
