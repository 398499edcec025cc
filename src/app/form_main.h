#pragma once
// The main window: the data table, the fit's coefficients, statistics and formula, the function kind,
// the evaluation at X and the chart. Every control carries its stored layout name as objectName; the
// members are named for what they show, the handlers for what they do.
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

struct TEvaluation;
struct TRecomputeResult;
struct TUncertaintyColumns;
class TCalibration;

class TChartWidget;
class TCommandDialogs;
class TGridModel;
class TPanel;
class TStringGrid;

// Where the window opens: at its stored position where the whole window lies inside the screen's
// available area, else centred in that area (at its top left corner where even that is too small, so
// that the menu and the table stay in reach).
QPoint WindowPositionInside(QPoint stored, QSize size, const QRect& available);

// The number of a typed field, for an evaluation: nothing for an empty text, the beginning of a number
// or no number. A typed uncertainty: 0 where none is given (or none that is >= 0).
std::optional<double> TypedNumber(const QString& text);
double TypedUncertainty(const QString& text);

// The tooltip of Y at x by the fit with given uncertainties: u(Y) and U with the u(X) of the text (0 when
// it is empty or no number u(X) >= 0).
std::string CalibrationValueTip(const TCalibration& calibration, double x, const QString& uxText);

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(QWidget* parent = nullptr);
    ~TFormMain() override;

    // The window system destroyed the window (not a close the window could refuse): nothing is left
    // to show the table in, so the program ends once a running command has stopped or, a save, ended.
    void WindowGone();

