#include "app/import_command.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>
#include <new>

#include "app/command_ui.h"
#include "app/data_file.h"
#include "app/table_access.h"
#include "app/table_commands.h"
#include "fitting/data_file_reader.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

const char* const kRoleNames[kCsvRoles] = {"Y", "X", "u(Y)", "u(X)"};

// Where a fault lies: "Строка 4, столбец 2 (X)".
QString Place(const TCsvFault& fault) {
    QString place = QString::fromUtf8(Tr(kFaultPlaceText)).arg(fault.line).arg(fault.column);
    if (fault.role >= 0 && fault.role < kCsvRoles) {
        place += QString(" (%1)").arg(QString::fromUtf8(kRoleNames[fault.role]));
    }
    return place;
}

// Shows the busy cursor while the import runs.
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

QString CsvFaultMessage(const TCsvFault& fault, char decimal) {
    const QString text = QString::fromUtf8(fault.text);
    switch (fault.problem) {
        case TCsvProblem::NotANumber:
            return Place(fault) + QString::fromUtf8(Tr(kNotANumberText)).arg(text, QString(QChar(decimal)));
        case TCsvProblem::BeyondRange:
            return Place(fault) + QString::fromUtf8(Tr(kBeyondRangeText)).arg(text);
        case TCsvProblem::UnclosedQuote:
            return Place(fault) + QString::fromUtf8(Tr(kUnclosedQuoteText));
        case TCsvProblem::TextAfterQuote:
            return Place(fault) + QString::fromUtf8(Tr(kTextAfterQuoteText));
        case TCsvProblem::NoSuchColumn:
            return QString::fromUtf8(Tr(kNoSuchColumnText)).arg(text);
        case TCsvProblem::NoDataLine:
            if (fault.line == 0) {
                return QString::fromUtf8(Tr(kNoLineEndText)).arg(kCsvHeadBytes);
            }
            return QString::fromUtf8(Tr(kNoDataLineText)).arg(fault.line);
        case TCsvProblem::None:
            break;
    }
    return {};
}

TImportResult ImportCsvFile(const QString& path, const TCsvChoice& choice, TTableAccess& table,
                            TProgress* progress) {
    // Read whole before the table is touched, so that a refused file leaves it as it was.
    TImportResult result;
    TDataFileTable rows;
    TCsvReadOptions reading;
    if (progress != nullptr) {
        reading.progress = [progress](std::uint64_t done, std::uint64_t size) {
            return progress->Step(size == 0 ? 0 : kReadShare * std::min(1.0, double(done) / double(size)));
        };
    }
    try {
        result.read = ReadCsvFile(QFile::encodeName(path).toStdString(), rows, choice, reading);
    } catch (const std::bad_alloc&) {
        result.status = TImportStatus::OutOfMemory;
        return result;
    }
    switch (result.read.status) {
        case TDataReadStatus::OpenFailed:
            result.status = TImportStatus::OpenFailed;
            return result;
        case TDataReadStatus::ReadError:
            result.status = TImportStatus::ReadError;
            return result;
        case TDataReadStatus::TooManyLines:
        case TDataReadStatus::LineTooLong:  // not asked for: the window reads records of any length
            result.status = TImportStatus::TooManyRows;
            return result;
        case TDataReadStatus::Cancelled:
            result.status = TImportStatus::Cancelled;
            return result;
        case TDataReadStatus::Ok:
            break;
    }
    if (result.read.fault.problem != TCsvProblem::None) {
        result.status = TImportStatus::Refused;
        return result;
    }
    const TReadResult placed = PlaceDataLines(rows, table, progress);
    switch (placed.status) {
        case TReadStatus::Cancelled:
            result.status = TImportStatus::Cancelled;
            break;
        case TReadStatus::OutOfMemory:
            result.status = TImportStatus::OutOfMemory;
            break;
        default:
            break;
    }
    return result;
}

std::optional<QString> RunImportCommand(TTableAccess& table, TCommandUi& ui, const TChooseImport& choose,
                                        std::optional<QString> given) {
    while (true) {
        const std::optional<QString> path = given ? given : ui.ChooseFileToRead();
        given.reset();
        if (!path) {
            return std::nullopt;
        }
        // Only a regular file is opened, without waiting: a pipe or a device is refused before anything
        // could block.
        std::string head;
        bool whole = false;
        bool headRead = false;
        {
            const int fd = OpenRegularFile(QFile::encodeName(*path).toStdString());
            const TDescriptorCloser closer(fd);
            if (fd >= 0) {
                headRead = ReadCsvHead(DescriptorSource(fd), head, whole);
                if (!headRead) {
                    ui.ShowError(QString::fromUtf8(Tr(kReadFailureText)),
                                 QString::fromUtf8(Tr(kReadCaption)));
                    return std::nullopt;
                }
            }
        }
        if (!headRead) {
            if (ui.AskAfterOpenFailure(QString::fromUtf8(Tr(kReadCaption))) == TOpenFailureAnswer::Retry) {
                continue;
            }
            return std::nullopt;
        }
        const std::optional<TCsvChoice> choice = choose(*path, head, whole);
        if (!choice) {
            return std::nullopt;
        }
        TBusy busy(ui);
        std::unique_ptr<TProgress> progress = ui.StartProgress(
            QString::fromUtf8(Tr(kImportProgressText)).arg(QFileInfo(*path).fileName()), TOnClose::Stop);
        const TImportResult result = ImportCsvFile(*path, *choice, table, progress.get());
        if (result.status == TImportStatus::Ok) {
            progress->Finishing(QString::fromUtf8(Tr(kRecomputeProgressText)));
            busy.End();
            ui.Recompute();
            return path;
        }
        progress.reset();
        busy.End();
        // Every failure leaves the table as it was: nothing to recompute.
        const QString unchanged = QString::fromUtf8(Tr(kTableUnchangedText));
        switch (result.status) {
            case TImportStatus::Ok:
            case TImportStatus::Cancelled:
                return std::nullopt;
            case TImportStatus::OpenFailed:
                if (ui.AskAfterOpenFailure(QString::fromUtf8(Tr(kReadCaption))) ==
                    TOpenFailureAnswer::Retry) {
                    continue;
                }
                return std::nullopt;
            case TImportStatus::ReadError:
                ui.ShowError(QString::fromUtf8(Tr(kReadFailureText)) + ' ' + unchanged,
                             QString::fromUtf8(Tr(kImportCaption)));
                return std::nullopt;
            case TImportStatus::Refused:
                ui.ShowError(CsvFaultMessage(result.read.fault, result.read.layout.decimal) + ' ' + unchanged,
                             QString::fromUtf8(Tr(kImportCaption)));
                return std::nullopt;
            case TImportStatus::TooManyRows:
                ui.ShowError(QString::fromUtf8(Tr(kTooManyLinesText)), QString::fromUtf8(Tr(kImportCaption)));
                return std::nullopt;
            case TImportStatus::OutOfMemory:
                ui.ShowError(QString::fromUtf8(Tr(kReadOutOfMemoryText)),
                             QString::fromUtf8(Tr(kImportCaption)));
                return std::nullopt;
        }
        return std::nullopt;
    }
}

}  // namespace quorvel
