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

#include "app/chart_feed.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "chart/qt/chart_widget.h"
#include "chart/qt/message_boxes.h"
#include "runtime/number_text.h"

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
    FormCreate();
    sgData->setFocus();
}

TFormMain::~TFormMain() {
    QCoreApplication::instance()->removeNativeEventFilter(goneWatch_.get());
    if (ApplicationWindow() == this) {
        SetApplicationWindow(nullptr);
    }
}

void TFormMain::FormCreate() {
    WriteColumnHeaders();
    ComboBox1->setCurrentIndex(2);
}

void TFormMain::WireEvents() {
    // Every handler runs behind the guard: what escapes it ends in the standard exception box.
    const auto recompute = Guarded([this] { sgDataClick(); });
    connect(sgData, &TStringGrid::Click, this, recompute);
    connect(sgData, &TStringGrid::DblClick, this, recompute);
    connect(sgData, &TStringGrid::Enter, this, recompute);
    connect(PanelResult, &TPanel::Click, this, recompute);
    connect(PanelResult, &TPanel::DblClick, this, recompute);
    connect(ComboBox1, &QComboBox::activated, this, Guarded([this](int) { sgDataClick(); }));
    connect(sgData, &TStringGrid::SetEditText, this,
            Guarded([this](int col, int row, const QString& value) { sgDataSetEditText(col, row, value); }));
    connect(sgData, &TStringGrid::KeyPress, this,
            Guarded([this](QChar key) { sgDataKeyPress(sgData, key); }));
    connect(sgData, &TStringGrid::ColumnMoved, this,
            Guarded([this](int from, int to) { sgDataColumnMoved(from, to); }));
    connect(MaskEditX, &QLineEdit::textChanged, this, Guarded([this](const QString&) { MaskEditXChange(); }));
    connect(CheckBox1, &QCheckBox::clicked, this, Guarded([this](bool) { CheckBox1Click(); }));

    // The kind items carry marks that only the recompute sets; undo the toggle a trigger makes.
    const auto kindItem = [this](QAction* item, void (TFormMain::*handler)()) {
        connect(item, &QAction::triggered, this, Guarded([this, item, handler](bool) {
                    item->setChecked(!item->isChecked());
                    (this->*handler)();
                }));
    };
    kindItem(itmLine, &TFormMain::itmLineClick);
    kindItem(itmDouble, &TFormMain::itmDoubleClick);
    kindItem(itmCubic, &TFormMain::itmCubicClick);

    const auto item = [this](QAction* action, void (TFormMain::*handler)()) {
        connect(action, &QAction::triggered, this, Guarded([this, handler](bool) { (this->*handler)(); }));
    };
    const auto button = [this](QPushButton* b, void (TFormMain::*handler)()) {
        connect(b, &QPushButton::clicked, this, Guarded([this, handler](bool) { (this->*handler)(); }));
    };
    item(itmRead, &TFormMain::itmReadClick);
    item(itmWrite, &TFormMain::itmWriteClick);
    item(itmReport, &TFormMain::itmReportClick);
    item(itmApply, &TFormMain::itmApplyClick);
    // Any change of the table after a read parts it from its file.
    const auto parted = [this] { dataFile_.clear(); };
    connect(sgDataModel, &QAbstractItemModel::dataChanged, this, parted);
    connect(sgDataModel, &QAbstractItemModel::modelReset, this, parted);
    connect(sgDataModel, &QAbstractItemModel::rowsInserted, this, parted);
    connect(sgDataModel, &QAbstractItemModel::rowsRemoved, this, parted);
    item(itmExit, &TFormMain::itmExitClick);
    item(itmClearMain, &TFormMain::itmClearClick);
    item(itmClear, &TFormMain::itmClearClick);
    item(itmTablCopyMain, &TFormMain::itmTablCopyClick);
    item(itmTablCopy, &TFormMain::itmTablCopyClick);
    item(itmTablPasteMain, &TFormMain::itmTablPasteClick);
    item(itmTablPaste, &TFormMain::itmTablPasteClick);
    item(itmGraphPrint, &TFormMain::btnPrintClick);
    item(itmGraphCopy, &TFormMain::btnGraphCopyClick);
    button(btnCopy, &TFormMain::btnCopyClick);
    button(btnPrint, &TFormMain::btnPrintClick);
    button(btnGraphCopy, &TFormMain::btnGraphCopyClick);

    connect(sgData, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenuTabl->popup(sgData->viewport()->mapToGlobal(pos)); });
    Chart1->SetPopupMenu(PopupMenuGraph);
    Chart1->Chart().OnClick = Guarded([this](TCustomChart&) { Chart1Click(); });
    Chart1->Chart().OnClickSeries = Guarded([this](TCustomChart&, TChartSeries&, int, TMouseButton,
                                                   TShiftState, int, int) { Chart1ClickSeries(); });

    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    MaskEditX->installEventFilter(this);
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
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        Guarded([this] { Memo1Click(); })();
        return false;
    }
    if (watched == Memo1 && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        Guarded([this, &key] { Memo1KeyDown(key); })();
        return key == 0;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::changeEvent(QEvent* event) {
    if (event->type() == QEvent::LocaleChange) {
        ReadNumberSettingsFromLocale();
    }
    QMainWindow::changeEvent(event);
}

void TFormMain::SelectKind(int itemIndex) {
    ComboBox1->setCurrentIndex(itemIndex);
    sgDataClick();
}

}  // namespace quorvel
