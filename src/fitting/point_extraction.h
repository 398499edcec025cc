#pragma once
// Turning the table's rows into points: which rows count, how a cell text becomes a number.
#include <optional>
#include <string>
#include <string_view>

#include "fitting/calibration_data.h"
#include "fitting/fit_types.h"
#include "fitting/work_options.h"
#include "runtime/exceptions.h"
#include "runtime/number_text.h"
#include "runtime/work_steps.h"

namespace quorvel {

// The first "." becomes the locale's decimal character, then the text is read as a number.
// Throws EConvertError (with the text after that replacement) or EOverflow.
double ParseUserNumber(std::string_view text, TTextState state = tsFinished);

// Rows 1 .. RowCount() − 1 in order; a row with an empty Y or X cell is skipped; Y is parsed before
// X. Throws what ParseUserNumber throws and catches nothing. A large table's rows are read in two halves
// at once where the work may take a second core.
TPointTable ExtractPoints(const ITableSource& table, const TWorkSteps& steps = {},
                          const TWorkOptions& work = {});

// The table's points with the uncertainties of its columns u(Y) (column 2) and u(X) (column 3): none
// given when every counted row leaves both empty (the fit is then the ordinary one); otherwise every
// counted row must have a u(Y) > 0, and its u(X) is 0 where empty, else >= 0.
struct TTablePoints {
    TPointTable points;
    std::optional<TUncertaintyColumns> given;
};

// The first counted row, in order, whose uncertainty stops TTablePoints.
struct TUncertaintyFault {
    enum TKind { Missing, NotANumber, OutOfRange } kind = Missing;
    int row = 0;
    int col = 0;       // 2: u(Y), 3: u(X)
    std::string text;  // the cell's text
};
class EUncertaintyCell : public Exception {
public:
    explicit EUncertaintyCell(TUncertaintyFault fault);
    const TUncertaintyFault& Fault() const { return fault_; }

private:
    TUncertaintyFault fault_;
};

// ExtractPoints, and with `uncertainties` the columns u(Y) and u(X) of the same rows. Throws what
// ExtractPoints throws, then EUncertaintyCell.
TTablePoints ExtractTablePoints(const ITableSource& table, bool uncertainties, const TWorkSteps& steps = {},
                                const TWorkOptions& work = {});

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
