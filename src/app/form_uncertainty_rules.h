#pragma once
// The dialog that asks for the rules that fill the columns u(Y) and u(X): for each an absolute value, a
// percentage of the value, or both; a field left empty leaves its column as it is.
#include <QDialog>

#include <optional>

#include "fitting/uncertainty_rule.h"

class QCheckBox;
class QLineEdit;

namespace quorvel {

struct TUncertaintyRulesChoice {
    std::optional<TUncertaintyRule> uy, ux;  // nothing: that column is not filled
    bool onlyEmpty = true;                   // keep the cells that hold a text
};

class TFormUncertaintyRules : public QDialog {
    Q_OBJECT
public:
    explicit TFormUncertaintyRules(QWidget* owner);

    // The rules accepted; nothing before OK, after Cancel, and when OK found both fields empty.
    const std::optional<TUncertaintyRulesChoice>& Chosen() const { return chosen_; }

    // Shows the dialog; the rules when the user gives at least one and presses OK.
    static std::optional<TUncertaintyRulesChoice> Ask(QWidget* owner);

    // OK: reads both fields; a text that is no rule shows a box naming its field and keeps the dialog
    // open with the focus there.
    void accept() override;

private:
    QLineEdit* uyEdit_ = nullptr;
    QLineEdit* uxEdit_ = nullptr;
    QCheckBox* onlyEmptyBox_ = nullptr;
    std::optional<TUncertaintyRulesChoice> chosen_;
};

}  // namespace quorvel
