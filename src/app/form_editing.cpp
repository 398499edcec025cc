// Editing rules of the data table: the number check and growth, Enter walking, the column swap, and
// the help text handing the focus back.
#include <QPlainTextEdit>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"
#include "chart/qt/message_boxes.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"

namespace quorvel {

void TFormMain::sgDataSetEditText(int, int ARow, const QString& Value) {
    if (Value.isEmpty() || Value == "-" || Value == "+") {
        return;
    }
    const std::string text = Value.toStdString();
    try {
        (void)ParseUserNumber(text, tsBeingTyped);  // the recompute's own reading rule, while typing
    } catch (const Exception&) {
        checkedBadText_ = text;
        ShowOwnedMessage(InvalidNumberText(text), kInvalidNumberCaption);
    }
    // The table always ends with an empty entry row.
    if (ARow == sgData->RowCount() - 1) {
        sgData->SetRowCount(sgData->RowCount() + 1);
    }
}

void TFormMain::sgDataKeyPress(QObject* Sender, QChar Key) {
    auto* grid = qobject_cast<TStringGrid*>(Sender);
    if (grid == nullptr || Key != QChar(13)) {
        return;
    }
    if (grid->Row() == grid->RowCount() - 1) {
        return;
    }
    if (grid->Col() == 0) {
        grid->SetCol(1);
    } else {
        grid->SetRow(grid->Row() + 1);
        grid->SetCol(0);
    }
}

void TFormMain::WriteColumnHeaders() {
    sgDataModel->SetCellText(0, 0, kYHeader);
    sgDataModel->SetCellText(1, 0, kXHeader);
}

void TFormMain::sgDataColumnMoved(int, int) {
    // A drag moves the header cells with their columns; Y and X stay where they were.
    WriteColumnHeaders();
    sgDataClick();
}

void TFormMain::Memo1Click() {
    sgData->SetFocus();
}

void TFormMain::Memo1KeyDown(int& Key) {
    Key = 0;
    sgData->SetFocus();
}

}  // namespace quorvel
