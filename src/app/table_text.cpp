#include "app/table_text.h"

#include <exception>

#include "app/table_access.h"

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

namespace {

bool IsSeparator(QChar c) {
    return c == u'\t' || c == u'\r' || c == u'\n';
}

// Code units taken by the code point at i: a surrogate pair counts as one character.
qsizetype CodePointWidth(const QString& text, qsizetype i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        return 2;
    }
    return 1;
}

}  // namespace

bool PasteTableText(const QString& text, TTableAccess& table) {
    TBulkUpdate bulk(table);
    const qsizetype size = text.size();
    qsizetype i = 0;
    int characters = 0;  // characters consumed, against kPasteTextLimit
    int tokens = 0;
    try {
        while (i < size && characters < kPasteTextLimit) {
            if (IsSeparator(text[i])) {
                ++i;
                ++characters;
                continue;
            }
            const qsizetype start = i;
            int length = 0;
            while (i < size && characters < kPasteTextLimit && !IsSeparator(text[i])) {
                i += CodePointWidth(text, i);
                ++characters;
                ++length;
            }
            if (length > kPasteTokenLimit) {
                return false;
            }
            ++tokens;
            const int row = (tokens + 1) / 2;
            table.SetCell(tokens % 2 == 1 ? 0 : 1, row, text.mid(start, i - start).toStdString());
        }
        if (tokens == 0) {
            return false;
        }
        table.SetRowCount((tokens + 1) / 2 + 2);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

}  // namespace quorvel
