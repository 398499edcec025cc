// The recompute and the evaluation at X: the window applies what the pure recompute describes.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <exception>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "chart/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/message_boxes.h"
#include "fitting/messages.h"
#include "fitting/presentation.h"

namespace quorvel {

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// Labels size themselves to their caption, keeping their place.
void SetLabelCaption(QLabel* label, const std::string& caption) {
    label->setText(Text(caption));
    label->resize(label->sizeHint().width(), label->height());
}

}  // namespace

void TFormMain::sgDataClick() {
    if (workGate_.Busy()) {
        return;  // a table half way through a command is not fitted; the command recomputes at its end
    }
    const auto kind = static_cast<TFunctionKind>(ComboBox1->currentIndex() + 1);
    // A bad cell throws here, before anything on the window has changed.
    const TRecomputeResult result = Recompute(*sgDataModel, kind, coefficients_);

    if (result.tooFew) {
        for (size_t i = 0; i < PanelA.size(); ++i) {
            PanelA[i]->setText(Text(result.panelCaptions[i]));
        }
        PanelResult->setText(Text(result.resultCaption));
        btnCopy->setEnabled(false);
        btnGraphCopy->setEnabled(false);
        btnPrint->setEnabled(false);
    } else {
        itmLine->setChecked(kind == fkLinear);
        itmDouble->setChecked(kind == fkQuadratic);
        itmCubic->setChecked(kind == fkCubic);
        if (result.solveFailed) {
            ShowOwnedMessage(kSolveFailedText, kSolveFailedCaption);
        }
        for (size_t i = 0; i < PanelA.size(); ++i) {
            PanelA[i]->setText(Text(result.panelCaptions[i]));
        }
        PanelResult->setText(Text(result.resultCaption));
        btnCopy->setEnabled(true);
        btnGraphCopy->setEnabled(true);
        btnPrint->setEnabled(true);
    }
    PanelA[2]->setVisible(kind >= fkQuadratic);
    PanelA[3]->setVisible(kind == fkCubic);

    if (result.reached >= rsStatistics) {
        SetLabelCaption(lblSigma, result.sigmaText);
        SetLabelCaption(lblMaxErr, result.maxErrText);
    }
    FeedFormChart(Chart1->Chart(), result, nullptr);
    if (result.error) {
        // A fault after the solve: the window keeps what the steps before it wrote, then the box.
        std::rethrow_exception(result.error);
    }

    // Entering the table from elsewhere recomputes once more, nested here.
    sgData->SetFocus();
    MaskEditXChange();
}

void TFormMain::MaskEditXChange() {
    // Evaluated at every keystroke: the beginnings of a number are taken.
    const TEvaluation evaluation = EvaluateAt(MaskEditX->text().toStdString(), coefficients_, tsBeingTyped);
    switch (evaluation.state) {
        case TEvaluation::Skipped:
            return;
        case TEvaluation::Invalid:
            // The evaluation stops here: the shown Y and the evaluated point stay as they were.
            ShowOwnedMessage(evaluation.message, kInvalidNumberCaption);
            return;
        case TEvaluation::Evaluated:
            break;
    }
    PanelY->setText(Text(evaluation.yText));
    FeedEvaluatedPoint(Chart1->Chart(), CheckBox1->isChecked() ? &evaluation : nullptr);
}

void TFormMain::CheckBox1Click() {
    if (CheckBox1->isChecked()) {
        MaskEditXChange();
    } else {
        FeedEvaluatedPoint(Chart1->Chart(), nullptr);
    }
    sgData->SetFocus();
}

void TFormMain::itmLineClick() {
    SelectKind(0);
}

void TFormMain::itmDoubleClick() {
    SelectKind(1);
}

void TFormMain::itmCubicClick() {
    SelectKind(2);
}

}  // namespace quorvel
