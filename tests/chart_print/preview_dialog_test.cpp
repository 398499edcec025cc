// The preview dialog on the offscreen platform with a printer stand-in: opening, margin edits and drags,
// the proportional box, orientation, detail, printing and its failure, and the sheet's pixels.
#include <gtest/gtest.h>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QtMath>

#include "chart/print/chart_preview.h"
#include "chart/print/chart_preview_page.h"
#include "chart/qt/qt_canvas.h"
#include "chart_qt/image_probe.h"
#include "chart_sample.h"
#include "fake_printer.h"
#include "ui/box_watcher.h"

namespace quorvel::testing {
namespace {

// Logical pixel (x, y) of the sheet's frame, whatever the screen's density.
TColor PixelAt(const QImage& image, int x, int y) {
    const qreal ratio = image.devicePixelRatio();
    return FromQColor(QColor(image.pixel(qFloor(x * ratio + 0.5), qFloor(y * ratio + 0.5))));
}

class PreviewDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        chart = SampleChart();
        dialog = std::make_unique<TChartPreview>(nullptr, *chart, settings, printer);
        dialog->show();
        QCoreApplication::processEvents();
        page = dialog->Page();
        page->RenderFrame();
    }
    void TearDown() override { dialog.reset(); }

    void Send(QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(p), page->mapToGlobal(QPointF(p)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(page, &event);
    }
    void Hover(QPoint p) { Send(QEvent::MouseMove, p, Qt::NoButton, Qt::NoButton); }
    void Drag(QPoint from, QPoint to) {
        Send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        Send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    TPageMargins Edits() const {
        return TPageMargins{dialog->SELeftMa->value(), dialog->SETopMa->value(), dialog->SERightMa->value(),
                            dialog->SEBotMa->value()};
    }
    QRadioButton* Item(int i) const {
        return dialog->findChild<QRadioButton*>(QString("Orientation%1").arg(i));
    }
    // Pixels of the margin lines' colour in column x of the sheet (the lines are dotted).
    int LinePixelsInColumn(int x) const {
        int n = 0;
        for (int y = page->SheetRect().Top + 1; y < page->SheetRect().Bottom - 1; ++y) {
            n += PixelAt(page->Frame(), x, y) == clSilver ? 1 : 0;
        }
        return n;
    }

    std::unique_ptr<TChart> chart;
    TChartPrintSettings settings;
    FakePrinter printer;
    std::unique_ptr<TChartPreview> dialog;
    TChartPreviewPage* page = nullptr;
};

TEST_F(PreviewDialogTest, ControlsAtTheirPlacesWithTheirTexts) {
    struct Row {
        const char* name;
        QRect geometry;
        const char* text;
    };
    const Row rows[] = {
        {"Printers", {57, 9, 195, 21}, nullptr},
        {"BSetupPrinter", {262, 7, 100, 23}, "Параметры..."},
        {"BPrint", {371, 7, 69, 23}, "Печать"},
        {"BClose", {451, 7, 69, 23}, "Закрыть"},
        {"Orientation", {3, 3, 105, 57}, "Ориентация:"},
        {"GBMargins", {3, 67, 105, 95}, "Поля (%)"},
        {"SETopMa", {34, 17, 42, 21}, nullptr},
        {"SELeftMa", {6, 43, 41, 21}, nullptr},
        {"BReset", {12, 171, 86, 25}, "По умолчанию"},
        {"ShowMargins", {13, 204, 95, 14}, "Поля"},
        {"ChangeDetailGroup", {3, 229, 105, 66}, "Детализация"},
        {"Resolution", {8, 38, 90, 16}, nullptr},
        {"CBProp", {13, 304, 92, 17}, "В центре"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto* w = dialog->findChild<QWidget*>(row.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), row.geometry);
        if (row.text == nullptr) {
            continue;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(b->text(), QString(row.text));
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            EXPECT_EQ(g->title(), QString(row.text));
        }
    }
    EXPECT_EQ(dialog->windowTitle(), QString("Предварительный просмотр"));
    EXPECT_TRUE(dialog->BClose->isDefault());
    EXPECT_EQ(dialog->Resolution->minimum(), -100);
    EXPECT_EQ(dialog->Resolution->maximum(), 0);
    EXPECT_EQ(dialog->SETopMa->maximum(), 100);
    // The sheet fills what the two panels leave.
    EXPECT_EQ(page->geometry(),
              QRect(112, 38, TChartPreview::kClientWidth - 112, TChartPreview::kClientHeight - 38));
}

TEST_F(PreviewDialogTest, OpeningSwitchesToLandscapeWithProportionalMargins) {
    EXPECT_EQ(printer.orientation, poLandscape);
    EXPECT_TRUE(Item(1)->isChecked());
    EXPECT_EQ(dialog->Printers->count(), 2);
    EXPECT_EQ(dialog->Printers->currentText(), QString("Stand-in A"));
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
    EXPECT_EQ(Edits(), settings.PageMargins);
    EXPECT_EQ(dialog->DefaultMargins(), settings.PageMargins);
    EXPECT_TRUE(dialog->CBProp->isChecked());
    EXPECT_FALSE(dialog->BReset->isEnabled());
    // A landscape sheet, wider than high; at this control size its height limits it to 90 %.
    EXPECT_GT(page->SheetRect().Width(), page->SheetRect().Height());
    EXPECT_EQ(page->SheetRect().Height(), page->height() - RoundToInt(page->height() / 10.0));
    EXPECT_GE(page->SheetRect().Top, 0);
}

TEST_F(PreviewDialogTest, OppositeMarginsMustLeaveSomethingOfThePage) {
    // A refused entry leaves the chart centred; an accepted one ends that, as a drag does, and the
    // sheet shows the margin typed.
    dialog->SETopMa->setValue(90);
    EXPECT_EQ(settings.PageMargins.Top, 19);
    EXPECT_TRUE(dialog->CBProp->isChecked());
    dialog->SEBotMa->setValue(40);
    EXPECT_EQ(settings.PageMargins.Bottom, 40);
    EXPECT_FALSE(settings.PrintProportional);
    EXPECT_FALSE(dialog->CBProp->isChecked());
    EXPECT_TRUE(dialog->BReset->isEnabled());
    page->RenderFrame();
    // 40 % of the sheet's 326 pixels.
    ASSERT_EQ(page->SheetRect().Height(), 326);
    EXPECT_EQ(page->SheetRect().Bottom - page->PictureRect().Bottom, 130);
    dialog->SETopMa->setValue(60);
    EXPECT_EQ(dialog->SETopMa->value(), 19);
    EXPECT_EQ(settings.PageMargins.Top, 19);
    dialog->SETopMa->setValue(59);
    EXPECT_EQ(settings.PageMargins.Top, 59);
    dialog->SERightMa->setValue(85);
    EXPECT_EQ(settings.PageMargins.Right, 15);
    dialog->SERightMa->setValue(84);
    EXPECT_EQ(settings.PageMargins.Right, 84);
    dialog->SELeftMa->setValue(15);
    dialog->SELeftMa->setValue(16);
    EXPECT_EQ(dialog->SELeftMa->value(), 15);
    // The default margins come back, and with them a disabled reset.
    dialog->BReset->click();
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
    EXPECT_EQ(Edits(), settings.PageMargins);
    EXPECT_FALSE(dialog->BReset->isEnabled());
}

TEST_F(PreviewDialogTest, DraggingEndsProportionalPlacementUntilTheBoxIsCheckedAgain) {
    const TRect picture = page->PictureRect();
    const QPoint centre((picture.Left + picture.Right) / 2, (picture.Top + picture.Bottom) / 2);
    Drag(centre, centre + QPoint(-20, 10));
    EXPECT_FALSE(settings.PrintProportional);
    EXPECT_FALSE(dialog->CBProp->isChecked());
    EXPECT_EQ(settings.PageMargins,
              MarginsFromPictureRect(page->SheetRect(), TRect{picture.Left - 20, picture.Top + 10,
                                                              picture.Right - 20, picture.Bottom + 10}));
    EXPECT_EQ(Edits(), settings.PageMargins);
    EXPECT_LT(settings.PageMargins.Left, 15);
    // The drag itself leaves the reset button as it was.
    EXPECT_FALSE(dialog->BReset->isEnabled());

    dialog->CBProp->setChecked(true);
    EXPECT_TRUE(settings.PrintProportional);
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
    EXPECT_EQ(Edits(), settings.PageMargins);
    EXPECT_FALSE(dialog->BReset->isEnabled());
}

TEST_F(PreviewDialogTest, EdgeAndCornerDragsWithTheirCursors) {
    const TRect picture = page->PictureRect();
    const int midY = (picture.Top + picture.Bottom) / 2;
    Hover(QPoint(picture.Left + 2, midY));
    EXPECT_EQ(page->cursor().shape(), Qt::SizeHorCursor);
    Hover(QPoint(picture.Left + 1, picture.Top - 1));
    EXPECT_EQ(page->cursor().shape(), Qt::SizeFDiagCursor);
    Hover(QPoint(picture.Right, picture.Bottom - 3));
    EXPECT_EQ(page->cursor().shape(), Qt::SizeFDiagCursor);
    Hover(QPoint(picture.Right - 3, picture.Top));
    EXPECT_EQ(page->cursor().shape(), Qt::SizeBDiagCursor);
    Hover(QPoint((picture.Left + picture.Right) / 2, picture.Bottom + 3));
    EXPECT_EQ(page->cursor().shape(), Qt::SizeVerCursor);
    Hover(QPoint((picture.Left + picture.Right) / 2, midY));
    EXPECT_EQ(page->cursor().shape(), Qt::OpenHandCursor);

    Drag(QPoint(picture.Left, midY), QPoint(page->SheetRect().Left, midY));
    EXPECT_EQ(settings.PageMargins.Left, 0);
    EXPECT_EQ(settings.PageMargins.Right, 15);
    EXPECT_FALSE(dialog->CBProp->isChecked());
    // The release repaints the sheet with the chart in its new place.
    page->RenderFrame();
    EXPECT_EQ(page->PictureRect().Left, page->SheetRect().Left);

    const TRect now = page->PictureRect();
    Drag(QPoint(now.Right, now.Bottom), QPoint(now.Right + 10, now.Bottom + 10));
    EXPECT_EQ(page->PictureRect().Right, now.Right + 10);
    EXPECT_EQ(page->PictureRect().Bottom, now.Bottom + 10);
    // A margin edit after the drags brings the reset button up to date.
    dialog->SETopMa->setValue(settings.PageMargins.Top + 1);
    EXPECT_TRUE(dialog->BReset->isEnabled());
}

TEST_F(PreviewDialogTest, MarginLinesComeAndGoWithTheBox) {
    const TRect picture = page->PictureRect();
    EXPECT_GT(LinePixelsInColumn(picture.Left - 1), 20);
    EXPECT_GT(LinePixelsInColumn(picture.Right), 20);
    dialog->ShowMargins->setChecked(false);
    page->RenderFrame();
    EXPECT_EQ(LinePixelsInColumn(picture.Left - 1), 0);
    EXPECT_EQ(LinePixelsInColumn(picture.Right), 0);
    EXPECT_EQ(page->PictureRect(), picture);
    dialog->ShowMargins->setChecked(true);
    page->RenderFrame();
    // Drawing the lines a second time in not-xor erases them.
    page->DrawMarginLinesDirect();
    EXPECT_EQ(LinePixelsInColumn(picture.Left - 1), 0);
    page->DrawMarginLinesDirect();
    EXPECT_GT(LinePixelsInColumn(picture.Left - 1), 20);
}

TEST_F(PreviewDialogTest, SheetShadowAndChartPixels) {
    const QImage& frame = page->Frame();
    const TRect s = page->SheetRect();
    const TRect p = page->PictureRect();
    EXPECT_EQ(PixelAt(frame, 2, 2), FromQColor(page->palette().color(QPalette::Window)));
    EXPECT_EQ(PixelAt(frame, s.Left, s.Top + 20), clBlack);
    EXPECT_EQ(PixelAt(frame, s.Right - 1, s.Top + 20), clBlack);
    EXPECT_EQ(PixelAt(frame, s.Right + 2, s.Bottom + 2), clBlack);
    EXPECT_EQ(PixelAt(frame, s.Left + 3, s.Bottom + 2), FromQColor(page->palette().color(QPalette::Window)));
    EXPECT_EQ(PixelAt(frame, s.Left + 3, s.Top + 3), clWhite);
    // The chart lies on the picture rectangle: dark axis pixels inside it, none in the margins.
    int inside = 0;
    int outside = 0;
    for (int y = s.Top + 1; y < s.Bottom - 1; ++y) {
        for (int x = s.Left + 1; x < s.Right - 1; ++x) {
            const TColor c = PixelAt(frame, x, y);
            const bool dark = ColorRed(c) < 100 && ColorGreen(c) < 100 && ColorBlue(c) < 100;
            if (p.Contains(x, y)) {
                inside += dark ? 1 : 0;
            } else {
                outside += dark ? 1 : 0;
            }
        }
    }
    EXPECT_GT(inside, 100);
    EXPECT_EQ(outside, 0);
    // No panel colour on the sheet: the picture was drawn as for printing.
    EXPECT_EQ(PixelAt(frame, p.Left + 1, p.Top + 1), clWhite);
    EXPECT_TRUE(ScreenDrawsBackground(*chart));
    // The sheet is drawn at the screen's density: on a high-density screen its text and lines hold
    // detail finer than a logical pixel.
    const qreal ratio = page->devicePixelRatioF();
    ASSERT_EQ(frame.size(), page->size() * ratio);
    if (ratio == 2) {
        EXPECT_GT(
            test::MixedBlocks(frame, QRect(QPoint(p.Left, p.Top) * 2, QSize(p.Width(), p.Height()) * 2)),
            100);
    }
}

TEST_F(PreviewDialogTest, TheChartOnTheSheetIsTheSameWithAndWithoutMarginLines) {
    // The not-xor of the dotted lines must not reach the chart drawn after them, where the curve
    // crosses the markers and the grid.
    const auto picture = [&] {
        page->RenderFrame();
        const qreal ratio = page->Frame().devicePixelRatio();
        const TRect& p = page->PictureRect();
        return page->Frame().copy(QRect(QPoint(p.Left, p.Top) * ratio, QSize(p.Width(), p.Height()) * ratio));
    };
    const QImage withLines = picture();
    dialog->ShowMargins->setChecked(false);
    const QImage without = picture();
    ASSERT_FALSE(without.isNull());
    EXPECT_EQ(withLines, without);
}

TEST_F(PreviewDialogTest, OrientationDetailAndPrinterChoice) {
    Item(0)->click();
    EXPECT_EQ(printer.orientation, poPortrait);
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 34, 15, 34}));
    page->RenderFrame();
    EXPECT_LT(page->SheetRect().Width(), page->SheetRect().Height());

    dialog->Resolution->setValue(-50);
    EXPECT_EQ(settings.PrintDetail, -50);

    Item(1)->click();
    EXPECT_EQ(printer.orientation, poLandscape);
    emit dialog->Printers->activated(1);
    EXPECT_EQ(printer.index, 1);
    EXPECT_EQ(printer.orientation, poLandscape);
    EXPECT_TRUE(Item(1)->isChecked());

    // A setup that keeps the orientation but takes longer paper centres the chart on that paper, and
    // the page printed is the page shown.
    printer.setupOrientation = poLandscape;
    printer.setupLongSide = 6000;
    dialog->BSetupPrinter->click();
    EXPECT_EQ(printer.setups, 1);
    EXPECT_TRUE(Item(1)->isChecked());
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 13, 15, 13}));
    EXPECT_EQ(Edits(), settings.PageMargins);
    EXPECT_EQ(dialog->DefaultMargins(), settings.PageMargins);
    page->RenderFrame();
    EXPECT_EQ(page->PictureRect(), PictureRectFromMargins(page->SheetRect(), Edits()));
    dialog->BPrint->click();
    TChartPrintSettings shown{Edits(), false, settings.PrintDetail};
    const TRect printed = PagePrintRect(shown, chart->Width(), chart->Height(), printer.Metrics());
    ASSERT_FALSE(printer.canvas.mappings.empty());
    EXPECT_EQ(printer.canvas.mappings.front().ViewportExt, (TPoint{printed.Width(), printed.Height()}));

    // One that turns the page to portrait: the dialog follows.
    printer.setupOrientation = poPortrait;
    printer.setupLongSide = 4960;
    dialog->BSetupPrinter->click();
    EXPECT_EQ(printer.setups, 2);
    EXPECT_TRUE(Item(0)->isChecked());
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 34, 15, 34}));
}

