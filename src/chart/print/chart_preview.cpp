#include "chart/print/chart_preview.h"
#include "chart/qt/ui_font.h"
#include "runtime/message_catalog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <memory>

#include "chart/chart.h"
#include "chart/chart_panel.h"
#include "chart/print/chart_preview_page.h"
#include "chart/print/printer.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

constexpr int kTopPanelHeight = 38;
constexpr int kLeftPanelWidth = 112;

template <class W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, int left, int top, int width,
              int height, Qt::Alignment alignment) {
    auto* label = Place(new QLabel(text, parent), name, left, top, width, height);
    label->setAlignment(alignment | Qt::AlignTop);
    return label;
}

// An edit with its up-down arrows (0..100, step 1, no wrap): one spin box over both places.
QSpinBox* MarginEdit(QWidget* parent, const char* name, int left, int top, int editWidth) {
    constexpr int kArrowsWidth = 15;
    auto* edit = Place(new QSpinBox(parent), name, left, top, editWidth + kArrowsWidth, 21);
    edit->setRange(0, 100);
    edit->setSingleStep(1);
    edit->setWrapping(false);
    edit->setValue(0);
    return edit;
}

QFrame* RaisedPanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    return panel;
}

}  // namespace

TChartPreview::TChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings,
                             TPrinter& printer, std::optional<TTitleLines> title)
    : QDialog(owner), chart_(chart), settings_(settings), printer_(printer) {
    // The guards hold until the dialog has been shown and its controls filled.
    initializing_ = true;
    updatingControls_ = true;
    updatingProportional_ = false;
    BuildLayout();
    page_ = new TChartPreviewPage(printer_, this);
    page_->SetPreviewChart(&chart_, &settings_, std::move(title));
    page_->OnMarginsChanged =
        Guarded([this](TChartPreviewPage&, bool disableProportional, const TPageMargins& margins) {
            ApplyMargins(disableProportional, margins);
        });
    page_->lower();
    resize(kClientWidth, kClientHeight);
    QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TChartPreview::~TChartPreview() = default;

void TChartPreview::BuildLayout() {
    setObjectName("ChartPreview");
    setWindowTitle(Tr("Предварительный просмотр"));
    setFont(ClassicUiFont());
    setModal(true);

    panel1_ = RaisedPanel(this, "Panel1");
    auto* label1 = Label(panel1_, "Label1", Tr("Принтер:"), 3, 13, 52, 17, Qt::AlignRight);
    Printers = Place(new QComboBox(panel1_), "Printers", 57, 9, 195, 21);
    Printers->setEditable(false);
    label1->setBuddy(Printers);
    BSetupPrinter = Place(new QPushButton(Tr("Параметры..."), panel1_), "BSetupPrinter", 262, 7, 100, 23);
    BPrint = Place(new QPushButton(Tr("Печать"), panel1_), "BPrint", 371, 7, 69, 23);
    BClose = Place(new QPushButton(Tr("Закрыть"), panel1_), "BClose", 451, 7, 69, 23);
    BClose->setDefault(true);
    BClose->setAutoDefault(true);

    panel2_ = RaisedPanel(this, "Panel2");
    Orientation = Place(new QGroupBox(Tr("Ориентация:"), panel2_), "Orientation", 3, 3, 105, 57);
    orientationItems_ = new QButtonGroup(this);
    auto* portrait = Place(new QRadioButton(Tr("Книжная"), Orientation), "Orientation0", 8, 16, 92, 17);
    auto* landscape = Place(new QRadioButton(Tr("Альбомная"), Orientation), "Orientation1", 8, 35, 92, 17);
    orientationItems_->addButton(portrait, poPortrait);
    orientationItems_->addButton(landscape, poLandscape);
    landscape->setChecked(true);

    auto* margins = Place(new QGroupBox(Tr("Поля (%)"), panel2_), "GBMargins", 3, 67, 105, 95);
    SETopMa = MarginEdit(margins, "SETopMa", 34, 17, 27);
    SELeftMa = MarginEdit(margins, "SELeftMa", 6, 43, 26);
    SEBotMa = MarginEdit(margins, "SEBotMa", 34, 68, 27);
    SERightMa = MarginEdit(margins, "SERightMa", 58, 43, 27);

    BReset = Place(new QPushButton(Tr("По умолчанию"), panel2_), "BReset", 12, 171, 86, 25);
    BReset->setEnabled(false);
    ShowMargins = Place(new QCheckBox(Tr("Поля"), panel2_), "ShowMargins", 13, 204, 95, 14);
    ShowMargins->setChecked(true);

    auto* detail = Place(new QGroupBox(Tr("Детализация"), panel2_), "ChangeDetailGroup", 3, 229, 105, 66);
    Label(detail, "Label2", Tr("Более"), 8, 18, 36, 19, Qt::AlignLeft);
    Label(detail, "Label3", Tr("Менее"), 57, 18, 41, 15, Qt::AlignRight);
    Resolution = Place(new QScrollBar(Qt::Horizontal, detail), "Resolution", 8, 38, 90, 16);
    Resolution->setRange(-100, 0);
    Resolution->setValue(0);

    CBProp = Place(new QCheckBox(Tr("В центре"), panel2_), "CBProp", 13, 304, 92, 17);
    CBProp->setChecked(true);

    // Every handler runs behind the guard: what escapes it ends in the standard exception box, and the
    // dialog stays open.
    connect(Printers, &QComboBox::activated, this, Guarded([this](int index) { PrintersChange(index); }));
    connect(BSetupPrinter, &QPushButton::clicked, this, Guarded([this](bool) { BSetupPrinterClick(); }));
    connect(BPrint, &QPushButton::clicked, this, Guarded([this](bool) { BPrintClick(); }));
    connect(BClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(orientationItems_, &QButtonGroup::idToggled, this, Guarded([this](int, bool checked) {
                if (checked) {
                    OrientationClick();
                }
            }));
    const auto edited = [this](QSpinBox* edit, auto side, auto opposite) {
        connect(edit, &QSpinBox::valueChanged, this, Guarded([this, edit, side, opposite](int) {
                    MarginEdited(edit, settings_.PageMargins.*side, settings_.PageMargins.*opposite);
                }));
    };
    edited(SETopMa, &TPageMargins::Top, &TPageMargins::Bottom);
    edited(SELeftMa, &TPageMargins::Left, &TPageMargins::Right);
    edited(SEBotMa, &TPageMargins::Bottom, &TPageMargins::Top);
    edited(SERightMa, &TPageMargins::Right, &TPageMargins::Left);
    connect(BReset, &QPushButton::clicked, this, Guarded([this](bool) { BResetClick(); }));
    connect(ShowMargins, &QCheckBox::toggled, this, Guarded([this](bool on) { ShowMarginsClick(on); }));
    connect(Resolution, &QScrollBar::valueChanged, this,
            Guarded([this](int value) { ResolutionChange(value); }));
    connect(CBProp, &QCheckBox::toggled, this, Guarded([this](bool on) { CBPropClick(on); }));
}

void TChartPreview::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    panel1_->setGeometry(0, 0, w, kTopPanelHeight);
    panel2_->setGeometry(0, kTopPanelHeight, kLeftPanelWidth, std::max(0, h - kTopPanelHeight));
    page_->setGeometry(kLeftPanelWidth, kTopPanelHeight, std::max(0, w - kLeftPanelWidth),
                       std::max(0, h - kTopPanelHeight));
}

void TChartPreview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        Guarded([this] { FormShow(); })();
    }
}

