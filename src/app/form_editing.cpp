// Editing rules of the data table: the number check and growth, Enter walking, the column swap, and
// the help text handing the focus back.
#include <QPlainTextEdit>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

void TFormMain::onCellTextEdited(int, int row, const QString& value) {
    if (value.isEmpty() || value == "-" || value == "+") {
        return;
    }
    const std::string text = value.toStdString();
    try {
        (void)ParseUserNumber(text, tsBeingTyped);  // the recompute's own reading rule, while typing
    } catch (const Exception&) {
        checkedBadText_ = text;
        ShowOwnedMessage(InvalidNumberText(text), Tr(kInvalidNumberCaption));
    }
    // The table always ends with an empty entry row.
    if (row == dataGrid->RowCount() - 1) {
        dataGrid->SetRowCount(dataGrid->RowCount() + 1);
    }
}

void TFormMain::onGridKeyPress(QObject* sender, QChar key) {
    auto* grid = qobject_cast<TStringGrid*>(sender);
    if (grid == nullptr || key != QChar(13)) {
        return;
    }
    if (grid->Row() == grid->RowCount() - 1) {
        onEditEnded();  // Enter goes nowhere from the last row, but the edit is over
        return;
    }
    if (grid->Col() < dataModel->Columns() - 1) {
        grid->SetCol(grid->Col() + 1);
    } else {
        grid->SetRow(grid->Row() + 1);
        grid->SetCol(0);
    }
}

void TFormMain::WriteColumnHeaders() {
    dataModel->SetCellText(0, 0, Tr(kYHeader));
    dataModel->SetCellText(1, 0, Tr(kXHeader));
    dataModel->SetCellText(2, 0, "u(Y)");
    dataModel->SetCellText(3, 0, "u(X)");
}

void TFormMain::onColumnMoved(int, int) {
    // A drag moves the header cells with their columns; Y and X stay where they were.
    WriteColumnHeaders();
    recompute();
}

void TFormMain::onHelpTextClick() {
    dataGrid->SetFocus();
}

void TFormMain::onHelpTextKeyDown(int& key) {
    key = 0;
    dataGrid->SetFocus();
}

}  // namespace quorvel
