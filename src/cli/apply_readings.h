#pragma once
// quorvel-fit --apply: the fitted polynomial applied to a file of instrument readings.
#include <string>
#include <string_view>

namespace quorvel {

class TDataFileTable;
struct TFitCoefficients;

struct TAppliedReadings {
    // One line per line read: the reading's text as it stood, a tab and Y as the shortest round-trip
    // text with "."; an empty Y for a reading that gives none; an empty line where the line has no word.
    // In two pieces, to be written one after the other: a large file's halves are made at once.
    std::string out[2];
    // One line per reading that gives no Y: "NAME:LINE: TEXT: why".
    std::string messages;
    bool badNumber = false;  // a reading is not a number, or beyond the number range
    bool overflow = false;   // a Y is beyond the number range
};

// Reads each line's first word as the table reads a cell (ParseUserNumber) and evaluates the store's
// polynomial there as the window's Y at X does (EvalPolynomial). `name` names the readings in messages.
TAppliedReadings ApplyToReadings(const TDataFileTable& readings, const TFitCoefficients& store,
                                 std::string_view name);

}  // namespace quorvel
