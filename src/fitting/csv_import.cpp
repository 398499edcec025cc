#include "fitting/csv_import.h"

#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"

namespace quorvel {

namespace {

bool IsBlankByte(char c) {
    return c == ' ' || c == '\t';
}

// Keeps each record of a text's beginning as copies, and whether the text broke the rules there.
class THeadSink final : public ICsvRecordSink {
public:
    explicit THeadSink(std::size_t limit) : limit_(limit) {}
    bool Record(const TCsvRecord& record) override {
        records.emplace_back(record.fields.begin(), record.fields.end());
        return records.size() < limit_;
    }
    std::vector<std::vector<std::string>> records;

private:
    std::size_t limit_;
};

struct THead {
    std::vector<std::vector<std::string>> records;
};

THead ReadHead(std::string_view head, bool whole, TCsvSeparator separator, std::size_t limit) {
    THeadSink sink(limit);
    TCsvParser parser(separator, sink);
    bool fed = parser.Feed(head);
    if (fed && whole) {
        fed = parser.Finish();
    }
    return {std::move(sink.records)};
}

bool IsNumber(std::string_view field, char decimal) {
    double value = 0;
    return ReadCsvNumber(field, decimal, value) != TCsvNumber::NotANumber;
}

// Scores the records of a text's beginning under each decimal character, without keeping them: twice
// the fields that are numbers less those that are not, empty ones left out. The higher, the more the
// records look like a table of numbers read this way; a number counts twice so that a separator that
// parts a line into more numbers wins over one that leaves a line whole.
class TScoreSink final : public ICsvRecordSink {
public:
    explicit TScoreSink(const std::vector<char>& decimals)
        : decimals_(decimals), scores(decimals.size(), 0) {}
    bool Record(const TCsvRecord& record) override {
        for (const std::string_view field : record.fields) {
            if (TrimCsvField(field).empty()) {
                continue;
            }
            for (std::size_t i = 0; i < decimals_.size(); ++i) {
                scores[i] += IsNumber(field, decimals_[i]) ? 2 : -1;
            }
        }
        return ++records_ < kCsvSampleRecords;
    }

private:
    const std::vector<char>& decimals_;
    std::size_t records_ = 0;

public:
    std::vector<long> scores;
};

// The decimal characters to try with a separator, the likelier first: a semicolon is the separator of
// the locales that write a decimal comma.
std::vector<char> Decimals(const TCsvChoice& choice, TCsvSeparator separator) {
    if (choice.decimal) {
        return {*choice.decimal};
    }
    if (separator == TCsvSeparator::Semicolon) {
        return {',', '.'};
    }
    return {'.', ','};
}

std::string_view FieldOf(const std::vector<std::string>& record, int column) {
    return column >= 0 && static_cast<std::size_t>(column) < record.size()
               ? std::string_view(record[static_cast<std::size_t>(column)])
               : std::string_view();
}

// Whether the record can be the first row: Y and X numbers, the uncertainties numbers or empty.
bool IsFirstRow(const std::vector<std::string>& record, const TCsvLayout& layout) {
    for (int role = 0; role < kCsvRoles; ++role) {
        const int column = layout.columns[static_cast<std::size_t>(role)];
        if (column < 0) {
            continue;
        }
        const std::string_view field = FieldOf(record, column);
        if ((role <= crX || !TrimCsvField(field).empty()) && !IsNumber(field, layout.decimal)) {
            return false;
        }
    }
    return true;
}

// The chosen columns with the header of `lines` records: false, with the name not found, when a name is
// in none of them.
bool ResolveColumns(const std::vector<std::vector<std::string>>& records, std::size_t lines,
                    const std::vector<TCsvColumnRef>& columns, TCsvLayout& layout, std::string& missing) {
    for (std::size_t role = 0; role < columns.size() && role < kCsvRoles; ++role) {
        const TCsvColumnRef& ref = columns[role];
        if (ref.number > 0) {
            layout.columns[role] = ref.number - 1;
            continue;
        }
        layout.columns[role] = -1;
        const std::string_view name = TrimCsvField(ref.name);
        for (std::size_t k = std::min(lines, records.size()); k-- > 0 && layout.columns[role] < 0;) {
            for (std::size_t i = 0; i < records[k].size(); ++i) {
                if (TrimCsvField(records[k][i]) == name) {
                    layout.columns[role] = static_cast<int>(i);
                    break;
                }
            }
        }
        if (layout.columns[role] < 0) {
            missing = ref.name;
            return false;
        }
    }
    return true;
}

// Y and X as the first two columns that are numbers in the record, or the first two columns.
void FirstNumberColumns(const std::vector<std::string>* record, TCsvLayout& layout) {
    layout.columns = {0, 1, -1, -1};
    if (record == nullptr) {
        return;
    }
    int found = 0;
    for (std::size_t i = 0; i < record->size() && found < 2; ++i) {
        if (IsNumber((*record)[i], layout.decimal)) {
            layout.columns[static_cast<std::size_t>(found++)] = static_cast<int>(i);
        }
    }
    if (found < 2) {
        layout.columns = {0, 1, -1, -1};
    }
}

bool FindRows(const std::vector<std::vector<std::string>>& records, bool whole, const TCsvChoice& choice,
              TCsvLayout& layout, TCsvFault& fault) {
    if (records.empty() && whole) {
        // An empty text: no rows, as an empty data file has none.
        layout.headerLines = choice.headerLines.value_or(0);
        layout.columns = {0, 1, -1, -1};
        return true;
    }
    if (choice.headerLines) {
        layout.headerLines = std::max(0, *choice.headerLines);
        const auto header = static_cast<std::size_t>(layout.headerLines);
        if (choice.columns.empty()) {
            FirstNumberColumns(header < records.size() ? &records[header] : nullptr, layout);
            return true;
        }
        if (!ResolveColumns(records, header, choice.columns, layout, fault.text)) {
            fault.problem = TCsvProblem::NoSuchColumn;
            return false;
        }
        return true;
    }
    std::string missing;
    bool resolved = false;
    for (std::size_t h = 0; h < records.size(); ++h) {
        if (choice.columns.empty()) {
            int numbers = 0;
            for (const std::string& field : records[h]) {
                numbers += IsNumber(field, layout.decimal) ? 1 : 0;
            }
            if (numbers >= 2) {
                layout.headerLines = static_cast<int>(h);
                FirstNumberColumns(&records[h], layout);
                return true;
            }
            continue;
        }
        if (!ResolveColumns(records, h, choice.columns, layout, missing)) {
            continue;
        }
        resolved = true;
        if (IsFirstRow(records[h], layout)) {
            layout.headerLines = static_cast<int>(h);
            return true;
        }
    }
    if (!choice.columns.empty() && !resolved) {
        // Names are looked for in every record the header could have been.
        if (!ResolveColumns(records, records.size(), choice.columns, layout, missing)) {
            fault.problem = TCsvProblem::NoSuchColumn;
            fault.text = missing;
            return false;
        }
    }
    fault.problem = TCsvProblem::NoDataLine;
    fault.line = records.size();
    return false;
}

// Each record after the header as a row of what is kept; stops at the first field that is no number.
template <class Kept>
class TRowSink final : public ICsvRecordSink {
public:
    TRowSink(Kept& kept, const TCsvLayout& layout, int maxRows)
        : kept_(kept), layout_(layout), maxRows_(static_cast<std::size_t>(std::max(maxRows, 0))) {}

