#include "app/table_text.h"

#include <exception>
#include <new>
#include <string>
#include <string_view>

#include "app/command_ui.h"
#include "app/table_access.h"
#include "fitting/paste_tokens.h"

namespace quorvel {

QString TableCopyText(const TTableAccess& table) {
    std::string text;
    const int rows = table.RowCount();
    const int columns = table.Columns();
    for (int row = 1; row < rows; ++row) {
        for (int col = 0; col < columns; ++col) {
            if (col > 0) {
                text += '\t';
            }
            text += table.Cell(col, row);
        }
        text += "\r\n";
    }
    return QString::fromStdString(text);
}

namespace {

// The conversion and the check take about a twentieth of the time, the placing the rest.
constexpr double kCheckShare = 0.05;
constexpr std::size_t kTokensPerStep = std::size_t{1} << 15;

// The cells in pairs, the text's rows aside: the table of two columns, as it always was.
TPasteResult PlacePairs(std::string_view bytes, const TPasteScan& scan, TTableAccess& table,
                        TProgress* progress) {
    // The cells fill the rows in turn, as many to a row as the table shows columns.
    const auto columns = static_cast<std::size_t>(table.Columns());
    const auto rows = static_cast<int>((scan.tokens + columns - 1) / columns);
    TBulkUpdate bulk(table);
    TTableChange change(table);
    try {
        table.ReserveRows(rows);
        TPasteTokens tokens(bytes);
        std::string_view token;
        for (std::size_t k = 0; tokens.Next(token); ++k) {
            if (progress != nullptr && k % kTokensPerStep == 0 &&
                !progress->Step(kCheckShare + (1 - kCheckShare) * double(k) / double(scan.tokens))) {
                return TPasteResult::Cancelled;  // the change is taken back
            }
            table.SetCell(static_cast<int>(k % columns), static_cast<int>(k / columns) + 1,
                          std::string(token));
        }
        for (std::size_t k = scan.tokens; k % columns != 0; ++k) {
            table.SetCell(static_cast<int>(k % columns), rows,
                          std::string());  // the text's last row ends early
        }
        table.EmptyHiddenColumns(1, rows);
        table.SetRowCount(rows + 2);
    } catch (const std::bad_alloc&) {
        throw;  // the change is taken back on the way out
    } catch (const std::exception&) {
        return TPasteResult::Refused;
    }
    change.Keep();
    // The rows of an earlier, longer table would stay in the new entry row (and be fitted) or come back
    // as the table grows: after a paste the table holds the pasted rows and nothing else.
    table.EraseRowsFrom(rows + 1);
    return TPasteResult::Pasted;
}

// The cells by the text's rows, a row of the text to a row of the table, while it shows u(Y) and u(X): a
// spreadsheet's two columns fill Y and X and leave the uncertainties empty, its four fill all. A row of
// more cells than the table has columns is refused (unless the cells past them are empty).
TPasteResult PlaceRows(std::string_view bytes, const TPasteScan& scan, TTableAccess& table,
                       TProgress* progress) {
    const int columns = table.Columns();
    int rows = 0;
    {
        TPasteTokens tokens(bytes);
        std::string_view token;
        int col = 0;
        while (tokens.Next(token)) {
            col = tokens.StartsRow() ? 0 : col + 1;
            rows += tokens.StartsRow() ? 1 : 0;
            if (col >= columns && !token.empty()) {
                return TPasteResult::Refused;
            }
        }
    }
    if (rows > kMaxTableRows - 2) {
        return TPasteResult::Refused;
    }
    TBulkUpdate bulk(table);
    TTableChange change(table);
    try {
        table.ReserveRows(rows);
        TPasteTokens tokens(bytes);
        std::string_view token;
        int row = 0;
        int col = 0;
        // The cells a row of the text leaves out are emptied: the rows are replaced whole.
        const auto endRow = [&table, &row, &col, columns] {
            for (int rest = col + 1; row > 0 && rest < columns; ++rest) {
                table.SetCell(rest, row, std::string());
            }
        };
        for (std::size_t k = 0; tokens.Next(token); ++k) {
            if (progress != nullptr && k % kTokensPerStep == 0 &&
                !progress->Step(kCheckShare + (1 - kCheckShare) * double(k) / double(scan.tokens))) {
                return TPasteResult::Cancelled;  // the change is taken back
            }
            if (tokens.StartsRow()) {
                endRow();
                ++row;
                col = 0;
            } else {
                ++col;
            }
            if (col < columns) {
                table.SetCell(col, row, std::string(token));
            }
        }
        endRow();
        table.EmptyHiddenColumns(1, rows);
        table.SetRowCount(rows + 2);
    } catch (const std::bad_alloc&) {
        throw;  // the change is taken back on the way out
    } catch (const std::exception&) {
        return TPasteResult::Refused;
    }
    change.Keep();
    table.EraseRowsFrom(rows + 1);
    return TPasteResult::Pasted;
}

TPasteResult PlaceTableText(const QString& text, TTableAccess& table, TProgress* progress) {
    const QByteArray utf8 = text.toUtf8();
    const std::string_view bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    // Every token is checked before the first cell is written: a refused paste changes nothing.
    const TPasteScan scan = CheckPasteText(bytes);
    if (scan.status != TPasteCheck::Ok) {
        return TPasteResult::Refused;
    }
    return table.Columns() > 2 ? PlaceRows(bytes, scan, table, progress)
                               : PlacePairs(bytes, scan, table, progress);
}

}  // namespace

TPasteResult PasteTableText(const QString& text, TTableAccess& table, TProgress* progress) {
    try {
        return PlaceTableText(text, table, progress);
    } catch (const std::bad_alloc&) {
        // Not bad data: the text may be fine, there was no room for it.
        return TPasteResult::OutOfMemory;
    }
}

}  // namespace quorvel
