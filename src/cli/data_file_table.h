#pragma once
// A data file's text as a read-only table, split by the rules of the window's file reader.
#include <string_view>
#include <vector>

#include "fitting/fit_types.h"

namespace quorvel {

// Lines are read as the window reads them: each piece ends after its LF or after 126 characters,
// and the rest of a longer line is a piece of its own. The first two words of a piece (separated by
// blank, tab, CR, LF, vertical tab or form feed) become the Y and X cells of its row; missing words
// leave the cells empty. Row 0 is the header row and the last row the empty entry row. The cells
// view `content`, which must outlive the table.
class TDataFileTable : public ITableSource {
public:
    static constexpr std::size_t kMaxPiece = 126;

    explicit TDataFileTable(std::string_view content);

    int RowCount() const override { return LineCount() + 2; }
    std::string_view CellText(int col, int row) const override;

    int LineCount() const { return static_cast<int>(starts_.size()) - 1; }

private:
    // Only where each piece starts is kept (a million lines cost 8 MB, not 32); the words of a
    // row are found again when asked for, and the last row's words are remembered since the
    // reader asks for Y and then X.
    std::string_view content_;
    std::vector<std::size_t> starts_;  // piece k is [starts_[k], starts_[k + 1])
    mutable int cachedRow_ = 0;
    mutable std::string_view cachedWords_[2];
};

}  // namespace quorvel