    bool Record(const TCsvRecord& record) override {
        if (header_ < layout_.headerLines) {
            ++header_;
            return true;
        }
        std::array<std::string_view, kCsvRoles> fields{};
        std::array<double, kCsvRoles> values{};
        bool any = false;
        for (std::size_t role = 0; role < kCsvRoles; ++role) {
            const int column = layout_.columns[role];
            if (column >= 0 && static_cast<std::size_t>(column) < record.fields.size()) {
                fields[role] = TrimCsvField(record.fields[static_cast<std::size_t>(column)]);
                any = any || !fields[role].empty();
            }
        }
        if (!any) {
            return true;  // no row: an empty line, or a line of empty fields
        }
        for (std::size_t role = 0; role < kCsvRoles; ++role) {
            if (fields[role].empty()) {
                continue;
            }
            const TCsvNumber read = ReadCsvNumber(fields[role], layout_.decimal, values[role]);
            if (read != TCsvNumber::Ok) {
                const auto column = static_cast<std::size_t>(layout_.columns[role]);
                fault = {read == TCsvNumber::BeyondRange ? TCsvProblem::BeyondRange : TCsvProblem::NotANumber,
                         record.lines[column], column + 1, static_cast<int>(role),
                         std::string(record.fields[column])};
                return false;
            }
        }
        if (++rows_ > maxRows_) {
            tooManyRows = true;
            return false;
        }
        Keep(fields, values, record.lines.empty() ? 0 : record.lines.front());
        return true;
    }

