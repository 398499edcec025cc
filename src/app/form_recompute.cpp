// The recompute and the evaluation at X: the window applies what the recompute describes, and keeps
// what the results on show are and which table they belong to.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "app/table_commands.h"
#include "app/window_work.h"
#include "app/work_progress.h"
#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "fitting/calibration_fit.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "fitting/result_texts.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

// The parts of a large table's progress: the recompute, the chart's feed and its first rendering.
constexpr double kRecomputeShare = 0.7;
constexpr double kFeedShare = 0.1;
constexpr double kRenderShare = 1 - kRecomputeShare - kFeedShare;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Labels size themselves to their caption, keeping their place.
void SetLabelCaption(QLabel* label, const std::string& caption) {
    label->setText(Text(caption));
    label->resize(label->sizeHint().width(), label->height());
}

}  // namespace

void TFormMain::recompute() {
    RecomputeTable(TFocusAfter::Table);
}

void TFormMain::onEditEnded() {
    // The help text and the check box hand the focus straight back to the table, which recomputes as it
    // is entered: no recompute of their own before that.
    const QWidget* focus = QApplication::focusWidget();
    if (focus == helpText || focus == showPointCheckBox) {
        return;
    }
    // Once for each table: one that could not be read is not read again (nor its box shown again) each
    // time the user leaves it.
    if (dataModel->Revision() != lastReadRevision_) {
        RecomputeTable(TFocusAfter::Stay);
    }
}

void TFormMain::RecomputeTable(TFocusAfter focus) {
    if (workGate_.Busy()) {
        return;  // a table half way through a command is not fitted; the command recomputes at its end
    }
    const auto kind = static_cast<TFunctionKind>(functionKindBox->currentIndex() + 1);
    const std::optional<std::string> checked = std::exchange(checkedBadText_, std::nullopt);
    // The table as the recompute reads it: nothing writes it while the recompute runs.
    const std::uint64_t revision = dataModel->Revision();
    lastReadRevision_ = revision;
    TRecomputeResult result;
    std::optional<TUncertaintyColumns> given;
    // A large table's recompute, the chart's feed and its first rendering go on in one progress.
    std::optional<TWorkProgress> progress;
    try {
        // A bad cell throws here, before anything on the window has changed.
        result = RecomputeWithProgress(kind, progress, given);
    } catch (const EWorkCancelled&) {
        ShowResults(shown_, kNoRevision);
        return;
    } catch (const EUncertaintyCell& e) {
        // The results shown belong to the table before this cell: they stay, marked as not the table's.
        ApplyResultsState();
        const TUncertaintyFault& fault = e.Fault();
        if (fault.kind == TUncertaintyFault::NotANumber) {
            if (checked != fault.text) {
                ShowOwnedMessage(InvalidNumberText(fault.text), Tr(kInvalidNumberCaption));
            }
        } else {
            ShowOwnedMessage(UncertaintyFaultText(fault), Tr(kUncertaintyFaultCaption));
        }
        return;
    } catch (const Exception&) {
        const TCellPlace bad = UnreadableCell(*dataModel);
        if (bad.row == 0) {
            throw;
        }
        // The results shown belong to the table before this text: they stay, marked as not the table's.
        ApplyResultsState();
        const std::string text(dataModel->CellText(bad.col, bad.row));
        if (checked != text) {
            // The typing check's own box, in the window's language; one box for one bad text.
            ShowOwnedMessage(InvalidNumberText(text), Tr(kInvalidNumberCaption));
        }
        return;
    }

    // Before the texts, whose tooltips give its uncertainties; it needs the points, which the chart
    // takes over below.
    ShowCalibration(&result, given ? &*given : nullptr);
    ShowResultTexts(result, kind, revision, progress);
    // Millions of points take a second to hand to the chart and another to draw: both go on in the
    // progress, the chart painting nothing meanwhile, and the paint after it copies the picture.
    const bool large = progress && result.measuredByX.size() > kItemsPerStep;
    struct PaintsHeld {
        TChartWidget* chart;
        bool held;
        ~PaintsHeld() {
            if (held) {
                chart->HoldPaints(false);
            }
        }
    } held{chart, large};
    if (large) {
        chart->HoldPaints(true);
        FeedFormChart(chart->Chart(), result, nullptr,
                      [&progress](double part) { progress->Step(kRecomputeShare + kFeedShare * part); });
    } else {
        FeedFormChart(chart->Chart(), result, nullptr);
    }
    ShowBand(&result);
    // The chart holds the points now: their room goes back before its first drawing takes some.
    ReleaseChartData(result);
    const QString text = QString::fromUtf8(Tr(kRecomputeProgressText));
    // The recompute's dialog goes on showing for the drawing.
    const bool renderNow = large && !result.error;
    if (renderNow) {
        progress->Finishing(text);
    } else {
        EndRecomputeProgress(progress);
    }
    if (result.error) {
        // A fault after the solve: the window keeps what the steps before it wrote, with no Y of the
        // fit before beside it, then the box.
        ShowEvaluation(nullptr);
        std::rethrow_exception(result.error);
    }

    if (focus == TFocusAfter::Table) {
        // Entering the table from elsewhere recomputes once more, nested here.
        dataGrid->SetFocus();
    }
    evaluateAtX();
    evaluateInverse();
    if (renderNow) {
        TWorkProgress rendering(this, &workGate_, text, TOnClose::Finish);
        rendering.ForbidCancel(text);
        chart->RenderInSteps([&rendering](double part) {
            rendering.Step(kRecomputeShare + kFeedShare + kRenderShare * part);
        });
    }
    EndRecomputeProgress(progress);
}

