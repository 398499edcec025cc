#include "app/grid_model.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace quorvel {

TGridModel::TGridModel(int rowCount, QObject* parent)
    : QAbstractTableModel(parent), rowCount_(std::max(rowCount, 1)) {}

std::string_view TGridModel::CellText(int col, int row) const {
    if (col < 0 || col >= kColumns || row < 0) {
        return {};
    }
    const TTextColumn& column = cells_[static_cast<size_t>(col)];
    if (static_cast<size_t>(row) >= column.size()) {
        return {};
    }
    return column.Text(static_cast<size_t>(row));
}

void TGridModel::SetCellText(int col, int row, std::string text) {
    if (col < 0 || col >= kColumns || row < 0) {
        return;
    }
    TTextColumn& column = cells_[static_cast<size_t>(col)];
    if (static_cast<size_t>(row) >= column.size()) {
        if (text.empty()) {
            return;  // never written reads as empty anyway
        }
        column.resize(static_cast<size_t>(row) + 1);
    }
    StoreText(col, row, text);
    if (bulkDepth_ > 0 || col >= shownColumns_) {
        return;
    }
    if (row == 0) {
        emit headerDataChanged(Qt::Horizontal, col, col);
    } else if (row < rowCount_) {
        const QModelIndex i = index(row - 1, col);
        emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
    }
}

void TGridModel::SetRowCount(int count) {
    count = std::max(count, 1);
    if (count == rowCount_) {
        return;
    }
    ++revision_;
    if (count > rowCount_) {
        beginInsertRows(QModelIndex(), rowCount_ - 1, count - 2);
        rowCount_ = count;
        endInsertRows();
    } else {
        beginRemoveRows(QModelIndex(), count - 1, rowCount_ - 2);
        rowCount_ = count;
        endRemoveRows();
    }
}

void TGridModel::StoreText(int col, int row, std::string_view text) {
    TTextColumn& column = cells_[static_cast<size_t>(col)];
    if (undo_.open && static_cast<size_t>(row) < undo_.stored[static_cast<size_t>(col)]) {
        undo_.saved.push_back({col, row, column.Entry(static_cast<size_t>(row))});
    }
    // Should there be no room for the text, the cell keeps its old one (and its saved entry is that).
    column.SetText(static_cast<size_t>(row), text);
    revision_ += row > 0 ? 1 : 0;  // the header row is not fitted
}

void TGridModel::SetRows(int firstRow, int count, const std::function<ITableSource::TRowTexts(int)>& texts) {
    if (firstRow < 0 || count <= 0) {
        return;
    }
    const auto end = static_cast<size_t>(firstRow) + static_cast<size_t>(count);
    // A row is written whole: uncertainties of the row it replaces go with it. Columns that hold no text
    // from here on stay as they are (a two-column read of a table that never had them).
    const bool uncertainties = shownColumns_ == kColumns ||
                               cells_[2].size() > static_cast<size_t>(firstRow) ||
                               cells_[3].size() > static_cast<size_t>(firstRow);
    const int columns = uncertainties ? kColumns : kPlainColumns;
    for (int col = 0; col < columns; ++col) {
        TTextColumn& column = cells_[static_cast<size_t>(col)];
        if (column.size() < end) {
            column.resize(end);
        }
    }
    for (int row = firstRow; row < firstRow + count; ++row) {
        const ITableSource::TRowTexts cells = texts(row);
        StoreText(0, row, cells.y);
        StoreText(1, row, cells.x);
        if (uncertainties) {
            StoreText(2, row, cells.uy);
            StoreText(3, row, cells.ux);
        }
    }
    if (bulkDepth_ == 0) {
        RefreshAll();
    }
}

void TGridModel::ReserveRows(int rows) {
    for (auto& column : cells_) {
        column.reserve(static_cast<size_t>(std::max(rows, 0)) + 1);
    }
}

void TGridModel::ReserveText(int col, std::size_t bytes) {
    if (col >= 0 && col < kColumns) {
        cells_[static_cast<size_t>(col)].ReserveText(bytes);
    }
}

void TGridModel::BeginBulkUpdate() {
    ++bulkDepth_;
}

void TGridModel::EndBulkUpdate() {
    if (bulkDepth_ > 0 && --bulkDepth_ == 0) {
        RefreshAll();
    }
}

