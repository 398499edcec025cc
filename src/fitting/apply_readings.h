#pragma once
// quorvel-fit --apply: the fitted polynomial applied to a stream of instrument readings, a line at a
// time, so that any number of readings takes the same memory.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "fitting/data_file_reader.h"
#include "fitting/text_lines.h"
#include "fitting/uncertainty_rule.h"

namespace quorvel {

class TCalibration;
struct TFitCoefficients;

// Readings with their uncertainties: each line "X [u(X)]" gets the fitted Y and its standard
// uncertainty u(Y), the reading's u(X) propagated (a missing u(X) from the rule, else 0).
struct TReadingUncertainty {
    const TCalibration* fit = nullptr;
    std::optional<TUncertaintyRule> uxRule;
};

struct TAppliedReadings {
    enum Outcome {
        Done,         // every line read and written
        ReadFailed,   // a read failed: the lines before it were written
        LineTooLong,  // a line is longer than kLongestCommandLine: the lines before it were written
        WriteFailed,  // the output could not be written (errno says why)
    } outcome = Done;
    bool badNumber = false;  // a reading is not a number, or beyond the number range
    bool overflow = false;   // a Y is beyond the number range
    long converted = 0;      // readings that gave a Y
    long refused = 0;        // readings that gave none
    long firstRefusedLine = 0;
    std::string firstRefusedText;  // the first refused reading as it stood
};

// Reads lines from `source` and writes one line to `out` for each: its first word as it stood, a tab
// and Y as the shortest round-trip text with "."; an empty Y for a reading that gives none, and an
// empty line where the line has no word. The lines and words are those of kReadingLines: a line ends at
// LF, CR LF or a lone CR; a byte-order mark at the start is skipped; words are parted by blanks, tabs,
// vertical tabs and form feeds, and a NUL belongs to its word (so "5<NUL>7" is no number). Each word is read
// as the table reads a cell (ParseUserNumber) and the store's polynomial evaluated there as the window's Y at
// X does (EvalPolynomial). Each reading that gives no Y gets "NAME:LINE: TEXT: why" on `err`, `name` naming
// the readings; with no `err`, the counts alone tell of them.
// With `uncertainty`, a tab and u(Y) follow Y, and the second word of a line is its u(X) (a number, not
// negative: a reading whose u(X) is not gives no Y).
TAppliedReadings ApplyToReadings(const TByteSource& source, const TFitCoefficients& store,
                                 std::string_view name, std::FILE* out, std::FILE* err,
                                 const TReadingUncertainty* uncertainty = nullptr);

}  // namespace quorvel
