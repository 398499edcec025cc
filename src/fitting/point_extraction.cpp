#include "fitting/point_extraction.h"

#include <cstring>
#include <string>

#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"
#include "runtime/number_text.h"

namespace quorvel {

double ParseUserNumber(std::string_view text, TTextState state) {
    if (DecimalChar() == U'.') {
        return TextToNumber(text, state);
    }
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return TextToNumber(text, state);
    }
    const std::string decimal = DecimalText();  // short: kept in the string's own buffer
    const std::size_t length = text.size() - 1 + decimal.size();
    char local[128];
    std::string heap;
    char* out = local;
    if (length > sizeof(local)) {
        heap.resize(length);
        out = heap.data();
    }
    std::memcpy(out, text.data(), dot);
    std::memcpy(out + dot, decimal.data(), decimal.size());
    std::memcpy(out + dot + decimal.size(), text.data() + dot + 1, text.size() - dot - 1);
    return TextToNumber(std::string_view(out, length), state);
}

namespace {

// The rows that count, in order, with their Y and X texts: a row with an empty cell is skipped.
template <class F>
void ForEachCountedRow(const ITableSource& table, F&& take) {
    const int rows = table.RowCount();
    for (int row = 1; row < rows; ++row) {
        const std::string_view yText = table.CellText(0, row);
        if (yText.empty()) {
            continue;
        }
        const std::string_view xText = table.CellText(1, row);
        if (xText.empty()) {
            continue;
        }
        if (!take(row, yText, xText)) {
            return;
        }
    }
}

}  // namespace

TPointTable ExtractPoints(const ITableSource& table) {
    TPointTable points;
    const int rows = table.RowCount();
    if (rows > 1) {
        ReserveLarge(points, static_cast<std::size_t>(rows - 1));
    }
    ForEachCountedRow(table, [&points](int, std::string_view yText, std::string_view xText) {
        TDataPoint point;
        point.Y = ParseUserNumber(yText);
        point.X = ParseUserNumber(xText);
        points.push_back(point);
        return true;
    });
    return points;
}

TCellPlace UnreadableCell(const ITableSource& table) {
    TCellPlace place;
    ForEachCountedRow(table, [&place](int row, std::string_view yText, std::string_view xText) {
        int col = 0;
        try {
            (void)ParseUserNumber(yText);
            col = 1;
            (void)ParseUserNumber(xText);
            return true;
        } catch (const Exception&) {
            place = {col, row};
            return false;
        }
    });
    return place;
}

int RequiredPoints(TFunctionKind kind) {
    return static_cast<int>(kind) + 1;
}

bool HasTooFewPoints(TFunctionKind kind, int pointCount) {
    return pointCount < RequiredPoints(kind);
}

}  // namespace quorvel
