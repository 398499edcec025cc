#pragma once
// The print preview dialog: printer choice and setup, orientation, the four page margins as numbers or by
// dragging the chart on the drawn sheet, margin lines, default margins, print detail, proportional
// placement, and printing.
#include <QDialog>
#include <optional>
#include <string>

#include "chart/print_settings.h"
#include "chart/render_context.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QFrame;

namespace quorvel {

class TChartPreviewPage;
class TChart;
class TCustomChartPanel;
class TPrinter;

class TChartPreview : public QDialog {
    Q_OBJECT

public:
    // The dialog's client size: its stored outer size of 697 x 427 less a sizeable frame and caption.
    static constexpr int kClientWidth = 689;
    static constexpr int kClientHeight = 400;

    // title: lines the page shows and prints as the chart's title in place of its own.
    TChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings, TPrinter& printer,
                  std::optional<TTitleLines> title = std::nullopt);
    ~TChartPreview() override;

    TChartPreviewPage* Page() const { return page_; }
    const TPageMargins& DefaultMargins() const { return defaultMargins_; }

    QComboBox* Printers = nullptr;
    QPushButton* BSetupPrinter = nullptr;
    QPushButton* BPrint = nullptr;
    QPushButton* BClose = nullptr;
    QGroupBox* Orientation = nullptr;
    QSpinBox* SETopMa = nullptr;
    QSpinBox* SELeftMa = nullptr;
    QSpinBox* SEBotMa = nullptr;
    QSpinBox* SERightMa = nullptr;
    QPushButton* BReset = nullptr;
    QCheckBox* ShowMargins = nullptr;
    QScrollBar* Resolution = nullptr;
    QCheckBox* CBProp = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildLayout();
    void FormShow();
    void FillPrinters();
    void RefreshMargins();
    void SyncOrientation();
    void ApplyMargins(bool disableProportional, const TPageMargins& margins);
    void MarginsChanged();
    void MarginEdited(QSpinBox* edit, int& side, int opposite);
    void OrientationClick();
    void PrintersChange(int index);
    void BSetupPrinterClick();
    void BPrintClick();
    void BResetClick();
    void ShowMarginsClick(bool checked);
    void ResolutionChange(int value);
    void CBPropClick(bool checked);
    int SelectedOrientation() const;

    TCustomChartPanel& chart_;
    TChartPrintSettings& settings_;
    TPrinter& printer_;
    TChartPreviewPage* page_ = nullptr;
    QFrame* panel1_ = nullptr;
    QFrame* panel2_ = nullptr;
    QButtonGroup* orientationItems_ = nullptr;
    TPageMargins defaultMargins_;
    bool initializing_ = true;
    bool updatingControls_ = true;
    bool updatingProportional_ = false;
    bool shown_ = false;
};

// Opens the preview for chart, modal to owner, and releases it when it closes; the chart is repainted
// afterwards, also when an error escapes. owner is repainted at once when given (the chart's widget).
// title: as for TChartPreview.
void ShowChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings,
                      TPrinter& printer, std::optional<TTitleLines> title = std::nullopt);
void ShowChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings);

// The print command of the main window, up to the focus: the preview shows and prints the chart with its
// title's lines and the formula line below them as its title, while the chart's own title stays hidden;
// the title's lines are used up (the stored layout's one empty line goes with the first preview).
void PreviewChartWithTitle(QWidget* owner, TChart& chart, TChartPrintSettings& settings,
                           const std::string& formulaLine);
// The same with the chart's own print settings.
void PreviewChartWithTitle(QWidget* owner, TChart& chart, const std::string& formulaLine);

}  // namespace quorvel
