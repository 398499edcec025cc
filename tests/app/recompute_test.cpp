// The recompute as the user sees it on the real window: panel texts, formula, the too-few state, the
// solve-failure box, point colours and order, the kind menu, and a bad cell.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGraphicsEffect>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "app/panel.h"
#include "calibration/form_chart.h"
#include "fitting/messages.h"
#include "runtime/colors.h"
#include "runtime/number_text.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The results on show either are not the old fit's, unmarked, or are marked as not the table's: greyed,
// and nothing offers to copy, print, report or convert with them.
void ExpectHonestResults(const TWindow& w, const QString& oldFormula, const QString& where) {
    const bool stale = w.Find("PanelResult")->property("stale").toBool();
    if (!stale) {
        QVERIFY2(w.Caption("PanelResult") != oldFormula, qPrintable(where + ": the old formula, unmarked"));
        return;
    }
    for (const char* name : {"PanelA0", "PanelResult", "lblSigma", "PanelY", "Chart1"}) {
        QVERIFY2(w.Find(name)->graphicsEffect() != nullptr, qPrintable(where + ": " + name + " not greyed"));
    }
    for (const char* name : {"btnCopy", "btnGraphCopy", "btnPrint"}) {
        QVERIFY2(!w.Find(name)->isEnabled(), qPrintable(where + ": " + name + " enabled"));
    }
    for (const char* name : {"itmReport", "itmApply", "itmGraphCopy", "itmGraphPrint"}) {
        QVERIFY2(!w.Find<QAction>(name)->isEnabled(), qPrintable(where + ": " + name + " enabled"));
    }
}

}  // namespace

class RecomputeTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        SetDecimalChar('.');
        SetThousandsChar(',');
    }

    void linearFitOfTwoPoints() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.Fill({{"2", "1"}, {"6", "3"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0"));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 2.0000000"));
        QCOMPARE(w.Caption("PanelA2"), QString("a2 = 0"));
        QCOMPARE(w.Caption("PanelA3"), QString("a3 = 0"));
        QVERIFY(!w.Find("PanelA2")->isVisibleTo(w.form.get()));
        QVERIFY(!w.Find("PanelA3")->isVisibleTo(w.form.get()));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 2.0000000 * X "));
        QCOMPARE(w.Caption("lblMaxErr"), QString("0"));
        QCOMPARE(w.Caption("lblSigma"), QString("0"));
        QVERIFY(w.Find("Chart1")->isVisible());
        QVERIFY(w.Find("btnCopy")->isEnabled());
        QVERIFY(w.Find("btnGraphCopy")->isEnabled());
        QVERIFY(w.Find("btnPrint")->isEnabled());
        QVERIFY(w.Find<QAction>("itmLine")->isChecked());
        QVERIFY(!w.Find<QAction>("itmCubic")->isChecked());
        // As many points as coefficients: no scatter, so no uncertainty to give.
        QCOMPARE(w.Find("PanelA0")->toolTip(), QString("u(a0) = —"));
        QCOMPARE(w.Find("PanelA1")->toolTip(), QString("u(a1) = —"));
        QCOMPARE(w.Find("PanelY")->toolTip(), QString("u(Y) = —"));
    }

    // Y 0, 1, 3 at X 0, 1, 2, by hand: slope 3/2, residuals 1/6, −1/3, 1/6, s² = 1/6 with one degree of
    // freedom; u(a1)² = s²/Σ(x − 1)² = 1/12, u(a0)² = s²·(1/3 + 1/2) = 5/36, u(Y at 1)² = s²/3 = 1/18.
    void uncertaintiesInTheTooltips() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.Fill({{"0", "0"}, {"1", "1"}, {"3", "2"}});
        w.ClickFormula();
        QCOMPARE(w.Find("PanelA0")->toolTip(), QString("u(a0) = 0.3726780"));  // √5/6
        QCOMPARE(w.Find("PanelA1")->toolTip(), QString("u(a1) = 0.2886751"));  // 1/√12
        QCOMPARE(w.Find("PanelY")->toolTip(), QString("u(Y) = 0.3726780"));    // at X = 0, as u(a0)
        w.Find<QLineEdit>("MaskEditX")->setText("1");
        QCOMPARE(w.Find("PanelY")->toolTip(), QString("u(Y) = 0.2357023"));  // 1/√18
        SetDecimalChar(',');
        w.ClickFormula();
        QCOMPARE(w.Find("PanelA1")->toolTip(), QString("u(a1) = 0,2886751"));
        QCOMPARE(w.Find("PanelY")->toolTip(), QString("u(Y) = 0,2357023"));
        // Too few points: no fit, no tooltips.
        w.Model()->SetCellText(1, 2, "");
        w.Model()->SetCellText(1, 3, "");
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA1"), QString("Мало данных"));
        QCOMPARE(w.Find("PanelA1")->toolTip(), QString());
        QCOMPARE(w.Find("PanelY")->toolTip(), QString());
    }

    void quadraticAndCubicExamples() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
        w.Fill({{"2", "-1"}, {"1", "0"}, {"2", "1"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 1.0000000"));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 0"));
        QCOMPARE(w.Caption("PanelA2"), QString("a2 = 1.0000000"));
        QCOMPARE(w.Caption("PanelA3"), QString("a3 = 0"));
        QVERIFY(w.Find("PanelA2")->isVisibleTo(w.form.get()));
        QVERIFY(!w.Find("PanelA3")->isVisibleTo(w.form.get()));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 1.0000000 * X^2  +1.0000000"));

        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(2);
        w.Fill({{"-1", "-1"}, {"0", "0"}, {"1", "1"}, {"8", "2"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0"));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 0"));
        QCOMPARE(w.Caption("PanelA2"), QString("a2 = 0"));
        QCOMPARE(w.Caption("PanelA3"), QString("a3 = 1.0000000"));
        QVERIFY(w.Find("PanelA3")->isVisibleTo(w.form.get()));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 1.0000000 * X^3 "));
        QVERIFY(w.Find<QAction>("itmCubic")->isChecked());
    }

    void allZeroYGivesZeroFormula() {
        TWindow w;
        w.Fill({{"0", "1"}, {"0", "2"}, {"0", "3"}, {"0", "5"}});
        w.ClickFormula();
        for (const char* name : {"PanelA0", "PanelA1", "PanelA2", "PanelA3"}) {
            QCOMPARE(w.Caption(name), QString(name).right(2).toLower() + " = 0");
        }
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 0"));
    }

    void tooFewPointsKeepMarksAndHideChart() {
        TWindow w;
        w.Fill({{"1", "1"}, {"2", "2"}, {"3", "4"}, {"5", "8"}});
        w.ClickFormula();
        QVERIFY(w.Find("Chart1")->isVisible());
        QVERIFY(w.Find<QAction>("itmCubic")->isChecked());
        // Three complete rows and half-filled ones are too few for a cubic.
        w.Model()->SetCellText(1, 4, "");
        w.Model()->SetCellText(0, 6, "7");
        w.Model()->SetCellText(1, 7, "7");
        w.ClickFormula();
        for (const char* name : {"PanelA0", "PanelA1", "PanelA2", "PanelA3"}) {
            QCOMPARE(w.Caption(name), QString("Мало данных"));
        }
        QCOMPARE(w.Caption("PanelResult"), QString("Заполните таблицу значений Y(X)"));
        QVERIFY(!w.Find("Chart1")->isVisible());
        QVERIFY(w.Find("Memo1")->isVisible());
        QVERIFY(!w.Find("btnCopy")->isEnabled());
        QVERIFY(!w.Find("btnGraphCopy")->isEnabled());
        QVERIFY(!w.Find("btnPrint")->isEnabled());
        QVERIFY(w.Find<QAction>("itmCubic")->isChecked());  // marks only move when a solve runs
        // The series are still fed while the chart is hidden.
        QCOMPARE(w.Series().measured->PointCount(), 3);
    }

    // The box, then the store's coefficients as the form shows them; but they are no fit of this table,
    // so they are marked as not belonging to it, nothing copies or prints them and Y at X is empty
    // (they used to be shown as current, "Копировать" copying the old formula).
    void solveFailureShowsBoxThenTheStoreMarked() {
        TWindow w;
        TBoxWatcher boxes;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.Fill({{"2", "1"}, {"6", "3"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 2.0000000 * X "));
        // All X equal: the linear solve fails; the previous coefficients stay in use.
        w.Fill({{"2", "1"}, {"5", "1"}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Коэффициенты определить невозможно"));
        QCOMPARE(boxes.Boxes()[0].caption, QString("Невозможно вычислить коэффициенты"));
        QCOMPARE(boxes.Boxes()[0].icon, QMessageBox::NoIcon);
        QVERIFY(boxes.Boxes()[0].owned);
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 2.0000000 * X "));
        QVERIFY(w.Find("Chart1")->isVisible());
        QCOMPARE(w.Caption("lblMaxErr"), QString("3"));  // |5 - 2| with Y = 2X
        ExpectHonestResults(w, w.Caption("PanelResult"), "after a failed solve");
        QVERIFY(w.Find("PanelResult")->property("stale").toBool());
        QCOMPARE(w.Caption("PanelY"), QString());
        // A table with a fit again: current, and Y at X its value.
        w.Fill({{"2", "1"}, {"5", "2"}});
        w.ClickFormula();
        QVERIFY(!w.Find("PanelResult")->property("stale").toBool());
        QVERIFY(w.Find("btnCopy")->isEnabled());
        QCOMPARE(w.Caption("PanelY"), QString("-1.0000000"));  // Y = 3X - 1 at X = 0
    }

    void failedQuadraticAfterCubicLeavesOutTheCubicTerm() {
        TWindow w;
        TBoxWatcher boxes;
        w.Fill({{"-1", "-1"}, {"0", "0"}, {"1", "1"}, {"8", "2"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 1.0000000 * X^3 "));
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
        w.Fill({{"1", "0"}, {"2", "0"}, {"3", "0"}, {"", ""}});  // all X zero: singular
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 0"));
        QCOMPARE(w.Caption("PanelA3"), QString("a3 = 1.0000000"));
        QVERIFY(w.Find<QAction>("itmDouble")->isChecked());
        QVERIFY(!w.Find<QAction>("itmCubic")->isChecked());
    }

    void pointColoursFollowDeviation() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        // Exact line: sigma is 0 and every point lies on the curve, so every point is blue.
        w.Fill({{"2", "1"}, {"4", "2"}, {"6", "3"}});
        w.ClickFormula();
        const TFormChartSeries series = w.Series();
        QCOMPARE(series.measured->PointCount(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(series.measured->PointColor(i), clBlue);
        }
        // As many points as coefficients: the cubic passes through them exactly, so they are blue too.
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(2);
        w.Fill({{"0.3", "1.1"}, {"5.1", "2.7"}, {"-1.9", "3.3"}, {"2.2", "4.9"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("lblMaxErr"), QString("0"));
        QCOMPARE(series.measured->PointCount(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(series.measured->PointColor(i), clBlue);
        }
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        // Symmetric deviations 1, 0.7, 0.3, 0 around the fitted line Y = 10: sigma is about 0.726, so 0 is
        // below a quarter of it (blue), 0.3 below a half (purple), 0.7 and 1 a half or more (red).
        w.Fill({{"9", "-3"},
                {"10.7", "-2"},
                {"10.3", "-1"},
                {"10", "0"},
                {"10.3", "1"},
                {"10.7", "2"},
                {"9", "3"}});
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 10.0000000"));
        const TColor expected[] = {clRed, clRed, clPurple, clBlue, clPurple, clRed, clRed};
        QCOMPARE(series.measured->PointCount(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(series.measured->PointColor(i), expected[i]);
        }
    }

    void seriesHoldPointsInAscendingXWithLabels() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.Fill({{"5", "3"}, {"1", "1.5"}, {"9", "3"}, {"2", "-1"}});
        w.ClickFormula();
        const TFormChartSeries series = w.Series();
        QCOMPARE(series.measured->PointCount(), 4);
        const double xs[] = {-1, 1.5, 3, 3};
        const double ys[] = {2, 1, 5, 9};  // equal X keep table order
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(series.measured->XValues().ValueAt(i), xs[i]);
            QCOMPARE(series.measured->YValues().ValueAt(i), ys[i]);
        }
        QCOMPARE(QString::fromStdString(series.measured->PointLabel(1)), QString("1.5"));
        QVERIFY(series.curve->PointCount() >= 50);
        QCOMPARE(series.curve->XValues().ValueAt(0), -1.0);
        QVERIFY(series.curve->XValues().ValueAt(series.curve->PointCount() - 1) < 3.0);
    }

    // A cell that cannot be read stops the recompute: one box, the typing check's Russian one (there
    // used to be a second, English one after it), and the results of the table before stay, greyed,
    // with nothing left to copy or print them. A pasted bad text gets that box from the recompute.
    void invalidCellShowsOneBoxAndGreysTheOldResults() {
        const QString kNotANumber = QString::fromStdString(InvalidNumberText(""));
        for (const bool typed : {false, true}) {
            TWindow w;
            TBoxWatcher boxes;
            w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
            w.Fill({{"2", "1"}, {"6", "3"}, {"8", "4"}});
            w.ClickFormula();
            const QString formula = w.Caption("PanelResult");
            QVERIFY(formula.startsWith("Y = "));
            boxes.Clear();
            if (typed) {
                w.ClickCell(0, 3);
                w.Editor()->selectAll();
                QTest::keyClicks(w.Editor(), "a");  // the check's box at the keystroke
                w.ClickCell(1, 1);                  // and once more as the cell is left
            } else {
                w.Model()->SetCellText(0, 3, "a");
                w.ClickFormula();
            }
            QCOMPARE(boxes.Boxes().size(), size_t(typed ? 2 : 1));
            for (const test::TBoxRecord& box : boxes.Boxes()) {
                QCOMPARE(box.text, "a" + kNotANumber);
                QCOMPARE(box.caption, QString("Неверный ввод числа"));
                QCOMPARE(box.icon, QMessageBox::NoIcon);
            }
            QCOMPARE(w.Caption("PanelResult"), formula);
            QCOMPARE(w.Series().measured->PointCount(), 3);
            for (const char* name :
                 {"PanelA0", "PanelA1", "PanelResult", "lblMaxErr", "lblSigma", "Chart1"}) {
                QVERIFY2(w.Find(name)->graphicsEffect() != nullptr, name);
                QVERIFY2(w.Find(name)->property("stale").toBool(), name);
            }
            for (const char* name : {"btnCopy", "btnGraphCopy", "btnPrint", "Chart1"}) {
                QVERIFY2(!w.Find(name)->isEnabled(), name);
            }
            // The next recompute that reads the table takes the marks away.
            w.Model()->SetCellText(0, 3, "10");
            w.ClickFormula();
            QCOMPARE(w.Series().measured->PointCount(), 3);
            QVERIFY(w.Caption("PanelResult") != formula);
            QVERIFY(w.Find("PanelResult")->graphicsEffect() == nullptr);
            QVERIFY(!w.Find("PanelResult")->property("stale").toBool());
            QVERIFY(w.Find("btnCopy")->isEnabled() && w.Find("Chart1")->isEnabled());
            QCOMPARE(boxes.Boxes().size(), size_t(typed ? 2 : 1));
        }
    }

    // Whatever way an edited cell is left (Tab, Shift+Tab, Enter, a click into the X field or on a
    // button), and while its text is typed, the results on show are the new table's or are marked as not
    // belonging to it: greyed, with copy, print, report and readings unavailable. Never the old fit shown
    // as current (Tab used to move to "Копировать", whose Space copied the old formula).
    void editedCellNeverLeavesTheOldFitShownAsCurrent() {
        enum TLeave { lvTab, lvBacktab, lvEnter, lvXField, lvCopyButton };
        const struct {
            const char* name;
            TLeave leave;
        } ways[] = {{"Tab", lvTab},
                    {"Shift+Tab", lvBacktab},
                    {"Enter", lvEnter},
                    {"a click into the X field", lvXField},
                    {"a click on Копировать", lvCopyButton}};
        for (const char* text : {"25", "x5"}) {
            for (const auto& way : ways) {
                const QString where = QString("%1 left with %2").arg(text, way.name);
                TWindow w;
                TBoxWatcher boxes;
                w.Fill({{"0.0", "0.102"},
                        {"10.0", "9.956"},
                        {"20.0", "19.919"},
                        {"30.0", "29.816"},
                        {"40.0", "39.860"},
                        {"50.0", "49.882"},
                        {"60.0", "59.932"}});
                w.ClickFormula();
                const QString old = w.Caption("PanelResult");
                QVERIFY(old.startsWith("Y = "));
                QVERIFY(!w.Find("PanelResult")->property("stale").toBool());
                w.ClickCell(0, 3);
                w.Editor()->selectAll();
                QTest::keyClicks(w.Editor(), text);
                w.form->activateWindow();  // as the window manager does once a box of the check has gone
                QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
                ExpectHonestResults(w, old, where + ", while typed");
                auto* copy = w.Find<QPushButton>("btnCopy");
                switch (way.leave) {
                    case lvTab:
                        QTest::keyClick(w.Editor(), Qt::Key_Tab);
                        break;
                    case lvBacktab:
                        QTest::keyClick(w.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
                        break;
                    case lvEnter:
                        QTest::keyClick(w.Editor(), Qt::Key_Return);
                        break;
                    case lvXField:
                        QTest::mouseClick(w.Find<QLineEdit>("MaskEditX"), Qt::LeftButton);
                        break;
                    case lvCopyButton:
                        QTest::mouseClick(copy, Qt::LeftButton);
                        break;
                }
                ExpectHonestResults(w, old, where);
                if (QTest::currentTestFailed()) {
                    return;
                }
                // The edit is over: a number is fitted at once, a text that is none leaves the old fit
                // marked. Tab then stops on "Копировать", whose Space copies the new formula.
                const bool valid = QString(text) == "25";
                QVERIFY2(w.Find("PanelResult")->property("stale").toBool() != valid, qPrintable(where));
                QCOMPARE(copy->isEnabled(), valid);
                if (way.leave == lvTab && valid) {
                    QCOMPARE(QApplication::focusWidget(), copy);
                    QGuiApplication::clipboard()->setText("before");
                    QTest::keyClick(copy, Qt::Key_Space);
                    QCOMPARE(QGuiApplication::clipboard()->text(), w.Caption("PanelResult"));
                }
            }
        }
    }

    // An overflow after the solve: the window shows what the recompute wrote before it (the new fit's
    // panels and formula; the points too when only the curve fails), then the standard box.
    void overflowAfterTheSolveShowsTheStepsBeforeItThenTheBox() {
        TWindow w;
        TBoxWatcher boxes;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA1"), QString("Мало данных"));
        // Extreme but exact points: only the curve's single-precision start overflows.
        w.Fill({{"1e39", "1e39"}, {"2e39", "2e39"}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Floating point overflow."));
        QCOMPARE(boxes.Boxes()[0].icon, QMessageBox::Critical);
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 1.0000000"));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 1.0000000 * X "));
        QCOMPARE(w.Caption("lblSigma"), QString("0"));
        QVERIFY(w.Find("Chart1")->isVisible());
        QVERIFY(w.Find("btnCopy")->isEnabled());
        QCOMPARE(w.Series().measured->PointCount(), 2);
        QCOMPARE(w.Series().measured->XValues().ValueAt(1), 2e39);
        QCOMPARE(w.Series().curve->PointCount(), 0);

        boxes.Clear();
        w.Fill({{"0", "0"}, {"1e200", "1"}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(0));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 1.0000000e+200"));
        // The third row's fit is exact, but a deviation (2.3e308) is beyond the double range.
        w.Fill({{"1.7e308", "0"}, {"-1.7e308", "1"}, {"1.7e308", "2"}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Floating point overflow."));
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 5.6666667e+307"));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 0"));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 5.6666667e+307"));
        // The statistics, the points and Y at X were not reached: none of the two-row fit's stays beside
        // the new coefficients (they used to).
        QCOMPARE(w.Caption("lblMaxErr"), QString());
        QCOMPARE(w.Caption("lblSigma"), QString());
        QCOMPARE(w.Caption("PanelY"), QString());
        QCOMPARE(w.Series().measured->PointCount(), 0);
        QCOMPARE(w.Series().curve->PointCount(), 0);
        // Nor does a new X give one: the recompute stopped before Y at X (it used to show one then).
        w.Find<QLineEdit>("MaskEditX")->setText("1");
        QCOMPARE(w.Caption("PanelY"), QString());

        // A fit that exists with a slope of 10^310: the overflow box, not the solve's, and no panel
        // changes, since no coefficient can be shown.
        boxes.Clear();
        w.Fill({{"1", "1e-310"}, {"2", "2e-310"}, {"3", "3e-310"}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("Floating point overflow."));
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 5.6666667e+307"));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 5.6666667e+307"));
        // Those are the table's before: marked so.
        ExpectHonestResults(w, w.Caption("PanelResult"), "after a coefficient beyond the range");
        QVERIFY(w.Find("PanelResult")->property("stale").toBool());
    }

    void kindMenuSelectsAndRecomputes() {
        TWindow w;
        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}});
        w.ClickFormula();
        w.Find<QAction>("itmLine")->trigger();
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentText(), QString("Линейная"));
        QVERIFY(w.Caption("PanelResult").startsWith("Y = "));
        QVERIFY(!w.Caption("PanelResult").contains("X^2"));
        QVERIFY(w.Find<QAction>("itmLine")->isChecked());
        QVERIFY(!w.Find<QAction>("itmCubic")->isChecked());
        w.Find<QAction>("itmDouble")->trigger();
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentIndex(), 1);
        QVERIFY(w.Find<QAction>("itmDouble")->isChecked());
        QVERIFY(!w.Find<QAction>("itmLine")->isChecked());
        w.Find<QAction>("itmCubic")->trigger();
        QVERIFY(w.Find<QAction>("itmCubic")->isChecked());
        QVERIFY(w.Find("PanelA3")->isVisibleTo(w.form.get()));
    }

    void comboChangeRecomputesAndHandsFocusToTable() {
        TWindow w;
        w.Fill({{"2", "1"}, {"6", "3"}});
        auto* combo = w.Find<QComboBox>("ComboBox1");
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
        // Choosing "Линейная" with the keyboard raises the change event.
        QTest::keyClick(combo, Qt::Key_Up);
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 2.0000000 * X "));
        QVERIFY(w.Grid()->FocusInside());
    }

    void focusHandedBackRecomputesOnceMoreInside() {
        TWindow w;
        TBoxWatcher boxes;
        w.Fill({{"2", "1"}, {"5", "1"}});  // all X equal: every linear solve fails
        auto* combo = w.Find<QComboBox>("ComboBox1");
        combo->setFocus();
        QTRY_VERIFY(combo->hasFocus());
        QTest::keyClick(combo, Qt::Key_Home);  // "Линейная"
        QCOMPARE(combo->currentIndex(), 0);
        // The change recomputes, and entering the table from the combo box recomputes again.
        QCOMPARE(boxes.Boxes().size(), size_t(2));
        QVERIFY(w.Grid()->FocusInside());
        // With the focus already in the table, a recompute runs once.
        boxes.Clear();
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
    }

    // The menu bar borrows the focus while the keyboard is in it (after Escape in one of its menus) and
    // hands it back: that is no entry into the table, unlike the focus coming from another control.
    void focusBackFromTheMenuBarIsNoEntry() {
        TWindow w;
        w.Fill({{"abc", "1"}});  // every recompute shows the standard box
        TBoxWatcher boxes;
        w.ClickCell(0, 2);
        w.form->activateWindow();  // as the window manager does once the box has gone
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        QTRY_VERIFY(w.Editor() != nullptr && w.Editor()->hasFocus());
        struct Row {
            QWidget* from;
            size_t boxes;
        };
        for (const Row& row : {Row{w.form->menuBar(), 0}, Row{w.Find("MaskEditX"), 1}}) {
            boxes.Clear();
            row.from->setFocus(Qt::MenuBarFocusReason);
            QTRY_VERIFY(row.from->hasFocus());
            w.Editor()->setFocus(Qt::MenuBarFocusReason);
            QApplication::processEvents();
            QCOMPARE(boxes.Boxes().size(), row.boxes);
            w.form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        }
    }

    void formulaPanelDoubleClickIsOneClickAndOneDoubleClick() {
        TWindow w;
        auto* panel = w.Find<TPanel>("PanelResult");
        QSignalSpy clicks(panel, &TPanel::Click);
        QSignalSpy doubleClicks(panel, &TPanel::DblClick);
        // Through the window, so the platform turns the second press into the double click.
        QTest::mouseDClick(w.form->windowHandle(), Qt::LeftButton, {},
                           panel->mapTo(w.form.get(), panel->rect().center()));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(doubleClicks.count(), 1);
    }

    void screenshotOfAFit() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(1);
        w.Fill({{"0.1", "0"}, {"1.9", "1"}, {"4.2", "2"}, {"8.8", "3"}, {"16.1", "4"}, {"25.3", "5"}});
        w.Find<QLineEdit>("MaskEditX")->setText("2.5");
        w.ClickFormula();
        QVERIFY(w.Find("Chart1")->isVisible());
        QApplication::processEvents();
        const QPixmap shot = w.form->grab();
        QVERIFY(!shot.isNull());
        // QUORVEL_UPDATE_SCREENSHOT=1 refreshes the picture in docs/; otherwise it goes to a scratch folder.
        QTemporaryDir scratch;
        const QString dir = qEnvironmentVariableIsSet("QUORVEL_UPDATE_SCREENSHOT")
                                ? QString(QUORVEL_SOURCE_DIR) + "/docs"
                                : scratch.path();
        QDir().mkpath(dir);
        QVERIFY(shot.save(dir + "/screenshot.png"));
        QCOMPARE(QImage(dir + "/screenshot.png").size(), w.form->size());
    }
};

QTEST_MAIN(RecomputeTest)
#include "recompute_test.moc"
