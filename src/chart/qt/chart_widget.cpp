#include "chart/qt/chart_widget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "chart/qt/qt_canvas.h"

namespace quorvel {

namespace {

bool ToChartButton(Qt::MouseButton button, TMouseButton& out) {
    switch (button) {
        case Qt::LeftButton:
            out = mbLeft;
            return true;
        case Qt::RightButton:
            out = mbRight;
            return true;
        case Qt::MiddleButton:
            out = mbMiddle;
            return true;
        default:
            return false;
    }
}

TShiftState ToShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
    TShiftState s = 0;
    s |= (modifiers & Qt::ShiftModifier) ? ssShift : 0u;
    s |= (modifiers & Qt::AltModifier) ? ssAlt : 0u;
    s |= (modifiers & Qt::ControlModifier) ? ssCtrl : 0u;
    s |= (buttons & Qt::LeftButton) ? ssLeft : 0u;
    s |= (buttons & Qt::RightButton) ? ssRight : 0u;
    s |= (buttons & Qt::MiddleButton) ? ssMiddle : 0u;
    return s;
}

}  // namespace

TChartWidget::TChartWidget(std::unique_ptr<TChart> chart, QWidget* parent)
    : QWidget(parent), owned_(std::move(chart)), chart_(owned_.get()) {
    Attach();
}

TChartWidget::TChartWidget(TChart& chart, QWidget* parent) : QWidget(parent), chart_(&chart) {
    Attach();
}

TChartWidget::~TChartWidget() {
    chart_->OnInvalidate = nullptr;
    chart_->OnOverlayChanged = nullptr;
    chart_->WindowCanvas = nullptr;
}

void TChartWidget::Attach() {
    // The paint covers every pixel: no background erase, so nothing flickers.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    chart_->Interaction().DragDistance = QApplication::startDragDistance();
    setGeometry(chart_->Left(), chart_->Top(), chart_->Width(), chart_->Height());
    if (parentWidget() != nullptr && !chart_->Visible()) {
        setHidden(true);
    }
    chart_->OnInvalidate = [this] {
        // A child control follows the chart's own Visible setting, as the window's layout expects.
        if (parentWidget() != nullptr && isVisible() != chart_->Visible()) {
            setVisible(chart_->Visible());
        }
        update();
    };
    chart_->OnOverlayChanged = [this] { update(); };
}

void TChartWidget::SyncBounds() {
    chart_->SetBounds(x(), y(), width(), height());
}

QSize TChartWidget::sizeHint() const {
    return QSize(chart_->Width(), chart_->Height());
}

void TChartWidget::SetPopupMenu(QMenu* menu) {
    if (menu == nullptr) {
        OnContextMenu = nullptr;
        return;
    }
    OnContextMenu = [menu](const QPoint& globalPos) { menu->popup(globalPos); };
}

QImage TChartWidget::CreateBitmapImage(TColor color, const TRect& rect) {
    // The engine makes the bitmap through a canvas; a one-pixel image stands for the screen here.
    QImage probe(1, 1, QImage::Format_RGB32);
    TQtCanvas factory(&probe);
    factory.SetPixelsPerInch(logicalDpiY());
    std::unique_ptr<TCanvasBuffer> bitmap = chart_->CreateBitmapImage(factory, color, rect);
    auto* image = dynamic_cast<TQtImageBuffer*>(bitmap.get());
    return image != nullptr ? image->TakeImage() : QImage();
}

void TChartWidget::PrepareForPaint() {
    // A hidden widget gets its resize event late; the paint must not use the old size meanwhile.
    if (chart_->Width() != width() || chart_->Height() != height()) {
        SyncBounds();
    }
    // A window moved to a screen of another density needs the chart drawn anew at that density.
    TScreenBuffer& screen = chart_->ScreenBuffer();
    if (auto* buffer = dynamic_cast<TQtImageBuffer*>(screen.Buffer.get());
        buffer != nullptr && buffer->Ratio() != TQtImageBuffer::RatioFor(devicePixelRatioF())) {
        screen.Discard();
    }
}