public slots:
    void initialiseContents();
    // The recompute and the evaluation at X.
    void recompute();
    void evaluateAtX();
    // An edit of the table is over (the table is left, or Enter goes nowhere): the results follow it.
    void onEditEnded();
    void onShowPointToggled();
    void onLinearChosen();
    void onQuadraticChosen();
    void onCubicChosen();
    // Editing rules of the table.
    void onCellTextEdited(int col, int row, const QString& value);
    void onGridKeyPress(QObject* sender, QChar key);
    void onColumnMoved(int from, int to);
    void onHelpTextClick();
    void onHelpTextKeyDown(int& key);
    // Commands.
    void onReadFile();
    void onWriteFile();
    // A CSV table through the import dialog.
    void onImportTable();
    // A file dropped onto the window: a .csv through the import, anything else as a read.
    void onFileDropped(const QString& path);
    // The calibration report and the readings converted by the current fit.
    void onWriteReport();
    void onApplyToReadings();
    void onCopyTable();
    void onPasteTable();
    void onCopyFormula();
    void onCopyChart();
    void onPrintChart();
    void onClearTable();
    void onExit();
    void onChartClick();
    void onChartSeriesClick();
    // The calibration workbench: the columns u(Y) and u(X), their fill by rules, the kinds compared, the
    // chart's 95 % band and the inverse evaluation.
    void onUncertaintiesToggled();
    void onFillUncertainties();
    void onCompareKinds();
    void onBandToggled();
    void evaluateInverse();
    // The tooltip of Y at X anew for the u(X) typed: no box of the X field again.
    void showAtXTip();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildLayout();
    void BuildMenus();
    void WireEvents();
    void SelectKind(int itemIndex);
    // What the panels, the formula, the statistics, Y at X and the chart show.
    enum class TShownResults {
        Design,       // the layout's own texts: nothing computed yet
        TooFew,       // "Мало данных"
        Fit,          // the fit of the table they were computed from
        FailedSolve,  // no fit of that table: the store's earlier coefficients
    };
    // How the recompute hands the focus back: to the table, or left where the user moved it.
    enum class TFocusAfter { Table, Stay };
    void RecomputeTable(TFocusAfter focus);
    // The one writer of what the results on show are and of which table revision they were made from.
    void ShowResults(TShownResults shown, std::uint64_t revision);
    // Whether the table has changed since the results on show were made.
    bool TableChangedSinceResults() const;
    // The one writer of everything that follows from the results on show: results that do not belong to
    // the table (it changed since, or its solve failed) are greyed; copy, print, the report and the
    // readings are offered only for a fit that is the table's (and, as the layout has them, before any
    // recompute); the chart takes zoom and clicks only while its results are the table's.
    void ApplyResultsState();
    // With the uncertainty columns shown, `given` is what they give (nothing: the ordinary fit).
    TRecomputeResult RecomputeWithProgress(TFunctionKind kind, std::optional<TWorkProgress>& progress,
                                           std::optional<TUncertaintyColumns>& given);
    // The recompute's texts (a failed solve's box first), the results' state and the tooltips.
    void ShowResultTexts(const TRecomputeResult& result, TFunctionKind kind, std::uint64_t revision,
                         std::optional<TWorkProgress>& progress);
    // Ends it, and then closes the window if a close came meanwhile (outside a table command).
    void EndRecomputeProgress(std::optional<TWorkProgress>& progress);
    // The coefficient panels' tooltips from the recompute's uncertainties (none: no fit, no tooltips).
    void ShowUncertainties(const std::optional<TFitUncertainty>& uncertainty);
    // Y at X and the evaluated point (both gone for none).
    void ShowEvaluation(const TEvaluation* evaluation);
    void WriteColumnHeaders();
    // Places the controls for the table with or without the columns u(Y) and u(X): wider and taller with
    // them, and still inside the screen's available area.
    void ApplyUncertaintyLayout(bool shown);
    // The one writer of the calibration on show (the fit with the table's uncertainties, for the
    // evaluations) and of its model check; none for a recompute without one.
    void ShowCalibration(const TRecomputeResult* result, const TUncertaintyColumns* given);
    // The chart's band of the fit on show, when asked for.
    void ShowBand(const TRecomputeResult* result);
    // Runs a table command with the window's dialogs, unless one is already working.
    void RunTableCommand(const std::function<void(TCommandDialogs&)>& command);

    TFitCoefficients coefficients_;
    // What the results on show are, of which revision of the table (ShowResults writes both), and the
    // state last applied to the controls (ApplyResultsState).
    TShownResults shown_ = TShownResults::Design;
    std::uint64_t resultsRevision_ = 0;
    // Whether the recompute of the results on show reached its end; one that stopped on the way (a curve
    // beyond the number range) gives no Y at X.
    bool resultsWhole_ = true;
    // The revision of results that belong to no table (a cancelled recompute left them).
    static constexpr std::uint64_t kNoRevision = ~std::uint64_t{0};
    // The revision the last recompute read, whether or not it could.
    std::uint64_t lastReadRevision_ = 0;
    struct TAppliedState {
        bool belongs = true;
        bool fit = false;
        bool offered = true;
        bool operator==(const TAppliedState&) const = default;
    };
    std::optional<TAppliedState> applied_;
    // The data file the table was read from, while the table is as read; empty otherwise.
    QString dataFile_;
    // The standard uncertainties of the last recompute's fit, for the tooltips; none without a fit.
    std::optional<TFitUncertainty> uncertainty_;
    // The fit with the table's uncertainties and the range of its X, for the evaluations; none without.
    std::shared_ptr<const TCalibration> calibration_;
    double dataLow_ = 0;
    double dataHigh_ = 0;
    // The controls' places without the uncertainty columns, and how they change with them.
    struct TPlaced {
        QWidget* widget;
        QRect base;
        enum { Right, Wider, Taller } change;
    };
    std::vector<TPlaced> placed_;
    // The controls shown with the uncertainty columns only.
    std::vector<QWidget*> uncertaintyControls_;
    // Long work of a command lets events run between its steps: while it does, no other command, no
    // recompute and no close may act on the table half way through.
    TWorkGate workGate_;
    bool closeWhenIdle_ = false;
    bool inTableCommand_ = false;  // a table command runs; it closes the window at its end if asked
    // The text the number check has just shown its box for: the recompute that follows, finding that
    // cell unreadable, shows no second box for it.
    std::optional<std::string> checkedBadText_;

    // Controls, in the layout's stacking order.
    QPlainTextEdit* helpText = nullptr;
    TChartWidget* chart = nullptr;
    QGroupBox* resultGroup = nullptr;
    QLabel* resultTitle = nullptr;
    TPanel* formulaLine = nullptr;
    QPushButton* copyFormulaButton = nullptr;
    QLineEdit* xEdit = nullptr;
    QLabel* atXLabel = nullptr;
    QLabel* yLabel = nullptr;
    TPanel* yAtXPanel = nullptr;
    QCheckBox* showPointCheckBox = nullptr;
    QGroupBox* dataGroup = nullptr;
    QLabel* dataTitle = nullptr;
    TGridModel* dataModel = nullptr;
    TStringGrid* dataGrid = nullptr;
    QGroupBox* coefficientsGroup = nullptr;
    QLabel* rmsDeviationCaption = nullptr;
    QLabel* rmsDeviationValue = nullptr;
    QLabel* maxErrorValue = nullptr;
    QLabel* maxErrorCaption = nullptr;
    std::array<TPanel*, 4> coefficientPanels{};
    QPushButton* printChartButton = nullptr;
    QComboBox* functionKindBox = nullptr;
    QLabel* functionKindLabel = nullptr;
    QPushButton* copyChartButton = nullptr;
    // Shown with the uncertainty columns only.
    QLabel* xUncertaintyLabel = nullptr;
    QLineEdit* xUncertaintyEdit = nullptr;
    QLabel* inverseYLabel = nullptr;
    QLineEdit* inverseYEdit = nullptr;
    QLabel* inverseULabel = nullptr;
    QLineEdit* inverseUEdit = nullptr;
    QLabel* inverseXLabel = nullptr;
    TPanel* inverseXPanel = nullptr;
    QLabel* modelCheckLabel = nullptr;

    // Menus.
    QAction* readMenuItem = nullptr;
    QAction* importMenuItem = nullptr;
    QAction* writeMenuItem = nullptr;
    QAction* reportMenuItem = nullptr;
    QAction* applyMenuItem = nullptr;
    QAction* exitMenuItem = nullptr;
    QAction* clearTableMenuItem = nullptr;
    QAction* copyTableMenuItem = nullptr;
    QAction* pasteTableMenuItem = nullptr;
    QAction* uncertaintiesMenuItem = nullptr;
    QAction* fillUncertaintiesMenuItem = nullptr;
    QAction* compareKindsMenuItem = nullptr;
    QMenu* tableContextMenu = nullptr;
    QAction* clearTablePopupItem = nullptr;
    QAction* copyTablePopupItem = nullptr;
    QAction* pasteTablePopupItem = nullptr;
    QMenu* chartContextMenu = nullptr;
    QAction* linearMenuItem = nullptr;
    QAction* quadraticMenuItem = nullptr;
    QAction* cubicMenuItem = nullptr;
    QAction* printChartMenuItem = nullptr;
    QAction* copyChartMenuItem = nullptr;
    QAction* bandMenuItem = nullptr;

    std::unique_ptr<QAbstractNativeEventFilter> goneWatch_;
    std::unique_ptr<QObject> pressWatch_;
};

}  // namespace quorvel
