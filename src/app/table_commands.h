#pragma once
// The table commands of the window, apart from the window: paste, read, write and clear.
#include <QString>

#include <optional>

#include "fitting/messages.h"

namespace quorvel {

class TCommandUi;
class TTableAccess;

inline constexpr const char* kReadCaption = "Ошибка чтения файла";
inline constexpr const char* kWriteCaption = "Ошибка записи файла";
inline constexpr const char* kReadFailureText = "Не могу прочитать файл.";
inline constexpr const char* kWriteFailureText = "Не могу записать файл.";
inline constexpr const char* kBadDataText = "Файл содержит неверные данные";
inline constexpr const char* kReadOutOfMemoryText =
    "Недостаточно памяти, чтобы прочитать файл. Таблица не изменилась.";
inline constexpr const char* kEmptyCellBeforeFilledText =
    "Строка %1: пустая ячейка перед заполненной. В файле данных такая строка прочиталась бы иначе: "
    "заполните ячейку или очистите строку.";
inline constexpr const char* kClearQuestion = "Очистить данные в таблице?";
inline constexpr const char* kFormulaCopiedText = "Строка формулы скопирована в буфер обмена Windows";
// The progress dialog's texts; %1 is the file's name.
inline constexpr const char* kReadProgressText = "Чтение файла «%1»…";
inline constexpr const char* kWriteProgressText = "Запись файла «%1»…";
inline constexpr const char* kPasteProgressText = "Вставка таблицы из буфера обмена…";
inline constexpr const char* kRecomputeProgressText = "Пересчёт…";

// Pastes the clipboard text; a failure shows its box. The recompute runs either way, unless the user
// cancelled the paste: then the table is as it was and nothing else happens.
void RunPasteCommand(const QString& clipboardText, TTableAccess& table, TCommandUi& ui);

// Asks for a file and reads it into the table, then recomputes. An open failure asks Abort, Retry or
// Ignore; Retry shows the dialog again, the others end the command. A read error keeps the rows read,
// says so and recomputes; a failed table write, or a file with more lines than a table holds, says so
// and ends without the recompute. A cancel ends it with the table as it was. Returns the file's path
// when the table now holds the whole file.
std::optional<QString> RunReadCommand(TTableAccess& table, TCommandUi& ui);
// The same for a file already chosen (as by a drop): read without the dialog, which only a Retry shows.
std::optional<QString> RunReadCommandOn(const QString& path, TTableAccess& table, TCommandUi& ui);

// Asks for a file and writes the table into it; no recompute. While the table shows u(Y) and u(X), a row
// with an empty cell before a filled one is refused first, naming it (RowLosingItsPlaces). An open failure
// asks as the reader does; a failed write or replace says so, and the old file stays as it was; so does a
// cancel.
void RunWriteCommand(const TTableAccess& table, TCommandUi& ui);

// After a Yes, empties both cells of rows 1 ... row count - 1 and recomputes; the row count stays and
// hidden rows beyond it keep their texts.
void RunClearCommand(TTableAccess& table, TCommandUi& ui);

}  // namespace quorvel
