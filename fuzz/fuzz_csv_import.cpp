// Fuzzes the CSV records against a plain reading of the quoting rules (records at line ends outside
// quotes, a leading byte-order mark skipped, quoted fields with doubled quotes and blanks around them,
// blanks as a separator): the same records, field lines and fault, whatever pieces the bytes arrive in.
// Then the import: the window's rows and quorvel-fit's points of the same text are refused alike, and the
// points are the rows with both cells, each read as a cell is.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/csv_import.h"
#include "fitting/csv_records.h"
#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"

namespace {

using quorvel::TCsvSeparator;
using quorvel::TCsvSyntaxFault;

struct TPlainRecord {
    std::vector<std::string> fields;
    std::vector<std::size_t> lines;
    bool operator==(const TPlainRecord&) const = default;
};

struct TPlain {
    std::vector<TPlainRecord> records;
    TCsvSyntaxFault fault = TCsvSyntaxFault::None;
    std::size_t faultLine = 0;
    std::size_t faultField = 0;
};

// The rules read as plainly as they are written, over the whole text at once.
TPlain PlainReading(std::string_view text, TCsvSeparator separator) {
    const bool blanks = separator == TCsvSeparator::Blanks;
    const char sep = static_cast<char>(separator);
    const auto isBlank = [&](char c) { return c == ' ' || (c == '\t' && separator != TCsvSeparator::Tab); };
    const auto isLineEnd = [](char c) { return c == '\n' || c == '\r'; };
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    // The line of each byte: a line ends at every CR, and at every LF that no CR comes just before.
    std::vector<std::size_t> lineOf(text.size() + 1, 1);
    for (std::size_t i = 0, line = 1; i <= text.size(); ++i) {
        lineOf[i] = line;
        if (i < text.size() && (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')))) {
            ++line;
        }
    }
    TPlain plain;
    const std::size_t n = text.size();
    std::size_t p = 0;
    // The end of the line end at p (CR LF is one).
    const auto pastLineEnd = [&](std::size_t at) {
        return text[at] == '\r' && at + 1 < n && text[at + 1] == '\n' ? at + 2 : at + 1;
    };
    while (p < n) {
        TPlainRecord record;
        bool recordEnded = false;
        if (blanks) {
            while (p < n && isBlank(text[p])) {
                ++p;
            }
        }
        if (p == n || isLineEnd(text[p])) {
            // A line with no field.
            if (p < n) {
                p = pastLineEnd(p);
            }
            plain.records.push_back(record);
            continue;
        }
        while (!recordEnded) {
            std::size_t q = p;
            while (q < n && isBlank(text[q])) {
                ++q;
            }
            record.lines.push_back(lineOf[p]);
            if (q < n && text[q] == '"') {
                std::string field;
                std::size_t k = q + 1;
                for (;;) {
                    const std::size_t quote = text.find('"', k);
                    if (quote == std::string_view::npos) {
                        plain.fault = TCsvSyntaxFault::UnclosedQuote;
                        plain.faultLine = record.lines.back();
                        plain.faultField = record.lines.size();
                        return plain;
                    }
                    field.append(text.substr(k, quote - k));
                    if (quote + 1 < n && text[quote + 1] == '"') {
                        field += '"';
                        k = quote + 2;
                        continue;
                    }
                    k = quote + 1;
                    break;
                }
                record.fields.push_back(field);
                std::size_t after = k;
                while (after < n && isBlank(text[after])) {
                    ++after;
                }
                if (after == n) {
                    p = n;
                    recordEnded = true;
                } else if (isLineEnd(text[after])) {
                    p = pastLineEnd(after);
                    recordEnded = true;
                } else if (!blanks && text[after] == sep) {
                    p = after + 1;
                } else if (blanks && after > k) {
                    p = after;  // the blanks part this field from the next
                } else {
                    plain.fault = TCsvSyntaxFault::TextAfterQuote;
                    plain.faultLine = lineOf[after];
                    plain.faultField = record.lines.size();
                    return plain;
                }
            } else {
                std::size_t end = p;
                while (end < n && !isLineEnd(text[end]) &&
                       !(blanks ? isBlank(text[end]) : text[end] == sep)) {
                    ++end;
                }
                record.fields.emplace_back(text.substr(p, end - p));
                if (end == n) {
                    p = n;
                    recordEnded = true;
                } else if (isLineEnd(text[end])) {
                    p = pastLineEnd(end);
                    recordEnded = true;
                } else {
                    p = end + 1;
                }
            }
            if (blanks && !recordEnded) {
                // Further blanks part nothing more; at a line end or the text's end the record ends.
                while (p < n && isBlank(text[p])) {
                    ++p;
                }
                if (p == n) {
                    recordEnded = true;
                } else if (isLineEnd(text[p])) {
                    p = pastLineEnd(p);
                    recordEnded = true;
                }
            } else if (!blanks && !recordEnded && p == n) {
                // A separator at the very end: an empty last field.
                record.fields.emplace_back();
                record.lines.push_back(lineOf[p]);
                recordEnded = true;
            }
        }
        plain.records.push_back(record);
    }
    return plain;
}

class TKeep final : public quorvel::ICsvRecordSink {
public:
    bool Record(const quorvel::TCsvRecord& record) override {
        records.push_back({{record.fields.begin(), record.fields.end()}, record.lines});
        return true;
    }
    std::vector<TPlainRecord> records;
};

// The text from a byte source in pieces of at most `piece` bytes.
quorvel::TByteSource Pieces(std::string_view text, std::size_t piece, std::size_t& at) {
    at = 0;
    return [text, piece, &at](char* buffer, std::size_t n) {
        const std::size_t got = std::min({n, piece, text.size() - at});
        std::memcpy(buffer, text.data() + at, got);
        at += got;
        return static_cast<std::ptrdiff_t>(got);
    };
}

void CheckImport(std::string_view text, TCsvSeparator separator, std::size_t piece) {
    // The separator is found on one input in four (trying every separator takes most of a run's time),
    // given on the rest.
    quorvel::TCsvChoice choice;
    if (text.size() % 4 != 0) {
        choice.separator = separator;
    }
    std::size_t at = 0;
    quorvel::TDataFileTable table;
    const quorvel::TCsvReadResult rows = ReadCsvFrom(Pieces(text, piece, at), table, choice);
    quorvel::TDataPoints points;
    const quorvel::TCsvReadResult read = ReadCsvFrom(Pieces(text, piece, at), points, choice);
    if (rows.Refused() != read.Refused() || rows.fault.problem != read.fault.problem ||
        rows.fault.line != read.fault.line || rows.fault.column != read.fault.column) {
        std::abort();
    }
    if (read.Refused()) {
        if (table.LineCount() != 0 || !points.points.empty()) {
            std::abort();  // nothing is kept of a refused table
        }
        return;
    }
    std::vector<quorvel::TDataPoint> fromRows;
    for (int line = 1; line <= table.LineCount(); ++line) {
        const quorvel::TDataFileTable::TLineWords words = table.LineWords(line);
        if (words.y.empty() && words.x.empty()) {
            std::abort();  // a row with no value is no row
        }
        if (!words.y.empty() && !words.x.empty()) {
            fromRows.push_back({quorvel::ParseUserNumber(words.x), quorvel::ParseUserNumber(words.y)});
        }
    }
    if (fromRows.size() != points.points.size() ||
        (!fromRows.empty() && std::memcmp(fromRows.data(), points.points.data(),
                                          fromRows.size() * sizeof(quorvel::TDataPoint)) != 0)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the separator and the piece size.
    constexpr TCsvSeparator kSeparators[] = {TCsvSeparator::Comma, TCsvSeparator::Semicolon,
                                             TCsvSeparator::Tab, TCsvSeparator::Blanks};
    const TCsvSeparator separator = kSeparators[data[0] & 3];
    const std::size_t piece = 1 + (data[0] >> 2);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const TPlain expected = PlainReading(text, separator);
    TKeep sink;
    quorvel::TCsvParser parser(separator, sink);
    bool ok = true;
    for (std::size_t at = 0; ok && at < text.size(); at += piece) {
        ok = parser.Feed(text.substr(at, piece));
    }
    ok = ok && parser.Finish();
    if (sink.records != expected.records || ok != (expected.fault == TCsvSyntaxFault::None) ||
        parser.Fault() != expected.fault) {
        std::abort();
    }
    if (!ok && (parser.FaultLine() != expected.faultLine || parser.FaultField() != expected.faultField)) {
        std::abort();
    }
    CheckImport(text, separator, piece);
    return 0;
}
