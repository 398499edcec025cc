// Fuzzes the clipboard paste's cells (and which of them begin a row) against a plain reading of the rule: the
// text split into lines at CR LF, CR or LF, lines with no character left out, each line split at its tabs,
// and the empty cells after the last non-empty one dropped. The check refuses a text exactly when it holds no
// non-empty cell, a cell of more than 255 characters, or more rows than the limit.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/paste_tokens.h"

namespace {

// The cells, and for each whether it begins a row of the text (the first cell of a line).
std::vector<std::string_view> ReferenceCells(std::string_view text, std::vector<bool>& rowStarts) {
    std::vector<std::string_view> cells;
    rowStarts.clear();
    std::size_t p = 0;
    while (p < text.size()) {
        std::size_t end = p;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::string_view line = text.substr(p, end - p);
        if (!line.empty()) {
            std::size_t start = 0;
            while (true) {
                const std::size_t tab = line.find('\t', start);
                rowStarts.push_back(start == 0);
                cells.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
                if (tab == std::string_view::npos)
                    break;
                start = tab + 1;
            }
        }
        p = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    }
    while (!cells.empty() && cells.back().empty())
        cells.pop_back();
    return cells;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const int maxRows = data[0] & 0x0F;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    static std::vector<bool> rowStarts;
    const std::vector<std::string_view> expected = ReferenceCells(text, rowStarts);
    std::size_t tokens = 0;
    bool tooLong = false;
    quorvel::TPasteTokens split(text);
    std::string_view token;
    while (split.Next(token)) {
        if (tokens >= expected.size() || token != expected[tokens] || split.StartsRow() != rowStarts[tokens])
            std::abort();
        if (token.data() < text.data() || token.data() + token.size() > text.data() + text.size())
            std::abort();
        ++tokens;
        tooLong = tooLong || quorvel::CountCharacters(token) > quorvel::kPasteTokenLimit;
    }
    if (tokens != expected.size())
        std::abort();

    const quorvel::TPasteScan scan = quorvel::CheckPasteText(text, maxRows);
    quorvel::TPasteCheck status = quorvel::TPasteCheck::Ok;
    if (tokens == 0) {
        status = quorvel::TPasteCheck::NoToken;
    } else if (tooLong || tokens > 2 * static_cast<std::size_t>(maxRows)) {
        // Which of the two is reported depends on which cell comes first; both refuse the paste.
        if (scan.status != quorvel::TPasteCheck::TokenTooLong &&
            scan.status != quorvel::TPasteCheck::TooManyRows)
            std::abort();
        return 0;
    }
    if (scan.status != status)
        std::abort();
    if (status == quorvel::TPasteCheck::Ok &&
        (scan.tokens != tokens || scan.rows != static_cast<int>((tokens + 1) / 2)))
        std::abort();
    return 0;
}
