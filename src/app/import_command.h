#pragma once
// The table import: a CSV table read whole into the window's table, or refused with a box that names the
// line and the column, the table then as it was. The texts of the command and its dialog are here.
#include <QString>

#include <functional>
#include <optional>
#include <string>

#include "fitting/csv_import.h"

namespace quorvel {

class TCommandUi;
class TProgress;
class TTableAccess;

inline constexpr const char* kImportMenuText = "Импорт таблицы…";
inline constexpr const char* kImportTitle = "Импорт таблицы";
inline constexpr const char* kImportCaption = "Ошибка импорта таблицы";
// The progress dialog's text; %1 is the file's name.
inline constexpr const char* kImportProgressText = "Импорт таблицы «%1»…";
inline constexpr const char* kTableUnchangedText = "Таблица не изменилась.";

// The dialog's labels and choices.
inline constexpr const char* kImportFileLabel = "Файл: %1";
inline constexpr const char* kSeparatorLabel = "Разделитель:";
inline constexpr const char* kSeparatorNames[] = {"Запятая", "Точка с запятой", "Табуляция", "Пробелы"};
inline constexpr TCsvSeparator kSeparatorChoices[] = {TCsvSeparator::Comma, TCsvSeparator::Semicolon,
                                                      TCsvSeparator::Tab, TCsvSeparator::Blanks};
inline constexpr const char* kDecimalLabel = "Десятичный знак:";
inline constexpr const char* kDecimalNames[] = {"Точка", "Запятая"};
inline constexpr char kDecimalChoices[] = {'.', ','};
inline constexpr const char* kHeaderLinesLabel = "Строк заголовка:";
inline constexpr const char* kColumnYLabel = "Столбец Y:";
inline constexpr const char* kColumnXLabel = "Столбец X:";
// A column without a name in the header: %1 is its number.
inline constexpr const char* kColumnName = "Столбец %1";
inline constexpr const char* kImportButton = "Импорт";
inline constexpr const char* kCancelButton = "Отмена";
// The preview's note on the rows it shows; %1 is their count.
inline constexpr const char* kPreviewNote = "Первые строки файла (%1); строки заголовка — серым.";

// What is wrong with a CSV table: where (%1 the line, %2 the column), then what.
inline constexpr const char* kFaultPlaceText = "Строка %1, столбец %2";
inline constexpr const char* kNotANumberText = ": «%1» не является числом (десятичный знак «%2»).";
inline constexpr const char* kBeyondRangeText = ": число «%1» вне диапазона чисел.";
inline constexpr const char* kUnclosedQuoteText = ": кавычка не закрыта до конца файла.";
inline constexpr const char* kTextAfterQuoteText = ": текст после закрывающей кавычки.";
inline constexpr const char* kNoSuchColumnText = "В заголовке нет столбца «%1».";
inline constexpr const char* kNoLineEndText = "В первых %1 байтах файла нет ни одного конца строки.";
inline constexpr const char* kNoDataLineText = "Ни в одной из первых %1 строк нет чисел в столбцах Y и X.";

// What is wrong with a CSV table, in the words of the window: the line and the column where they are
// known.
QString CsvFaultMessage(const TCsvFault& fault, char decimal);

// Asks how to read a table whose text begins with `head` (the whole text when `whole`): the choice, or
// nothing when the user cancels.
using TChooseImport =
    std::function<std::optional<TCsvChoice>(const QString& path, const std::string& head, bool whole)>;

// Reads the CSV file into the table, whole or not at all, with the progress and its cancel.
enum class TImportStatus { Ok, OpenFailed, ReadError, Refused, TooManyRows, Cancelled, OutOfMemory };
struct TImportResult {
    TImportStatus status = TImportStatus::Ok;
    TCsvReadResult read;  // the fault of a refused table
};
TImportResult ImportCsvFile(const QString& path, const TCsvChoice& choice, TTableAccess& table,
                            TProgress* progress);

// Asks for a file (unless one is given, as by a drop), opens it as only a regular file is opened (an open
// failure asks Abort, Retry or Ignore, Retry showing the file dialog), asks how to read it, and imports
// it, then recomputes. A refusal says why in a box and leaves the table as it was, without a recompute.
// Returns the file's path when the table now holds the whole table of the file.
std::optional<QString> RunImportCommand(TTableAccess& table, TCommandUi& ui, const TChooseImport& choose,
                                        std::optional<QString> given = std::nullopt);

}  // namespace quorvel