void TFormMain::ShowResultTexts(const TRecomputeResult& result, TFunctionKind kind, std::uint64_t revision,
                                std::optional<TWorkProgress>& progress) {
    if (!result.tooFew) {
        linearMenuItem->setChecked(kind == fkLinear);
        quadraticMenuItem->setChecked(kind == fkQuadratic);
        cubicMenuItem->setChecked(kind == fkCubic);
        if (result.solveFailed) {
            EndRecomputeProgress(progress);
            ShowOwnedMessage(Tr(kSolveFailedText), Tr(kSolveFailedCaption));
        }
    }
    for (size_t i = 0; i < coefficientPanels.size(); ++i) {
        coefficientPanels[i]->setText(Text(result.coefficientTexts[i]));
    }
    formulaLine->setText(Text(result.resultText));
    resultsWhole_ = result.reached >= rsCurve && !result.error;
    ShowResults(result.tooFew        ? TShownResults::TooFew
                : result.solveFailed ? TShownResults::FailedSolve
                                     : TShownResults::Fit,
                revision);
    coefficientPanels[2]->setVisible(kind >= fkQuadratic);
    coefficientPanels[3]->setVisible(kind == fkCubic);
    ShowUncertainties(result.uncertainty);

    // Statistics the recompute did not reach would be those of another fit: they are left empty.
    const bool statistics = result.reached >= rsStatistics;
    SetLabelCaption(rmsDeviationValue, statistics ? result.sigmaText : std::string());
    SetLabelCaption(maxErrorValue, statistics ? result.maxErrText : std::string());
}

TRecomputeResult TFormMain::RecomputeWithProgress(TFunctionKind kind, std::optional<TWorkProgress>& progress,
                                                  std::optional<TUncertaintyColumns>& given) {
    // A large table's recompute shows its progress as a read does, and the window's events run
    // meanwhile; the user's input waits, and a close of the window waits for the end. The progress ends
    // before any box of the recompute shows.
    try {
        const QString text = QString::fromUtf8(Tr(kRecomputeProgressText));
        progress.emplace(this, &workGate_, text, TOnClose::Finish);
        if (!dataModel->UncertaintyColumns()) {
            progress->ForbidCancel(text);
            const TWorkSteps steps = [&progress](double done) { progress->Step(kRecomputeShare * done); };
            return Recompute(*dataModel, kind, coefficients_, true, true, steps, kWindowWork);
        }
        // The fit with given uncertainties of a large table (in both variables an iteration of many
        // passes) may be cancelled: the results before it stay, marked as not the table's.
        // A small table's recompute is over before a step would matter: it tells none, so that the
        // window's events never run in the middle of it.
        const bool large = static_cast<std::size_t>(dataModel->RowCount()) > kItemsPerStep;
        const TWorkSteps steps = !large ? TWorkSteps() : [&progress](double done) {
            if (!progress->Step(kRecomputeShare * done)) {
                throw EWorkCancelled();
            }
        };
        // The reading's share as the recompute of the table counts it.
        constexpr double kReadShare = 0.6;
        TTablePoints read =
            ExtractTablePoints(*dataModel, true, PartOfSteps(steps, 0, kReadShare), kWindowWork);
        given = std::move(read.given);
        return RecomputePoints(std::move(read.points), kind, coefficients_, true, true, kWindowWork,
                               given ? &*given : nullptr, steps);
    } catch (...) {
        EndRecomputeProgress(progress);
        throw;
    }
}

