#include "app/form_main.h"

#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdint>

#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "chart/qt/chart_widget.h"
#include "runtime/number_text.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

// Watches the X server's events for the destruction of the window by another client (xdotool
// windowclose, xkill -id): Qt takes no notice of it and would leave the process running without a
// window. The layout is the protocol's DestroyNotify event.
class TWindowGoneWatch : public QAbstractNativeEventFilter {
public:
    explicit TWindowGoneWatch(TFormMain* form) : form_(form) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        struct TDestroyNotify {
            std::uint8_t responseType;
            std::uint8_t pad;
            std::uint16_t sequence;
            std::uint32_t event;
            std::uint32_t window;
        };
        constexpr std::uint8_t kDestroyNotify = 17;
        if (eventType != "xcb_generic_event_t" || message == nullptr) {
            return false;
        }
        const auto* notify = static_cast<const TDestroyNotify*>(message);
        const WId own = form_->internalWinId();
        if ((notify->responseType & 0x7F) == kDestroyNotify && own != 0 && notify->window == own) {
            form_->WindowGone();
        }
        return false;
    }

private:
    TFormMain* form_;
};

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    BuildLayout();
    WireEvents();
    goneWatch_ = std::make_unique<TWindowGoneWatch>(this);
    QCoreApplication::instance()->installNativeEventFilter(goneWatch_.get());
    if (ApplicationWindow() == nullptr) {
        SetApplicationWindow(this);
    }
    initialiseContents();
    dataGrid->setFocus();
}

TFormMain::~TFormMain() {
    QCoreApplication::instance()->removeNativeEventFilter(goneWatch_.get());
    if (ApplicationWindow() == this) {
        SetApplicationWindow(nullptr);
    }
}

void TFormMain::initialiseContents() {
    WriteColumnHeaders();
    functionKindBox->setCurrentIndex(2);
}

void TFormMain::WireEvents() {
    // Every handler runs behind the guard: what escapes it ends in the standard exception box.
    const auto guardedRecompute = Guarded([this] { recompute(); });
    connect(dataGrid, &TStringGrid::Click, this, guardedRecompute);
    connect(dataGrid, &TStringGrid::DblClick, this, guardedRecompute);
    connect(dataGrid, &TStringGrid::Enter, this, guardedRecompute);
    connect(formulaLine, &TPanel::Click, this, guardedRecompute);
    connect(formulaLine, &TPanel::DblClick, this, guardedRecompute);
    connect(functionKindBox, &QComboBox::activated, this, Guarded([this](int) { recompute(); }));
    connect(dataGrid, &TStringGrid::SetEditText, this,
            Guarded([this](int col, int row, const QString& value) { onCellTextEdited(col, row, value); }));
    connect(dataGrid, &TStringGrid::KeyPress, this,
            Guarded([this](QChar key) { onGridKeyPress(dataGrid, key); }));
    connect(dataGrid, &TStringGrid::ColumnMoved, this,
            Guarded([this](int from, int to) { onColumnMoved(from, to); }));
    connect(xEdit, &QLineEdit::textChanged, this, Guarded([this](const QString&) { evaluateAtX(); }));
    connect(showPointCheckBox, &QCheckBox::clicked, this, Guarded([this](bool) { onShowPointToggled(); }));

    // The kind items carry marks that only the recompute sets; undo the toggle a trigger makes.
    const auto kindItem = [this](QAction* item, void (TFormMain::*handler)()) {
        connect(item, &QAction::triggered, this, Guarded([this, item, handler](bool) {
                    item->setChecked(!item->isChecked());
                    (this->*handler)();
                }));
    };
    kindItem(linearMenuItem, &TFormMain::onLinearChosen);
    kindItem(quadraticMenuItem, &TFormMain::onQuadraticChosen);
    kindItem(cubicMenuItem, &TFormMain::onCubicChosen);

    const auto item = [this](QAction* action, void (TFormMain::*handler)()) {
        connect(action, &QAction::triggered, this, Guarded([this, handler](bool) { (this->*handler)(); }));
    };
    const auto button = [this](QPushButton* b, void (TFormMain::*handler)()) {
        connect(b, &QPushButton::clicked, this, Guarded([this, handler](bool) { (this->*handler)(); }));
    };
    item(readMenuItem, &TFormMain::onReadFile);
    item(importMenuItem, &TFormMain::onImportTable);
    setAcceptDrops(true);
    item(writeMenuItem, &TFormMain::onWriteFile);
    item(reportMenuItem, &TFormMain::onWriteReport);
    item(applyMenuItem, &TFormMain::onApplyToReadings);
    // Any change of the table after a read parts it from its file.
    const auto parted = [this] { dataFile_.clear(); };
    connect(dataModel, &QAbstractItemModel::dataChanged, this, parted);
    connect(dataModel, &QAbstractItemModel::modelReset, this, parted);
    connect(dataModel, &QAbstractItemModel::rowsInserted, this, parted);
    connect(dataModel, &QAbstractItemModel::rowsRemoved, this, parted);
    item(exitMenuItem, &TFormMain::onExit);
    item(clearTableMenuItem, &TFormMain::onClearTable);
    item(clearTablePopupItem, &TFormMain::onClearTable);
    item(copyTableMenuItem, &TFormMain::onCopyTable);
    item(copyTablePopupItem, &TFormMain::onCopyTable);
    item(pasteTableMenuItem, &TFormMain::onPasteTable);
    item(pasteTablePopupItem, &TFormMain::onPasteTable);
    item(printChartMenuItem, &TFormMain::onPrintChart);
    item(copyChartMenuItem, &TFormMain::onCopyChart);
    button(copyFormulaButton, &TFormMain::onCopyFormula);
    button(printChartButton, &TFormMain::onPrintChart);
    button(copyChartButton, &TFormMain::onCopyChart);

    connect(dataGrid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { tableContextMenu->popup(dataGrid->viewport()->mapToGlobal(pos)); });
    chart->SetPopupMenu(chartContextMenu);
    chart->Chart().OnClick = Guarded([this](TChart&) { onChartClick(); });
    chart->Chart().OnClickSeries = Guarded(
        [this](TChart&, TChartSeries&, int, TMouseButton, TShiftState, int, int) { onChartSeriesClick(); });

    helpText->installEventFilter(this);
    helpText->viewport()->installEventFilter(this);
    xEdit->installEventFilter(this);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // The window's table copy and paste act everywhere in it, edit fields included.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste)) {
            event->ignore();
            return true;
        }
    }
    if (watched == helpText->viewport() && event->type() == QEvent::MouseButtonRelease) {
        Guarded([this] { onHelpTextClick(); })();
        return false;
    }
    if (watched == helpText && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        Guarded([this, &key] { onHelpTextKeyDown(key); })();
        return key == 0;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        if (workGate_.Busy()) {
            // Work in progress reads the table with one decimal character throughout: the change waits
            // for its end (this comes back with the window's next events).
            QCoreApplication::postEvent(this, new QEvent(QEvent::LocaleChange));
        } else {
            ReadNumberSettingsFromLocale();
        }
    }
    QMainWindow::changeEvent(event);
}

void TFormMain::SelectKind(int itemIndex) {
    functionKindBox->setCurrentIndex(itemIndex);
    recompute();
}

}  // namespace quorvel