TEST_F(PreviewDialogTest, PrintingFromTheDialog) {
    dialog->BPrint->click();
    EXPECT_EQ(printer.begins, 1);
    EXPECT_EQ(printer.ends, 1);
    EXPECT_EQ(printer.title, QString("Quorvel"));  // no title on this page
    ASSERT_FALSE(printer.canvas.mappings.empty());
    EXPECT_EQ(printer.canvas.mappings.front(), (TMapping{{0, 0}, {289, 208}, {0, 0}, {3472, 2174}}));
}

// A failed print ends in the standard exception box over the dialog, which stays open.
TEST_F(PreviewDialogTest, APrintErrorIsReportedAndTheDialogStaysOpen) {
    test::TBoxWatcher boxes;
    printer.failDrawing = true;
    dialog->BPrint->click();
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const test::TBoxRecord& box = boxes.Boxes()[0];
    EXPECT_EQ(box.text, QString("Out of paper."));
    EXPECT_EQ(box.caption, QString("Quorvel"));
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_TRUE(box.modal);
    EXPECT_EQ(box.owner, dialog.get());
    EXPECT_EQ(printer.aborts, 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(ScreenDrawsBackground(*chart));
}

// Closes the preview once its loop runs, after look() has seen it.
void CloseSoon(std::function<void(TChartPreview&)> look) {
    QTimer::singleShot(0, [look] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* preview = qobject_cast<TChartPreview*>(w); preview != nullptr && preview->isVisible()) {
                look(*preview);
                preview->BClose->click();
            }
        }
    });
}

