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
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdint>
#include <functional>
#include <utility>

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

// A press of a mouse button on a control of the window that an edit of the table has disabled (a copy or
// print button, the chart) ends the edit before the press is handled: the recompute may enable the
// control again for this very press. A press that moves the focus ends it anyway, and one that recomputes
// by itself (the formula panel, the help text) needs no recompute before it.
class TPressElsewhereWatch : public QObject {
public:
    TPressElsewhereWatch(TFormMain* form, QWidget* table, QWidget* recomputesItself,
                         std::function<void()> editEnded)
        : form_(form), table_(table), recomputesItself_(recomputesItself), editEnded_(std::move(editEnded)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != form_) {
            return false;
        }
        // A press a child ignored comes here again through its parents: the child under the pointer is
        // the one pressed.
        QWidget* pressed = widget->childAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        pressed = pressed != nullptr ? pressed : widget;
        if (pressed->isEnabled() || Inside(pressed, table_) || Inside(pressed, recomputesItself_)) {
            return false;
        }
        editEnded_();
        return false;
    }

private:
    static bool Inside(const QWidget* widget, const QWidget* area) {
        return widget == area || area->isAncestorOf(widget);
    }

    TFormMain* form_;
    QWidget* table_;
    QWidget* recomputesItself_;
    std::function<void()> editEnded_;
};

}  // namespace

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent) {
    BuildLayout();
    WireEvents();
    goneWatch_ = std::make_unique<TWindowGoneWatch>(this);
    QCoreApplication::instance()->installNativeEventFilter(goneWatch_.get());
    // The formula panel's own click recomputes anyway.
    pressWatch_ = std::make_unique<TPressElsewhereWatch>(this, dataGrid, formulaLine,
                                                         Guarded([this] { onEditEnded(); }));
    QCoreApplication::instance()->installEventFilter(pressWatch_.get());
    if (ApplicationWindow() == nullptr) {
        SetApplicationWindow(this);
    }
    initialiseContents();
    // The layout's texts stand for the table as it starts.
    ShowResults(TShownResults::Design, dataModel->Revision());
    dataGrid->setFocus();
}

TFormMain::~TFormMain() {
    QCoreApplication::instance()->removeEventFilter(pressWatch_.get());
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
    connect(dataGrid, &TStringGrid::Leave, this, Guarded([this] { onEditEnded(); }));
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
    // Any change of the table after a read parts it from its file, and the results on show from it.
    const auto changed = [this] {
        dataFile_.clear();
        ApplyResultsState();
    };
    connect(dataModel, &QAbstractItemModel::dataChanged, this, changed);
    connect(dataModel, &QAbstractItemModel::modelReset, this, changed);
    connect(dataModel, &QAbstractItemModel::rowsInserted, this, changed);
    connect(dataModel, &QAbstractItemModel::rowsRemoved, this, changed);
    item(exitMenuItem, &TFormMain::onExit);
    item(clearTableMenuItem, &TFormMain::onClearTable);
    item(clearTablePopupItem, &TFormMain::onClearTable);
    item(copyTableMenuItem, &TFormMain::onCopyTable);
    item(copyTablePopupItem, &TFormMain::onCopyTable);
    item(pasteTableMenuItem, &TFormMain::onPasteTable);
    item(pasteTablePopupItem, &TFormMain::onPasteTable);
    item(printChartMenuItem, &TFormMain::onPrintChart);
    item(copyChartMenuItem, &TFormMain::onCopyChart);
    item(uncertaintiesMenuItem, &TFormMain::onUncertaintiesToggled);
    item(fillUncertaintiesMenuItem, &TFormMain::onFillUncertainties);
    item(compareKindsMenuItem, &TFormMain::onCompareKinds);
    item(bandMenuItem, &TFormMain::onBandToggled);
    connect(xUncertaintyEdit, &QLineEdit::textChanged, this,
            Guarded([this](const QString&) { showAtXTip(); }));
    connect(inverseYEdit, &QLineEdit::textChanged, this,
            Guarded([this](const QString&) { evaluateInverse(); }));
    connect(inverseUEdit, &QLineEdit::textChanged, this,
            Guarded([this](const QString&) { evaluateInverse(); }));
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
    for (QLineEdit* edit : {xEdit, xUncertaintyEdit, inverseYEdit, inverseUEdit}) {
        edit->installEventFilter(this);
    }
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
