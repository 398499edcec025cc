// Fuzzes the clipboard paste's tokens: each is a non-empty run without tab, CR or LF, together they are
// the whole text less its separators, and the check refuses a text exactly when it holds no token, a
// token of more than 255 characters, or more rows than the limit.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fitting/paste_tokens.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int maxRows = data[0] & 0x0F;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::string joined;
    std::size_t tokens = 0;
    bool tooLong = false;
    quorvel::TPasteTokens split(text);
    std::string_view token;
    while (split.Next(token)) {
        if (token.empty() || token.find_first_of("\t\r\n") != std::string_view::npos)
            std::abort();
        if (token.data() < text.data() || token.data() + token.size() > text.data() + text.size())
            std::abort();
        joined += token;
        ++tokens;
        tooLong = tooLong || quorvel::CountCharacters(token) > quorvel::kPasteTokenLimit;
    }
    std::string bare;
    for (const char c : text) {
        if (c != '\t' && c != '\r' && c != '\n')
            bare += c;
    }
    if (joined != bare)
        std::abort();

    const quorvel::TPasteScan scan = quorvel::CheckPasteText(text, maxRows);
    quorvel::TPasteCheck expected = quorvel::TPasteCheck::Ok;
    if (tokens == 0) {
        expected = quorvel::TPasteCheck::NoToken;
    } else if (tooLong || tokens > 2 * static_cast<std::size_t>(maxRows)) {
        // Which of the two is reported depends on which token comes first; both refuse the paste.
        if (scan.status != quorvel::TPasteCheck::TokenTooLong &&
            scan.status != quorvel::TPasteCheck::TooManyRows)
            std::abort();
        return 0;
    }
    if (scan.status != expected)
        std::abort();
    if (expected == quorvel::TPasteCheck::Ok &&
        (scan.tokens != tokens || scan.rows != static_cast<int>((tokens + 1) / 2)))
        std::abort();
    return 0;
}
