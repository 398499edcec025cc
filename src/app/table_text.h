#pragma once
// The table as clipboard text: the copy text and the paste of any tab- or line-separated values.
#include <QString>

namespace quorvel {

class TTableAccess;

inline constexpr const char* kPasteFailureText = "Буфер обмена содержит неверные данные";
inline constexpr const char* kPasteFailureCaption = "Невозможно вставить данные из буфера обмена";

// Rows 1 ... row count - 1, the entry row included: Y, tab, X, CR LF each; the header row is left out.
QString TableCopyText(const TTableAccess& table);

// Places the tokens of the whole text (runs of characters other than tab, CR and LF) in pairs from
// row 1, Y then X, and sets the row count to the last pasted row + 2. Returns false when the text holds
// no token, a token is longer than kPasteTokenLimit characters, the rows would be more than a table
// holds, or a cell write throws; then no cell and no row count has changed. The table is never cleared
// first.
bool PasteTableText(const QString& text, TTableAccess& table);

}  // namespace quorvel
