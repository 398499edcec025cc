#pragma once
// A data table for the tests: a header row, the given rows and an empty entry row, like the grid.
#include <string>
#include <utility>
#include <vector>

#include "fitting/fit_types.h"
#include "runtime/number_text.h"

namespace quorvel::testing {

class TTextTable : public ITableSource {
public:
    TTextTable(std::initializer_list<std::pair<std::string, std::string>> rows) {
        rows_.emplace_back("Y (истинное)", "X (по прибору)");
        rows_.insert(rows_.end(), rows.begin(), rows.end());
        rows_.emplace_back("", "");
    }
    int RowCount() const override { return static_cast<int>(rows_.size()); }
    std::string_view CellText(int col, int row) const override {
        const auto& r = rows_.at(static_cast<std::size_t>(row));
        return col == 0 ? r.first : r.second;
    }

private:
    std::vector<std::pair<std::string, std::string>> rows_;
};

// Sets the decimal and thousands characters for one test and restores them after.
class TDecimalScope {
public:
    TDecimalScope(char32_t decimal, char32_t thousands = U' ')
        : oldDecimal_(DecimalChar()), oldThousands_(ThousandsChar()) {
        SetDecimalChar(decimal);
        SetThousandsChar(thousands);
    }
    ~TDecimalScope() {
        SetDecimalChar(oldDecimal_);
        SetThousandsChar(oldThousands_);
    }
    TDecimalScope(const TDecimalScope&) = delete;
    TDecimalScope& operator=(const TDecimalScope&) = delete;

private:
    char32_t oldDecimal_;
    char32_t oldThousands_;
};

}  // namespace quorvel::testing
