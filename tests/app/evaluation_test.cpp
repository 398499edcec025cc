// The evaluation at a typed X on the real window: Y texts, the skipped texts, the invalid-number box,
// and the evaluated point following the check box.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "calibration/form_chart.h"
#include "runtime/colors.h"
#include "runtime/number_text.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The box's examples are written with the decimal character, "." here.
const QString kNotANumber =
    " не является правильным числом\nПримеры правильного ввода:\n   0.25\n   -15.74e4\n   +15638e-5";

void TypeX(const TWindow& w, const QString& text) {
    auto* edit = w.Find<QLineEdit>("MaskEditX");
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        QTest::keyClicks(edit, text);
    }
}

// The line Y = 2X + 1 fitted from two points.
void FitLine(TWindow& w) {
    w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
    w.Fill({{"3", "1"}, {"7", "3"}});
    w.ClickFormula();
}

}  // namespace

class EvaluationTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalChar('.'); }

    void beforeAnyFitYEqualsX() {
        TWindow w;
        TypeX(w, "3");
        QCOMPARE(w.Caption("PanelY"), QString("3.0000000"));
        TypeX(w, "1000");
        QCOMPARE(w.Caption("PanelY"), QString("1.0000000e+3"));
        TypeX(w, "999.5");
        QCOMPARE(w.Caption("PanelY"), QString("999.5000000"));
        TypeX(w, "0.0005");
        QCOMPARE(w.Caption("PanelY"), QString("5.0000000e-4"));
        TypeX(w, "0");
        QCOMPARE(w.Caption("PanelY"), QString("0"));
    }

    void fittedLineIsEvaluatedAndFollowsRefits() {
        TWindow w;
        FitLine(w);
        TypeX(w, "2");
        QCOMPARE(w.Caption("PanelY"), QString("5.0000000"));
        TypeX(w, "-0.5");
        QCOMPARE(w.Caption("PanelY"), QString("0"));
        // A new fit re-evaluates at once.
        w.Fill({{"4", "1"}, {"10", "3"}});  // Y = 3X + 1
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelY"), QString("-0.5000000"));
    }

    // Far from zero Y at X and the statistics are the exact fit's: the cubic of 25 readings around 10^7
    // (as in the fitting tests; Python with fractions.Fraction gives Y = 10000007.560113257 at
    // 10000007.564, maximum error 0.10576985040017743, sigma 0.0703860486985922). From the rounded
    // coefficients the window showed 1.0000007e+7, 1.12 and 1.041.
    void farFromZeroShowsTheExactFit() {
        TWindow w;
        std::vector<std::string> cells;
        for (int i = 0; i < 25; ++i) {
            char x[40], y[40];
            std::snprintf(x, sizeof x, "%.6f", 1e7 + i * 1.001);
            std::snprintf(y, sizeof y, "%.6f", std::strtod(x, nullptr) + 0.1 * std::sin(1.7 * i + 0.3));
            cells.push_back(y);
            cells.push_back(x);
        }
        std::vector<std::pair<const char*, const char*>> rows;
        for (std::size_t i = 0; i < cells.size(); i += 2) {
            rows.emplace_back(cells[i].c_str(), cells[i + 1].c_str());
        }
        w.Fill(rows);
        w.ClickFormula();
        TypeX(w, "10000007.564");
        QCOMPARE(w.Caption("PanelY"), QString("1.0000008e+7"));
        QCOMPARE(w.Caption("lblMaxErr"), QString("0.106"));
        QCOMPARE(w.Caption("lblSigma"), QString("0.07"));
    }

    void partialTextsChangeNothing() {
        TWindow w;
        TBoxWatcher boxes;
        TypeX(w, "4");
        QCOMPARE(w.Caption("PanelY"), QString("4.0000000"));
        for (const char* text : {"", "-", "+"}) {
            TypeX(w, text);
            QCOMPARE(w.Caption("PanelY"), QString("4.0000000"));
        }
        QVERIFY(boxes.Boxes().empty());
        // The X field is read while typed: on the way to 2e-1, "2e" and "2e-" are the number 2.
        TypeX(w, "2e-1");
        QCOMPARE(w.Caption("PanelY"), QString("0.2000000"));
        QVERIFY(boxes.Boxes().empty());
    }

    void invalidTextShowsBoxAndKeepsTheShownY() {
        TWindow w;
        TBoxWatcher boxes;
        w.Find<QCheckBox>("CheckBox1")->setChecked(true);
        TypeX(w, "2");
        QCOMPARE(w.Series().evaluated->PointCount(), 1);
        TypeX(w, "abc");
        QCOMPARE(boxes.Boxes().size(), size_t(3));  // a, ab, abc
        QCOMPARE(boxes.Boxes()[2].text, "abc" + kNotANumber);
        QCOMPARE(boxes.Boxes()[2].caption, QString("Неверный ввод числа"));
        QCOMPARE(boxes.Boxes()[2].icon, QMessageBox::NoIcon);
        QVERIFY(boxes.Boxes()[2].owned);
        QCOMPARE(w.Caption("PanelY"), QString("2.0000000"));
        QCOMPARE(w.Series().evaluated->PointCount(), 1);
        QCOMPARE(w.Series().evaluated->XValues().ValueAt(0), 2.0);
    }

    // Y at X is a value of the fit on show only: none beside "Мало данных" (it kept the quadratic's
    // -1219.1, and a new X took the old quadratic's value there), and none after an X whose Y is beyond
    // the range (the prefix "1e20" kept its Y beside the overflow box).
    void yAtXOnlyOfTheFitOnShow() {
        TWindow w;
        TBoxWatcher boxes;
        auto* kind = w.Find<QComboBox>("ComboBox1");
        kind->setCurrentIndex(1);
        w.Fill({{"1", "1"}, {"2.5", "2"}, {"2.9", "3"}});
        w.ClickFormula();
        w.Find<QCheckBox>("CheckBox1")->setChecked(true);
        TypeX(w, "50");
        QCOMPARE(w.Caption("PanelY"), QString("-1.2191000e+3"));
        QCOMPARE(w.Series().evaluated->PointCount(), 1);
        kind->setCurrentIndex(2);
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA0"), QString("Мало данных"));
        QCOMPARE(w.Caption("PanelY"), QString());
        QCOMPARE(w.Series().evaluated->PointCount(), 0);
        TypeX(w, "10");
        QCOMPARE(w.Caption("PanelY"), QString());
        QCOMPARE(w.Series().evaluated->PointCount(), 0);
        kind->setCurrentIndex(1);
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelY"), QString("-25.1000000"));
        QVERIFY(boxes.Boxes().empty());
        // 1e20 gives a Y (-5.5e39), 1e200 none: the box, and no Y of 1e20 beside the field's 1e200.
        TypeX(w, "1e200");
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Floating point overflow."));
        QCOMPARE(w.Caption("PanelY"), QString());
        QCOMPARE(w.Series().evaluated->PointCount(), 0);
    }

    void checkBoxAddsAndRemovesThePointAtOnce() {
        TWindow w;
        FitLine(w);
        TypeX(w, "1.5");
        const TFormChartSeries series = w.Series();
        QCOMPARE(series.evaluated->PointCount(), 0);
        auto* check = w.Find<QCheckBox>("CheckBox1");
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
        QVERIFY(check->isChecked());
        QCOMPARE(series.evaluated->PointCount(), 1);
        const TPointSeries& p = *series.evaluated;
        QCOMPARE(p.XValues().ValueAt(0), 1.5);
        QCOMPARE(p.YValues().ValueAt(0), 4.0);
        QCOMPARE(p.PointColor(0), clRed);
        QCOMPARE(QString::fromStdString(p.PointLabel(0)), QString("1.5"));
        QVERIFY(w.Grid()->FocusInside());  // the click hands the focus back to the table
        // A recompute keeps the point while ticked.
        w.ClickFormula();
        QCOMPARE(series.evaluated->PointCount(), 1);
        QTest::mouseClick(check, Qt::LeftButton, {}, check->rect().center());
        QVERIFY(!check->isChecked());
        QCOMPARE(series.evaluated->PointCount(), 0);
        TypeX(w, "2");
        QCOMPARE(series.evaluated->PointCount(), 0);
    }

    void commaLocaleAcceptsPointAndComma() {
        SetDecimalChar(',');
        TWindow w;
        TBoxWatcher boxes;
        TypeX(w, "2.5");
        QCOMPARE(w.Caption("PanelY"), QString("2,5000000"));
        TypeX(w, "0,25");
        QCOMPARE(w.Caption("PanelY"), QString("0,2500000"));
        QVERIFY(boxes.Boxes().empty());
        SetDecimalChar('.');
    }
};

QTEST_MAIN(EvaluationTest)
#include "evaluation_test.moc"
