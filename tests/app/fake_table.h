#pragma once
// An in-memory table with the grid's storage rule, and a progress that cancels at a chosen step, for
// the exchange command tests.
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "app/command_ui.h"
#include "app/table_access.h"

namespace quorvel::test {

class TFakeTable : public TTableAccess {
public:
    explicit TFakeTable(int rows = 20) : rows_(rows) {}

    int RowCount() const override { return rows_; }
    // 4: the table shows u(Y) and u(X).
    int columns = 2;
    int Columns() const override { return columns; }
    void SetRowCount(int rows) override { rows_ = rows; }
    std::string_view Cell(int column, int row) const override {
        const auto it = cells_.find({column, row});
        return it == cells_.end() ? std::string_view() : std::string_view(it->second);
    }
    void SetCell(int column, int row, std::string text) override {
        if (writesLeft_ == 0) {
            writesLeft_ = -1;
            if (outOfMemory_) {
                throw std::bad_alloc();
            }
            throw std::runtime_error("cell write refused");
        }
        if (writesLeft_ > 0) {
            --writesLeft_;
        }
        if (bulkDepth_ == 0) {
            ++writesOutsideBulk_;
        }
        if (text.empty()) {
            cells_.erase({column, row});
        } else {
            cells_[{column, row}] = std::move(text);
        }
    }
    void BeginBulkUpdate() override { ++bulkDepth_; }
    void EndBulkUpdate() override { --bulkDepth_; }
    void BeginChange() override { before_ = {cells_, rows_}; }
    void EndChange(bool keep) override {
        if (!keep) {
            std::tie(cells_, rows_) = std::move(before_);
        }
    }
    void EraseRowsFrom(int row) override {
        std::erase_if(cells_, [row](const auto& cell) { return cell.first.second >= row; });
    }

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
    // Lets the next n cell writes through, then refuses one, or finds no memory for it; later writes
    // pass.
    void FailAfterWrites(int n, bool outOfMemory = false) {
        writesLeft_ = n;
        outOfMemory_ = outOfMemory;
    }
    int BulkDepth() const { return bulkDepth_; }
    // Cell writes made while no bulk update was open.
    int WritesOutsideBulk() const { return writesOutsideBulk_; }
    std::size_t StoredCells() const { return cells_.size(); }

private:
    static std::string Numbered(char prefix, int row) {
        std::string text(1, prefix);
        text += std::to_string(row);
        return text;
    }

    int rows_;
    std::map<std::pair<int, int>, std::string> cells_;
    std::pair<std::map<std::pair<int, int>, std::string>, int> before_;
    int writesLeft_ = -1;  // negative: unlimited
    bool outOfMemory_ = false;
    int bulkDepth_ = 0;
    int writesOutsideBulk_ = 0;
};

// Says stop from the given step on (counted from 1; 0: never) unless the cancel was forbidden before,
// or at that step finds no memory, as the work it reports on might; records what the work asked of it.
class TScriptedProgress : public TProgress {
public:
    explicit TScriptedProgress(int stopAt = 0, bool outOfMemory = false)
        : stopAt_(stopAt), outOfMemory_(outOfMemory) {}
    bool Step(double done) override {
        if (outOfMemory_ && steps_ + 1 == stopAt_) {
            ++steps_;
            throw std::bad_alloc();
        }
        if (done < last_ || done > 1) {
            backwards_ = true;
        }
        last_ = done;
        ++steps_;
        return stopAt_ == 0 || steps_ < stopAt_ || !forbidden_.isEmpty();
    }
    void ForbidCancel(const QString& text) override { forbidden_ = text; }
    void Finishing(const QString& text) override { finishing_ = text; }

    int Steps() const { return steps_; }
    bool WentBackwards() const { return backwards_; }
    const QString& ForbiddenWith() const { return forbidden_; }
    const QString& FinishingWith() const { return finishing_; }

private:
    int stopAt_;
    bool outOfMemory_;
    int steps_ = 0;
    double last_ = 0;
    bool backwards_ = false;
    QString forbidden_;
    QString finishing_;
};

inline std::pair<std::string, std::string> TableRow(const TTableAccess& table, int row) {
    return {std::string(table.Cell(0, row)), std::string(table.Cell(1, row))};
}

}  // namespace quorvel::test
