#pragma once
// The data file as both front ends read it, by the same route: each line is one row, whatever its
// length, and its first two words (by the rules of kDataLines) are the row's Y and X. The window keeps
// the words as a table; quorvel-fit keeps only the points the recompute would take from them.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/calibration_data.h"
#include "fitting/fit_types.h"
#include "fitting/text_lines.h"
#include "fitting/uncertainty_rule.h"
#include "fitting/work_options.h"

namespace quorvel {

// Shown (and printed by quorvel-fit) when a file has more lines than a table holds.
inline constexpr const char* kTooManyLinesText =
    "Файл содержит больше 10 000 000 строк: таблица столько не вмещает.";
static_assert(kMaxTableRows == 10'000'000, "the text above names the limit");

// The longest line quorvel-fit reads (LF not counted): 4096 of the longest tokens a paste takes (255
// characters), far more than any table's line with its further columns, yet small enough that input
// without line breaks (a device, a stream cut apart) ends at once instead of filling the memory.
inline constexpr std::size_t kLongestCommandLine = std::size_t{1} << 20;
inline constexpr const char* kLineTooLongText = "a line is longer than 1048576 bytes (1 MiB)";

enum class TDataReadStatus {
    Ok,
    OpenFailed,    // missing, unreadable, or not a regular file: nothing read
    ReadError,     // a read failed before the end: the whole lines before it were read
    TooManyLines,  // more lines than the limit: nothing is kept
    LineTooLong,   // a line is longer than the limit asked for: nothing is kept
    Cancelled,     // the progress said stop: nothing is kept
};

// The words of a data file's lines, in line order. As a table, row k is line k, row 0 the empty header
// row and the last row the empty entry row, as the window's table is after reading the file.
class TDataFileTable : public ITableSource {
public:
    int RowCount() const override { return LineCount() + 2; }
    std::string_view CellText(int col, int row) const override;
    TRowTexts RowTexts(int row) const override;

    int LineCount() const { return static_cast<int>(starts_.size()); }
    // The bytes of all the lines' Y and X words together.
    std::size_t TextBytes() const { return words_.size() - starts_.size(); }
    // Line k's (1 .. LineCount()) Y and X words.
    struct TLineWords {
        std::string_view y;
        std::string_view x;
    };
    TLineWords LineWords(int line) const;
    // A line after the last, of these words (which hold no blank).
    void AppendLine(std::string_view y, std::string_view x);
    void Clear();
    // Room for this many bytes of words and lines, so that a table of a known size grows in place.
    void Reserve(std::size_t wordBytes, std::size_t lines);
    // The other table's lines follow this one's.
    void Append(const TDataFileTable& other);

private:
    std::size_t BlankOf(std::size_t line) const;
    TLineWords WordsAround(std::size_t line, std::size_t blank) const;

    // Each line as its Y, one blank and its X (words hold no blank), from starts_[k] to the next line's
    // start: a line costs 9 bytes beside its words.
    std::string words_;
    std::vector<std::size_t> starts_;
};

// The words of a data file's lines with their u(Y) and u(X), the third and fourth words (empty where a line
// has none), as the window's table is after reading the file while it shows those columns.
class TFourColumnFileTable : public ITableSource {
public:
    int RowCount() const override { return values.RowCount(); }
    std::string_view CellText(int col, int row) const override;
    TRowTexts RowTexts(int row) const override;
    int LineCount() const { return values.LineCount(); }
    void Clear() {
        values.Clear();
        uncertainties.Clear();
    }

