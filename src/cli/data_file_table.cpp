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

// Bytes of one read piece starting at p: up to and including the next LF, but at most kMaxPiece
// characters. Texts are UTF-8, so a character is a lead byte with its continuation bytes; a piece is
// never cut inside a character.
std::size_t PieceBytes(const char* p, const char* end) {
    std::size_t characters = 0;
    const char* q = p;
    while (q < end) {
        const auto b = static_cast<unsigned char>(*q);
        if ((b & 0xC0) != 0x80) {
            if (characters == TDataFileTable::kMaxPiece) {
                break;
            }
            ++characters;
        }
        ++q;
        if (b == '\n') {
            break;
        }
    }
    return static_cast<std::size_t>(q - p);
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
        // A LF within the first kMaxPiece bytes ends a piece of at most that many characters; only
        // longer lines need their characters counted.
        const void* lf = std::memchr(p, '\n', room);
        p = lf != nullptr ? static_cast<const char*>(lf) + 1 : p + PieceBytes(p, end);
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
