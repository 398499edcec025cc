#pragma once
// An in-memory table with the grid's storage rule, for the exchange command tests.
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "app/table_access.h"

namespace quorvel::test {

class TFakeTable : public TTableAccess {
public:
    explicit TFakeTable(int rows = 20) : rows_(rows) {}

    int RowCount() const override { return rows_; }
    void SetRowCount(int rows) override { rows_ = rows; }
    std::string_view Cell(int column, int row) const override {
        const auto it = cells_.find({column, row});
        return it == cells_.end() ? std::string_view() : std::string_view(it->second);
    }
    void SetCell(int column, int row, std::string text) override {
        if (writesLeft_ == 0) {
            writesLeft_ = -1;
            throw std::runtime_error("cell write refused");
        }
        if (writesLeft_ > 0) {
            --writesLeft_;
        }
        if (text.empty()) {
            cells_.erase({column, row});
        } else {
            cells_[{column, row}] = std::move(text);
        }
    }
    void BeginBulkUpdate() override { ++bulkDepth_; }
    void EndBulkUpdate() override { --bulkDepth_; }

    // Fills rows first ... last with the texts "y<row>" and "x<row>".
    void FillNumbered(int first, int last) {
        for (int row = first; row <= last; ++row) {
            cells_[{0, row}] = Numbered('y', row);
            cells_[{1, row}] = Numbered('x', row);
        }
    }
    void Set(int row, std::string y, std::string x) {
        SetCell(0, row, std::move(y));
        SetCell(1, row, std::move(x));
    }
    // Lets the next n cell writes through, then refuses one (as a full memory would); later writes pass.
    void FailAfterWrites(int n) { writesLeft_ = n; }
    int BulkDepth() const { return bulkDepth_; }
    std::size_t StoredCells() const { return cells_.size(); }

private:
    static std::string Numbered(char prefix, int row) {
        std::string text(1, prefix);
        text += std::to_string(row);
        return text;
    }

    int rows_;
    std::map<std::pair<int, int>, std::string> cells_;
    int writesLeft_ = -1;  // negative: unlimited
    int bulkDepth_ = 0;
};

inline std::pair<std::string, std::string> TableRow(const TTableAccess& table, int row) {
    return {std::string(table.Cell(0, row)), std::string(table.Cell(1, row))};
}

}  // namespace quorvel::test
