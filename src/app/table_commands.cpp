#include "app/table_commands.h"

#include <QFileInfo>

#include <memory>
#include <string>

#include "app/command_ui.h"
#include "app/data_file.h"
#include "app/table_access.h"
#include "app/table_text.h"
#include "fitting/data_file_reader.h"
#include "runtime/message_catalog.h"

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

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

void RunPasteCommand(const QString& clipboardText, TTableAccess& table, TCommandUi& ui) {
    TBusy busy(ui);
    std::unique_ptr<TProgress> progress =
        ui.StartProgress(QString::fromUtf8(Tr(kPasteProgressText)), TOnClose::Stop);
    const TPasteResult result = PasteTableText(clipboardText, table, progress.get());
    if (result == TPasteResult::Cancelled) {
        return;  // the table is as it was, and so is what the window shows of it
    }
    if (result == TPasteResult::Refused || result == TPasteResult::OutOfMemory) {
        progress.reset();
        busy.End();
        ui.ShowError(QString::fromUtf8(result == TPasteResult::Refused ? Tr(kPasteFailureText)
                                                                       : Tr(kPasteOutOfMemoryText)),
                     QString::fromUtf8(Tr(kPasteFailureCaption)));
    } else {
        // The dialog, if shown, stays while the new table is fitted.
        progress->Finishing(QString::fromUtf8(Tr(kRecomputeProgressText)));
        busy.End();
    }
    ui.Recompute();
}

namespace {

std::optional<QString> ReadCommand(TTableAccess& table, TCommandUi& ui, std::optional<QString> given) {
    while (true) {
        const std::optional<QString> path = given ? given : ui.ChooseFileToRead();
        given.reset();
        if (!path) {
            return std::nullopt;
        }
        TBusy busy(ui);
        std::unique_ptr<TProgress> progress =
            ui.StartProgress(QString::fromUtf8(Tr(kReadProgressText)).arg(FileName(*path)), TOnClose::Stop);
        const TReadResult result = ReadDataFile(*path, table, progress.get());
        if (result.status == TReadStatus::Ok) {
            progress->Finishing(QString::fromUtf8(Tr(kRecomputeProgressText)));
            busy.End();
            ui.Recompute();
            return path;
        }
        progress.reset();
        busy.End();
        switch (result.status) {
            case TReadStatus::OpenFailed:
                if (ui.AskAfterOpenFailure(QString::fromUtf8(Tr(kReadCaption))) ==
                    TOpenFailureAnswer::Retry) {
                    continue;
                }
                return std::nullopt;
            case TReadStatus::Ok:
            case TReadStatus::Cancelled:
                return std::nullopt;
            case TReadStatus::ReadError:
                ui.ShowError(QString::fromUtf8(Tr(kReadFailureText)), QString::fromUtf8(Tr(kReadCaption)));
                break;
            case TReadStatus::BadData:
                ui.ShowError(QString::fromUtf8(Tr(kBadDataText)), QString());
                return std::nullopt;
            case TReadStatus::OutOfMemory:
                // The table is as it was: nothing to recompute.
                ui.ShowError(QString::fromUtf8(Tr(kReadOutOfMemoryText)),
                             QString::fromUtf8(Tr(kReadCaption)));
                return std::nullopt;
            case TReadStatus::TooManyLines:
                // The table is as it was: nothing to recompute.
                ui.ShowError(QString::fromUtf8(Tr(kTooManyLinesText)), QString::fromUtf8(Tr(kReadCaption)));
                return std::nullopt;
        }
        ui.Recompute();
        return std::nullopt;
    }
}

}  // namespace

std::optional<QString> RunReadCommand(TTableAccess& table, TCommandUi& ui) {
    return ReadCommand(table, ui, std::nullopt);
}

std::optional<QString> RunReadCommandOn(const QString& path, TTableAccess& table, TCommandUi& ui) {
    return ReadCommand(table, ui, path);
}

void RunWriteCommand(const TTableAccess& table, TCommandUi& ui) {
    // Words on a line are parted by blanks: an empty cell before a filled one would shift the words
    // after it into its place when the file is read again.
    if (const int row = RowLosingItsPlaces(table); row > 0) {
        ui.ShowError(QString::fromUtf8(Tr(kEmptyCellBeforeFilledText)).arg(row),
                     QString::fromUtf8(Tr(kWriteCaption)));
        return;
    }
    while (true) {
        const std::optional<QString> path = ui.ChooseFileToWrite();
        if (!path) {
            return;
        }
        TBusy busy(ui);
        std::unique_ptr<TProgress> progress = ui.StartProgress(
            QString::fromUtf8(Tr(kWriteProgressText)).arg(FileName(*path)), TOnClose::Finish);
        const TWriteStatus status = WriteDataFile(*path, table, progress.get());
        progress.reset();
        busy.End();
        switch (status) {
            case TWriteStatus::OpenFailed:
                if (ui.AskAfterOpenFailure(QString::fromUtf8(Tr(kWriteCaption))) ==
                    TOpenFailureAnswer::Retry) {
                    continue;
                }
                return;
            case TWriteStatus::WriteFailed:
                ui.ShowError(QString::fromUtf8(Tr(kWriteFailureText)), QString::fromUtf8(Tr(kWriteCaption)));
                return;
            case TWriteStatus::Ok:
            case TWriteStatus::Cancelled:
                return;
        }
        return;
    }
}

void RunClearCommand(TTableAccess& table, TCommandUi& ui) {
    if (!ui.Confirm(QString::fromUtf8(Tr(kClearQuestion)))) {
        return;
    }
    {
        TBulkUpdate bulk(table);
        const int rows = table.RowCount();
        for (int row = 1; row < rows; ++row) {
            for (int col = 0; col < table.Columns(); ++col) {
                table.SetCell(col, row, std::string());
            }
        }
        table.EmptyHiddenColumns(1, rows - 1);
    }
    ui.Recompute();
}

}  // namespace quorvel
