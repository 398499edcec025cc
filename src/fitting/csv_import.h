#pragma once
// A table saved as CSV, read beside the data file: the separator, the decimal character, the header lines
// and the columns of Y, X and their uncertainties are found from the first lines (or given), then every
// record after the header becomes a row, or the whole table is refused. The records are cut by
// TCsvParser; each number is read as a data file's word is, once its decimal character is ".", so the
// points are those of the same numbers in a data file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/csv_records.h"
#include "fitting/data_file_reader.h"

namespace quorvel {

// The columns a CSV import fills: Y, X, u(Y), u(X).
enum TCsvRole : int { crY, crX, crUy, crUx, kCsvRoles };

// A column as the user names it: its number (from 1), or its name in the header.
struct TCsvColumnRef {
    int number = 0;  // 0: by name
    std::string name;
};
// A text of digits alone names a column by its number, any other text by its name (blanks around it
// are not part of it).
TCsvColumnRef CsvColumnRef(std::string_view text);
// "Y,X[,uY[,uX]]": two to four columns; nothing for fewer or more, an empty one or a number 0.
std::optional<std::vector<TCsvColumnRef>> ParseCsvColumns(std::string_view text);

// What the user chose; what is left unset is found.
struct TCsvChoice {
    std::optional<TCsvSeparator> separator;
    std::optional<char> decimal;  // '.' or ','
    std::optional<int> headerLines;
    std::vector<TCsvColumnRef> columns;  // Y, X, then u(Y) and u(X) where given; empty: Y and X found
};

// How a CSV text is read.
struct TCsvLayout {
    TCsvSeparator separator = TCsvSeparator::Comma;
    char decimal = '.';
    int headerLines = 0;                                 // records before the first row
    std::array<int, kCsvRoles> columns{-1, -1, -1, -1};  // field index (from 0) of each role; -1: none
};

enum class TCsvProblem {
    None,
    UnclosedQuote,   // a quoted field runs to the end of the text
    TextAfterQuote,  // something other than blanks follows a closing quote
    NotANumber,      // a field of a chosen column after the header is not a number
    BeyondRange,     // ... is a number beyond the double range
    NoDataLine,      // no record among the first ones (line: how many) has numbers in the chosen columns
    NoSuchColumn,    // a column named by the user is not in the header
};

// What is wrong with a CSV text, and where.
struct TCsvFault {
    TCsvProblem problem = TCsvProblem::None;
    std::size_t line = 0;    // from 1; 0 where no line is meant
    std::size_t column = 0;  // the field's number, from 1; 0 where no column is meant
    int role = -1;           // the chosen column's role, where a chosen column is meant
    std::string text;        // the field as the file has it, or the name not found
};

// How a number field reads with the decimal character: blanks and tabs around it are dropped; the other
// of "." and "," is no part of a number; then it is read as ParseUserNumber reads a "." text.
enum class TCsvNumber { Ok, NotANumber, BeyondRange };
TCsvNumber ReadCsvNumber(std::string_view field, char decimal, double& value);
// The field without the blanks and tabs around it.
std::string_view TrimCsvField(std::string_view field);

// The records the layout is found from: those of the first kCsvHeadBytes bytes, at most kCsvSampleRecords.
inline constexpr std::size_t kCsvHeadBytes = std::size_t{64} << 10;
inline constexpr std::size_t kCsvSampleRecords = 200;

// The records of a text's beginning `head` (the whole text when `whole`), cut with the separator: a
// record the head cuts off is left out. Stops after `limit` records.
std::vector<std::vector<std::string>> CsvHeadRecords(std::string_view head, bool whole,
                                                     TCsvSeparator separator,
                                                     std::size_t limit = kCsvSampleRecords);

// The layout of a text that begins with `head` (the whole text when `whole`): what the choice gives,
// the rest found. The separator and decimal character are those under which the first records hold the
// most numbers and the fewest other fields; the header is the records before the first whose chosen
// columns are all numbers; without columns chosen, Y and X are the first two columns that are numbers
// there. Names are looked for in the header's lines, the last first. False with the fault when no such
// record is found (also where the head holds no whole record) or a name is not in the header. An empty
// text has no rows.
bool FindCsvLayout(std::string_view head, bool whole, const TCsvChoice& choice, TCsvLayout& layout,
                   TCsvFault& fault);

// How a CSV text is read: the longest record (0: any), the most rows, and the progress.
struct TCsvReadOptions {
    std::size_t maxRecordBytes = 0;
    int maxRows = kMaxTableRows;
    TReadProgress progress;  // told on the calling thread
};

// How a read ended: the status as a data file's, the fault of a text that was read but refused (status
// Ok), and the layout it was read with.
struct TCsvReadResult {
    TDataReadStatus status = TDataReadStatus::Ok;
    TCsvFault fault;
    TCsvLayout layout;
    bool Refused() const { return status != TDataReadStatus::Ok || fault.problem != TCsvProblem::None; }
};

// Reads every record after the header into what is kept, which it empties first:
//   - TDataFileTable: each row's Y and X texts as the window's cells take them (blanks around them
//     dropped, the decimal character that of the window's numbers); a record whose chosen columns are
//     all empty is no row.
//   - TDataPoints: the points of the rows with both Y and X.
//   - TCalibrationPoints: those with their uncertainties (TakeCalibrationPoint; an uncertainty's fault
//     is noted on the record's line).
// Every field of a chosen column must be a number or empty. Whole or nothing: after a fault, a read
// error or any status other than Ok, nothing is kept.
template <class Kept>
TCsvReadResult ReadCsvFrom(const TByteSource& source, Kept& kept, const TCsvChoice& choice,
                           const TCsvReadOptions& options = {}, std::uint64_t size = 0);

// The same from a regular file opened without waiting (OpenRegularFile); anything else is an open failure.
template <class Kept>
TCsvReadResult ReadCsvFile(const std::string& path, Kept& kept, const TCsvChoice& choice,
                           const TCsvReadOptions& options = {});

// The first kCsvHeadBytes bytes of a source (fewer where it ends): whether that is the whole text comes
// back in `whole`. False on a read error.
bool ReadCsvHead(const TByteSource& source, std::string& head, bool& whole);

// Whether a file's name says CSV (it ends in ".csv", in any case).
bool IsCsvFileName(std::string_view path);

}  // namespace quorvel
