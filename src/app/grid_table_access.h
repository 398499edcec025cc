#pragma once
// The window's grid model seen through the table interface of the exchange commands.
#include "app/grid_model.h"
#include "app/table_access.h"

namespace quorvel {

class TGridTableAccess : public TTableAccess {
public:
    explicit TGridTableAccess(TGridModel& model) : model_(model) {}

    int RowCount() const override { return model_.RowCount(); }
    void SetRowCount(int rows) override { model_.SetRowCount(rows); }
    std::string_view Cell(int column, int row) const override { return model_.CellText(column, row); }
    void SetCell(int column, int row, std::string text) override {
        model_.SetCellText(column, row, std::move(text));
    }
    void BeginBulkUpdate() override { model_.BeginBulkUpdate(); }
    void EndBulkUpdate() override { model_.EndBulkUpdate(); }

private:
    TGridModel& model_;
};

}  // namespace quorvel
