#pragma once
// The table as clipboard text: the copy text and the paste of tab-separated cells in rows of lines.
#include <QString>

namespace quorvel {

class TProgress;
class TTableAccess;

inline constexpr const char* kPasteFailureText = "Буфер обмена содержит неверные данные";
inline constexpr const char* kPasteFailureCaption = "Невозможно вставить данные из буфера обмена";
inline constexpr const char* kPasteOutOfMemoryText =
    "Недостаточно памяти, чтобы вставить таблицу. Таблица не изменилась.";

// Rows 1 ... row count - 1, the entry row included: Y, tab, X, CR LF each; the header row is left out.
QString TableCopyText(const TTableAccess& table);

enum class TPasteResult {
    Pasted,
    Refused,      // no cell that is not empty, a cell longer than kPasteTokenLimit characters, more rows
                  // than a table holds, or a cell write threw
    Cancelled,    // through the progress
    OutOfMemory,  // the memory ran out: no cell and no row count has changed
};

// Places the cells of the whole text (a tab between the cells of a row, a line break between rows,
// empty cells included) in pairs from row 1, Y then X (while the table shows u(Y) and u(X), a row of the
// text to a row of the table: Y, X, u(Y), u(X), those it leaves out empty; a row of more cells is
// refused), and sets the row count to the last pasted row + 2; the rows after the pasted ones, hidden ones
// included, are emptied. Unless pasted, no cell and no row count has changed.
TPasteResult PasteTableText(const QString& text, TTableAccess& table, TProgress* progress = nullptr);

}  // namespace quorvel
