#pragma once
// Turning the table's rows into points: which rows count, how a cell text becomes a number.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fitting/data_file_reader.h"
#include "fitting/fit_types.h"
#include "runtime/number_text.h"
#include "runtime/work_steps.h"

namespace quorvel {

// The first "." becomes the locale's decimal character, then the text is read as a number.
// Throws EConvertError (with the text after that replacement) or EOverflow.
double ParseUserNumber(std::string_view text, TTextState state = tsFinished);

// Rows 1 .. RowCount() − 1 in order; a row with an empty Y or X cell is skipped; Y is parsed before
// X. Throws what ParseUserNumber throws and catches nothing.
TPointTable ExtractPoints(const ITableSource& table, const TWorkSteps& steps = {});

// The points ExtractPoints takes from the table of a data file's text (of about `size` bytes), read in two
// halves at once without keeping the words. Nothing where the text has a line longer than maxLineBytes
// (0: no limit) or than a few MiB, more lines than a table holds, a word of a counted line that does not
// read as a number, or a read error: the table's read and recompute then tell what is wrong.
std::optional<TPointTable> ReadDataPoints(const TPositionalSource& source, std::uint64_t size,
                                          std::size_t maxLineBytes);
// The same for a regular file large enough to gain by it; nothing for any other.
std::optional<TPointTable> ReadDataFilePoints(const std::string& path, std::size_t maxLineBytes);

// The cell whose text stops ExtractPoints, found by the same rows in the same order: column and row,
// or row 0 when every cell of a counted row reads.
struct TCellPlace {
    int col = 0;
    int row = 0;
};
TCellPlace UnreadableCell(const ITableSource& table);

// Points a kind needs: its degree plus one.
int RequiredPoints(TFunctionKind kind);

// True when the table has too few points for the kind (no fit is attempted then).
bool HasTooFewPoints(TFunctionKind kind, int pointCount);

}  // namespace quorvel
