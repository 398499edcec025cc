// The window's stored layout: every control with its place, size, texts and settings, in 96-dpi
// logical pixels, created in stacking order within each parent.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/import_command.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/ui_font.h"
#include "fitting/messages.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

constexpr int kClientWidth = 503;
constexpr int kClientHeight = 428;
// With the columns u(Y) and u(X): their width, and the rows of the inverse evaluation and the model check.
constexpr int kUncertaintyColumnWidth = 64;
constexpr int kUncertaintyWidth = 2 * kUncertaintyColumnWidth;
constexpr int kUncertaintyHeight = 58;

QFont TimesFont() {
    QFont font;
    font.setFamilies({"Times New Roman", "Liberation Serif"});
    font.setPixelSize(13);
    font.setStyleHint(QFont::Serif);
    return font;
}

template <class W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* SerifLabel(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
                   int height) {
    auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
    label->setFont(TimesFont());
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height) {
    auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QGroupBox* GroupBox(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* box = Place(new QGroupBox(parent), name, left, top, width, height);
    box->setFlat(false);
    return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
                    int height) {
    auto* button = Place(new QPushButton(text, parent), name, left, top, width, height);
    button->setAutoDefault(false);
    return button;
}

QAction* Item(QObject* parent, const char* name, const QString& caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    return action;
}

QStringList HelpLines() {
    const QStringList lines = {
        Tr("Введите в таблицу "),
        Tr("экспериментальные "),
        Tr("данные и выберите вид"),
        Tr("функции."),
        Tr("Под таблицей появятся "),
        Tr("коэффициенты выбранной"),
        Tr("функции, вычисленные"),
        Tr("по методу наименьших"),
        Tr("квадратов"),
        Tr("и соответствующие "),
        Tr("введенным данным."),
    };
    return lines;
}

}  // namespace

