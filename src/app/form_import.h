#pragma once
// The table import's dialog: a preview of the file's first rows, the separator and decimal character,
// the header lines and the columns of Y and X, each found from the first lines and changeable. A change
// finds anew what follows it (separator, then decimal character, then header lines, then columns).
#include <QDialog>

#include <optional>
#include <string>

#include "fitting/csv_import.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace quorvel {

class TFormImport : public QDialog {
    Q_OBJECT
public:
    // head: the file's first bytes (the whole file when whole).
    TFormImport(QWidget* owner, const QString& path, std::string head, bool whole);

    // What the controls say: everything given, the columns by number.
    TCsvChoice Choice() const;

    // Shows the dialog for the file; the choice when the user imports, nothing when he cancels.
    static std::optional<TCsvChoice> Ask(QWidget* owner, const QString& path, const std::string& head,
                                         bool whole);

    // The rows the preview shows at most.
    static constexpr int kPreviewRows = 20;

private:
    enum class TChanged { Nothing, Separator, Decimal, HeaderLines };
    // Finds the layout with what is fixed up to `changed`, then shows it.
    void Find(TChanged changed);
    void ShowLayout();
    void ShowPreview();
    void FillColumns();

    std::string head_;
    bool whole_;
    TCsvLayout layout_;
    bool found_ = false;
    bool updating_ = false;

    QComboBox* separatorBox_ = nullptr;
    QComboBox* decimalBox_ = nullptr;
    QSpinBox* headerBox_ = nullptr;
    QComboBox* yBox_ = nullptr;
    QComboBox* xBox_ = nullptr;
    QTableWidget* preview_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* importButton_ = nullptr;
};

}  // namespace quorvel
