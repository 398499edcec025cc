#pragma once
// The fitting engine's shared types: the table it reads, the points, the coefficient store.
#include <memory>
#include <string_view>
#include <vector>

namespace quorvel {

struct TDataPoint {
    double X = 0;
    double Y = 0;
};
using TPointTable = std::vector<TDataPoint>;

// 1 linear, 2 quadratic, 3 cubic: the combo box's item index plus 1.
enum TFunctionKind : int { fkLinear = 1, fkQuadratic = 2, fkCubic = 3 };

class TExactPolynomial;

// The one coefficient store; starts as the line Y = X and is written only by the solve.
struct TFitCoefficients {
    TFitCoefficients(double c0 = 0, double c1 = 1, double c2 = 0, double c3 = 0)
        : a0(c0), a1(c1), a2(c2), a3(c3) {}

    double a0;
    double a1;
    double a2;
    double a3;
    // The exact least-squares polynomial these coefficients are the roundings of, set by the solve:
    // values, deviations and statistics are those of the exact fit. Used only while the coefficients
    // are still its roundings.
    std::shared_ptr<const TExactPolynomial> exact;
};

struct TFitStatistics {
    double maxError = 0;
    double sigma = 0;
    double m = 0;
};

// Data rows a table may hold. The window keeps every cell in memory (ten million rows of short numbers,
// fitted and painted, take about 1.3 GB), so this still fits a desktop's memory; a file or a paste with
// more is refused whole rather than cut.
inline constexpr int kMaxTableRows = 10'000'000;

// Read-only view of the data table, so extraction never needs a widget.
// Row 0 is the header row; data rows are 1 .. RowCount() - 1; column 0 is Y, column 1 is X.
// Its const functions keep no state, so that a large table may be read by two threads at once.
class ITableSource {
public:
    virtual ~ITableSource() = default;
    virtual int RowCount() const = 0;
    virtual std::string_view CellText(int col, int row) const = 0;
    // Both texts of a row, Y first; a source where the two share work gives them at once. The texts of
    // u(Y) and u(X) where the source has them (a table that shows them, a four-column file).
    struct TRowTexts {
        std::string_view y;
        std::string_view x;
        std::string_view uy{};
        std::string_view ux{};
    };
    virtual TRowTexts RowTexts(int row) const { return {CellText(0, row), CellText(1, row)}; }
};

}  // namespace quorvel