void TChartPreview::FormShow() {
    unsetCursor();
    printer_.RefreshPrinters();
    FillPrinters();
    // The dialog always opens in landscape.
    printer_.SetOrientation(poLandscape);
    CBProp->setChecked(settings_.PrintProportional);
    Resolution->setValue(settings_.PrintDetail);
    defaultMargins_ = settings_.PageMargins;
    RefreshMargins();
    initializing_ = false;
}

void TChartPreview::FillPrinters() {
    Printers->clear();
    Printers->addItems(printer_.Printers());
    Printers->setCurrentIndex(printer_.PrinterIndex());
}

int TChartPreview::SelectedOrientation() const {
    return orientationItems_->checkedId();
}

void TChartPreview::RefreshMargins() {
    if (settings_.PrintProportional) {
        defaultMargins_ = ProportionalMargins(chart_.Width(), chart_.Height(), printer_.Metrics());
        settings_.PageMargins = defaultMargins_;
    }
    SyncOrientation();
    ApplyMargins(false, settings_.PageMargins);
}

void TChartPreview::SyncOrientation() {
    const int orientation = printer_.Orientation();
    if (SelectedOrientation() != orientation) {
        // Acts as a click: OrientationClick runs through the button group.
        orientationItems_->button(orientation)->setChecked(true);
    }
}

