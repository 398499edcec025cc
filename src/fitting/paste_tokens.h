#pragma once
// The clipboard table text as the paste reads it: tokens separated by tabs and line breaks.
#include <cstddef>
#include <string_view>

#include "fitting/fit_types.h"

namespace quorvel {

// A longer token fails the paste: cutting it would silently change a value.
inline constexpr int kPasteTokenLimit = 255;

// The tokens of a text in order: maximal runs of characters other than tab, CR and LF. Separators
// before, between and after tokens, however many, make no token; blanks belong to the tokens.
class TPasteTokens {
public:
    explicit TPasteTokens(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}
    // The next token; false after the last one.
    bool Next(std::string_view& token);

private:
    const char* p_;
    const char* end_;
};

enum class TPasteCheck {
    Ok,
    NoToken,       // nothing to paste
    TokenTooLong,  // a token of more than kPasteTokenLimit characters
    TooManyRows,   // more rows than a table holds
};

struct TPasteScan {
    TPasteCheck status = TPasteCheck::Ok;
    std::size_t tokens = 0;
    int rows = 0;  // rows the tokens fill, two tokens a row
};

// Checks every token of a UTF-8 text, so that a paste that would fail is refused before any cell is
// written.
TPasteScan CheckPasteText(std::string_view text, int maxRows = kMaxTableRows);

// Characters of a UTF-8 text: the bytes that do not continue a character.
std::size_t CountCharacters(std::string_view text);

}  // namespace quorvel