TEST(ShowChartPreview, ReleasesTheDialogAndRepaintsTheChart) {
    auto chart = SampleChart();
    TChartPrintSettings settings;
    FakePrinter printer;
    int repaints = 0;
    chart->OnInvalidate = [&] { ++repaints; };
    bool seen = false;
    CloseSoon([&](TChartPreview& preview) { seen = preview.isModal(); });
    ShowChartPreview(nullptr, *chart, settings, printer);
    EXPECT_TRUE(seen);
    EXPECT_GE(repaints, 1);
    QCoreApplication::processEvents();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(qobject_cast<TChartPreview*>(w), nullptr);
    }
    // The settings outlive the dialog.
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
}

TEST(ShowChartPreview, FormulaLineIsTheTitleOfThePreviewsPage) {
    auto chart = SampleChart();
    TChartPrintSettings settings;
    auto owned = std::make_unique<FakePrinter>();
    FakePrinter& printer = *owned;
    auto saved = ReplacePrinter(std::move(owned));
    std::optional<TTitleLines> during;
    bool visible = true;
    int formulaTop = -1;
    const auto print = [&](TChartPreview& preview, const std::string& formula) {
        during = preview.Page()->Title();
        visible = chart->Title().Visible();
        preview.BPrint->click();
        const Record* line = printer.canvas.FindText(formula);
        formulaTop = line != nullptr ? line->to.Y : -1;
    };
    CloseSoon([&](TChartPreview& preview) { print(preview, "Y = 2x + 1"); });
    PreviewChartWithTitle(nullptr, *chart, settings, "Y = 2x + 1");
    // The stored layout's one empty line comes first, the first time only; the chart's own title stays
    // hidden, and its lines are used up.
    EXPECT_EQ(during, (TTitleLines{"", "Y = 2x + 1"}));
    EXPECT_FALSE(visible);
    EXPECT_EQ(printer.title, QString("Y = 2x + 1"));
    const int firstTop = formulaTop;
    ASSERT_GE(firstTop, 0);
    EXPECT_FALSE(chart->Title().Visible());
    EXPECT_TRUE(chart->Title().Text().empty());

    // The chart's own settings: a drag in the preview stays with the chart.
    CloseSoon([&](TChartPreview& preview) {
        print(preview, "Y = 3x");
        preview.SETopMa->setValue(30);
    });
    PreviewChartWithTitle(nullptr, *chart, "Y = 3x");
    EXPECT_EQ(during, (TTitleLines{"Y = 3x"}));
    EXPECT_EQ(printer.title, QString("Y = 3x"));
    EXPECT_EQ(formulaTop, firstTop - RecordingCanvas::kLineHeight);
    EXPECT_TRUE(chart->Title().Text().empty());
    EXPECT_EQ(chart->PrintSettings.PageMargins.Top, 30);
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 19, 15, 19}));
    ReplacePrinter(std::move(saved));
}

}  // namespace
}  // namespace quorvel::testing
