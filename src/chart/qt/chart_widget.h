#pragma once
// The chart control as a Qt widget: paints the engine's chart through its off-screen buffer and passes
// mouse input on as plain values. The widget holds no chart state of its own.
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>

#include "chart/chart.h"
#include "runtime/work_steps.h"

class QMenu;

namespace quorvel {

class TChartWidget : public QWidget {
    Q_OBJECT

public:
    // Owns the chart.
    explicit TChartWidget(std::unique_ptr<TChart> chart, QWidget* parent = nullptr);
    // Draws a chart that the caller keeps alive longer than the widget.
    explicit TChartWidget(TChart& chart, QWidget* parent = nullptr);
    ~TChartWidget() override;

    TChart& Chart() { return *chart_; }
    const TChart& Chart() const { return *chart_; }

    // A bitmap of rect's size holding the chart as drawn on screen; unless color is white, the
    // bitmap is first filled with it.
    QImage CreateBitmapImage(TColor color, const TRect& rect);
    QImage CreateBitmapImage() { return CreateBitmapImage(clWhite, chart_->ClientRect()); }

    // Raised for a right click that was not a scroll drag, and for the keyboard's menu key, with the
    // position in global coordinates. SetPopupMenu installs a handler that pops up menu.
    std::function<void(const QPoint& globalPos)> OnContextMenu;
    void SetPopupMenu(QMenu* menu);

    // Renders the chart into its off-screen buffer now, the picture the next paint shows, telling steps
    // as it goes (a few million points take a second). Meanwhile the widget paints nothing.
    void RenderInSteps(const TWorkSteps& steps);
    // While held the widget paints nothing (its chart is being fed in steps); released, it paints again.
    void HoldPaints(bool hold);

    // The chart's own size.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Attach();
    void SyncBounds();
    // The size and screen density the next rendering must have.
    void PrepareForPaint();
    // A press or the second press of a double click; false when the button is not the chart's.
    bool Press(QMouseEvent* event, TShiftState extraShift);
    // The zoom rectangle is drawn outside a paint straight into the off-screen buffer, which the next
    // paint copies to the screen; Qt widgets cannot be drawn on outside their paint event.
    void BeginMouse();
    void EndMouse();

    std::unique_ptr<TChart> owned_;
    TChart* chart_ = nullptr;
    bool paintsHeld_ = false;
};

}  // namespace quorvel
