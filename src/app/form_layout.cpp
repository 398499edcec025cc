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

#include "app/chart_feed.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "chart/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/ui_font.h"
#include "fitting/messages.h"

namespace quorvel {

namespace {

constexpr int kClientWidth = 503;
constexpr int kClientHeight = 428;

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

QLabel* StaticText(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
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

const QStringList& HelpLines() {
    static const QStringList lines = {
        "Введите в таблицу ",
        "экспериментальные ",
        "данные и выберите вид",
        "функции.",
        "Под таблицей появятся ",
        "коэффициенты выбранной",
        "функции, вычисленные",
        "по методу наименьших",
        "квадратов",
        "и соответствующие ",
        "введенным данным.",
    };
    return lines;
}

}  // namespace

void TFormMain::BuildLayout() {
    setObjectName("FormMain");
    setWindowTitle("Аппроксимация экспериментальных данных");
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ClassicUiFont());

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    Memo1 = Place(new QPlainTextEdit(client), "Memo1", 240, 176, 185, 169);
    Memo1->setPlainText(HelpLines().join('\n'));
    Memo1->setReadOnly(true);
    // A click or a key only hands the focus to the table: no selection, no drag of the text, no menu,
    // so no gesture of the help text runs on under a box that the table's recompute shows.
    Memo1->setTextInteractionFlags(Qt::NoTextInteraction);
    Memo1->setContextMenuPolicy(Qt::NoContextMenu);
    Memo1->setFocusPolicy(Qt::ClickFocus);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    {
        QPalette palette = Memo1->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Button));
        Memo1->setPalette(palette);
    }

    // The chart keeps its own place, size and visibility (hidden at start).
    auto* chart = new TChartWidget(CreateFormChart(), client);
    chart->setObjectName("Chart1");
    Chart1 = chart;

    GroupBox1 = GroupBox(client, "GroupBox1", 8, 360, 489, 65);
    StaticText2 = StaticText(GroupBox1, "StaticText2", kResultLabel, 12, 8, 152, 19);
    PanelResult =
        Place(new TPanel("Y=", TPanel::bvRaised, Qt::AlignHCenter, GroupBox1), "PanelResult", 8, 32, 393, 25);
    btnCopy = Button(GroupBox1, "btnCopy", "Копировать", 406, 32, 75, 25);
    MaskEditX = Place(new QLineEdit("0", GroupBox1), "MaskEditX", 240, 8, 89, 21);
    StaticText4 = StaticText(GroupBox1, "StaticText4", kAtXLabel, 200, 8, 44, 19);
    StaticText5 = StaticText(GroupBox1, "StaticText5", kYLabel, 336, 8, 19, 19);
    PanelY = Place(new TPanel("", TPanel::bvLowered, Qt::AlignLeft, GroupBox1), "PanelY", 360, 8, 96, 17);
    PanelY->setAutoFillBackground(true);
    PanelY->setBackgroundRole(QPalette::Base);
    CheckBox1 = Place(new QCheckBox(GroupBox1), "CheckBox1", 464, 8, 17, 17);
    CheckBox1->setChecked(false);

    GroupBox2 = GroupBox(client, "GroupBox2", 8, 0, 193, 361);
    StaticText1 = StaticText(GroupBox2, "StaticText1", "Экспериментальные данные", 16, 8, 163, 19);
    sgDataModel = new TGridModel(20, this);
    sgDataModel->setObjectName("sgDataModel");
    sgData = Place(new TStringGrid(sgDataModel, GroupBox2), "sgData", 8, 24, 177, 329);
    sgData->setColumnWidth(0, 73);
    sgData->setColumnWidth(1, 81);
    sgData->setContextMenuPolicy(Qt::CustomContextMenu);

    GroupBox3 = GroupBox(client, "GroupBox3", 208, 0, 185, 145);
    Label1 = Label(GroupBox3, "Label1", kSigmaLabel, 8, 128, 114, 13);
    lblSigma = Label(GroupBox3, "lblSigma", "0", 136, 128, 6, 13);
    lblMaxErr = Label(GroupBox3, "lblMaxErr", "0", 136, 112, 6, 13);
    Label3 = Label(GroupBox3, "Label3", kMaxErrorLabel, 8, 112, 118, 13);
    static constexpr const char* kPanelNames[4] = {"PanelA0", "PanelA1", "PanelA2", "PanelA3"};
    static constexpr const char* kPanelCaptions[4] = {"a0=", "a1=", "a2=", "a3="};
    for (int i = 0; i < 4; ++i) {
        PanelA[static_cast<size_t>(i)] =
            Place(new TPanel(kPanelCaptions[i], TPanel::bvLowered, Qt::AlignLeft, GroupBox3), kPanelNames[i],
                  18, 16 + 24 * i, 150, 17);
    }

    btnPrint = Button(client, "btnPrint", "Печатать график", 400, 92, 97, 25);
    ComboBox1 = Place(new QComboBox(client), "ComboBox1", 400, 32, 97, 21);
    ComboBox1->addItems({kKindCaptions[0], kKindCaptions[1], kKindCaptions[2]});
    ComboBox1->setEditable(false);
    StaticText3 = StaticText(client, "StaticText3", kKindLabel, 400, 10, 81, 19);
    btnGraphCopy = Button(client, "btnGraphCopy", "Копировать", 400, 120, 97, 25);

    // Keyboard order; controls without a tab stop (panels, labels, the help text, the chart) are left out.
    QWidget::setTabOrder(sgData, btnCopy);
    QWidget::setTabOrder(btnCopy, MaskEditX);
    QWidget::setTabOrder(MaskEditX, CheckBox1);
    QWidget::setTabOrder(CheckBox1, btnPrint);
    QWidget::setTabOrder(btnPrint, ComboBox1);
    QWidget::setTabOrder(ComboBox1, btnGraphCopy);

    chartFeed_ = std::make_unique<TChartFeed>(Chart1->Chart());

    BuildMenus();

    // Not resizable: the client area stays 503 x 428 under the menu bar.
    adjustSize();
    setFixedSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    // The stored position suits a 100 % screen; at 200 % a laptop's screen is smaller than it.
    const QSize frame = frameGeometry().size().expandedTo(size());
    move(WindowPositionInside(QPoint(204, 124), frame, screen()->availableGeometry()));
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

    QMenu* fileMenu = bar->addMenu("Файл");
    fileMenu->setObjectName("N1");
    itmRead = Item(this, "itmRead", "Чтение");
    itmRead->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    itmWrite = Item(this, "itmWrite", "Запись");
    itmWrite->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    itmExit = Item(this, "itmExit", "Выход");
    // The calibration's own commands; like the print button, they need a fit.
    itmReport = Item(this, "itmReport", "Протокол калибровки…");
    itmReport->setEnabled(false);
    itmApply = Item(this, "itmApply", "Пересчитать показания…");
    itmApply->setEnabled(false);
    fileMenu->addAction(itmRead);
    fileMenu->addAction(itmWrite);
    fileMenu->addAction(itmReport);
    fileMenu->addAction(itmApply);
    fileMenu->addSeparator()->setObjectName("N8");
    fileMenu->addAction(itmExit);

    QMenu* editMenu = bar->addMenu("Правка");
    editMenu->setObjectName("N4");
    itmClearMain = Item(this, "itmClearMain", "Очистить таблицу");
    itmTablCopyMain = Item(this, "itmTablCopyMain", "Копировать таблицу");
    itmTablCopyMain->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    itmTablPasteMain = Item(this, "itmTablPasteMain", "Вставить таблицу");
    itmTablPasteMain->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    editMenu->addAction(itmClearMain);
    editMenu->addAction(itmTablCopyMain);
    editMenu->addAction(itmTablPasteMain);

    PopupMenuTabl = new QMenu(this);
    PopupMenuTabl->setObjectName("PopupMenuTabl");
    itmClear = Item(PopupMenuTabl, "itmClear", "Очистить таблицу");
    itmTablCopy = Item(PopupMenuTabl, "itmTablCopy", "Копировать таблицу");
    itmTablPaste = Item(PopupMenuTabl, "itmTablPaste", "Вставить таблицу");
    // The main menu owns Ctrl+C and Ctrl+V for the whole window; here they are shown and act only while
    // the menu itself is open, so the two never compete.
    itmTablCopy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    itmTablCopy->setShortcutContext(Qt::WidgetShortcut);
    itmTablPaste->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    itmTablPaste->setShortcutContext(Qt::WidgetShortcut);
    PopupMenuTabl->addAction(itmClear);
    PopupMenuTabl->addAction(itmTablCopy);
    PopupMenuTabl->addAction(itmTablPaste);

    PopupMenuGraph = new QMenu(this);
    PopupMenuGraph->setObjectName("PopupMenuGraph");
    itmLine = Item(PopupMenuGraph, "itmLine", "Линейная аппроксимация");
    itmDouble = Item(PopupMenuGraph, "itmDouble", "Квадратичная аппроксимация");
    itmCubic = Item(PopupMenuGraph, "itmCubic", "Кубическая аппроксимация");
    for (QAction* a : {itmLine, itmDouble, itmCubic}) {
        a->setCheckable(true);
    }
    itmGraphPrint = Item(PopupMenuGraph, "itmGraphPrint", "Печатать график");
    itmGraphCopy = Item(PopupMenuGraph, "itmGraphCopy", "Копировать график");
    PopupMenuGraph->addAction(itmLine);
    PopupMenuGraph->addAction(itmDouble);
    PopupMenuGraph->addAction(itmCubic);
    PopupMenuGraph->addSeparator()->setObjectName("sepN1");
    PopupMenuGraph->addAction(itmGraphPrint);
    PopupMenuGraph->addAction(itmGraphCopy);
}

}  // namespace quorvel
