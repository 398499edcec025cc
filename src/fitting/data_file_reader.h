#pragma once
// The data file as both front ends read it: each line is one row, whatever its length, and its first
// two words are the row's Y and X.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting/fit_types.h"

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

// Told the bytes read so far, and the file's size, after each piece; returning false stops the read.
using TReadProgress = std::function<bool(std::uint64_t bytesRead, std::uint64_t fileSize)>;

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
    void Clear();
    // Room for this many bytes of words and lines, so that a table of a known size grows in place.
    void Reserve(std::size_t wordBytes, std::size_t lines);
    // The other table's lines follow this one's.
    void Append(const TDataFileTable& other);

private:
    friend class TDataFileParser;
    std::size_t BlankOf(std::size_t line) const;
    TLineWords WordsAround(std::size_t line, std::size_t blank) const;

    // Each line as its Y, one blank and its X (words hold no blank), from starts_[k] to the next line's
    // start: a line costs 9 bytes beside its words.
    std::string words_;
    std::vector<std::size_t> starts_;
};

// The Y and X words of one line's bytes, its LF not included, by the rules below.
TDataFileTable::TLineWords WordsOfLine(const char* line, const char* lf);

// Splits a data file's bytes into lines as they arrive, in pieces of any size.
//   - A line ends after its LF; the last line needs none. A byte-order mark (EF BB BF) at the very
//     start is skipped.
//   - Words are runs of characters other than blank, tab, CR, LF, vertical tab and form feed, so CR LF
//     line ends read as LF alone. Words after the second are ignored; missing words are empty.
//   - A NUL ends the line's text: the rest of that line is not seen.
class TDataFileParser {
public:
    // maxLineBytes 0 takes lines of any length. A parser that starts after a line end (atTextStart
    // false) takes no byte-order mark.
    explicit TDataFileParser(TDataFileTable& table, int maxLines = kMaxTableRows,
                             std::size_t maxLineBytes = 0, bool atTextStart = true);

    // Takes the next bytes. Returns false, and takes nothing more, once the text has more than
    // maxLines lines or a line longer than maxLineBytes (LineTooLong tells which).
    bool Feed(std::string_view bytes);
    bool LineTooLong() const { return tooLong_; }
    // The text has ended: a last line without LF becomes a row too. Returns false when the text has
    // more than maxLines lines (bytes held back as the start of a byte-order mark may make one).
    bool Finish();
    // A read failed: the line begun may not be whole and is dropped.
    void Abandon();

private:
    enum class TState : unsigned char { BeforeY, InY, BeforeX, InX, Rest };

    void Take(const char* p, const char* end);
    // Whether a line of this many bytes is beyond the limit; it then stops the parse.
    bool Longer(std::size_t bytes);
    void TakeWholeLine(const char* p, const char* lf);
    void EndLine();

    TDataFileTable& table_;
    std::size_t maxLines_;
    int bomMatched_ = 0;  // bytes of a leading byte-order mark seen so far; -1 once past the start
    TState state_ = TState::BeforeY;
    bool lineOpen_ = false;  // the current line has begun
    bool full_ = false;
    std::size_t maxLineBytes_ = 0;
    bool tooLong_ = false;
    std::size_t lineStart_ = 0;  // where the current line's words begin
    std::size_t lineBytes_ = 0;  // bytes of the current line seen so far
};

// Reads bytes from `source` (which returns how many it put into the buffer, 0 at the end, or a
// negative number on an error) into `table`, which it empties first.
using TByteSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;
TDataReadStatus ReadDataTableFrom(const TByteSource& source, TDataFileTable& table,
                                  int maxLines = kMaxTableRows);

// Puts up to `size` bytes from `offset` on into the buffer, as pread does: how many, 0 at the end, or a
// negative number on an error. May be called from two threads at once.
using TPositionalSource = std::function<std::ptrdiff_t(char* buffer, std::size_t size, std::uint64_t offset)>;

// The bytes of a regular file's descriptor, from any offset.
TPositionalSource PositionalSource(int fd);

// Files from this size on are read in two halves at once (where a second core may be used).
inline constexpr std::uint64_t kTwoPartReadFrom = std::uint64_t{4} << 20;
// Where a half of the text that holds no line begins or ends.
inline constexpr std::uint64_t kNoLineStart = UINT64_MAX;

// Reads a text of about `size` bytes into `table` in two halves at once, the second (from the first line
// that begins in the second half) on another thread: the same table and status as a read in order.
// Progress is told on the calling thread, of the bytes both halves have read.
TDataReadStatus ReadDataTableInTwoParts(const TPositionalSource& source, std::uint64_t size,
                                        TDataFileTable& table, const TReadProgress& progress = {},
                                        std::size_t maxLineBytes = 0, int maxLines = kMaxTableRows);

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

// Opens the file by name without waiting for anything (a pipe or a device never blocks the caller)
// and reads it. Only regular files are read: anything else is an open failure.
// maxLineBytes 0 takes lines of any length.
TDataReadStatus ReadDataTable(const std::string& path, TDataFileTable& table,
                              const TReadProgress& progress = {}, std::size_t maxLineBytes = 0);

// Reads an open descriptor to its end, whatever it is (standard input may be a pipe or a terminal).
TDataReadStatus ReadDataTableFromDescriptor(int fd, TDataFileTable& table, std::size_t maxLineBytes = 0);

// The table of a whole text at once.
TDataReadStatus ParseDataText(std::string_view text, TDataFileTable& table, int maxLines = kMaxTableRows);

}  // namespace quorvel
