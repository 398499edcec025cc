#include "app/table_text.h"

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/table_access.h"
#include "fitting/paste_tokens.h"

namespace quorvel {

QString TableCopyText(const TTableAccess& table) {
    std::string text;
    const int rows = table.RowCount();
    for (int row = 1; row < rows; ++row) {
        text += table.Cell(0, row);
        text += '\t';
        text += table.Cell(1, row);
        text += "\r\n";
    }
    return QString::fromStdString(text);
}

bool PasteTableText(const QString& text, TTableAccess& table) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // Every token is checked before the first cell is written: a refused paste changes nothing.
    const TPasteScan scan = CheckPasteText(bytes);
    if (scan.status != TPasteCheck::Ok) {
        return false;
    }
    TBulkUpdate bulk(table);
    // The old texts of the cells written so far, put back if a write fails.
    std::vector<std::string> undo;
    try {
        undo.reserve(scan.tokens);
        table.ReserveRows(scan.rows);
        TPasteTokens tokens(bytes);
        std::string_view token;
        for (std::size_t k = 0; tokens.Next(token); ++k) {
            const int column = static_cast<int>(k % 2);
            const int row = static_cast<int>(k / 2) + 1;
            undo.emplace_back(table.Cell(column, row));
            table.SetCell(column, row, std::string(token));
        }
        table.SetRowCount(scan.rows + 2);
    } catch (const std::exception&) {
        // The cells written exist already, so putting their texts back takes no new room.
        for (std::size_t k = undo.size(); k-- > 0;) {
            try {
                table.SetCell(static_cast<int>(k % 2), static_cast<int>(k / 2) + 1, std::move(undo[k]));
            } catch (const std::exception&) {
            }
        }
        return false;
    }
    return true;
}

}  // namespace quorvel
