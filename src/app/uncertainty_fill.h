#pragma once
// Filling a column of uncertainties from a rule, row by row from the values beside it: the table's
// u(Y) from Y, or u(X) from X.
#include <string>

#include "app/table_access.h"
#include "fitting/uncertainty_rule.h"

namespace quorvel {

// The table's columns of given uncertainties, beside Y (column 0) and X (column 1).
inline constexpr int kUYColumn = 2;
inline constexpr int kUXColumn = 3;

enum class TFillFault {
    None,
    ValueNotNumber,     // the value cell does not read as a number
    ResultBeyondRange,  // the rule's value for it is beyond the double range
};

struct TFillResult {
    int written = 0;  // cells written (0 after a fault: the table is as it was)
    TFillFault fault = TFillFault::None;
    int row = 0;       // the row that stopped the fill (0 when none did)
    int column = -1;   // its value column
    std::string text;  // that value cell's text
    bool Ok() const { return fault == TFillFault::None; }
};

// Writes NumberToText(rule.At(value)) into targetColumn of each data row 1 ... RowCount() − 2 (the last
// row is the entry row and is left alone), the value read from valueColumn with ParseUserNumber. A row
// whose value cell is empty is skipped (it has nothing to take a part of; this takes in every empty
// row); with onlyEmpty a target cell that holds a text is kept. All or nothing: a value that does not
// read, or a result beyond the double range, stops the fill with the table as it was and names that
// cell. A write that throws (no memory) also leaves the table as it was, and the exception goes on.
TFillResult FillUncertaintyColumn(TTableAccess& table, int targetColumn, int valueColumn,
                                  const TUncertaintyRule& rule, bool onlyEmpty);

// The box text of a fill that stopped: which row, and why.
std::string FillFaultText(const TFillResult& result);

}  // namespace quorvel
