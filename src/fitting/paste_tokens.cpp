#include "fitting/paste_tokens.h"

namespace quorvel {

namespace {

inline bool IsSeparator(char c) {
    return c == '\t' || c == '\r' || c == '\n';
}

inline bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

}  // namespace

bool TPasteTokens::Next(std::string_view& token) {
    const bool startsRow = lineStart_;
    if (lineStart_) {
        while (p_ < end_ && IsLineBreak(*p_)) {
            ++p_;
        }
    }
    // Only separators left: the cells they part are empty and trail the last real one. The look
    // ahead is kept, so that a long run of empty cells is scanned once, not once a cell.
    if (ahead_ <= p_) {
        ahead_ = p_;
        while (ahead_ < end_ && IsSeparator(*ahead_)) {
            ++ahead_;
        }
    }
    if (ahead_ == end_) {
        p_ = end_;
        return false;
    }
    const char* const start = p_;
    while (p_ < end_ && !IsSeparator(*p_)) {
        ++p_;
    }
    token = std::string_view(start, static_cast<std::size_t>(p_ - start));
    startsRow_ = startsRow;
    // The separator after the cell: a tab leads to the next cell of the row, a line break to the next
    // row, CR LF being one break.
    lineStart_ = p_ == end_ || *p_ != '\t';
    if (p_ < end_) {
        p_ += (*p_ == '\r' && p_ + 1 < end_ && p_[1] == '\n') ? 2 : 1;
    }
    return true;
}

std::size_t CountCharacters(std::string_view text) {
    std::size_t characters = 0;
    for (const char c : text) {
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }
    return characters;
}

TPasteScan CheckPasteText(std::string_view text, int maxRows) {
    TPasteScan scan;
    TPasteTokens tokens(text);
    std::string_view token;
    const std::size_t maxTokens = 2 * static_cast<std::size_t>(maxRows > 0 ? maxRows : 0);
    while (tokens.Next(token)) {
        // Characters are counted only where the bytes alone may be too many.
        if (token.size() > kPasteTokenLimit && CountCharacters(token) > kPasteTokenLimit) {
            scan.status = TPasteCheck::TokenTooLong;
            return scan;
        }
        if (++scan.tokens > maxTokens) {
            scan.status = TPasteCheck::TooManyRows;
            return scan;
        }
    }
    if (scan.tokens == 0) {
        scan.status = TPasteCheck::NoToken;
    }
    scan.rows = static_cast<int>((scan.tokens + 1) / 2);
    return scan;
}

}  // namespace quorvel