void TChartPreview::ApplyMargins(bool disableProportional, const TPageMargins& margins) {
    const TPageMargins m = margins;  // margins may be the settings being rewritten below
    updatingControls_ = true;
    SELeftMa->setValue(m.Left);
    SERightMa->setValue(m.Right);
    SETopMa->setValue(m.Top);
    SEBotMa->setValue(m.Bottom);
    if (disableProportional) {
        settings_.PrintProportional = false;
        updatingProportional_ = true;
        CBProp->setChecked(false);
        updatingProportional_ = false;
    }
    updatingControls_ = false;
    if (!disableProportional) {
        MarginsChanged();
    } else {
        page_->DrawMarginLinesDirect();
    }
}

void TChartPreview::MarginsChanged() {
    if (updatingControls_) {
        return;
    }
    page_->Invalidate();
    BReset->setEnabled(settings_.PageMargins != defaultMargins_);
}

void TChartPreview::MarginEdited(QSpinBox* edit, int& side, int opposite) {
    if (initializing_) {
        return;
    }
    if (edit->value() + opposite >= 100) {
        // Two opposite margins must leave something of the page.
        edit->setValue(side);
        return;
    }
    if (edit->value() != side && !updatingControls_ && settings_.PrintProportional) {
        // A typed margin places the chart as a drag does: it is no longer centred, so the page printed
        // is the page shown.
        settings_.PrintProportional = false;
        updatingProportional_ = true;
        CBProp->setChecked(false);
        updatingProportional_ = false;
    }
    side = edit->value();
    MarginsChanged();
}

void TChartPreview::OrientationClick() {
    printer_.SetOrientation(SelectedOrientation() == poLandscape ? poLandscape : poPortrait);
    RefreshMargins();
    page_->Invalidate();
}

void TChartPreview::PrintersChange(int index) {
    printer_.SetPrinterIndex(index);
    SyncOrientation();
    OrientationClick();
}

void TChartPreview::BSetupPrinterClick() {
    printer_.Setup(this);
    FillPrinters();
    // The setup may have changed the paper without the orientation: the centred placement is worked
    // out anew for it, as the print will work it out, so that the page printed is the page shown.
    RefreshMargins();
    page_->Invalidate();
}

void TChartPreview::BPrintClick() {
    page_->Print();
}

void TChartPreview::BResetClick() {
    settings_.PageMargins = defaultMargins_;
    ApplyMargins(false, settings_.PageMargins);
}

void TChartPreview::ShowMarginsClick(bool checked) {
    page_->SetShowMarginLines(checked);
    page_->Invalidate();
}

void TChartPreview::ResolutionChange(int value) {
    settings_.PrintDetail = value;
    page_->Invalidate();
    SyncOrientation();
}

void TChartPreview::CBPropClick(bool checked) {
    if (updatingProportional_) {
        return;
    }
    settings_.PrintProportional = checked;
    RefreshMargins();
}

void ShowChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings,
                      TPrinter& printer, std::optional<TTitleLines> title) {
    // The chart is drawn anew once the dialog is gone, whatever way it went.
    struct Repaint {
        QWidget* owner;
        TCustomChartPanel& chart;
        ~Repaint() {
            chart.Invalidate();
            if (owner != nullptr) {
                owner->repaint();
            }
        }
    } repaint{owner, chart};
    const auto dialog = std::make_unique<TChartPreview>(owner, chart, settings, printer, std::move(title));
    dialog->exec();
}

void ShowChartPreview(QWidget* owner, TCustomChartPanel& chart, TChartPrintSettings& settings) {
    ShowChartPreview(owner, chart, settings, Printer());
}

void PreviewChartWithTitle(QWidget* owner, TChart& chart, const std::string& formulaLine) {
    PreviewChartWithTitle(owner, chart, chart.PrintSettings, formulaLine);
}

void PreviewChartWithTitle(QWidget* owner, TChart& chart, TChartPrintSettings& settings,
                           const std::string& formulaLine) {
    TTitleLines lines = chart.Title().Text();
    lines.push_back(formulaLine);
    chart.Title().Clear();
    ShowChartPreview(owner, chart, settings, Printer(), std::move(lines));
}

}  // namespace quorvel
