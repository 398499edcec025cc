// The calibration's commands of the "Файл" menu: the report and the readings converted by the current
// fit. Both fit the table afresh, as quorvel-fit does, and hand the fit to the code quorvel-fit uses,
// so that the window's files are quorvel-fit's for the same table and kind.
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

#include "app/command_dialogs.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/table_commands.h"
#include "app/window_work.h"
#include "calibration/calibration_report.h"
#include "fitting/apply_readings.h"
#include "fitting/calibration_summary.h"
#include "fitting/data_file_reader.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "runtime/exceptions.h"
#include "runtime/file_target.h"
#include "runtime/message_catalog.h"
#include "runtime/system_error_text.h"
#include "runtime/work_steps.h"

namespace quorvel {

namespace {

inline constexpr const char* kReportProgressText = "Запись протокола «%1»…";
inline constexpr const char* kApplyProgressText = "Пересчёт показаний «%1»…";
inline constexpr const char* kDefaultReportName = "протокол.pdf";
inline constexpr const char* kLineTooLongBoxText = "Строка файла длиннее 1 МиБ: это не файл показаний.";

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The fit of the window's table and kind with a store of its own, as quorvel-fit makes it; nothing, with
// the box shown, when there is no fit to use. Only a report needs the uncertainties and the X order.
struct TFreshFit {
    TFitCoefficients store;
    TRecomputeResult result;
    std::optional<TUncertaintyColumns> given;  // the table's uncertainties, while it shows them
};

// A large table's fit with given uncertainties runs in steps with a progress whose cancel ends the command
// (EWorkCancelled); a small table's tells none, as its recompute in the window tells none.
std::optional<TFreshFit> FitForFiles(const TGridModel& table, TFunctionKind kind, bool forReport,
                                     TCommandUi& ui) {
    TFreshFit fit;
    // A bad cell throws here and reaches the standard box, as in the recompute.
    if (table.UncertaintyColumns()) {
        std::unique_ptr<TProgress> progress;
        TWorkSteps steps;
        if (static_cast<std::size_t>(table.RowCount()) > kItemsPerStep) {
            progress = ui.StartProgress(QString::fromUtf8(Tr(kRecomputeProgressText)), TOnClose::Stop);
            steps = [&progress](double done) {
                if (!progress->Step(done)) {
                    throw EWorkCancelled();
                }
            };
        }
        TTablePoints read;
        try {
            read = ExtractTablePoints(table, true, PartOfSteps(steps, 0, 0.2), kWindowWork);
        } catch (const EUncertaintyCell& e) {
            ui.ShowError(Text(e.Message()),
                         QString::fromUtf8(Tr(e.Fault().kind == TUncertaintyFault::NotANumber
                                                  ? kInvalidNumberCaption
                                                  : kUncertaintyFaultCaption)));
            return std::nullopt;
        }
        fit.given = std::move(read.given);
        fit.result =
            RecomputePoints(std::move(read.points), kind, fit.store, forReport, forReport, kWindowWork,
                            fit.given ? &*fit.given : nullptr, PartOfSteps(steps, 0.2, 1));
    } else {
        fit.result = Recompute(table, kind, fit.store, forReport, forReport, {}, kWindowWork);
    }
    if (fit.result.tooFew) {
        ui.ShowError(QString::fromUtf8(Tr(kTooFewCaption)), QString());
        return std::nullopt;
    }
    if (fit.result.solveFailed) {
        ui.ShowError(QString::fromUtf8(Tr(kSolveFailedText)), QString::fromUtf8(Tr(kSolveFailedCaption)));
        return std::nullopt;
    }
    if (fit.result.error) {
        ui.ShowError(Text(ExceptionMessage(fit.result.error)), QString());
        return std::nullopt;
    }
    return fit;
}

// The report's file, asked as "Запись" asks (no filter, no question before replacing), starting at the
// data file's name with ".pdf" beside it, else at "протокол.pdf".
std::optional<QString> ChooseReportFile(QWidget* owner, const QString& dataFile) {
    QString start = QString::fromUtf8(Tr(kDefaultReportName));
    if (!dataFile.isEmpty()) {
        const QFileInfo info(dataFile);
        start = QDir(info.absolutePath()).filePath(info.completeBaseName() + QStringLiteral(".pdf"));
    }
    const QString path = QFileDialog::getSaveFileName(owner, QString(), start, QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

// The readings of an open file converted into a save file, a read at a time: whole or not at all, and
// a cancel in the progress dialog stops it with the target as it was.
struct TStreamedReadings {
    TAppliedReadings applied;
    bool cancelled = false;
    QString writeFailure;  // why the target could not be written, when it could not
};

// Why a write failed, in the window's language: from the system's error number where there is one
// (read at once after the failing call), else as Qt tells it.
QString WriteFailureReason(int error, const QFileDevice& file) {
    return error != 0 ? Text(SystemErrorText(error)) : file.errorString();
}

TStreamedReadings StreamReadings(int readings, const QString& target, const TFitCoefficients& store,
                                 TProgress& progress) {
    TStreamedReadings result;
    if (!IsReplaceableFile(QFile::encodeName(target).toStdString())) {
        result.writeFailure = QString::fromUtf8(Tr(kNotRegularFileText));
        return result;
    }
    QSaveFile file(target);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        result.writeFailure = WriteFailureReason(errno, file);
        return result;
    }
    std::FILE* const out = ::fdopen(::dup(file.handle()), "wb");
    if (out == nullptr) {
        result.writeFailure = WriteFailureReason(errno, file);
        file.cancelWriting();
        return result;
    }
    struct stat info = {};
    const double size = ::fstat(readings, &info) == 0 && S_ISREG(info.st_mode) ? double(info.st_size) : 0;
    double done = 0;
    const TByteSource read = DescriptorSource(readings);
    const TByteSource source = [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
        if (!progress.Step(size > 0 ? std::min(done / size, 1.0) : 0.0)) {
            result.cancelled = true;
            return -1;
        }
        const std::ptrdiff_t got = read(buffer, capacity);
        done += got > 0 ? double(got) : 0;
        return got;
    };
    result.applied = ApplyToReadings(source, store, std::string_view(), out, nullptr);
    const int savedErrno = errno;
    errno = 0;
    const bool closed = std::fclose(out) == 0;
    const int closeErrno = errno;
    if (result.cancelled || result.applied.outcome != TAppliedReadings::Done) {
        if (result.applied.outcome == TAppliedReadings::WriteFailed) {
            result.writeFailure = Text(SystemErrorText(savedErrno != 0 ? savedErrno : EIO));
        }
        file.cancelWriting();
        return result;
    }
    if (!closed) {
        result.writeFailure = Text(SystemErrorText(closeErrno != 0 ? closeErrno : EIO));
        file.cancelWriting();
        return result;
    }
    errno = 0;
    if (!file.commit()) {
        result.writeFailure = WriteFailureReason(errno, file);
        file.cancelWriting();
    }
    return result;
}

}  // namespace

void TFormMain::onWriteReport() {
    RunTableCommand([this](TCommandDialogs& ui) {
        const auto kind = static_cast<TFunctionKind>(functionKindBox->currentIndex() + 1);
        std::optional<TFreshFit> fit;
        try {
            fit = FitForFiles(*dataModel, kind, true, ui);
        } catch (const EWorkCancelled&) {
            return;
        }
        if (!fit) {
            return;
        }
        // Y at the window's X, as quorvel-fit --at gives it (a row saying so where Y is beyond the range);
        // no row for an X that is not a number.
        std::optional<TEvaluation> at;
        const TEvaluation evaluation = EvaluateAt(xEdit->text().toStdString(), fit->store);
        if (evaluation.state == TEvaluation::Evaluated || evaluation.state == TEvaluation::BeyondRange) {
            at = evaluation;
        }
        const std::optional<QString> path = ChooseReportFile(this, dataFile_);
        if (!path) {
            return;
        }
        ui.SetBusy(true);
        std::unique_ptr<TProgress> progress = ui.StartProgress(
            QString::fromUtf8(Tr(kReportProgressText)).arg(QFileInfo(*path).fileName()), TOnClose::Stop);
        TReportInput input{dataFile_.toStdString(), &fit->result, &fit->store, at ? &*at : nullptr};
        QString failure;
        // With the table's uncertainty columns, the report carries the calibration's figures: the method,
        // the model check, the kinds compared, Y at X with the window's u(X) and X at the window's Y.
        std::optional<TCalibrationSummary> summary;
        try {
            if (dataModel->UncertaintyColumns()) {
                TCalibrationRequest request;
                if (evaluation.state == TEvaluation::Evaluated) {
                    request.atX = evaluation.x;
                    request.atU = TypedUncertainty(xUncertaintyEdit->text());
                }
                if (const std::optional<double> y = TypedNumber(inverseYEdit->text())) {
                    request.inverseY = *y;
                    request.inverseU = TypedUncertainty(inverseUEdit->text());
                }
                // The kinds' fits take the first half of the progress, the report's pages the rest.
                const bool large = fit->result.measured.size() > kItemsPerStep;
                summary = Summarize(
                    fit->result, fit->given ? &*fit->given : nullptr, request, kWindowWork,
                    !large ? TWorkSteps() : [&progress](double done) {
                        if (!progress->Step(0.5 * done)) {
                            throw EWorkCancelled();
                        }
                    });
                input.calibration = &*summary;
                input.source = fit->given ? TUncertaintySource::Columns : TUncertaintySource::Scatter;
            }
            const double from = summary && fit->result.measured.size() > kItemsPerStep ? 0.5 : 0;
            WriteCalibrationReport(path->toStdString(), input, [&progress, from](double done) {
                return progress->Step(from + (1 - from) * done);
            });
        } catch (const Exception& e) {
            failure = Text(e.Message());
        } catch (const EWorkCancelled&) {
            // Cancelled while the kinds were fitted: nothing is written.
        }
        progress.reset();
        ui.SetBusy(false);
        if (!failure.isEmpty()) {
            ui.ShowError(failure, QString::fromUtf8(Tr(kWriteCaption)));
        }
    });
}

void TFormMain::onApplyToReadings() {
    RunTableCommand([this](TCommandDialogs& ui) {
        const auto kind = static_cast<TFunctionKind>(functionKindBox->currentIndex() + 1);
        std::optional<TFreshFit> fit;
        try {
            fit = FitForFiles(*dataModel, kind, false, ui);
        } catch (const EWorkCancelled&) {
            return;
        }
        if (!fit) {
            return;
        }
        // The readings, read as quorvel-fit reads them, a read at a time; an open failure asks as the
        // table's read does. Only a regular file is opened, without waiting: a pipe would hold the window
        // until something wrote to it, and a device may never end.
        QString readingsPath;
        int readings = -1;
        while (readings < 0) {
            const std::optional<QString> chosen = ui.ChooseFileToRead();
            if (!chosen) {
                return;
            }
            readingsPath = *chosen;
            readings = OpenRegularFile(QFile::encodeName(readingsPath).toStdString());
            if (readings < 0 &&
                ui.AskAfterOpenFailure(QString::fromUtf8(Tr(kReadCaption))) != TOpenFailureAnswer::Retry) {
                return;
            }
        }
        const TDescriptorCloser closer(readings);
        const std::optional<QString> target = ui.ChooseFileToWrite();
        if (!target) {
            return;
        }
        ui.SetBusy(true);
        std::unique_ptr<TProgress> progress = ui.StartProgress(
            QString::fromUtf8(Tr(kApplyProgressText)).arg(QFileInfo(readingsPath).fileName()),
            TOnClose::Stop);
        const TStreamedReadings streamed = StreamReadings(readings, *target, fit->store, *progress);
        progress.reset();
        ui.SetBusy(false);
        const TAppliedReadings& applied = streamed.applied;
        if (streamed.cancelled) {
            return;
        }
        if (!streamed.writeFailure.isEmpty()) {
            ui.ShowError(QString::fromUtf8(Tr(kWriteFailureText)) + QStringLiteral("\n") +
                             QDir::toNativeSeparators(*target) + QStringLiteral(": ") + streamed.writeFailure,
                         QString::fromUtf8(Tr(kWriteCaption)));
            return;
        }
        if (applied.outcome == TAppliedReadings::ReadFailed) {
            ui.ShowError(QString::fromUtf8(Tr(kReadFailureText)), QString::fromUtf8(Tr(kReadCaption)));
            return;
        }
        if (applied.outcome == TAppliedReadings::LineTooLong) {
            ui.ShowError(QString::fromUtf8(Tr(kLineTooLongBoxText)), QString::fromUtf8(Tr(kReadCaption)));
            return;
        }

        // What was converted: a line with a word gave a Y or was refused; an empty line is neither.
        QString summary = QString::fromUtf8(Tr("Пересчитано показаний: %1.\nОтклонено строк: %2."))
                              .arg(applied.converted)
                              .arg(applied.refused);
        if (applied.refused > 0) {
            // A NUL would end the text in the box and hide why the reading was refused.
            QString text = Text(applied.firstRefusedText);
            text.replace(QChar(0), QStringLiteral("<NUL>"));
            summary += QString::fromUtf8(Tr("\nПервая отклонённая строка %1: «%2»."))
                           .arg(applied.firstRefusedLine)
                           .arg(text);
        }
        ui.Inform(summary);
    });
}

}  // namespace quorvel
