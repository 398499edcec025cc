// Editing the data table on the real window: the always-open editor, the number check and the
// growth of the entry row, Enter walking, the order of the table's events, and the column swap.
#include <QDrag>
#include <QHeaderView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextCursor>

#include "runtime/number_text.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// The box's examples are written with the decimal character: "." here, "," in the comma locale.
const QString kNotANumber =
    " не является правильным числом\nПримеры правильного ввода:\n   0.25\n   -15.74e4\n   +15638e-5";
const QString kNotANumberComma =
    " не является правильным числом\nПримеры правильного ввода:\n   0,25\n   -15,74e4\n   +15638e-5";

QString Cell(const TWindow& w, int col, int row) {
    return QString::fromStdString(std::string(w.Model()->CellText(col, row)));
}

}  // namespace

class GridEditingTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        SetDecimalChar('.');
        SetThousandsChar(',');
    }

    void storeKeepsTextsBeyondTheRowCount() {
        TGridModel model(20);
        model.SetCellText(0, 15, "1.5");
        model.SetCellText(1, 15, "2");
        model.SetRowCount(5);
        QCOMPARE(model.RowCount(), 5);
        QCOMPARE(model.rowCount(), 4);
        model.SetRowCount(30);
        QCOMPARE(std::string(model.CellText(0, 15)), std::string("1.5"));
        QCOMPARE(std::string(model.CellText(1, 15)), std::string("2"));
        QCOMPARE(std::string(model.CellText(1, 29)), std::string());
        QCOMPARE(std::string(model.CellText(1, 1000)), std::string());
        QCOMPARE(model.data(model.index(14, 0), Qt::DisplayRole).toString(), QString("1.5"));

        // Rows written a block at a time, as a read writes them, over stored and hidden rows and past
        // the end: taken back, every text is as it was; kept, the new ones stand.
        model.SetRowCount(10);
        const auto writeRows = [&model] {
            model.SetRows(14, 4, [](int row) {
                static const std::string texts[] = {"a", "b", "c", "d"};
                return ITableSource::TRowTexts{texts[row - 14], row == 17 ? std::string_view() : "x"};
            });
        };
        model.BeginChange();
        writeRows();
        QCOMPARE(std::string(model.CellText(0, 15)), std::string("b"));
        model.EndChange(false);
        QCOMPARE(std::string(model.CellText(0, 15)), std::string("1.5"));
        QCOMPARE(std::string(model.CellText(1, 15)), std::string("2"));
        QCOMPARE(std::string(model.CellText(0, 14)), std::string());
        QCOMPARE(std::string(model.CellText(0, 17)), std::string());
        QCOMPARE(model.RowCount(), 10);
        model.BeginChange();
        writeRows();
        model.EndChange(true);
        QCOMPARE(std::string(model.CellText(0, 15)), std::string("b"));
        QCOMPARE(std::string(model.CellText(1, 16)), std::string("x"));
        QCOMPARE(std::string(model.CellText(0, 17)), std::string("d"));
        QCOMPARE(std::string(model.CellText(1, 17)), std::string());
    }

    void typingGoesIntoTheCellAtOnce() {
        TWindow w;
        w.ClickCell(0, 3);
        QVERIFY(w.Editor() != nullptr);
        QVERIFY(w.Editor()->hasFocus());
        QTest::keyClicks(w.Editor(), "12");
        QCOMPARE(Cell(w, 0, 3), QString("12"));
        // Entering a filled cell selects its text, so typing replaces it.
        w.ClickCell(1, 3);
        w.ClickCell(0, 3);
        QTest::keyClicks(w.Editor(), "7");
        QCOMPARE(Cell(w, 0, 3), QString("7"));
        // Typing while the table itself has the focus goes into the cell as well.
        w.Grid()->setFocus();
        QTest::keyClicks(w.Grid(), "9");
        QCOMPARE(Cell(w, 0, 3), QString("9"));
        // A key with text that the editor refuses (Ctrl with a digit) goes nowhere, from either.
        QTest::keyClick(w.Editor(), '1', Qt::ControlModifier);
        QTest::keyClick(w.Grid(), '-', Qt::ControlModifier);
        QCOMPARE(Cell(w, 0, 3), QString("9"));
    }

    // A click on the help text hands the focus to the table, whose recompute may show a box. No text
    // gesture of the help text may go on under that box: a press on selected text that left the text
    // just before its release starts a drag of the text there, which takes every input meant for the box.
    void helpTextClickLeavesNoGestureUnderTheBox() {
        TWindow w;
        w.Fill({{"abc", "1"}});  // the recompute shows the standard box
        auto* memo = w.Find<QPlainTextEdit>("Memo1");
        memo->selectAll();
        bool boxShown = false;
        bool dragged = false;
        QTimer answer;  // the box is answered after a while, as a user reads it first
        connect(&answer, &QTimer::timeout, this, [&] {
            if (!memo->findChildren<QDrag*>().isEmpty()) {
                dragged = true;
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(memo, &escape);  // ends the drag's own loop
            }
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box != nullptr && !boxShown) {
                boxShown = true;
                QTimer::singleShot(400, box, [box] { box->button(QMessageBox::Ok)->click(); });
            }
        });
        answer.start(5);
        const QPoint press(20, memo->cursorRect(QTextCursor(memo->document())).center().y());
        const QPoint left(press.x(), -1);  // just above the text, within the drag distance
        QCursor::setPos(memo->viewport()->mapToGlobal(press + QPoint(150, 100)));
        QTest::mousePress(memo->viewport(), Qt::LeftButton, {}, press);
        QTest::mouseMove(memo->viewport(), left);
        QTest::mouseRelease(memo->viewport(), Qt::LeftButton, {}, left);
        QTRY_VERIFY(boxShown);
        QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!dragged);
        QTRY_VERIFY(w.Grid()->FocusInside());
    }

    // The editor covers the current cell: a right click there is one on the table, and no way into
    // the editor brings a tab or a line break into a cell.
    void currentCellTakesTheTableMenuAndNoSeparators() {
        TWindow w;
        w.ClickCell(0, 2);
        QTest::keyClicks(w.Editor(), "5");
        const QPoint p = w.Editor()->mapTo(w.form.get(), w.Editor()->rect().center());
        QTest::mouseClick(w.form->windowHandle(), Qt::RightButton, {}, p);
        QWidget* popup = QApplication::activePopupWidget();
        QVERIFY(popup != nullptr);
        QCOMPARE(popup->objectName(), QString("PopupMenuTabl"));
        popup->close();
        w.Editor()->insert("1\t2\r\n3");
        QCOMPARE(Cell(w, 0, 2), QString("5"));
        w.Editor()->insert("7");
        QCOMPARE(Cell(w, 0, 2), QString("57"));
    }

    void entryRowGrowsOnlyForANumberStart() {
        TWindow w;
        TBoxWatcher boxes;
        QCOMPARE(w.Model()->RowCount(), 20);
        w.ClickCell(0, 19);
        QTest::keyClicks(w.Editor(), "-");
        QCOMPARE(w.Model()->RowCount(), 20);
        QTest::keyClicks(w.Editor(), "1");
        QCOMPARE(w.Model()->RowCount(), 21);
        QTest::keyClicks(w.Editor(), "2");
        QCOMPARE(w.Model()->RowCount(), 21);
        QCOMPARE(Cell(w, 0, 19), QString("-12"));
        // Deleting the whole text of the new entry row's cell adds nothing and says nothing.
        w.ClickCell(1, 20);
        QTest::keyClicks(w.Editor(), "+");
        QTest::keyClick(w.Editor(), Qt::Key_Backspace);
        QCOMPARE(w.Model()->RowCount(), 21);
        QVERIFY(boxes.Boxes().empty());
    }

    void letterShowsTheBoxAtEveryKeystroke() {
        TWindow w;
        TBoxWatcher boxes;
        w.ClickCell(0, 2);
        QTest::keyClicks(w.Editor(), "ab");
        QCOMPARE(boxes.Boxes().size(), size_t(2));
        QCOMPARE(boxes.Boxes()[0].text, "a" + kNotANumber);
        QCOMPARE(boxes.Boxes()[1].text, "ab" + kNotANumber);
        QCOMPARE(boxes.Boxes()[0].caption, QString("Неверный ввод числа"));
        QCOMPARE(boxes.Boxes()[0].icon, QMessageBox::NoIcon);
        QVERIFY(boxes.Boxes()[0].owned);
        QCOMPARE(Cell(w, 0, 2), QString("ab"));
        // Leaving the cell checks its text once more.
        boxes.Clear();
        w.ClickCell(1, 2);
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, "ab" + kNotANumber);
    }

    void leavingACellWithAPastedBadTextChecksIt() {
        TWindow w;
        TBoxWatcher boxes;
        w.ClickCell(0, 4);
        w.Model()->SetCellText(0, 4, "1.2.3");
        boxes.Clear();
        QTest::keyClick(w.Editor(), Qt::Key_Down);
        QCOMPARE(w.Grid()->Row(), 5);
        QVERIFY(!boxes.Boxes().empty());
        QCOMPARE(boxes.Boxes()[0].text, "1.2.3" + kNotANumber);
    }

    void commaLocaleAcceptsBothMarks() {
        SetDecimalChar(',');
        TWindow w;
        TBoxWatcher boxes;
        w.ClickCell(0, 2);
        QTest::keyClicks(w.Editor(), ".");
        QTest::keyClick(w.Editor(), Qt::Key_Backspace);
        QTest::keyClicks(w.Editor(), "1e");
        QTest::keyClick(w.Editor(), Qt::Key_Backspace);
        QTest::keyClick(w.Editor(), Qt::Key_Backspace);
        QTest::keyClicks(w.Editor(), "2.5");
        QVERIFY(boxes.Boxes().empty());
        w.ClickCell(1, 2);
        QTest::keyClicks(w.Editor(), "2,5,1");
        QCOMPARE(boxes.Boxes().size(), size_t(2));  // "2,5," already has a second separator
        QCOMPARE(boxes.Boxes()[0].text, "2,5," + kNotANumberComma);
        QCOMPARE(boxes.Boxes()[1].text, "2,5,1" + kNotANumberComma);
        SetDecimalChar('.');
    }

    void enterWalksThroughTheCells() {
        TWindow w;
        QSignalSpy clicks(w.Grid(), &TStringGrid::Click);
        w.ClickCell(0, 5);
        clicks.clear();
        w.PressEnter();
        QCOMPARE(w.Grid()->Col(), 1);
        QCOMPARE(w.Grid()->Row(), 5);
        QCOMPARE(clicks.count(), 1);
        w.PressEnter();
        QCOMPARE(w.Grid()->Col(), 0);
        QCOMPARE(w.Grid()->Row(), 6);
        QCOMPARE(clicks.count(), 3);  // row change, then column change
        // The last row goes nowhere.
        w.ClickCell(0, 19);
        clicks.clear();
        w.PressEnter();
        QCOMPARE(w.Grid()->Col(), 0);
        QCOMPARE(w.Grid()->Row(), 19);
        QCOMPARE(clicks.count(), 0);
        // After typing into the entry row, Enter moves on into the new row.
        QTest::keyClicks(w.Editor(), "4");
        w.PressEnter();
        w.PressEnter();
        QCOMPARE(w.Grid()->Row(), 20);
        QCOMPARE(w.Grid()->Col(), 0);
    }

    void leftCellIsReportedBeforeTheClick() {
        TWindow w;
        w.ClickCell(0, 2);
        QStringList events;
        connect(w.Grid(), &TStringGrid::SetEditText, this, [&](int col, int row, const QString& text) {
            events << QString("edit %1 %2 %3").arg(col).arg(row).arg(text);
        });
        connect(w.Grid(), &TStringGrid::Click, this, [&] { events << "click"; });
        QTest::keyClicks(w.Editor(), "5");
        QTest::keyClick(w.Editor(), Qt::Key_Right);
        QCOMPARE(events, QStringList({"edit 0 2 5", "edit 0 2 5", "click"}));
        QCOMPARE(w.Grid()->Col(), 1);
        QCOMPARE(w.Grid()->Row(), 2);
        events.clear();
        QTest::keyClick(w.Editor(), Qt::Key_Up);
        QCOMPARE(events, QStringList({"edit 1 2 ", "click"}));
        QCOMPARE(w.Grid()->Row(), 1);
        events.clear();
        QTest::keyClick(w.Editor(), Qt::Key_Up);  // the header row is never current
        QCOMPARE(w.Grid()->Row(), 1);
        QVERIFY(events.isEmpty());
    }

    void typedPairIsFittedAfterEnter() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.ClickCell(0, 1);
        for (const char* text : {"2", "1", "6", "3"}) {
            QTest::keyClicks(w.Editor(), text);
            w.PressEnter();
        }
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 2.0000000 * X "));
        QCOMPARE(w.Grid()->Row(), 3);
    }

    void draggingAColumnSwapsDataKeepsHeaders() {
        TWindow w;
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.Fill({{"2", "1"}, {"6", "3"}});
        QHeaderView* header = w.Grid()->horizontalHeader();
        const QPoint from(header->sectionViewportPosition(1) + 40, header->height() / 2);
        const QPoint to(header->sectionViewportPosition(0) + 10, header->height() / 2);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, from);
        for (int step = 1; step <= 10; ++step) {
            QTest::mouseMove(header->viewport(), from + (to - from) * step / 10);
        }
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(Cell(w, 0, 0), QString("Y (истинное)"));
        QCOMPARE(Cell(w, 1, 0), QString("X (по прибору)"));
        QCOMPARE(header->visualIndex(0), 0);
        QCOMPARE(Cell(w, 0, 1), QString("1"));
        QCOMPARE(Cell(w, 1, 1), QString("2"));
        QCOMPARE(Cell(w, 0, 2), QString("3"));
        QCOMPARE(Cell(w, 1, 2), QString("6"));
        QCOMPARE(w.Grid()->columnWidth(0), 81);
        // Fitted at once with the roles exchanged: X = Y / 2 now reads as Y = 0.5 X.
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 0.5000000 * X "));
    }

    void loweringTheRowCountUnderTheCurrentCellIsSafe() {
        TWindow w;
        TBoxWatcher boxes;
        w.ClickCell(0, 19);
        w.Model()->SetCellText(0, 19, "abc");  // an old text left in the entry row
        QSignalSpy clicks(w.Grid(), &TStringGrid::Click);
        w.Model()->SetRowCount(5);
        QCOMPARE(w.Model()->RowCount(), 5);
        QCOMPARE(w.Grid()->Row(), 4);
        QCOMPARE(clicks.count(), 0);
        QVERIFY(boxes.Boxes().empty());
        w.Model()->SetRowCount(20);
        QCOMPARE(Cell(w, 0, 19), QString("abc"));
    }

    void doubleClickRecomputes() {
        TWindow w;
        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}});
        const QRect r = w.Grid()->visualRect(w.Model()->index(5, 1));
        QTest::mouseDClick(w.Grid()->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(w.Caption("PanelResult").startsWith("Y = "));
    }
};

QTEST_MAIN(GridEditingTest)
#include "grid_editing_test.moc"