    TDataFileTable values;         // Y and X of each line
    TDataFileTable uncertainties;  // u(Y) and u(X) of each line, as its Y and X
};

// The points ExtractPoints takes from the table of the same lines, without the words: the lines with
// both words, in line order, each word read as ParseUserNumber reads it.
struct TDataPoints {
    TPointTable points;
    // What ParseUserNumber threw for the first word of a counted line that is no number (Y before X),
    // as ExtractPoints would throw it; the points are then incomplete.
    std::exception_ptr unreadable;
    void Clear();
};

// The points of a data file with their uncertainties: lines "Y X u(Y) [u(X)]". The third word is u(Y),
// the fourth u(X) (0 when missing); a rule fills a missing one. A line with both Y and X counts, as in
// TDataPoints; its uncertainties must then be numbers, u(Y) > 0 and u(X) >= 0.
struct TCalibrationPoints {
    TPointTable points;
    TUncertaintyColumns u;  // of each point
    // What ParseUserNumber threw for the first Y or X that is no number, as TDataPoints has it.
    std::exception_ptr unreadable;
    std::size_t unreadableLine = 0;
    // The first counted line (from 1) whose uncertainty is missing, no number or out of its range, with
    // its word and what is wrong; 0 when there is none.
    std::size_t faultLine = 0;
    std::string faultWord;
    std::string fault;
    std::size_t lines = 0;  // lines read
    // Kept by Clear: the rules that fill a missing column.
    std::optional<TUncertaintyRule> uyRule;
    std::optional<TUncertaintyRule> uxRule;
    void Clear();
};

// An uncertainty of a counted line: its word as the line has it (empty where it has none) and its value
// (none where the line has none).
struct TUncertaintyValue {
    std::string_view word;
    std::optional<double> value;
};

// Takes a counted line's point with its uncertainties by the rules of TCalibrationPoints (a missing one
// from its rule, u(Y) > 0, u(X) >= 0), or notes the fault of line kept.lines: every reader of points with
// uncertainties keeps them by this one rule.
void TakeCalibrationPoint(TCalibrationPoints& kept, const TDataPoint& point, const TUncertaintyValue& uy,
                          const TUncertaintyValue& ux);
// Notes that line kept.lines is wrong: its word and what is wrong with it.
void NoteCalibrationFault(TCalibrationPoints& kept, std::string_view word, std::string what);

// How a data file is read: by default lines of any length, on one core, with no progress told.
struct TDataReadOptions {
    std::size_t maxLineBytes = 0;  // 0 takes lines of any length
    int maxLines = kMaxTableRows;
    TReadProgress progress;  // told on the calling thread
    TWorkOptions work;       // a large file is read in two halves at once where a second core may be used
};

// The reads below keep either the words (Kept = TDataFileTable, or TFourColumnFileTable), the points (Kept =
// TDataPoints) or the points with their uncertainties (Kept = TCalibrationPoints), which they empty first;
// what is kept after a status other than Ok and ReadError is nothing.

// Opens the file by name without waiting for anything (a pipe or a device never blocks the caller) and
// reads it. Only regular files are read: anything else is an open failure.
template <class Kept>
TDataReadStatus ReadDataFile(const std::string& path, Kept& kept, const TDataReadOptions& options = {});

// Reads the source in order to its end, whatever it is (standard input may be a pipe or a terminal).
template <class Kept>
TDataReadStatus ReadDataFrom(const TByteSource& source, Kept& kept, const TDataReadOptions& options = {});

// Files from this size on are read in two halves at once (where a second core may be used).
inline constexpr std::uint64_t kTwoPartReadFrom = std::uint64_t{4} << 20;

// Reads a text of about `size` bytes in two halves at once (FeedInTwoHalves): the same as a read in
// order, which it falls back to where the halves find the text changed while it was read.
template <class Kept>
TDataReadStatus ReadDataInTwoParts(const TPositionalSource& source, std::uint64_t size, Kept& kept,
                                   const TDataReadOptions& options = {});

// The table of a whole text at once.
TDataReadStatus ParseDataText(std::string_view text, TDataFileTable& table, int maxLines = kMaxTableRows);
TDataReadStatus ParseDataText(std::string_view text, TFourColumnFileTable& table,
                              int maxLines = kMaxTableRows);

// The bytes of a regular file's descriptor, from any offset.
TPositionalSource PositionalSource(int fd);

// Opens a regular file for reading by name without waiting for anything: a pipe, a device or a folder
// is never opened. The descriptor, or -1.
int OpenRegularFile(const std::string& path);

// Closes a descriptor one opened (none for -1), however the work with it ends.
struct TDescriptorCloser {
    explicit TDescriptorCloser(int descriptor) : fd(descriptor) {}
    int fd;
    TDescriptorCloser(const TDescriptorCloser&) = delete;
    TDescriptorCloser& operator=(const TDescriptorCloser&) = delete;
    ~TDescriptorCloser();
};

// The bytes of an open descriptor; waits on one left non-blocking, retries an interrupted read.
TByteSource DescriptorSource(int fd);

}  // namespace quorvel