void TChartWidget::RenderInSteps(const TWorkSteps& steps) {
    if (chart_->Rendering()) {
        return;
    }
    PrepareForPaint();
    if (!chart_->ScreenBuffer().NeedsRedraw && chart_->ScreenBuffer().Buffer) {
        return;  // drawn already
    }
    // A canvas with the widget's own density and resolution makes the buffer a paint would make; the
    // one pixel it is drawn onto afterwards is thrown away.
    QImage pixel(QSize(1, 1) * TQtImageBuffer::RatioFor(devicePixelRatioF()), QImage::Format_RGB32);
    pixel.setDevicePixelRatio(TQtImageBuffer::RatioFor(devicePixelRatioF()));
    TQtCanvas canvas(&pixel);
    canvas.SetPixelsPerInch(logicalDpiY());
    // Events run during the steps; the chart's paints wait meanwhile (Rendering).
    chart_->RenderBuffer(canvas, steps);
    if (chart_->Width() != width() || chart_->Height() != height()) {
        chart_->ScreenBuffer().NeedsRedraw = true;  // resized meanwhile
    }
    update();
}

void TChartWidget::HoldPaints(bool hold) {
    paintsHeld_ = hold;
    if (!hold) {
        update();
    }
}

void TChartWidget::paintEvent(QPaintEvent* /*event*/) {
    if (chart_->Rendering() || paintsHeld_) {
        return;
    }
    PrepareForPaint();
    QPainter painter(this);
    TQtCanvas canvas(painter);
    chart_->Paint(canvas);
}

void TChartWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    SyncBounds();
}

void TChartWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    SyncBounds();
}

void TChartWidget::BeginMouse() {
    TScreenBuffer& screen = chart_->ScreenBuffer();
    chart_->WindowCanvas = screen.Buffer ? &screen.Buffer->Canvas() : nullptr;
}

void TChartWidget::EndMouse() {
    chart_->WindowCanvas = nullptr;
}

void TChartWidget::mousePressEvent(QMouseEvent* event) {
    if (!Press(event, 0)) {
        QWidget::mousePressEvent(event);
    }
}

void TChartWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click carries the double-click flag, as the window system gives it.
    if (!Press(event, ssDouble)) {
        QWidget::mouseDoubleClickEvent(event);
    }
}

bool TChartWidget::Press(QMouseEvent* event, TShiftState extraShift) {
    TMouseButton button;
    if (!ToChartButton(event->button(), button)) {
        return false;
    }
    const QPoint p = event->position().toPoint();
    // A press is judged against what the screen shows: a chart changed since its last paint (its data
    // recomputed as the press took the focus from an edited cell) is shown anew first.
    if (chart_->ScreenBuffer().NeedsRedraw && isVisible()) {
        repaint();
    }
    BeginMouse();
    chart_->Interaction().Press(button, ToShiftState(event->modifiers(), event->buttons()) | extraShift,
                                p.x(), p.y());
    EndMouse();
    return true;
}

void TChartWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    BeginMouse();
    chart_->Interaction().Move(ToShiftState(event->modifiers(), event->buttons()), p.x(), p.y());
    EndMouse();
}

void TChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    TMouseButton button;
    if (!ToChartButton(event->button(), button)) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    BeginMouse();
    const bool menu = chart_->Interaction().Release(
        button, ToShiftState(event->modifiers(), event->buttons()), p.x(), p.y());
    EndMouse();
    if (menu && OnContextMenu) {
        OnContextMenu(mapToGlobal(p));
    }
}

void TChartWidget::wheelEvent(QWheelEvent* event) {
    BeginMouse();
    chart_->Interaction().Wheel(event->angleDelta().y());
    EndMouse();
    event->accept();
}

void TChartWidget::contextMenuEvent(QContextMenuEvent* event) {
    // Mouse requests are answered at the right button's release (above); the menu key comes here.
    if (event->reason() == QContextMenuEvent::Keyboard && OnContextMenu) {
        OnContextMenu(mapToGlobal(rect().center()));
    }
    event->accept();
}

}  // namespace quorvel
