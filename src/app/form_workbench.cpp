// The calibration workbench of the window: the columns u(Y) and u(X), the fit with them and its model
// check, Y at X with the u(X) given, the inverse evaluation and the chart's 95 % band.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <optional>
#include <string>

#include "app/form_compare_kinds.h"
#include "app/form_main.h"
#include "app/form_uncertainty_rules.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "app/uncertainty_fill.h"
#include "app/window_work.h"
#include "app/work_progress.h"
#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "fitting/calibration_fit.h"
#include "fitting/calibration_summary.h"
#include "fitting/messages.h"
#include "fitting/point_extraction.h"
#include "fitting/presentation.h"
#include "fitting/result_texts.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

std::optional<double> TypedNumber(const QString& text) {
    if (text.isEmpty() || text == "-" || text == "+") {
        return std::nullopt;
    }
    try {
        return ParseUserNumber(text.toStdString());
    } catch (const Exception&) {
        return std::nullopt;
    }
}

double TypedUncertainty(const QString& text) {
    const std::optional<double> u = TypedNumber(text);
    return u && *u >= 0 ? *u : 0;
}

std::string CalibrationValueTip(const TCalibration& calibration, double x, const QString& uxText) {
    try {
        const TCalibrationValue y = calibration.Evaluate(x, TypedUncertainty(uxText));
        return ExpandedUncertaintyTip("Y", y.u, y.expanded);
    } catch (const EMathError&) {
        return ExpandedUncertaintyTip("Y", std::nullopt, std::nullopt);
    }
}

void TFormMain::onUncertaintiesToggled() {
    // The table's state is the one writer of the mark.
    const bool shown = !dataModel->UncertaintyColumns();
    dataModel->SetUncertaintyColumns(shown);
    uncertaintiesMenuItem->setChecked(shown);
    WriteColumnHeaders();
    for (QAction* item : {fillUncertaintiesMenuItem, compareKindsMenuItem, bandMenuItem}) {
        item->setVisible(shown);
    }
    ApplyUncertaintyLayout(shown);
    recompute();
}

void TFormMain::ShowCalibration(const TRecomputeResult* result, const TUncertaintyColumns* given) {
    calibration_ = result != nullptr ? result->calibration : nullptr;
    if (!dataModel->UncertaintyColumns()) {
        modelCheckLabel->clear();
        return;
    }
    if (result == nullptr || result->tooFew || result->solveFailed) {
        modelCheckLabel->clear();
        return;
    }
    if (!calibration_ || given == nullptr) {
        modelCheckLabel->setText(
            QString::fromUtf8(Tr("u(Y) не заданы: обычный метод наименьших квадратов, неопределённости — по "
                                 "разбросу точек.")));
        return;
    }
    const TPointTable& points = result->measured;
    const auto [low, high] = std::minmax_element(
        points.begin(), points.end(), [](const TDataPoint& a, const TDataPoint& b) { return a.X < b.X; });
    dataLow_ = low->X;
    dataHigh_ = high->X;
    TCalibrationFigures figures = calibration_->Figures();
    if (!figures.gamma) {
        figures.gamma = calibration_->Gamma(points, *given);
    }
    modelCheckLabel->setText(QString::fromStdString(ModelCheckText(figures)));
}

void TFormMain::ShowBand(const TRecomputeResult* result) {
    const bool wanted = bandMenuItem->isChecked() && dataModel->UncertaintyColumns() && result != nullptr &&
                        result->reached >= rsCurve;
    FeedBand(chart->Chart(), wanted ? BandWidthOf(calibration_, uncertainty_) : TBandWidth());
}

void TFormMain::onBandToggled() {
    // The band follows the fit on show, whose curve the chart holds.
    const bool fit = shown_ == TShownResults::Fit;
    FeedBand(chart->Chart(),
             bandMenuItem->isChecked() && fit ? BandWidthOf(calibration_, uncertainty_) : TBandWidth());
}