    TCsvFault fault;
    bool tooManyRows = false;

private:
    void Keep(const std::array<std::string_view, kCsvRoles>& fields,
              const std::array<double, kCsvRoles>& values, std::size_t line);

    // A number field as the window's cell takes it: its decimal character that of the window's numbers.
    std::string_view CellText(std::string_view field, std::string& room) const {
        const std::size_t mark = field.find(layout_.decimal);
        if (mark == std::string_view::npos || decimal_ == std::string_view(&layout_.decimal, 1)) {
            return field;
        }
        room.assign(field.substr(0, mark));
        room += decimal_;
        room.append(field.substr(mark + 1));
        return room;
    }

    Kept& kept_;
    const TCsvLayout& layout_;
    std::size_t maxRows_;
    std::size_t rows_ = 0;
    int header_ = 0;
    std::string decimal_ = DecimalText();
    std::string yRoom_;
    std::string xRoom_;
};

template <>
void TRowSink<TDataFileTable>::Keep(const std::array<std::string_view, kCsvRoles>& fields,
                                    const std::array<double, kCsvRoles>&, std::size_t) {
    kept_.AppendLine(CellText(fields[crY], yRoom_), CellText(fields[crX], xRoom_));
}

template <>
void TRowSink<TDataPoints>::Keep(const std::array<std::string_view, kCsvRoles>& fields,
                                 const std::array<double, kCsvRoles>& values, std::size_t) {
    if (!fields[crY].empty() && !fields[crX].empty()) {
        kept_.points.push_back(TDataPoint{values[crX], values[crY]});
    }
}

template <>
void TRowSink<TCalibrationPoints>::Keep(const std::array<std::string_view, kCsvRoles>& fields,
                                        const std::array<double, kCsvRoles>& values, std::size_t line) {
    if (fields[crY].empty() || fields[crX].empty() || kept_.faultLine != 0) {
        return;
    }
    const auto given = [&](int role) {
        const auto r = static_cast<std::size_t>(role);
        return TUncertaintyValue{fields[r],
                                 fields[r].empty() ? std::nullopt : std::optional<double>(values[r])};
    };
    kept_.lines = line;
    TakeCalibrationPoint(kept_, TDataPoint{values[crX], values[crY]}, given(crUy), given(crUx));
}

}  // namespace

std::string_view TrimCsvField(std::string_view field) {
    while (!field.empty() && IsBlankByte(field.front())) {
        field.remove_prefix(1);
    }
    while (!field.empty() && IsBlankByte(field.back())) {
        field.remove_suffix(1);
    }
    return field;
}

TCsvNumber ReadCsvNumber(std::string_view field, char decimal, double& value) {
    field = TrimCsvField(field);
    if (field.empty() || field.find(decimal == '.' ? ',' : '.') != std::string_view::npos) {
        return TCsvNumber::NotANumber;
    }
    // A number is made of these bytes alone: any other (a letter, a locale's own decimal character) says
    // at once that the field is none, without the reader's exception.
    const bool numberBytes = std::all_of(field.begin(), field.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == ',' || c == 'e' || c == 'E';
    });
    if (!numberBytes) {
        return TCsvNumber::NotANumber;
    }
    std::string text;
    std::string_view dotted = field;
    if (decimal != '.') {
        if (const std::size_t mark = field.find(decimal); mark != std::string_view::npos) {
            text.assign(field);
            text[mark] = '.';
            dotted = text;
        }
    }
    try {
        value = ParseUserNumber(dotted);
        return TCsvNumber::Ok;
    } catch (const EOverflow&) {
        return TCsvNumber::BeyondRange;
    } catch (const Exception&) {
        return TCsvNumber::NotANumber;
    }
}

