// The chart's commands in the real window: the picture copy with its box, and the clicks on the chart
// that toggle the value marks or undo the zoom.
#include <QClipboard>
#include <QMimeData>
#include <QSvgRenderer>

#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "window_fixture.h"

namespace quorvel {

using test::TBoxWatcher;
using test::TWindow;

namespace {

const std::vector<std::pair<const char*, const char*>> kRows = {{"1", "1"},  {"4", "2"},  {"9", "3"},
                                                                {"16", "4"}, {"25", "5"}, {"37", "6"}};

struct TRange {
    double min;
    double max;
    bool operator==(const TRange&) const = default;
};

TRange BottomRange(TChart& chart) {
    return {chart.BottomAxis().Minimum(), chart.BottomAxis().Maximum()};
}

}  // namespace

class ChartCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TWindow> window_;

    TChartWidget* ChartWidget() const { return window_->Find<TChartWidget>("Chart1"); }
    TChart& Chart() const { return ChartWidget()->Chart(); }
    bool MarksShown() const { return FormSeries(Chart()).measured->Marks().Visible(); }

    // The chart shown with the rows' points, painted once so that its axis mapping is current.
    void ShowChartWithPoints() {
        window_->Fill(kRows);
        window_->ClickFormula();
        QVERIFY(ChartWidget()->isVisible());
        ChartWidget()->grab();
    }
    QPoint PointPixel(double x, double y) const {
        return {Chart().BottomAxis().ValueToPixel(x), Chart().LeftAxis().ValueToPixel(y)};
    }
    void Click(QPoint p, Qt::MouseButton button = Qt::LeftButton) const {
        QTest::mouseClick(ChartWidget(), button, {}, p);
        ChartWidget()->grab();
    }

private slots:
    void init() {
        window_ = std::make_unique<TWindow>();
        QGuiApplication::clipboard()->clear();
    }
    void cleanup() { window_.reset(); }

    void graphCopyPutsPictureAndShowsUnownedInformation() {
        ShowChartWithPoints();
        QGuiApplication::clipboard()->setText(QStringLiteral("old"));
        window_->Find<QWidget>("MaskEditX")->setFocus();
        QWidget* focused = window_->form->focusWidget();
        TBoxWatcher boxes;
        // A click on the button would focus the button itself; the command must not move the focus.
        window_->Find<QPushButton>("btnGraphCopy")->click();

        QCOMPARE(boxes.Boxes().size(), std::size_t{1});
        const test::TBoxRecord& box = boxes.Boxes()[0];
        QCOMPARE(box.text, QString::fromUtf8("График скопирован в буфер обмена Windows"));
        QCOMPARE(box.caption, QStringLiteral("Quorvel"));
        QCOMPARE(box.icon, QMessageBox::Information);
        QVERIFY(!box.owned);
        QVERIFY(!box.modal);
        // The window's own focus stays where it was; activating the window again is the platform's.
        QCOMPARE(window_->form->focusWidget(), focused);

        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data != nullptr);
        QVERIFY(!data->hasText());
        QImage png;
        QVERIFY(png.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
        QCOMPARE(png.size(), QSize(289, 208));
        QSvgRenderer svg(data->data(QStringLiteral("image/svg+xml")));
        QVERIFY(svg.isValid());
        QCOMPARE(svg.defaultSize(), QSize(289, 208));
        // The copy shows the chart: its bevel and a measured point as on the screen.
        png = png.convertToFormat(QImage::Format_RGB32);
        const QImage screen = ChartWidget()->CreateBitmapImage().convertToFormat(QImage::Format_RGB32);
        const QPoint p = PointPixel(3, 9);
        QCOMPARE(png.pixel(p), screen.pixel(p));
        QCOMPARE(png.pixel(p + QPoint(2, 2)), screen.pixel(p + QPoint(2, 2)));
        QCOMPARE(png.pixel(288, 100), screen.pixel(288, 100));
        QCOMPARE(png.pixel(100, 0), qRgb(255, 255, 255));
    }

    // The chart's popup item does the same, also while the chart is hidden (the start state).
    void graphCopyItemWorksWhileChartIsHidden() {
        QVERIFY(!ChartWidget()->isVisible());
        TBoxWatcher boxes;
        window_->form->findChild<QAction*>("itmGraphCopy")->trigger();
        QCOMPARE(boxes.Boxes().size(), std::size_t{1});
        QImage png;
        QVERIFY(png.loadFromData(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("image/png")),
                                 "PNG"));
        QCOMPARE(png.size(), QSize(289, 208));
    }

    void seriesClickTogglesMarksOfTheMeasuredPoints() {
        ShowChartWithPoints();
        QVERIFY(!MarksShown());
        Click(PointPixel(3, 9));
        QVERIFY(MarksShown());
        Click(PointPixel(3, 9));
        QVERIFY(!MarksShown());
    }

    void seriesClickKeepsTheZoomAndAClickElsewhereUndoesIt() {
        ShowChartWithPoints();
        const TRange full = BottomRange(Chart());
        const QPoint a = PointPixel(2, 4);
        const QPoint b = PointPixel(5, 25);
        Chart().Interaction().ZoomToRect(TRect{a.x() - 5, b.y() - 5, b.x() + 5, a.y() + 5});
        ChartWidget()->grab();
        const TRange zoomed = BottomRange(Chart());
        QVERIFY(!(zoomed == full));

        Click(PointPixel(3, 9));
        QVERIFY(MarksShown());
        QVERIFY(BottomRange(Chart()) == zoomed);

        // An empty place inside the plot, below the curve and away from the points.
        Click(QPoint(PointPixel(5, 25).x() - 4, PointPixel(3, 9).y() + 30));
        QVERIFY(BottomRange(Chart()) == full);
        QVERIFY(MarksShown());
    }

    // A right click on a series sets the flag too; the next left click only clears it.
    void rightClickOnSeriesSparesTheNextLeftClick() {
        ShowChartWithPoints();
        const TRange full = BottomRange(Chart());
        const QPoint a = PointPixel(2, 4);
        const QPoint b = PointPixel(5, 25);
        Chart().Interaction().ZoomToRect(TRect{a.x() - 5, b.y() - 5, b.x() + 5, a.y() + 5});
        ChartWidget()->grab();
        const TRange zoomed = BottomRange(Chart());

        QTest::mousePress(ChartWidget(), Qt::RightButton, {}, PointPixel(3, 9));
        QTest::mouseRelease(ChartWidget(), Qt::RightButton, {}, PointPixel(3, 9));
        QVERIFY(MarksShown());
        // The right click opened the chart's popup menu.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
        const QPoint empty(PointPixel(5, 25).x() - 4, PointPixel(3, 9).y() + 30);
        Click(empty);
        QVERIFY(BottomRange(Chart()) == zoomed);
        Click(empty);
        QVERIFY(BottomRange(Chart()) == full);
    }
};

}  // namespace quorvel

QTEST_MAIN(quorvel::ChartCommandsTest)
#include "chart_commands_test.moc"