void TFormMain::showAtXTip() {
    if (!calibration_ || yAtXPanel->text().isEmpty()) {
        return;
    }
    const TEvaluation at = EvaluateAt(xEdit->text().toStdString(), coefficients_, tsBeingTyped);
    if (at.state == TEvaluation::Evaluated) {
        yAtXPanel->setToolTip(
            QString::fromStdString(CalibrationValueTip(*calibration_, at.x, xUncertaintyEdit->text())));
    }
}

void TFormMain::evaluateInverse() {
    const std::optional<double> y = TypedNumber(inverseYEdit->text());
    if (!calibration_ || !y || shown_ != TShownResults::Fit) {
        inverseXPanel->setText(QString());
        inverseXPanel->setToolTip(QString());
        return;
    }
    const std::optional<TCalibrationValue> x =
        calibration_->Inverse(*y, TypedUncertainty(inverseUEdit->text()), dataLow_, dataHigh_);
    if (!x) {
        inverseXPanel->setText(QString::fromUtf8(Tr("нет единственного X")));
        inverseXPanel->setToolTip(QString());
        return;
    }
    inverseXPanel->setText(
        QString::fromStdString(FormatFittedValue(x->value) + "; U = " + FormatFittedValue(x->expanded)));
    inverseXPanel->setToolTip(QString::fromStdString(ExpandedUncertaintyTip("X", x->u, x->expanded)));
}

void TFormMain::onFillUncertainties() {
    const std::optional<TUncertaintyRulesChoice> rules = TFormUncertaintyRules::Ask(this);
    if (!rules) {
        return;
    }
    const struct {
        const std::optional<TUncertaintyRule>& rule;
        int target;
        int value;
    } columns[] = {{rules->uy, kUYColumn, 0}, {rules->ux, kUXColumn, 1}};
    for (const auto& column : columns) {
        if (!column.rule) {
            continue;
        }
        const TFillResult filled =
            FillUncertaintyColumn(*dataModel, column.target, column.value, *column.rule, rules->onlyEmpty);
        if (!filled.Ok()) {
            ShowOwnedMessage(FillFaultText(filled), Tr(kUncertaintyFaultCaption));
            break;
        }
    }
    recompute();
}

void TFormMain::onCompareKinds() {
    if (workGate_.Busy()) {
        return;
    }
    // The kinds of the table as it is, fitted afresh: a cell that is no number or an uncertainty that
    // is wrong stops it with the recompute's box. A large table's fits (three in both variables) go on in
    // steps with the progress, which may cancel them.
    std::optional<TKindChoice> choice;
    std::optional<EUncertaintyCell> fault;
    {
        TWorkProgress progress(this, &workGate_, QString::fromUtf8(Tr("Сравнение видов функции…")),
                               TOnClose::Finish);
        const bool large = static_cast<std::size_t>(dataModel->RowCount()) > kItemsPerStep;
        const TWorkSteps steps = !large ? TWorkSteps() : [&progress](double done) {
            if (!progress.Step(done)) {
                throw EWorkCancelled();
            }
        };
        try {
            const TTablePoints read = ExtractTablePoints(*dataModel, dataModel->UncertaintyColumns(),
                                                         PartOfSteps(steps, 0, 0.1), kWindowWork);
            choice = CompareKinds(read.points, read.given ? &*read.given : nullptr, kWindowWork,
                                  PartOfSteps(steps, 0.1, 1));
        } catch (const EWorkCancelled&) {
            return;
        } catch (const EUncertaintyCell& e) {
            fault = e;
        }
    }
    if (fault) {
        ShowOwnedMessage(fault->Message(),
                         Tr(fault->Fault().kind == TUncertaintyFault::NotANumber ? kInvalidNumberCaption
                                                                                 : kUncertaintyFaultCaption));
        return;
    }
    const auto current = static_cast<TFunctionKind>(functionKindBox->currentIndex() + 1);
    if (const std::optional<TFunctionKind> chosen = TFormCompareKinds::Ask(this, *choice, current)) {
        SelectKind(static_cast<int>(*chosen) - 1);
    }
}

}  // namespace quorvel
