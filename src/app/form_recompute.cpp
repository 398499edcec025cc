// The recompute and the evaluation at X: the window applies what the pure recompute describes.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QLineEdit>
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
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "fitting/result_texts.h"
#include "runtime/exceptions.h"
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
    if (workGate_.Busy()) {
        return;  // a table half way through a command is not fitted; the command recomputes at its end
    }
    const auto kind = static_cast<TFunctionKind>(functionKindBox->currentIndex() + 1);
    const std::optional<std::string> checked = std::exchange(checkedBadText_, std::nullopt);
    TRecomputeResult result;
    // A large table's recompute, the chart's feed and its first rendering go on in one progress.
    std::optional<TWorkProgress> progress;
    try {
        // A bad cell throws here, before anything on the window has changed.
        result = RecomputeWithProgress(kind, progress);
    } catch (const Exception&) {
        const TCellPlace bad = UnreadableCell(*dataModel);
        if (bad.row == 0) {
            throw;
        }
        // The results shown belong to the table before this text: they stay, marked as not the table's.
        MarkResultsCurrent(false);
        const std::string text(dataModel->CellText(bad.col, bad.row));
        if (checked != text) {
            // The typing check's own box, in the window's language; one box for one bad text.
            ShowOwnedMessage(InvalidNumberText(text), kInvalidNumberCaption);
        }
        return;
    }
    MarkResultsCurrent(true);

    if (result.tooFew) {
        for (size_t i = 0; i < coefficientPanels.size(); ++i) {
            coefficientPanels[i]->setText(Text(result.coefficientTexts[i]));
        }
        formulaLine->setText(Text(result.resultText));
        copyFormulaButton->setEnabled(false);
        copyChartButton->setEnabled(false);
        printChartButton->setEnabled(false);
        reportMenuItem->setEnabled(false);
        applyMenuItem->setEnabled(false);
    } else {
        linearMenuItem->setChecked(kind == fkLinear);
        quadraticMenuItem->setChecked(kind == fkQuadratic);
        cubicMenuItem->setChecked(kind == fkCubic);
        if (result.solveFailed) {
            EndRecomputeProgress(progress);
            ShowOwnedMessage(kSolveFailedText, kSolveFailedCaption);
        }
        for (size_t i = 0; i < coefficientPanels.size(); ++i) {
            coefficientPanels[i]->setText(Text(result.coefficientTexts[i]));
        }
        formulaLine->setText(Text(result.resultText));
        copyFormulaButton->setEnabled(true);
        copyChartButton->setEnabled(true);
        printChartButton->setEnabled(true);
        reportMenuItem->setEnabled(true);
        applyMenuItem->setEnabled(true);
    }
    coefficientPanels[2]->setVisible(kind >= fkQuadratic);
    coefficientPanels[3]->setVisible(kind == fkCubic);
    ShowUncertainties(result.uncertainty);

    if (result.reached >= rsStatistics) {
        SetLabelCaption(rmsDeviationValue, result.sigmaText);
        SetLabelCaption(maxErrorValue, result.maxErrText);
    }
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
    // The chart holds the points now: the result's own copies give their room back before the chart's
    // first drawing takes some (a million points hold 24 MB there).
    result.measured = TPointTable();
    result.colors = std::vector<TColor>();
    result.measuredByX = std::vector<int>();
    result.curve = std::vector<TFeedPoint>();
    const QString text = QString::fromUtf8(kRecomputeProgressText);
    // The recompute's dialog goes on showing for the drawing.
    const bool renderNow = large && !result.error;
    if (renderNow) {
        progress->Finishing(text);
    } else {
        EndRecomputeProgress(progress);
    }
    if (result.error) {
        // A fault after the solve: the window keeps what the steps before it wrote, then the box.
        std::rethrow_exception(result.error);
    }

    // Entering the table from elsewhere recomputes once more, nested here.
    dataGrid->SetFocus();
    evaluateAtX();
    if (renderNow) {
        TWorkProgress rendering(this, &workGate_, text, TOnClose::Finish);
        rendering.ForbidCancel(text);
        chart->RenderInSteps([&rendering](double part) {
            rendering.Step(kRecomputeShare + kFeedShare + kRenderShare * part);
        });
    }
    EndRecomputeProgress(progress);
}