void TGridModel::BeginChange() {
    undo_.open = true;
    undo_.rowCount = rowCount_;
    undo_.revision = revision_;
    for (size_t col = 0; col < cells_.size(); ++col) {
        undo_.stored[col] = cells_[col].size();
        undo_.capacity[col] = cells_[col].capacity();
        cells_[col].Hold(true);
    }
    undo_.saved.clear();
}

void TGridModel::EndChange(bool keep) {
    if (!undo_.open) {
        return;
    }
    undo_.open = false;
    if (!keep) {
        for (size_t col = 0; col < cells_.size(); ++col) {
            cells_[col].resize(undo_.stored[col]);
        }
        // Latest first, so that a cell written twice ends with the text it had before the change; the
        // held columns still have every old text, so nothing here needs room.
        for (auto it = undo_.saved.rbegin(); it != undo_.saved.rend(); ++it) {
            cells_[static_cast<size_t>(it->col)].SetEntry(static_cast<size_t>(it->row), it->entry);
        }
    }
    for (TTextColumn& column : cells_) {
        column.Hold(false);
    }
    if (!keep) {
        for (size_t col = 0; col < cells_.size(); ++col) {
            TTextColumn& column = cells_[col];
            // The room a big read or paste took is given back, not kept for a table that no longer
            // needs it; a shrink is only a request, and a failing one changes no text.
            if (column.capacity() > undo_.capacity[col]) {
                try {
                    column.shrink_to_fit();
                } catch (const std::exception&) {
                }
            }
        }
    }
    std::vector<TSavedCell>().swap(undo_.saved);
    if (!keep) {
        SetRowCount(undo_.rowCount);
        revision_ = undo_.revision;  // the table is as it was
        if (bulkDepth_ == 0) {
            RefreshAll();
        }
    }
}

void TGridModel::EraseRowsFrom(int row) {
    const size_t first = static_cast<size_t>(std::max(row, 1));
    bool visible = false;
    for (auto& column : cells_) {
        if (column.size() > first) {
            visible = visible || first < static_cast<size_t>(rowCount_);
            ++revision_;
            column.resize(first);
            // The room of a longer table read or pasted over is given back; only a request.
            try {
                column.shrink_to_fit();
            } catch (const std::exception&) {
            }
        }
    }
    if (visible && bulkDepth_ == 0) {
        RefreshAll();
    }
}

void TGridModel::EmptyHiddenColumns(int firstRow, int lastRow) {
    for (int col = shownColumns_; col < kColumns; ++col) {
        const TTextColumn& column = cells_[static_cast<size_t>(col)];
        const int stored = static_cast<int>(column.size());
        for (int row = std::max(firstRow, 1); row <= lastRow && row < stored; ++row) {
            if (!column.Text(static_cast<size_t>(row)).empty()) {
                StoreText(col, row, {});
            }
        }
    }
}

void TGridModel::RefreshAll() {
    emit headerDataChanged(Qt::Horizontal, 0, shownColumns_ - 1);
    if (rowCount_ > 1) {
        emit dataChanged(index(0, 0), index(rowCount_ - 2, shownColumns_ - 1),
                         {Qt::DisplayRole, Qt::EditRole});
    }
}

void TGridModel::SwapColumns() {
    std::swap(cells_[0], cells_[1]);
    std::swap(cells_[2], cells_[3]);
    ++revision_;
    RefreshAll();
}

void TGridModel::SetUncertaintyColumns(bool shown) {
    const int columns = shown ? kColumns : kPlainColumns;
    if (columns == shownColumns_) {
        return;
    }
    ++revision_;
    if (shown) {
        beginInsertColumns(QModelIndex(), kPlainColumns, kColumns - 1);
        shownColumns_ = columns;
        endInsertColumns();
    } else {
        beginRemoveColumns(QModelIndex(), kPlainColumns, kColumns - 1);
        shownColumns_ = columns;
        endRemoveColumns();
    }
}

int TGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowCount_ - 1;
}

int TGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shownColumns_;
}

QVariant TGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    const std::string_view text = CellText(index.column(), index.row() + 1);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool TGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) {
        return false;
    }
    SetCellText(index.column(), index.row() + 1, value.toString().toStdString());
    return true;
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        const std::string_view text = CellText(section, 0);
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags TGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

}  // namespace quorvel
