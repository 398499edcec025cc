#include "app/table_commands.h"

#include <string>

#include "app/command_ui.h"
#include "app/data_file.h"
#include "app/table_access.h"
#include "app/table_text.h"
#include "fitting/data_file_reader.h"

namespace quorvel {

namespace {

// Shows the busy cursor for the lifetime of the object.
class TBusy {
public:
    explicit TBusy(TCommandUi& ui) : ui_(ui) { ui_.SetBusy(true); }
    ~TBusy() { End(); }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
    void End() {
        if (busy_) {
            busy_ = false;
            ui_.SetBusy(false);
        }
    }

private:
    TCommandUi& ui_;
    bool busy_ = true;
};

}  // namespace

void RunPasteCommand(const QString& clipboardText, TTableAccess& table, TCommandUi& ui) {
    if (!PasteTableText(clipboardText, table)) {
        ui.ShowError(QString::fromUtf8(kPasteFailureText), QString::fromUtf8(kPasteFailureCaption));
    }
    ui.Recompute();
}

void RunReadCommand(TTableAccess& table, TCommandUi& ui) {
    while (true) {
        const std::optional<QString> path = ui.ChooseFileToRead();
        if (!path) {
            return;
        }
        TBusy busy(ui);
        const TReadResult result = ReadDataFile(*path, table);
        busy.End();
        switch (result.status) {
            case TReadStatus::OpenFailed:
                if (ui.AskAfterOpenFailure(QString::fromUtf8(kReadCaption)) == TOpenFailureAnswer::Retry) {
                    continue;
                }
                return;
            case TReadStatus::Ok:
                break;
            case TReadStatus::ReadError:
                ui.ShowError(QString::fromUtf8(kReadFailureText), QString::fromUtf8(kReadCaption));
                break;
            case TReadStatus::BadData:
                ui.ShowError(QString::fromUtf8(kBadDataText), QString());
                return;
            case TReadStatus::TooManyLines:
                // The table is as it was: nothing to recompute.
                ui.ShowError(QString::fromUtf8(kTooManyLinesText), QString::fromUtf8(kReadCaption));
                return;
        }
        ui.Recompute();
        return;
    }
}

void RunWriteCommand(const TTableAccess& table, TCommandUi& ui) {
    while (true) {
        const std::optional<QString> path = ui.ChooseFileToWrite();
        if (!path) {
            return;
        }
        TBusy busy(ui);
        const TWriteStatus status = WriteDataFile(*path, table);
        busy.End();
        switch (status) {
            case TWriteStatus::OpenFailed:
                if (ui.AskAfterOpenFailure(QString::fromUtf8(kWriteCaption)) == TOpenFailureAnswer::Retry) {
                    continue;
                }
                return;
            case TWriteStatus::WriteFailed:
                ui.ShowError(QString::fromUtf8(kWriteFailureText), QString::fromUtf8(kWriteCaption));
                return;
            case TWriteStatus::Ok:
                return;
        }
        return;
    }
}

void RunClearCommand(TTableAccess& table, TCommandUi& ui) {
    if (!ui.Confirm(QString::fromUtf8(kClearQuestion))) {
        return;
    }
    {
        TBulkUpdate bulk(table);
        const int rows = table.RowCount();
        for (int row = 1; row < rows; ++row) {
            table.SetCell(0, row, std::string());
            table.SetCell(1, row, std::string());
        }
    }
    ui.Recompute();
}

}  // namespace quorvel