TCsvColumnRef CsvColumnRef(std::string_view text) {
    text = TrimCsvField(text);
    TCsvColumnRef ref;
    const bool digits = !text.empty() && text.size() <= 6 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) {
        ref.number = std::stoi(std::string(text));
    } else {
        ref.name = std::string(text);
    }
    return ref;
}

std::optional<std::vector<TCsvColumnRef>> ParseCsvColumns(std::string_view text) {
    std::vector<TCsvColumnRef> columns;
    for (;;) {
        const std::size_t comma = text.find(',');
        const TCsvColumnRef ref = CsvColumnRef(text.substr(0, comma));
        if (ref.number == 0 && ref.name.empty()) {
            return std::nullopt;  // an empty column, or the number 0
        }
        columns.push_back(ref);
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    if (columns.size() < 2 || columns.size() > kCsvRoles) {
        return std::nullopt;
    }
    return columns;
}

std::vector<std::vector<std::string>> CsvHeadRecords(std::string_view head, bool whole,
                                                     TCsvSeparator separator, std::size_t limit) {
    return ReadHead(head, whole, separator, limit).records;
}

bool FindCsvLayout(std::string_view head, bool whole, const TCsvChoice& choice, TCsvLayout& layout,
                   TCsvFault& fault) {
    fault = {};
    const std::vector<TCsvSeparator> separators =
        choice.separator ? std::vector<TCsvSeparator>{*choice.separator}
                         : std::vector<TCsvSeparator>{TCsvSeparator::Tab, TCsvSeparator::Semicolon,
                                                      TCsvSeparator::Comma, TCsvSeparator::Blanks};
    // The first of the likeliest: a text that breaks the quoting rules under a separator ranks below
    // every one that does not. Text after a closing quote is the mark of a separator that is not the
    // text's (a quoted field holds the text's separator); a quote left open may be the text's own fault.
    bool found = false;
    bool bestFaulted = true;
    long bestScore = LONG_MIN;
    for (const TCsvSeparator separator : separators) {
        const std::vector<char> decimals = Decimals(choice, separator);
        TScoreSink sink(decimals);
        TCsvParser parser(separator, sink);
        bool fed = parser.Feed(head);
        if (fed && whole) {
            fed = parser.Finish();
        }
        const bool faulted = !fed && parser.Fault() == TCsvSyntaxFault::TextAfterQuote;
        for (std::size_t i = 0; i < decimals.size(); ++i) {
            const bool better =
                !found || (bestFaulted && !faulted) || (bestFaulted == faulted && sink.scores[i] > bestScore);
            if (better) {
                found = true;
                bestFaulted = faulted;
                bestScore = sink.scores[i];
                layout.separator = separator;
                layout.decimal = decimals[i];
            }
        }
    }
    const std::vector<std::vector<std::string>> records =
        ReadHead(head, whole, layout.separator, kCsvSampleRecords).records;
    return FindRows(records, whole, choice, layout, fault);
}

bool ReadCsvHead(const TByteSource& source, std::string& head, bool& whole) {
    // In pieces, so that a short text costs no room for the whole head.
    char piece[4096];
    whole = false;
    head.clear();
    while (head.size() < kCsvHeadBytes) {
        const std::ptrdiff_t got = source(piece, std::min(sizeof(piece), kCsvHeadBytes - head.size()));
        if (got < 0) {
            head.clear();
            return false;
        }
        if (got == 0) {
            whole = true;
            break;
        }
        head.append(piece, static_cast<std::size_t>(got));
    }
    return true;
}

template <class Kept>
TCsvReadResult ReadCsvFrom(const TByteSource& source, Kept& kept, const TCsvChoice& choice,
                           const TCsvReadOptions& options, std::uint64_t size) {
    kept.Clear();
    TCsvReadResult result;
    std::string head;
    bool whole = false;
    if (!ReadCsvHead(source, head, whole)) {
        result.status = TDataReadStatus::ReadError;
        return result;
    }
    if (!FindCsvLayout(head, whole, choice, result.layout, result.fault)) {
        return result;
    }
    TRowSink<Kept> sink(kept, result.layout, options.maxRows);
    TCsvParser parser(result.layout.separator, sink, options.maxRecordBytes);
    TPiecesEnd end = TPiecesEnd::Refused;
    if (parser.Feed(head)) {
        if (whole) {
            end = parser.Finish() ? TPiecesEnd::Ended : TPiecesEnd::Refused;
        } else {
            const std::uint64_t before = head.size();
            TReadProgress progress;
            if (options.progress) {
                progress = [&options, before](std::uint64_t done, std::uint64_t total) {
                    return options.progress(before + done, total);
                };
            }
            end = FeedInOrder(source, parser, progress, size);
        }
    }
    switch (end) {
        case TPiecesEnd::Ended:
            break;
        case TPiecesEnd::ReadFailed:
            result.status = TDataReadStatus::ReadError;
            break;
        case TPiecesEnd::Cancelled:
        case TPiecesEnd::Stopped:
            result.status = TDataReadStatus::Cancelled;
            break;
        case TPiecesEnd::Refused:
            if (parser.Fault() == TCsvSyntaxFault::RecordTooLong) {
                result.status = TDataReadStatus::LineTooLong;
            } else if (parser.Fault() != TCsvSyntaxFault::None) {
                result.fault.problem = parser.Fault() == TCsvSyntaxFault::UnclosedQuote
                                           ? TCsvProblem::UnclosedQuote
                                           : TCsvProblem::TextAfterQuote;
                result.fault.line = parser.FaultLine();
                result.fault.column = parser.FaultField();
            } else if (sink.tooManyRows) {
                result.status = TDataReadStatus::TooManyLines;
            } else {
                result.fault = sink.fault;
            }
            break;
    }
    if (result.Refused()) {
        kept.Clear();
    }
    return result;
}

template <class Kept>
TCsvReadResult ReadCsvFile(const std::string& path, Kept& kept, const TCsvChoice& choice,
                           const TCsvReadOptions& options) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) {
        kept.Clear();
        TCsvReadResult result;
        result.status = TDataReadStatus::OpenFailed;
        return result;
    }
    const TDescriptorCloser closer(fd);
    struct stat info = {};
    ::fstat(fd, &info);
    return ReadCsvFrom(DescriptorSource(fd), kept, choice, options, static_cast<std::uint64_t>(info.st_size));
}

template TCsvReadResult ReadCsvFrom(const TByteSource&, TDataFileTable&, const TCsvChoice&,
                                    const TCsvReadOptions&, std::uint64_t);
template TCsvReadResult ReadCsvFrom(const TByteSource&, TDataPoints&, const TCsvChoice&,
                                    const TCsvReadOptions&, std::uint64_t);
template TCsvReadResult ReadCsvFrom(const TByteSource&, TCalibrationPoints&, const TCsvChoice&,
                                    const TCsvReadOptions&, std::uint64_t);
template TCsvReadResult ReadCsvFile(const std::string&, TDataFileTable&, const TCsvChoice&,
                                    const TCsvReadOptions&);
template TCsvReadResult ReadCsvFile(const std::string&, TDataPoints&, const TCsvChoice&,
                                    const TCsvReadOptions&);
template TCsvReadResult ReadCsvFile(const std::string&, TCalibrationPoints&, const TCsvChoice&,
                                    const TCsvReadOptions&);

bool IsCsvFileName(std::string_view path) {
    if (path.size() < 4) {
        return false;
    }
    const std::string_view tail = path.substr(path.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'c' && (tail[2] | 0x20) == 's' && (tail[3] | 0x20) == 'v';
}

}  // namespace quorvel
