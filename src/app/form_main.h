#pragma once
// The main window: the data table, the result panels, the function kind, the evaluation at X and the
// chart. Every control carries its layout name as objectName; the handlers carry the event names.
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/work_progress.h"
#include "fitting/fit_types.h"
#include "fitting/fit_uncertainty.h"

class QAbstractNativeEventFilter;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace quorvel {

struct TRecomputeResult;

class TChartFeed;
class TChartWidget;
class TCommandDialogs;
class TGridModel;
class TPanel;
class TStringGrid;

// Where the window opens: at its stored position where the whole window lies inside the screen's
// available area, else centred in that area (at its top left corner where even that is too small, so
// that the menu and the table stay in reach).
QPoint WindowPositionInside(QPoint stored, QSize size, const QRect& available);

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    const TChartFeed& ChartFeed() const { return *chartFeed_; }
    // The window system destroyed the window (not a close the window could refuse): nothing is left
    // to show the table in, so the program ends once a running command has stopped or, a save, ended.
    void WindowGone();

public slots:
    void FormCreate();
    // The recompute and the evaluation at X.
    void sgDataClick();
    void MaskEditXChange();
    void CheckBox1Click();
    void itmLineClick();
    void itmDoubleClick();
    void itmCubicClick();
    // Editing rules of the table.
    void sgDataSetEditText(int ACol, int ARow, const QString& Value);
    void sgDataKeyPress(QObject* Sender, QChar Key);
    void sgDataColumnMoved(int FromIndex, int ToIndex);
    void Memo1Click();
    void Memo1KeyDown(int& Key);
    // Commands.
    void itmReadClick();
    void itmWriteClick();
    // The calibration report and the readings converted by the current fit.
    void itmReportClick();
    void itmApplyClick();
    void itmTablCopyClick();
    void itmTablPasteClick();
    void btnCopyClick();
    void btnGraphCopyClick();
    void btnPrintClick();
    void itmClearClick();
    void itmExitClick();
    void Chart1Click();
    void Chart1ClickSeries();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void WireEvents();
    void SelectKind(int itemIndex);
    // Results left from an earlier table (a cell of the table cannot be read) are greyed, and what
    // would copy or print them is disabled, until a recompute succeeds again.
    void MarkResultsCurrent(bool current);
    TRecomputeResult RecomputeWithProgress(TFunctionKind kind);
    // The coefficient panels' tooltips from the recompute's uncertainties (none: no fit, no tooltips).
    void ShowUncertainties(const std::optional<TFitUncertainty>& uncertainty);
    void WriteColumnHeaders();
    // Runs a table command with the window's dialogs, unless one is already working.
    void RunTableCommand(const std::function<void(TCommandDialogs&)>& command);

    TFitCoefficients coefficients_;
    // The data file the table was read from, while the table is as read; empty otherwise.
    QString dataFile_;
    // The standard uncertainties of the last recompute's fit, for the tooltips; none without a fit.
    std::optional<TFitUncertainty> uncertainty_;
    // Long work of a command lets events run between its steps: while it does, no other command, no
    // recompute and no close may act on the table half way through.
    TWorkGate workGate_;
    bool closeWhenIdle_ = false;
    bool inTableCommand_ = false;  // a table command runs; it closes the window at its end if asked
    // The text the number check has just shown its box for: the recompute that follows, finding that
    // cell unreadable, shows no second box for it.
    std::optional<std::string> checkedBadText_;

    // Controls, in the layout's stacking order.
    QPlainTextEdit* Memo1 = nullptr;
    TChartWidget* Chart1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* StaticText2 = nullptr;
    TPanel* PanelResult = nullptr;
    QPushButton* btnCopy = nullptr;
    QLineEdit* MaskEditX = nullptr;
    QLabel* StaticText4 = nullptr;
    QLabel* StaticText5 = nullptr;
    TPanel* PanelY = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* StaticText1 = nullptr;
    TGridModel* sgDataModel = nullptr;
    TStringGrid* sgData = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblSigma = nullptr;
    QLabel* lblMaxErr = nullptr;
    QLabel* Label3 = nullptr;
    std::array<TPanel*, 4> PanelA{};
    QPushButton* btnPrint = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* StaticText3 = nullptr;
    QPushButton* btnGraphCopy = nullptr;

    // Menus.
    QAction* itmRead = nullptr;
    QAction* itmWrite = nullptr;
    QAction* itmReport = nullptr;
    QAction* itmApply = nullptr;
    QAction* itmExit = nullptr;
    QAction* itmClearMain = nullptr;
    QAction* itmTablCopyMain = nullptr;
    QAction* itmTablPasteMain = nullptr;
    QMenu* PopupMenuTabl = nullptr;
    QAction* itmClear = nullptr;
    QAction* itmTablCopy = nullptr;
    QAction* itmTablPaste = nullptr;
    QMenu* PopupMenuGraph = nullptr;
    QAction* itmLine = nullptr;
    QAction* itmDouble = nullptr;
    QAction* itmCubic = nullptr;
    QAction* itmGraphPrint = nullptr;
    QAction* itmGraphCopy = nullptr;

    std::unique_ptr<TChartFeed> chartFeed_;
    std::unique_ptr<QAbstractNativeEventFilter> goneWatch_;
};

}  // namespace quorvel
