#pragma once
// The data table as the exchange commands see it, so they work with any grid model.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "fitting/fit_types.h"

namespace quorvel {

// Cell texts are kept per (column, row) apart from the row count: lowering the row count hides the rows
// beyond it without erasing them, and a cell never written reads as the empty text. Row 0 holds the
// headers; data rows are 1 ... RowCount() - 1; column 0 is Y, column 1 is X. Texts are UTF-8, as the
// grid stores them and as files and the clipboard carry them. A text returned by Cell stays valid until
// the next write to the table. Writes may throw (for example when the model runs out of rows);
// the commands catch std::exception around them.
class TTableAccess {
public:
    virtual ~TTableAccess() = default;

    virtual int RowCount() const = 0;
    virtual void SetRowCount(int rows) = 0;
    // The columns the commands carry: 2 (Y, X), or 4 (Y, X, u(Y), u(X)) while the uncertainties are shown.
    static constexpr int kMaxColumns = 4;
    virtual int Columns() const { return 2; }
    virtual std::string_view Cell(int column, int row) const = 0;
    virtual void SetCell(int column, int row, std::string text) = 0;
    // Rows firstRow ... firstRow + count − 1, each row's texts from `texts(row)` (u(Y) and u(X) empty
    // where it has none): the same as SetCell for each cell, without a text object and a call per cell. Rows
    // are asked for in order, a row only once every row before it is written, so that after a throw the rows
    // before the one asked last are whole.
    using TRowTexts = ITableSource::TRowTexts;
    virtual void SetRows(int firstRow, int count, const std::function<TRowTexts(int)>& texts) {
        for (int row = firstRow; row < firstRow + count; ++row) {
            const TRowTexts cells = texts(row);
            SetCell(0, row, std::string(cells.y));
            SetCell(1, row, std::string(cells.x));
            if (Columns() > 2 || !cells.uy.empty() || !cells.ux.empty()) {
                SetCell(2, row, std::string(cells.uy));
                SetCell(3, row, std::string(cells.ux));
            }
        }
    }

    // Empties the texts of columns the commands do not carry (u(Y) and u(X) while hidden) in rows
    // firstRow ... lastRow: a command that writes rows whole leaves nothing of the rows it replaced.
    virtual void EmptyHiddenColumns(int /*firstRow*/, int /*lastRow*/) {}

    // Room for cells up to this row, before a burst of writes that will reach it; only a hint.
    virtual void ReserveRows(int /*rows*/) {}
    // Room for this many more bytes of cell text in a column, before such a burst; only a hint.
    virtual void ReserveText(int /*column*/, std::size_t /*bytes*/) {}
    // Bracket a burst of writes, so that a view can refresh once instead of per cell.
    virtual void BeginBulkUpdate() {}
    virtual void EndBulkUpdate() {}

    // A change that can be taken back whole: EndChange(false) puts back every cell text and the row
    // count as they were at BeginChange, and gives back the room the writes took. Changes do not nest.
    virtual void BeginChange() = 0;
    virtual void EndChange(bool keep) = 0;

    // Erases the texts of this row and of every row after it, hidden ones included, so that a read or
    // a paste leaves only its own rows behind. Cannot fail; called outside a change.
    virtual void EraseRowsFrom(int row) = 0;
};

// Brackets the writes of one command; ends the bracket also when a write throws.
class TBulkUpdate {
public:
    explicit TBulkUpdate(TTableAccess& table) : table_(table) { table_.BeginBulkUpdate(); }
    ~TBulkUpdate() { table_.EndBulkUpdate(); }
    TBulkUpdate(const TBulkUpdate&) = delete;
    TBulkUpdate& operator=(const TBulkUpdate&) = delete;

private:
    TTableAccess& table_;
};

// Opens a change on the table that is taken back unless kept, also when a write throws.
class TTableChange {
public:
    explicit TTableChange(TTableAccess& table) : table_(table) { table_.BeginChange(); }
    ~TTableChange() {
        if (open_) {
            table_.EndChange(false);
        }
    }
    TTableChange(const TTableChange&) = delete;
    TTableChange& operator=(const TTableChange&) = delete;
    void Keep() { End(true); }
    void TakeBack() { End(false); }

private:
    void End(bool keep) {
        if (open_) {
            open_ = false;
            table_.EndChange(keep);
        }
    }
    TTableAccess& table_;
    bool open_ = true;
};

}  // namespace quorvel
