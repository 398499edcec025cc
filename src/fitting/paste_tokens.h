#pragma once
// The clipboard table text as the paste reads it: cells separated by tabs, rows by line breaks.
#include <cstddef>
#include <string_view>

#include "fitting/fit_types.h"

namespace quorvel {

// A longer token fails the paste: cutting it would silently change a value.
inline constexpr int kPasteTokenLimit = 255;

// The cells of a text in order. A line break (CR LF, CR or LF alike) ends a row of the text and a tab
// separates its cells, so an empty text between two separators is an empty cell and the pairs stay
// aligned: a row copied with an empty X ("5\t\r\n") is two cells. Lines with no character at all
// (blank lines, line breaks before the first cell) make no cell, and nothing is taken after the last
// non-empty cell, so the copy's empty entry row adds no row. Blanks belong to the cells.
class TPasteTokens {
public:
    explicit TPasteTokens(std::string_view text)
        : p_(text.data()), end_(text.data() + text.size()), ahead_(text.data()) {}
    // The next cell, which may be empty; false after the last non-empty one.
    bool Next(std::string_view& token);
    // Whether the cell Next gave last begins a row of the text (the first cell, or one after a break).
    bool StartsRow() const { return startsRow_; }

private:
    const char* p_;
    const char* end_;
    const char* ahead_;  // when past p_: the next character after p_ that is no separator
    bool lineStart_ = true;
    bool startsRow_ = false;
};

enum class TPasteCheck {
    Ok,
    NoToken,       // no cell that is not empty: nothing to paste
    TokenTooLong,  // a token of more than kPasteTokenLimit characters
    TooManyRows,   // more rows than a table holds
};

struct TPasteScan {
    TPasteCheck status = TPasteCheck::Ok;
    std::size_t tokens = 0;  // cells up to the last non-empty one
    int rows = 0;            // rows the cells fill, two cells a row
};

// Checks every token of a UTF-8 text, so that a paste that would fail is refused before any cell is
// written.
TPasteScan CheckPasteText(std::string_view text, int maxRows = kMaxTableRows);

// Characters of a UTF-8 text: the bytes that do not continue a character.
std::size_t CountCharacters(std::string_view text);

}  // namespace quorvel
