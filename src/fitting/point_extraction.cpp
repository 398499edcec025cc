#include "fitting/point_extraction.h"

#include <cstring>
#include <string>
#include <utility>

#include "fitting/messages.h"
#include "fitting/two_parts.h"
#include "runtime/exceptions.h"
#include "runtime/large_buffers.h"
#include "runtime/message_catalog.h"
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

// The rows from .. to - 1 that count, in order, with their Y and X texts: a row with an empty cell is
// skipped.
template <class F>
void ForEachCountedRow(const ITableSource& table, int from, int to, F&& take) {
    for (int row = from; row < to; ++row) {
        const ITableSource::TRowTexts texts = table.RowTexts(row);
        if (texts.y.empty() || texts.x.empty()) {
            continue;
        }
        if (!take(row, texts.y, texts.x)) {
            return;
        }
    }
}

// Appends the points of the counted rows from .. to - 1.
void AppendPoints(const ITableSource& table, int from, int to, TPointTable& into) {
    ForEachCountedRow(table, from, to, [&into](int, std::string_view yText, std::string_view xText) {
        TDataPoint point;
        point.Y = ParseUserNumber(yText);
        point.X = ParseUserNumber(xText);
        into.push_back(point);
        return true;
    });
}

}  // namespace

TPointTable ExtractPoints(const ITableSource& table, const TWorkSteps& steps, const TWorkOptions& work) {
    TPointTable points;
    const int rows = table.RowCount();
    if (rows <= 1) {
        return points;
    }
    // A large table is read in two halves at once (where the work may take a second core), the second
    // half's points then following the first's; the first bad cell in row order is reported.
    const auto dataRows = static_cast<std::size_t>(rows - 1);
    ReserveLarge(points, dataRows);
    TPointTable second;
    // Only the part on this thread tells its steps; the other comes in one piece.
    InTwoPartsInSteps(work, dataRows, steps, [&](std::size_t from, std::size_t to, int part) {
        TPointTable& into = part == 0 ? points : second;
        if (part != 0) {
            ReserveLarge(into, to - from);
        }
        AppendPoints(table, static_cast<int>(from) + 1, static_cast<int>(to) + 1, into);
    });
    points.insert(points.end(), second.begin(), second.end());
    return points;
}

TCellPlace UnreadableCell(const ITableSource& table) {
    TCellPlace place;
    ForEachCountedRow(table, 1, table.RowCount(),
                      [&place](int row, std::string_view yText, std::string_view xText) {
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

EUncertaintyCell::EUncertaintyCell(TUncertaintyFault fault)
    : Exception(UncertaintyFaultText(fault)), fault_(std::move(fault)) {}

std::string UncertaintyFaultText(const TUncertaintyFault& fault) {
    const std::string row = std::to_string(fault.row);
    switch (fault.kind) {
        case TUncertaintyFault::Missing:
            return TrArgs("Строка %1: не задана u(Y). Задайте u(Y) во всех строках или ни в одной.", {row});
        case TUncertaintyFault::NotANumber:
            return InvalidNumberText(fault.text);
        case TUncertaintyFault::OutOfRange:
            break;
    }
    return fault.col == 2 ? TrArgs("Строка %1: u(Y) = %2, а должна быть больше нуля.", {row, fault.text})
                          : TrArgs("Строка %1: u(X) = %2, а должна быть не меньше нуля.", {row, fault.text});
}

TTablePoints ExtractTablePoints(const ITableSource& table, bool uncertainties, const TWorkSteps& steps,
                                const TWorkOptions& work) {
    TTablePoints read;
    if (!uncertainties) {
        read.points = ExtractPoints(table, steps, work);
        return read;
    }
    // The points, then the uncertainties of their rows: each about half the reading.
    read.points = ExtractPoints(table, PartOfSteps(steps, 0, 0.5), work);
    const int rows = table.RowCount();
    bool any = false;
    ForEachCountedRow(table, 1, rows, [&table, &any](int row, std::string_view, std::string_view) {
        any = !table.CellText(2, row).empty() || !table.CellText(3, row).empty();
        return !any;
    });
    if (!any) {
        return read;
    }
    TUncertaintyColumns u;
    u.uy.reserve(read.points.size());
    u.ux.reserve(read.points.size());
    ForEachCountedRow(table, 1, rows,
                      [&table, &u, &steps, rows](int row, std::string_view, std::string_view) {
                          if (steps && row % kItemsPerStep == 0) {
                              steps(0.5 + 0.5 * row / rows);
                          }
                          for (const int col : {2, 3}) {
                              const std::string_view text = table.CellText(col, row);
                              const auto fault = [&](TUncertaintyFault::TKind kind) {
                                  throw EUncertaintyCell({kind, row, col, std::string(text)});
                              };
                              if (text.empty()) {
                                  if (col == 2) {
                                      fault(TUncertaintyFault::Missing);  // a default would make up a weight
                                  }
                                  u.ux.push_back(0);
                                  continue;
                              }
                              double value = 0;
                              try {
                                  value = ParseUserNumber(text);
                              } catch (const Exception&) {
                                  fault(TUncertaintyFault::NotANumber);
                              }
                              if (col == 2 ? !(value > 0) : !(value >= 0)) {
                                  fault(TUncertaintyFault::OutOfRange);
                              }
                              (col == 2 ? u.uy : u.ux).push_back(value);
                          }
                          return true;
                      });
    read.given = std::move(u);
    return read;
}

}  // namespace quorvel
