#pragma once
// The texts the recompute, the evaluation at X and the data-file reading show, defined here once for
// the window and quorvel-fit alike.
#include <string>
#include <string_view>

#include "runtime/message_catalog.h"
#include "runtime/number_text.h"

namespace quorvel {

// The too-few-data state: every coefficient text, and the result text.
inline constexpr const char* kTooFewCaption = "Мало данных";
inline constexpr const char* kFillTableCaption = "Заполните таблицу значений Y(X)";

// The failed solve's box.
inline constexpr const char* kSolveFailedText = "Коэффициенты определить невозможно";
inline constexpr const char* kSolveFailedCaption = "Невозможно вычислить коэффициенты";
// The fit with uncertainties in X whose iteration does not settle.
inline constexpr const char* kNoConvergenceText = "Итерации не сходятся: коэффициенты определить невозможно";

// The kinds of function as the kind list shows them (item index = kind − 1), and its label.
inline constexpr const char* kKindCaptions[3] = {"Линейная", "Квадратичная", "Кубическая"};
inline constexpr const char* kKindLabel = "Вид функции:";

// The table's column headers.
inline constexpr const char* kYHeader = "Y (истинное)";
inline constexpr const char* kXHeader = "X (по прибору)";

// The label over the formula line, and the two around the evaluation at X.
inline constexpr const char* kResultLabel = "Результат аппроксимации:";
inline constexpr const char* kAtXLabel = "Для X=";
inline constexpr const char* kYLabel = "Y=";
// The inverse evaluation's result, as quorvel-fit prints it.
inline constexpr const char* kXLabel = "X=";
// Where Y at the asked X lies beyond the number range (the report's row of Y at X).
inline constexpr const char* kYBeyondRangeText = "Y вне диапазона чисел";

// The labels in front of the two statistics.
inline constexpr const char* kMaxErrorLabel = "Максимальная ошибка";
inline constexpr const char* kSigmaLabel = "Среднекв. отклонение";

// The box for a typed cell or X text that is not a number: the text itself, then this.
inline constexpr const char* kInvalidNumberCaption = "Неверный ввод числа";
// A table's uncertainty that stops the fit with given uncertainties.
inline constexpr const char* kUncertaintyFaultCaption = "Неопределённости точек";
// The examples are written with the decimal character numbers are read with, so that each of them
// is valid where the box is shown.
inline std::string InvalidNumberText(std::string_view text) {
    return TrArgs(
        "%1 не является правильным числом\nПримеры правильного ввода:\n   0%225\n   -15%274e4\n   "
        "+15638e-5",
        {text, DecimalText()});
}

// Why a table's uncertainty stops the fit, naming its row.
struct TUncertaintyFault;
std::string UncertaintyFaultText(const TUncertaintyFault& fault);

// A data file that cannot be opened.
inline constexpr const char* kOpenFailureText = "Не могу открыть файл.";

}  // namespace quorvel
