#pragma once
// The drawn sheet of paper in the preview: the page's aspect ratio, the chart on it exactly as the printer
// will get it, dotted margin lines, and mouse drags of the chart's edges, corners or the whole chart.
#include <QImage>
#include <QWidget>
#include <functional>
#include <optional>

#include "chart/geometry.h"
#include "chart/print/sheet_geometry.h"
#include "chart/print_settings.h"
#include "chart/render_context.h"

namespace quorvel {

class TCustomChartPanel;
class TPrinter;

class TChartPreviewPage : public QWidget {
    Q_OBJECT

public:
    TChartPreviewPage(TPrinter& printer, QWidget* parent = nullptr);

    // The chart shown and its print settings (both must outlive the page; null shows an empty sheet), and
    // the lines printed as its title in place of its own, if any.
    void SetPreviewChart(TCustomChartPanel* chart, TChartPrintSettings* settings,
                         std::optional<TTitleLines> title = std::nullopt);
    // The lines the page shows and prints as the chart's title, if they replace its own.
    const std::optional<TTitleLines>& Title() const { return title_; }

    void SetShowMarginLines(bool show);
    bool AllowResize = true;
    bool AllowMove = true;

    // The paper and the chart on it, as laid out by the last paint.
    const TRect& SheetRect() const { return sheetRect_; }
    const TRect& PictureRect() const { return pictureRect_; }

    // Raised while dragging: the page, whether proportional placement ends, the new margins.
    std::function<void(TChartPreviewPage&, bool, const TPageMargins&)> OnMarginsChanged;

    // Marks the page for a full repaint.
    void Invalidate();
    // Lays out the sheet and renders it whole into the off-screen frame.
    void RenderFrame();
    // Draws the margin lines straight onto the frame in not-xor, so that a second call erases them.
    void DrawMarginLinesDirect();
    // Prints the chart (hourglass cursor meanwhile). False when the job was called off.
    bool Print();
    // The rendered frame (what the control shows), at the screen's device pixel ratio.
    const QImage& Frame() const { return frame_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void LayoutSheet();
    // The frame's pixels are out of date or of another size or density than the control's.
    bool FrameOutOfDate() const;
    void PaintPicture(QPainter& painter);
    void DrawMarginLines(QPainter& painter) const;
    void SetGripCursor(TGripKind grip);

    TPrinter& printer_;
    TCustomChartPanel* chart_ = nullptr;
    TChartPrintSettings* settings_ = nullptr;
    std::optional<TTitleLines> title_;
    bool showMarginLines_ = true;
    TRect sheetRect_;
    TRect pictureRect_;
    TGripKind grip_ = gkNone;
    TPoint dragStart_;
    TRect dragStartPicture_;
    QImage frame_;
    bool frameStale_ = true;
    // Whether margin lines are on the frame now: a drag erases only lines that are there.
    bool linesOnFrame_ = false;
};

}  // namespace quorvel
