#include "chart/print/chart_preview_page.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include "chart/chart_panel.h"
#include "chart/print/chart_picture.h"
#include "chart/print/chart_printing.h"
#include "chart/print/printer.h"
#include "chart/qt/qt_canvas.h"

namespace quorvel {

namespace {

// The hourglass for the length of an action, taken away also when the action fails.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The paper is white, as printers' paper is.
constexpr TColor kSheetColor = clWhite;

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

}  // namespace

TChartPreviewPage::TChartPreviewPage(TPrinter& printer, QWidget* parent)
    : QWidget(parent), printer_(printer) {
    setObjectName("ChartPreviewPage");
    setMouseTracking(true);
    // Every pixel is painted from the frame: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TChartPreviewPage::SetPreviewChart(TCustomChartPanel* chart, TChartPrintSettings* settings,
                                        std::optional<TTitleLines> title) {
    chart_ = chart;
    settings_ = settings;
    title_ = std::move(title);
    Invalidate();
}

void TChartPreviewPage::SetShowMarginLines(bool show) {
    if (show != showMarginLines_) {
        showMarginLines_ = show;
        Invalidate();
    }
}

void TChartPreviewPage::Invalidate() {
    frameStale_ = true;
    update();
}

void TChartPreviewPage::LayoutSheet() {
    sheetRect_ = SheetLayout(width(), height(), printer_.PageWidth(), printer_.PageHeight());
    pictureRect_ =
        PictureRectFromMargins(sheetRect_, settings_ != nullptr ? settings_->PageMargins : TPageMargins{});
}

void TChartPreviewPage::RenderFrame() {
    LayoutSheet();
    const QSize size(std::max(1, width()), std::max(1, height()));
    // Drawn at the screen's density, so the sheet's text and lines are as sharp as the screen's own.
    const qreal ratio = TQtImageBuffer::RatioFor(devicePixelRatioF());
    if (frame_.deviceIndependentSize() != QSizeF(size) || frame_.devicePixelRatio() != ratio) {
        frame_ = QImage(size * ratio, QImage::Format_RGB32);
        frame_.setDevicePixelRatio(ratio);
    }
    QPainter painter(&frame_);
    {
        TQtCanvas canvas(painter);
        canvas.SetPen(TPen{clBlack, TPenStyle::Clear});
        canvas.SetBrush(TBrush{FromQColor(palette().color(QPalette::Window)), bsSolid});
        canvas.FillRect(TRect{0, 0, size.width(), size.height()});

        canvas.SetPen(TPen{clBlack, TPenStyle::Solid, 1});
        canvas.SetBrush(TBrush{kSheetColor, bsSolid});
        canvas.Rectangle(sheetRect_);
        const TRect& s = sheetRect_;
        canvas.SetBrush(TBrush{clBlack, bsSolid});
        canvas.FillRect(TRect{s.Left + 5, s.Bottom, s.Right + 5, s.Bottom + 4});
        canvas.FillRect(TRect{s.Right, s.Top + 4, s.Right + 5, s.Bottom + 4});
    }
    linesOnFrame_ = false;
    if (showMarginLines_) {
        DrawMarginLines(painter);
        linesOnFrame_ = true;
    }
    PaintPicture(painter);
    frameStale_ = false;
}

void TChartPreviewPage::PaintPicture(QPainter& painter) {
    if (chart_ == nullptr || settings_ == nullptr || pictureRect_.IsEmpty()) {
        return;
    }
    const TLogicalExtent extent = LogicalExtent(pictureRect_, chart_->ClientRect(), settings_->PrintDetail);
    if (extent.Width <= 0 || extent.Height <= 0) {
        return;
    }
    const QRect target = ToQRect(pictureRect_);
    painter.save();
    painter.setClipRect(target);
    TRenderOptions options(TRenderTarget::Printer);
    options.Title = title_;
    const auto picture =
        CreatePicture(*chart_, TRect{0, 0, extent.Width, extent.Height}, frame_.devicePixelRatio(), options);
    const QRect frame = picture->boundingRect();
    painter.translate(target.left(), target.top());
    painter.scale(static_cast<double>(target.width()) / frame.width(),
                  static_cast<double>(target.height()) / frame.height());
    painter.drawPicture(0, 0, *picture);
    painter.restore();
}

void TChartPreviewPage::DrawMarginLines(QPainter& painter) const {
    TQtCanvas canvas(painter);
    canvas.SetPen(TPen{clSilver, TPenStyle::Dot, 1, TPenMode::NotXor});
    canvas.SetBrush(TBrush{clWhite, bsClear});
    canvas.SetBackMode(bmTransparent);
    const TRect& s = sheetRect_;
    const TRect& p = pictureRect_;
    canvas.Line(p.Left - 1, s.Top, p.Left - 1, s.Bottom);
    canvas.Line(p.Right, s.Top, p.Right, s.Bottom);
    canvas.Line(s.Left, p.Top - 1, s.Right, p.Top - 1);
    canvas.Line(s.Left, p.Bottom, s.Right, p.Bottom);
    canvas.SetBackMode(bmOpaque);
    canvas.SetPen(TPen{clBlack, TPenStyle::Solid, 1, TPenMode::Copy});
}

void TChartPreviewPage::DrawMarginLinesDirect() {
    if (frame_.isNull() || FrameOutOfDate()) {
        // The next paint renders the frame whole, margin lines included.
        return;
    }
    {
        QPainter painter(&frame_);
        DrawMarginLines(painter);
    }
    linesOnFrame_ = !linesOnFrame_;
    update();
}

bool TChartPreviewPage::Print() {
    if (chart_ == nullptr || settings_ == nullptr) {
        return false;
    }
    WaitCursor wait;
    return PrintChart(*chart_, *settings_, printer_, this, title_);
}

bool TChartPreviewPage::FrameOutOfDate() const {
    return frameStale_ ||
           frame_.deviceIndependentSize() != QSizeF(std::max(1, width()), std::max(1, height())) ||
           frame_.devicePixelRatio() != TQtImageBuffer::RatioFor(devicePixelRatioF());
}

void TChartPreviewPage::paintEvent(QPaintEvent*) {
    if (FrameOutOfDate()) {
        RenderFrame();
    }
    QPainter painter(this);
    painter.drawImage(0, 0, frame_);
}

void TChartPreviewPage::SetGripCursor(TGripKind grip) {
    switch (grip) {
        case gkLeft:
        case gkRight:
            setCursor(Qt::SizeHorCursor);
            break;
        case gkTop:
        case gkBottom:
            setCursor(Qt::SizeVerCursor);
            break;
        case gkMove:
            setCursor(grip_ == gkMove ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
            break;
        case gkTopLeft:
        case gkBottomRight:
            setCursor(Qt::SizeFDiagCursor);
            break;
        case gkTopRight:
        case gkBottomLeft:
            setCursor(Qt::SizeBDiagCursor);
            break;
        case gkNone:
            unsetCursor();
            break;
    }
}

void TChartPreviewPage::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    grip_ = GripHitTest(pictureRect_, pos.x(), pos.y(), AllowMove, AllowResize);
    if (grip_ == gkMove) {
        dragStart_ = TPoint{pos.x(), pos.y()};
        dragStartPicture_ = pictureRect_;
        SetGripCursor(gkMove);
    }
}

void TChartPreviewPage::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (!sheetRect_.Contains(pos.x(), pos.y())) {
        return;
    }
    if (grip_ == gkNone) {
        SetGripCursor(GripHitTest(pictureRect_, pos.x(), pos.y(), AllowMove, AllowResize));
        return;
    }
    if (linesOnFrame_) {
        DrawMarginLinesDirect();
    }
    pictureRect_ =
        DragPictureRect(grip_, sheetRect_, pictureRect_, dragStart_, dragStartPicture_, pos.x(), pos.y());
    const TPageMargins margins = MarginsFromPictureRect(sheetRect_, pictureRect_);
    if (settings_ != nullptr) {
        settings_->PageMargins = margins;
    }
    if (OnMarginsChanged) {
        OnMarginsChanged(*this, true, margins);
    } else {
        DrawMarginLinesDirect();
    }
}

void TChartPreviewPage::mouseReleaseEvent(QMouseEvent* event) {
    grip_ = gkNone;
    const QPoint pos = event->position().toPoint();
    SetGripCursor(GripHitTest(pictureRect_, pos.x(), pos.y(), AllowMove, AllowResize));
    // The chart is drawn anew at its new place.
    Invalidate();
}

}  // namespace quorvel
