#pragma once
// The comparison of the kinds of function side by side: for each kind the points allow its scatter (s of
// an ordinary fit, χ² with given uncertainties), ν, the top coefficient with its U, R² and adjusted R²,
// with the recommended kind marked and offered as the choice.
#include <QDialog>

#include <optional>

#include "fitting/calibration_fit.h"
#include "fitting/fit_types.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace quorvel {

class TFormCompareKinds : public QDialog {
    Q_OBJECT
public:
    // current: the kind the window has, which the choice need not offer again.
    TFormCompareKinds(const TKindChoice& choice, TFunctionKind current, QWidget* owner);

    // The kind chosen: the recommended one after "select", nothing after closing.
    std::optional<TFunctionKind> Chosen() const { return chosen_; }

    // Shows the comparison; the kind to take, or nothing.
    static std::optional<TFunctionKind> Ask(QWidget* owner, const TKindChoice& choice, TFunctionKind current);

    // The table's columns.
    enum TColumn { kcKind, kcScatter, kcDof, kcTop, kcRSquared, kcAdjusted, kcRecommended, kcCount };

private:
    void Fill(const TKindChoice& choice);

    QTableWidget* table_ = nullptr;
    QPushButton* selectButton_ = nullptr;
    std::optional<TFunctionKind> chosen_;
};

}  // namespace quorvel