TRecomputeResult TFormMain::RecomputeWithProgress(TFunctionKind kind,
                                                  std::optional<TWorkProgress>& progress) {
    // A large table's recompute shows its progress as a read does, and the window's events run
    // meanwhile; the user's input waits, and a close of the window waits for the end. The progress ends
    // before any box of the recompute shows.
    try {
        const QString text = QString::fromUtf8(kRecomputeProgressText);
        progress.emplace(this, &workGate_, text, TOnClose::Finish);
        progress->ForbidCancel(text);
        return Recompute(
            *dataModel, kind, coefficients_, true, true,
            [&progress](double done) { progress->Step(kRecomputeShare * done); }, kWindowWork);
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

void TFormMain::MarkResultsCurrent(bool current) {
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
        if (current) {
            widget->setGraphicsEffect(nullptr);
        } else if (widget->graphicsEffect() == nullptr) {
            auto* grey = new QGraphicsColorizeEffect(widget);
            grey->setColor(Qt::gray);
            widget->setGraphicsEffect(grey);
        }
        widget->setProperty("stale", !current);
    }
    // No zoom, copy or print of a chart that is not the table's; the recompute enables the buttons.
    chart->setEnabled(current);
    printChartMenuItem->setEnabled(current);
    copyChartMenuItem->setEnabled(current);
    if (!current) {
        copyFormulaButton->setEnabled(false);
        copyChartButton->setEnabled(false);
        printChartButton->setEnabled(false);
        reportMenuItem->setEnabled(false);
        applyMenuItem->setEnabled(false);
    }
}

void TFormMain::ShowUncertainties(const std::optional<TFitUncertainty>& uncertainty) {
    uncertainty_ = uncertainty;
    for (int j = 0; j < static_cast<int>(coefficientPanels.size()); ++j) {
        QString tip;
        if (uncertainty && j < uncertainty->Parameters()) {
            const char name[] = {'a', static_cast<char>('0' + j), '\0'};
            tip = Text(UncertaintyTip(
                name, uncertainty->HasScatter() ? uncertainty->StandardUncertainty(j) : std::nullopt));
        }
        coefficientPanels[static_cast<std::size_t>(j)]->setToolTip(tip);
    }
    if (!uncertainty) {
        yAtXPanel->setToolTip(QString());
    }
}

void TFormMain::evaluateAtX() {
    // Evaluated at every keystroke: the beginnings of a number are taken.
    const TEvaluation evaluation = EvaluateAt(xEdit->text().toStdString(), coefficients_, tsBeingTyped);
    switch (evaluation.state) {
        case TEvaluation::Skipped:
            return;
        case TEvaluation::Invalid:
            // The evaluation stops here: the shown Y and the evaluated point stay as they were.
            ShowOwnedMessage(evaluation.message, kInvalidNumberCaption);
            return;
        case TEvaluation::BeyondRange:
            // No Y of another X stays beside this one: the field and the point go, then the box.
            yAtXPanel->setText(QString());
            yAtXPanel->setToolTip(QString());
            FeedEvaluatedPoint(chart->Chart(), nullptr);
            std::rethrow_exception(evaluation.error);
        case TEvaluation::Evaluated:
            break;
    }
    yAtXPanel->setText(Text(evaluation.yText));
    yAtXPanel->setToolTip(
        !uncertainty_
            ? QString()
            : Text(UncertaintyTip("Y", uncertainty_->HasScatter() ? uncertainty_->UncertaintyAt(evaluation.x)
                                                                  : std::nullopt)));
    FeedEvaluatedPoint(chart->Chart(), showPointCheckBox->isChecked() ? &evaluation : nullptr);
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
