#pragma once
// The data table's store: cell texts per (column, row), kept apart from the row count, so lowering
// the count hides rows and raising it shows their texts again. Row 0 is the header row; the Qt model
// exposes only the data rows (model row r is table row r + 1) and gives row 0 as the header texts.
#include <QAbstractTableModel>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/table_access.h"
#include "app/text_column.h"
#include "fitting/fit_types.h"

namespace quorvel {

class TGridModel : public QAbstractTableModel, public ITableSource, public TTableAccess {
    Q_OBJECT
public:
    // Y and X, then u(Y) and u(X), which the table shows only when asked (SetUncertaintyColumns); hidden,
    // they keep their texts for when they are shown again.
    static constexpr int kColumns = 4;
    static constexpr int kPlainColumns = 2;

    explicit TGridModel(int rowCount, QObject* parent = nullptr);

    // Table coordinates: col 0..1, row 0 the header, rows 1..RowCount()-1 data.
    int RowCount() const override { return rowCount_; }
    std::string_view CellText(int col, int row) const override;
    void SetCellText(int col, int row, std::string text);
    void SetRowCount(int count) override;
    // The commands' view of the same store.
    std::string_view Cell(int col, int row) const override { return CellText(col, row); }
    void SetCell(int col, int row, std::string text) override { SetCellText(col, row, std::move(text)); }
    void SetRows(int firstRow, int count, const std::function<ITableSource::TRowTexts(int)>& texts) override;
    void ReserveRows(int rows) override;
    void ReserveText(int col, std::size_t bytes) override;
    // Cell writes inside the bracket refresh the view once, at its end.
    void BeginBulkUpdate() override;
    void EndBulkUpdate() override;
    void BeginChange() override;
    void EndChange(bool keep) override;
    void EraseRowsFrom(int row) override;
    void EmptyHiddenColumns(int firstRow, int lastRow) override;

    // Exchanges the texts of Y and X (and of u(Y) and u(X)) in every stored row, header row included.
    void SwapColumns();

    // Shows or hides the columns u(Y) and u(X). What a fit reads changes with them: a new revision.
    void SetUncertaintyColumns(bool shown);
    bool UncertaintyColumns() const { return shownColumns_ == kColumns; }
    // The columns the commands carry: Y and X, and u(Y) and u(X) while they are shown.
    int Columns() const override { return shownColumns_; }

    // Counts the changes of what a fit reads (the data rows' texts and the row count): two equal
    // revisions are the same table. A change taken back whole brings back the revision before it. The
    // view's signals tell when it may have moved.
    std::uint64_t Revision() const { return revision_; }

    // Qt model over the data rows.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void RefreshAll();
    // The text into a stored cell, its old entry saved for an open change.
    void StoreText(int col, int row, std::string_view text);

    int rowCount_;
    int shownColumns_ = kPlainColumns;
    int bulkDepth_ = 0;
    std::uint64_t revision_ = 0;
    std::array<TTextColumn, kColumns> cells_;

    // What an open change replaced: the texts of cells stored before it, in the order written (as the
    // columns' entries, whose bytes the columns hold until the change ends), and the sizes to cut the
    // columns back to. Cells beyond those sizes need no copy.
    struct TSavedCell {
        int col;
        int row;
        std::uint64_t entry;
    };
    struct TUndo {
        bool open = false;
        int rowCount = 0;
        std::uint64_t revision = 0;
        std::array<std::size_t, kColumns> stored{};
        std::array<std::size_t, kColumns> capacity{};
        std::vector<TSavedCell> saved;
    } undo_;
};

}  // namespace quorvel
