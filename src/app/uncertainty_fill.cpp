#include "app/uncertainty_fill.h"

#include <cmath>

#include "fitting/point_extraction.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"

namespace quorvel {

TFillResult FillUncertaintyColumn(TTableAccess& table, int targetColumn, int valueColumn,
                                  const TUncertaintyRule& rule, bool onlyEmpty) {
    TFillResult result;
    const auto stop = [&](TFillFault fault, int row, std::string_view text) {
        result = TFillResult{};
        result.fault = fault;
        result.row = row;
        result.column = valueColumn;
        result.text = std::string(text);
        return result;
    };
    TBulkUpdate bulk(table);
    TTableChange change(table);
    const int last = table.RowCount() - 2;
    for (int row = 1; row <= last; ++row) {
        const std::string_view valueText = table.Cell(valueColumn, row);
        if (valueText.empty() || (onlyEmpty && !table.Cell(targetColumn, row).empty())) {
            continue;
        }
        double value = 0;
        try {
            value = ParseUserNumber(valueText);
        } catch (const Exception&) {
            return stop(TFillFault::ValueNotNumber, row, valueText);
        }
        const double u = rule.At(value);
        if (!std::isfinite(u)) {
            return stop(TFillFault::ResultBeyondRange, row, valueText);
        }
        table.SetCell(targetColumn, row, NumberToText(u));
        ++result.written;
    }
    change.Keep();
    return result;
}

std::string FillFaultText(const TFillResult& result) {
    const std::string row = std::to_string(result.row);
    switch (result.fault) {
        case TFillFault::ValueNotNumber:
            return TrArgs("Строка %1: %2 не является правильным числом", {row, result.text});
        case TFillFault::ResultBeyondRange:
            return TrArgs("Строка %1: неопределённость для %2 вне диапазона чисел", {row, result.text});
        case TFillFault::None:
            break;
    }
    return {};
}

}  // namespace quorvel