void TFormMain::BuildLayout() {
    setObjectName("FormMain");
    setWindowTitle(Tr("Аппроксимация экспериментальных данных"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ClassicUiFont());

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    helpText = Place(new QPlainTextEdit(client), "Memo1", 240, 176, 185, 169);
    helpText->setPlainText(HelpLines().join('\n'));
    helpText->setReadOnly(true);
    // A click or a key only hands the focus to the table: no selection, no drag of the text, no menu,
    // so no gesture of the help text runs on under a box that the table's recompute shows.
    helpText->setTextInteractionFlags(Qt::NoTextInteraction);
    helpText->setContextMenuPolicy(Qt::NoContextMenu);
    helpText->setFocusPolicy(Qt::ClickFocus);
    helpText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    helpText->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    {
        QPalette palette = helpText->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        helpText->setPalette(palette);
    }

    // The chart keeps its own place, size and visibility (hidden at start).
    chart = new TChartWidget(CreateFormChart(), client);
    chart->setObjectName("Chart1");

    resultGroup = GroupBox(client, "GroupBox1", 8, 360, 489, 65);
    resultTitle = SerifLabel(resultGroup, "StaticText2", Tr(kResultLabel), 12, 8, 152, 19);
    formulaLine = Place(new TPanel("Y=", TPanel::bvRaised, Qt::AlignHCenter, resultGroup), "PanelResult", 8,
                        32, 393, 25);
    copyFormulaButton = Button(resultGroup, "btnCopy", Tr("Копировать"), 406, 32, 75, 25);
    xEdit = Place(new QLineEdit("0", resultGroup), "MaskEditX", 240, 8, 89, 21);
    atXLabel = SerifLabel(resultGroup, "StaticText4", Tr(kAtXLabel), 200, 8, 44, 19);
    yLabel = SerifLabel(resultGroup, "StaticText5", Tr(kYLabel), 336, 8, 19, 19);
    yAtXPanel =
        Place(new TPanel("", TPanel::bvLowered, Qt::AlignLeft, resultGroup), "PanelY", 360, 8, 96, 17);
    yAtXPanel->setAutoFillBackground(true);
    yAtXPanel->setBackgroundRole(QPalette::Base);
    showPointCheckBox = Place(new QCheckBox(resultGroup), "CheckBox1", 464, 8, 17, 17);
    showPointCheckBox->setChecked(false);

    dataGroup = GroupBox(client, "GroupBox2", 8, 0, 193, 361);
    dataTitle = SerifLabel(dataGroup, "StaticText1", Tr("Экспериментальные данные"), 16, 8, 163, 19);
    dataModel = new TGridModel(20, this);
    dataModel->setObjectName("sgDataModel");
    dataGrid = Place(new TStringGrid(dataModel, dataGroup), "sgData", 8, 24, 177, 329);
    dataGrid->setColumnWidth(0, 73);
    dataGrid->setColumnWidth(1, 81);
    dataGrid->setContextMenuPolicy(Qt::CustomContextMenu);

    coefficientsGroup = GroupBox(client, "GroupBox3", 208, 0, 185, 145);
    rmsDeviationCaption = Label(coefficientsGroup, "Label1", Tr(kSigmaLabel), 8, 128, 114, 13);
    rmsDeviationValue = Label(coefficientsGroup, "lblSigma", "0", 136, 128, 6, 13);
    maxErrorValue = Label(coefficientsGroup, "lblMaxErr", "0", 136, 112, 6, 13);
    maxErrorCaption = Label(coefficientsGroup, "Label3", Tr(kMaxErrorLabel), 8, 112, 118, 13);
    static constexpr const char* kPanelNames[4] = {"PanelA0", "PanelA1", "PanelA2", "PanelA3"};
    static constexpr const char* kPanelCaptions[4] = {"a0=", "a1=", "a2=", "a3="};
    for (int i = 0; i < 4; ++i) {
        coefficientPanels[static_cast<size_t>(i)] =
            Place(new TPanel(kPanelCaptions[i], TPanel::bvLowered, Qt::AlignLeft, coefficientsGroup),
                  kPanelNames[i], 18, 16 + 24 * i, 150, 17);
    }

    printChartButton = Button(client, "btnPrint", Tr("Печатать график"), 400, 92, 97, 25);
    functionKindBox = Place(new QComboBox(client), "ComboBox1", 400, 32, 97, 21);
    functionKindBox->addItems({Tr(kKindCaptions[0]), Tr(kKindCaptions[1]), Tr(kKindCaptions[2])});
    functionKindBox->setEditable(false);
    functionKindLabel = SerifLabel(client, "StaticText3", Tr(kKindLabel), 400, 10, 81, 19);
    copyChartButton = Button(client, "btnGraphCopy", Tr("Копировать"), 400, 120, 97, 25);

    // The calibration with given uncertainties: u(X) beside X, the inverse evaluation and the model check
    // in rows of their own, all hidden with the columns.
    xUncertaintyLabel = SerifLabel(resultGroup, "StaticTextXUncertainty", "u(X)=", 336, 8, 36, 19);
    xUncertaintyEdit = Place(new QLineEdit(resultGroup), "MaskEditXUncertainty", 372, 8, 80, 21);
    inverseYLabel = SerifLabel(resultGroup, "StaticTextInverseY", Tr("X для Y="), 12, 62, 62, 19);
    inverseYEdit = Place(new QLineEdit(resultGroup), "MaskEditInverseY", 76, 62, 89, 21);
    inverseULabel = SerifLabel(resultGroup, "StaticTextInverseU", "u(Y)=", 172, 62, 36, 19);
    inverseUEdit = Place(new QLineEdit(resultGroup), "MaskEditInverseU", 208, 62, 80, 21);
    inverseXLabel = SerifLabel(resultGroup, "StaticTextInverseX", Tr(kXLabel), 296, 62, 24, 19);
    inverseXPanel = Place(new TPanel("", TPanel::bvLowered, Qt::AlignLeft, resultGroup), "PanelInverseX", 322,
                          64, 287, 17);
    inverseXPanel->setAutoFillBackground(true);
    inverseXPanel->setBackgroundRole(QPalette::Base);
    modelCheckLabel = Label(resultGroup, "lblModelCheck", QString(), 12, 88, 597, 28);
    modelCheckLabel->setWordWrap(true);
    uncertaintyControls_ = {xUncertaintyLabel, xUncertaintyEdit, inverseYLabel, inverseYEdit,   inverseULabel,
                            inverseUEdit,      inverseXLabel,    inverseXPanel, modelCheckLabel};
    for (QWidget* widget : uncertaintyControls_) {
        widget->hide();
    }
    // How the layout's controls move when the columns show: right of the table they move right by the
    // columns' width, the table, its group and the results' row widen, the results' group grows down.
    for (QWidget* widget : {static_cast<QWidget*>(helpText), static_cast<QWidget*>(chart),
                            static_cast<QWidget*>(coefficientsGroup), static_cast<QWidget*>(printChartButton),
                            static_cast<QWidget*>(functionKindBox), static_cast<QWidget*>(functionKindLabel),
                            static_cast<QWidget*>(copyChartButton), static_cast<QWidget*>(copyFormulaButton),
                            static_cast<QWidget*>(yLabel), static_cast<QWidget*>(yAtXPanel),
                            static_cast<QWidget*>(showPointCheckBox)}) {
        placed_.push_back({widget, widget->geometry(), TPlaced::Right});
    }
    for (QWidget* widget : {static_cast<QWidget*>(dataGroup), static_cast<QWidget*>(dataGrid),
                            static_cast<QWidget*>(formulaLine)}) {
        placed_.push_back({widget, widget->geometry(), TPlaced::Wider});
    }
    placed_.push_back({resultGroup, resultGroup->geometry(), TPlaced::Taller});

    // Keyboard order; controls without a tab stop (panels, labels, the help text, the chart) are left out.
    QWidget::setTabOrder(dataGrid, copyFormulaButton);
    QWidget::setTabOrder(copyFormulaButton, xEdit);
    QWidget::setTabOrder(xEdit, showPointCheckBox);
    QWidget::setTabOrder(showPointCheckBox, printChartButton);
    QWidget::setTabOrder(printChartButton, functionKindBox);
    QWidget::setTabOrder(functionKindBox, copyChartButton);
    QWidget::setTabOrder(xEdit, xUncertaintyEdit);
    QWidget::setTabOrder(xUncertaintyEdit, showPointCheckBox);
    QWidget::setTabOrder(copyChartButton, inverseYEdit);
    QWidget::setTabOrder(inverseYEdit, inverseUEdit);

    BuildMenus();

    // Not resizable: the client area stays 503 x 428 under the menu bar.
    adjustSize();
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    // The stored position suits a 100 % screen; at 200 % a laptop's screen is smaller than it.
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(WindowPositionInside(QPoint(204, 124), frame, screen()->availableGeometry()));
}

void TFormMain::ApplyUncertaintyLayout(bool shown) {
    const int wider = shown ? kUncertaintyWidth : 0;
    const int taller = shown ? kUncertaintyHeight : 0;
    for (const TPlaced& p : placed_) {
        switch (p.change) {
            case TPlaced::Right:
                p.widget->move(p.base.topLeft() + QPoint(wider, 0));
                break;
            case TPlaced::Wider:
                p.widget->resize(p.base.width() + wider, p.base.height());
                break;
            case TPlaced::Taller:
                p.widget->resize(p.base.width() + wider, p.base.height() + taller);
                break;
        }
    }
    dataGrid->setColumnWidth(2, kUncertaintyColumnWidth);
    dataGrid->setColumnWidth(3, kUncertaintyColumnWidth);
    for (QWidget* widget : uncertaintyControls_) {
        widget->setVisible(shown);
    }
    const QSize client(kClientWidth + wider, kClientHeight + taller);
    centralWidget()->setFixedSize(client);
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
    // Grown, the window may reach past the screen's edge: it is moved back inside, as at its start.
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(WindowPositionInside(pos(), frame, screen()->availableGeometry()));
}

QPoint WindowPositionInside(QPoint stored, QSize size, const QRect& available) {
    if (available.contains(QRect(stored, size))) {
        return stored;
    }
    const int left = available.left() + std::max(0, (available.width() - size.width()) / 2);
    const int top = available.top() + std::max(0, (available.height() - size.height()) / 2);
    return {left, top};
}

void TFormMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName("MainMenu1");

    QMenu* fileMenu = bar->addMenu(Tr("Файл"));
    fileMenu->setObjectName("N1");
    readMenuItem = Item(this, "itmRead", Tr("Чтение"));
    readMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    importMenuItem = Item(this, "itmImport", QString::fromUtf8(Tr(kImportMenuText)));
    writeMenuItem = Item(this, "itmWrite", Tr("Запись"));
    writeMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    exitMenuItem = Item(this, "itmExit", Tr("Выход"));
    // The calibration's own commands; like the print button, they need a fit (ApplyResultsState).
    reportMenuItem = Item(this, "itmReport", Tr("Протокол калибровки…"));
    applyMenuItem = Item(this, "itmApply", Tr("Пересчитать показания…"));
    fileMenu->addAction(readMenuItem);
    fileMenu->addAction(importMenuItem);
    fileMenu->addAction(writeMenuItem);
    fileMenu->addAction(reportMenuItem);
    fileMenu->addAction(applyMenuItem);
    fileMenu->addSeparator()->setObjectName("N8");
    fileMenu->addAction(exitMenuItem);

    QMenu* editMenu = bar->addMenu(Tr("Правка"));
    editMenu->setObjectName("N4");
    clearTableMenuItem = Item(this, "itmClearMain", Tr("Очистить таблицу"));
    copyTableMenuItem = Item(this, "itmTablCopyMain", Tr("Копировать таблицу"));
    copyTableMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    pasteTableMenuItem = Item(this, "itmTablPasteMain", Tr("Вставить таблицу"));
    pasteTableMenuItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    editMenu->addAction(clearTableMenuItem);
    editMenu->addAction(copyTableMenuItem);
    editMenu->addAction(pasteTableMenuItem);
    // The calibration with given uncertainties: the columns' command, and beside it (shown with the
    // columns only) their fill by rules and the kinds compared.
    uncertaintiesMenuItem = Item(this, "itmUncertainties", Tr("Неопределённости точек"));
    uncertaintiesMenuItem->setCheckable(true);
    fillUncertaintiesMenuItem = Item(this, "itmFillUncertainties", Tr("Заполнить неопределённости…"));
    compareKindsMenuItem = Item(this, "itmCompareKinds", Tr("Сравнить виды функции…"));
    fillUncertaintiesMenuItem->setVisible(false);
    compareKindsMenuItem->setVisible(false);
    editMenu->addAction(uncertaintiesMenuItem);
    editMenu->addAction(fillUncertaintiesMenuItem);
    editMenu->addAction(compareKindsMenuItem);

    tableContextMenu = new QMenu(this);
    tableContextMenu->setObjectName("PopupMenuTabl");
    clearTablePopupItem = Item(tableContextMenu, "itmClear", Tr("Очистить таблицу"));
    copyTablePopupItem = Item(tableContextMenu, "itmTablCopy", Tr("Копировать таблицу"));
    pasteTablePopupItem = Item(tableContextMenu, "itmTablPaste", Tr("Вставить таблицу"));
    // The main menu owns Ctrl+C and Ctrl+V for the whole window; here they are shown and act only while
    // the menu itself is open, so the two never compete.
    copyTablePopupItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    copyTablePopupItem->setShortcutContext(Qt::WidgetShortcut);
    pasteTablePopupItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    pasteTablePopupItem->setShortcutContext(Qt::WidgetShortcut);
    tableContextMenu->addAction(clearTablePopupItem);
    tableContextMenu->addAction(copyTablePopupItem);
    tableContextMenu->addAction(pasteTablePopupItem);

    chartContextMenu = new QMenu(this);
    chartContextMenu->setObjectName("PopupMenuGraph");
    linearMenuItem = Item(chartContextMenu, "itmLine", Tr("Линейная аппроксимация"));
    quadraticMenuItem = Item(chartContextMenu, "itmDouble", Tr("Квадратичная аппроксимация"));
    cubicMenuItem = Item(chartContextMenu, "itmCubic", Tr("Кубическая аппроксимация"));
    for (QAction* a : {linearMenuItem, quadraticMenuItem, cubicMenuItem}) {
        a->setCheckable(true);
    }
    printChartMenuItem = Item(chartContextMenu, "itmGraphPrint", Tr("Печатать график"));
    copyChartMenuItem = Item(chartContextMenu, "itmGraphCopy", Tr("Копировать график"));
    chartContextMenu->addAction(linearMenuItem);
    chartContextMenu->addAction(quadraticMenuItem);
    chartContextMenu->addAction(cubicMenuItem);
    chartContextMenu->addSeparator()->setObjectName("sepN1");
    chartContextMenu->addAction(printChartMenuItem);
    chartContextMenu->addAction(copyChartMenuItem);
    bandMenuItem = Item(chartContextMenu, "itmBand", Tr("Полоса 95 %"));
    bandMenuItem->setCheckable(true);
    bandMenuItem->setVisible(false);
    chartContextMenu->addAction(bandMenuItem);
}

}  // namespace quorvel
