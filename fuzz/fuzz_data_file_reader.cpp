// Fuzzes the data-file reader: the table is the same whatever pieces the bytes arrive in, and the same
// as a plain reading of the rules (lines at LF, a leading byte-order mark skipped, the text of a line
// ending at a NUL, the first two white-space separated words); a text with more lines than the limit
// keeps nothing. Read in two halves at once, parted anywhere, it is the same table, and the points read
// without the table are those the table gives.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fitting/data_file_reader.h"
#include "fitting/point_extraction.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"

namespace {

using TRows = std::vector<std::pair<std::string_view, std::string_view>>;

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

// The rules read as plainly as they are written, to hold the reader's fast paths against.
TRows PlainReading(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    TRows rows;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        line = line.substr(0, line.find('\0'));
        std::string_view words[2];
        for (std::string_view& word : words) {
            std::size_t i = 0;
            while (i < line.size() && IsWhite(line[i])) {
                ++i;
            }
            std::size_t j = i;
            while (j < line.size() && !IsWhite(line[j])) {
                ++j;
            }
            word = line.substr(i, j - i);
            line.remove_prefix(j);
        }
        rows.emplace_back(words[0], words[1]);
    }
    return rows;
}

TRows RowsOf(const quorvel::TDataFileTable& table) {
    TRows rows;
    for (int row = 1; row <= table.LineCount(); ++row) {
        rows.emplace_back(table.CellText(0, row), table.CellText(1, row));
    }
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the piece size and the line limit.
    const std::size_t piece = 1 + (data[0] & 0x1F);
    const int maxLines = (data[0] >> 5) == 7 ? quorvel::kMaxTableRows : (data[0] >> 5);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const TRows expected = PlainReading(text);
    const bool tooMany = expected.size() > static_cast<std::size_t>(maxLines);

    quorvel::TDataFileTable whole;
    if ((quorvel::ParseDataText(text, whole, maxLines) == quorvel::TDataReadStatus::TooManyLines) != tooMany)
        std::abort();
    if (tooMany ? whole.LineCount() != 0 : RowsOf(whole) != expected)
        std::abort();

    quorvel::TDataFileTable pieces;
    quorvel::TDataFileParser parser(pieces, maxLines);
    bool taken = true;
    for (std::size_t at = 0; at < text.size() && taken; at += piece) {
        taken = parser.Feed(text.substr(at, piece));
    }
    taken = taken && parser.Finish();
    if (taken == tooMany)
        std::abort();
    if (!tooMany && RowsOf(pieces) != expected)
        std::abort();

    // The same bits pick where the halves part.
    quorvel::AllowSecondCore(true);
    const std::uint64_t middle = text.size() * (data[0] & 0x1F) / 31;
    const quorvel::TPositionalSource source = [text, piece](char* buffer, std::size_t n,
                                                            std::uint64_t offset) {
        const std::size_t at = std::min<std::size_t>(offset, text.size());
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        return static_cast<std::ptrdiff_t>(got);
    };
    quorvel::TDataFileTable halves;
    const quorvel::TDataReadStatus status =
        quorvel::ReadDataTableInTwoParts(source, 2 * middle, halves, {}, 0, maxLines);
    if ((status == quorvel::TDataReadStatus::TooManyLines) != tooMany ||
        (status != quorvel::TDataReadStatus::Ok && !tooMany))
        std::abort();
    if (tooMany ? halves.LineCount() != 0 : RowsOf(halves) != expected)
        std::abort();
    if (!tooMany) {
        std::optional<quorvel::TPointTable> fromTable;
        try {
            fromTable = quorvel::ExtractPoints(whole);
        } catch (const quorvel::Exception&) {
        }
        const std::optional<quorvel::TPointTable> read = quorvel::ReadDataPoints(source, 2 * middle, 0);
        if (read.has_value() != fromTable.has_value())
            std::abort();
        // Bit for bit, so that -0 and 0 are told apart.
        const auto same = [](const quorvel::TDataPoint& a, const quorvel::TDataPoint& b) {
            return std::memcmp(&a, &b, sizeof a) == 0;
        };
        if (read && !std::equal(read->begin(), read->end(), fromTable->begin(), fromTable->end(), same))
            std::abort();
    }
    return 0;
}