void TFormMain::EndRecomputeProgress(std::optional<TWorkProgress>& progress) {
    if (!progress) {
        return;
    }
    progress.reset();
    if (closeWhenIdle_ && !inTableCommand_) {
        closeWhenIdle_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TFormMain::ShowResults(TShownResults shown, std::uint64_t revision) {
    shown_ = shown;
    resultsRevision_ = revision;
    ApplyResultsState();
}

bool TFormMain::TableChangedSinceResults() const {
    return resultsRevision_ != dataModel->Revision();
}

void TFormMain::ApplyResultsState() {
    TAppliedState state;
    // The layout's own texts belong to no table, so nothing can be stale about them.
    state.belongs = shown_ == TShownResults::Design ||
                    (!TableChangedSinceResults() && shown_ != TShownResults::FailedSolve);
    state.fit = state.belongs && shown_ == TShownResults::Fit;
    // Copy and print stand enabled in the layout, before any recompute, as the form has them.
    state.offered = state.fit || shown_ == TShownResults::Design;
    if (applied_ == state) {
        return;  // called at every change of the table: only a change of state touches the controls
    }
    applied_ = state;
    QWidget* const results[] = {coefficientPanels[0],
                                coefficientPanels[1],
                                coefficientPanels[2],
                                coefficientPanels[3],
                                formulaLine,
                                maxErrorValue,
                                rmsDeviationValue,
                                yAtXPanel,
                                chart};
    for (QWidget* widget : results) {
        if (state.belongs) {
            widget->setGraphicsEffect(nullptr);
        } else if (widget->graphicsEffect() == nullptr) {
            auto* grey = new QGraphicsColorizeEffect(widget);
            grey->setColor(Qt::gray);
            widget->setGraphicsEffect(grey);
        }
        widget->setProperty("stale", !state.belongs);
    }
    // No zoom, copy or print of a chart that is not the table's.
    chart->setEnabled(state.belongs);
    for (QWidget* button : {static_cast<QWidget*>(copyFormulaButton), static_cast<QWidget*>(copyChartButton),
                            static_cast<QWidget*>(printChartButton)}) {
        button->setEnabled(state.offered);
    }
    printChartMenuItem->setEnabled(state.offered);
    copyChartMenuItem->setEnabled(state.offered);
    // The report and the readings are made of the table's fit: only while that is what is shown.
    reportMenuItem->setEnabled(state.fit);
    applyMenuItem->setEnabled(state.fit);
}

void TFormMain::ShowUncertainties(const std::optional<TFitUncertainty>& uncertainty) {
    uncertainty_ = uncertainty;
    for (int j = 0; j < static_cast<int>(coefficientPanels.size()); ++j) {
        QString tip;
        const char name[] = {'a', static_cast<char>('0' + j), '\0'};
        if (calibration_ && j <= calibration_->Figures().degree) {
            // Given uncertainties: u and U = k·u of the fit with them.
            const TCalibrationFigures& f = calibration_->Figures();
            tip = Text(ExpandedUncertaintyTip(name, f.u[static_cast<std::size_t>(j)],
                                              f.expanded[static_cast<std::size_t>(j)]));
        } else if (uncertainty && j < uncertainty->Parameters()) {
            tip = Text(UncertaintyTip(
                name, uncertainty->HasScatter() ? uncertainty->StandardUncertainty(j) : std::nullopt));
        }
        coefficientPanels[static_cast<std::size_t>(j)]->setToolTip(tip);
    }
    if (!uncertainty && !calibration_) {
        yAtXPanel->setToolTip(QString());
    }
}

void TFormMain::evaluateAtX() {
    // Y at X is a value of the fit on show only: none with "Мало данных" or after a failed solve.
    if (shown_ == TShownResults::TooFew || shown_ == TShownResults::FailedSolve ||
        (shown_ == TShownResults::Fit && !resultsWhole_)) {
        ShowEvaluation(nullptr);
        return;
    }
    // Evaluated at every keystroke: the beginnings of a number are taken.
    const TEvaluation evaluation = EvaluateAt(xEdit->text().toStdString(), coefficients_, tsBeingTyped);
    switch (evaluation.state) {
        case TEvaluation::Skipped:
            return;
        case TEvaluation::Invalid:
            // The evaluation stops here: the shown Y and the evaluated point stay as they were.
            ShowOwnedMessage(evaluation.message, Tr(kInvalidNumberCaption));
            return;
        case TEvaluation::BeyondRange:
            // No Y of another X stays beside this one: the field and the point go, then the box.
            ShowEvaluation(nullptr);
            std::rethrow_exception(evaluation.error);
        case TEvaluation::Evaluated:
            ShowEvaluation(&evaluation);
            return;
    }
}

void TFormMain::ShowEvaluation(const TEvaluation* evaluation) {
    if (evaluation == nullptr) {
        yAtXPanel->setText(QString());
        yAtXPanel->setToolTip(QString());
        FeedEvaluatedPoint(chart->Chart(), nullptr);
        return;
    }
    yAtXPanel->setText(Text(evaluation->yText));
    if (calibration_) {
        yAtXPanel->setToolTip(
            Text(CalibrationValueTip(*calibration_, evaluation->x, xUncertaintyEdit->text())));
    } else {
        yAtXPanel->setToolTip(!uncertainty_
                                  ? QString()
                                  : Text(UncertaintyTip("Y", uncertainty_->HasScatter()
                                                                 ? uncertainty_->UncertaintyAt(evaluation->x)
                                                                 : std::nullopt)));
    }
    FeedEvaluatedPoint(chart->Chart(), showPointCheckBox->isChecked() ? evaluation : nullptr);
}

void TFormMain::onShowPointToggled() {
    if (showPointCheckBox->isChecked()) {
        evaluateAtX();
    } else {
        FeedEvaluatedPoint(chart->Chart(), nullptr);
    }
    dataGrid->SetFocus();
}

void TFormMain::onLinearChosen() {
    SelectKind(0);
}

void TFormMain::onQuadraticChosen() {
    SelectKind(1);
}

void TFormMain::onCubicChosen() {
    SelectKind(2);
}

}  // namespace quorvel
