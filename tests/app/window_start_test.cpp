// Start-up state, layout, menus and the application-wide pieces of the real main window.
#include <QAction>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>

#include "app/application.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// An object whose event handler fails, as a handler outside the guards would.
class TFailingObject : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            throw EConvertError("'x' is not a valid floating point value");
        }
        return QObject::event(e);
    }
};

}  // namespace

class WindowStartTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        SetDecimalChar('.');
        SetUserLanguage(TLanguage::Russian);
    }

    void startStateShowsDesignTexts() {
        TWindow w;
        QCOMPARE(w.form->windowTitle(), QString("Аппроксимация экспериментальных данных"));
        QCOMPARE(w.form->centralWidget()->size(), QSize(503, 428));
        QCOMPARE(w.form->minimumSize(), w.form->maximumSize());
        QVERIFY(!(w.form->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.form->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!w.Find("Chart1")->isVisible());
        QVERIFY(w.Find("Memo1")->isVisible());
        QCOMPARE(w.Caption("PanelA0"), QString("a0="));
        QCOMPARE(w.Caption("PanelA1"), QString("a1="));
        QCOMPARE(w.Caption("PanelA2"), QString("a2="));
        QCOMPARE(w.Caption("PanelA3"), QString("a3="));
        QCOMPARE(w.Caption("PanelResult"), QString("Y="));
        QCOMPARE(w.Caption("lblSigma"), QString("0"));
        QCOMPARE(w.Caption("lblMaxErr"), QString("0"));
        QCOMPARE(w.Caption("PanelY"), QString());
        QCOMPARE(w.Find<QLineEdit>("MaskEditX")->text(), QString("0"));
        QVERIFY(!w.Find<QCheckBox>("CheckBox1")->isChecked());
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentText(), QString("Кубическая"));
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->count(), 3);
        QVERIFY(!w.Find<QComboBox>("ComboBox1")->isEditable());
        QCOMPARE(w.Model()->RowCount(), 20);
        QCOMPARE(QString::fromStdString(std::string(w.Model()->CellText(0, 0))), QString("Y (истинное)"));
        QCOMPARE(QString::fromStdString(std::string(w.Model()->CellText(1, 0))), QString("X (по прибору)"));
        QCOMPARE(w.Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("X (по прибору)"));
        QCOMPARE(w.Grid()->columnWidth(0), 73);
        QCOMPARE(w.Grid()->columnWidth(1), 81);
        QCOMPARE(w.Grid()->rowHeight(0), 16);
        QCOMPARE(w.Grid()->Col(), 0);
        QCOMPARE(w.Grid()->Row(), 1);
        QVERIFY(w.Find("btnCopy")->isEnabled());
        // Showing the window computes nothing.
        QApplication::processEvents();
        QCOMPARE(w.Caption("PanelA0"), QString("a0="));
    }

    void controlsSitWhereTheLayoutPutsThem() {
        TWindow w;
        struct Row {
            const char* name;
            const char* parent;
            QRect rect;
        };
        const Row rows[] = {
            {"Memo1", "ClientArea", {240, 176, 185, 169}},
            {"Chart1", "ClientArea", {208, 152, 289, 208}},
            {"GroupBox1", "ClientArea", {8, 360, 489, 65}},
            {"StaticText2", "GroupBox1", {12, 8, 152, 19}},
            {"PanelResult", "GroupBox1", {8, 32, 393, 25}},
            {"btnCopy", "GroupBox1", {406, 32, 75, 25}},
            {"MaskEditX", "GroupBox1", {240, 8, 89, 21}},
            {"StaticText4", "GroupBox1", {200, 8, 44, 19}},
            {"StaticText5", "GroupBox1", {336, 8, 19, 19}},
            {"PanelY", "GroupBox1", {360, 8, 96, 17}},
            {"CheckBox1", "GroupBox1", {464, 8, 17, 17}},
            {"GroupBox2", "ClientArea", {8, 0, 193, 361}},
            {"StaticText1", "GroupBox2", {16, 8, 163, 19}},
            {"sgData", "GroupBox2", {8, 24, 177, 329}},
            {"GroupBox3", "ClientArea", {208, 0, 185, 145}},
            {"Label1", "GroupBox3", {8, 128, 114, 13}},
            {"Label3", "GroupBox3", {8, 112, 118, 13}},
            {"PanelA0", "GroupBox3", {18, 16, 150, 17}},
            {"PanelA1", "GroupBox3", {18, 40, 150, 17}},
            {"PanelA2", "GroupBox3", {18, 64, 150, 17}},
            {"PanelA3", "GroupBox3", {18, 88, 150, 17}},
            {"btnPrint", "ClientArea", {400, 92, 97, 25}},
            {"ComboBox1", "ClientArea", {400, 32, 97, 21}},
            {"StaticText3", "ClientArea", {400, 10, 81, 19}},
            {"btnGraphCopy", "ClientArea", {400, 120, 97, 25}},
        };
        for (const Row& row : rows) {
            QWidget* widget = w.Find(row.name);
            QVERIFY2(widget != nullptr, row.name);
            QCOMPARE(widget->parentWidget()->objectName(), QString(row.parent));
            QCOMPARE(widget->geometry(), row.rect);
        }
        QCOMPARE(w.Find("lblSigma")->pos(), QPoint(136, 128));
        QCOMPARE(w.Find("lblMaxErr")->pos(), QPoint(136, 112));
        // The chart lies over the help text.
        QVERIFY(w.Find("Chart1")->geometry().contains(w.Find("Memo1")->geometry()));
        const QObjectList& children = w.form->centralWidget()->children();
        QVERIFY(children.indexOf(w.Find("Memo1")) < children.indexOf(w.Find("Chart1")));
        for (const char* name : {"StaticText1", "StaticText2", "StaticText3", "StaticText4", "StaticText5"}) {
            QLabel* label = w.Find<QLabel>(name);
            QCOMPARE(label->font().pixelSize(), 13);
            QCOMPARE(QFontInfo(label->font()).family(), QString("Liberation Serif"));
        }
        QCOMPARE(w.Caption("StaticText1"), QString("Экспериментальные данные"));
        QCOMPARE(w.Caption("StaticText2"), QString("Результат аппроксимации:"));
        QCOMPARE(w.Caption("StaticText3"), QString("Вид функции:"));
        QCOMPARE(w.Caption("StaticText4"), QString("Для X="));
        QCOMPARE(w.Caption("StaticText5"), QString("Y="));
        QCOMPARE(w.Caption("Label1"), QString("Среднекв. отклонение"));
        QCOMPARE(w.Caption("Label3"), QString("Максимальная ошибка"));
        QCOMPARE(w.Find<QPushButton>("btnPrint")->text(), QString("Печатать график"));
        QCOMPARE(w.Find<QPushButton>("btnCopy")->text(), QString("Копировать"));
        QCOMPARE(w.Find<QPushButton>("btnGraphCopy")->text(), QString("Копировать"));
    }

    void helpTextKeepsItsLinesAndTrailingBlanks() {
        TWindow w;
        const QStringList lines = w.Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n');
        const QStringList expected = {
            "Введите в таблицу ",
            "экспериментальные ",
            "данные и выберите вид",
            "функции.",
            "Под таблицей появятся ",
            "коэффициенты выбранной",
            "функции, вычисленные",
            "по методу наименьших",
            "квадратов",
            "и соответствующие ",
            "введенным данным.",
        };
        QCOMPARE(lines, expected);
    }

    void tabOrderStartsAtTheTable() {
        TWindow w;
        QVERIFY(w.Grid()->FocusInside());
        const char* order[] = {"btnCopy", "MaskEditX", "CheckBox1", "btnPrint", "ComboBox1", "btnGraphCopy"};
        for (const char* name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(name));
        }
    }

    // The captions in Russian (the C locale's language) and in English.
    void menusCarryNamesCaptionsAndShortcuts() {
        struct Item {
            const char* name;
            const char* caption;
            const char* english;
            QKeySequence shortcut;
        };
        const Item items[] = {
            {"itmRead", "Чтение", "Open", QKeySequence("Ctrl+L")},
            {"itmWrite", "Запись", "Save", QKeySequence("Ctrl+S")},
            {"itmExit", "Выход", "Exit", {}},
            {"itmImport", "Импорт таблицы…", "Import table…", {}},
            {"itmReport", "Протокол калибровки…", "Calibration report…", {}},
            {"itmApply", "Пересчитать показания…", "Convert readings…", {}},
            {"itmClearMain", "Очистить таблицу", "Clear table", {}},
            {"itmTablCopyMain", "Копировать таблицу", "Copy table", QKeySequence("Ctrl+C")},
            {"itmTablPasteMain", "Вставить таблицу", "Paste table", QKeySequence("Ctrl+V")},
            {"itmClear", "Очистить таблицу", "Clear table", {}},
            {"itmTablCopy", "Копировать таблицу", "Copy table", QKeySequence("Ctrl+C")},
            {"itmTablPaste", "Вставить таблицу", "Paste table", QKeySequence("Ctrl+V")},
            {"itmLine", "Линейная аппроксимация", "Linear fit", {}},
            {"itmDouble", "Квадратичная аппроксимация", "Quadratic fit", {}},
            {"itmCubic", "Кубическая аппроксимация", "Cubic fit", {}},
            {"itmGraphPrint", "Печатать график", "Print chart", {}},
            {"itmGraphCopy", "Копировать график", "Copy chart", {}},
        };
        for (const TLanguage language : {TLanguage::Russian, TLanguage::English}) {
            SetUserLanguage(language);
            const bool english = language == TLanguage::English;
            TWindow w;
            for (const Item& item : items) {
                QAction* action = w.Find<QAction>(item.name);
                QVERIFY2(action != nullptr, item.name);
                QCOMPARE(action->text(), QString(english ? item.english : item.caption));
                QCOMPARE(action->shortcut(), item.shortcut);
            }
            const QList<QAction*> top = w.form->menuBar()->actions();
            QCOMPARE(top.size(), 2);
            QCOMPARE(top[0]->text(), QString(english ? "File" : "Файл"));
            QCOMPARE(top[1]->text(), QString(english ? "Edit" : "Правка"));
        }
    }

    void copyAndPasteShortcutsActInEditFields() {
        TWindow w;
        w.Fill({{"1", "2"}});  // the copy then holds a pair, so pasting it back succeeds quietly
        QSignalSpy copy(w.Find<QAction>("itmTablCopyMain"), &QAction::triggered);
        QSignalSpy paste(w.Find<QAction>("itmTablPasteMain"), &QAction::triggered);
        w.ClickCell(0, 2);
        QVERIFY(w.Editor() != nullptr && w.Editor()->hasFocus());
        QTest::keyClick(w.Editor(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(w.Editor(), Qt::Key_V, Qt::ControlModifier);
        auto* maskEdit = w.Find<QLineEdit>("MaskEditX");
        maskEdit->setFocus();
        QTest::keyClick(maskEdit, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(copy.count(), 2);
        QCOMPARE(paste.count(), 1);
    }

    void firstFocusEntryRecomputes() {
        TWindow w;
        w.Find<QLineEdit>("MaskEditX")->setFocus();
        QCOMPARE(w.Caption("PanelA0"), QString("a0="));
        w.ClickCell(1, 3);
        QCOMPARE(w.Caption("PanelA0"), QString("Мало данных"));
        QCOMPARE(w.Caption("PanelResult"), QString("Заполните таблицу значений Y(X)"));
        // No fit on show, so no Y at X (it used to show the start store's Y = X, 0 here).
        QCOMPARE(w.Caption("PanelY"), QString());
    }

    void firstClickIntoTheCurrentCellRecomputes() {
        TWindow w;
        QVERIFY(w.Editor() != nullptr);
        QTest::mouseClick(w.Editor(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.Caption("PanelA0"), QString("Мало данных"));
    }

    void helpTextHandsFocusToTheTable() {
        TWindow w;
        auto* memo = w.Find<QPlainTextEdit>("Memo1");
        w.Find<QLineEdit>("MaskEditX")->setFocus();
        QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
        QVERIFY(w.Grid()->FocusInside());
        QCOMPARE(w.Caption("PanelA0"), QString("Мало данных"));

        w.Find<QLineEdit>("MaskEditX")->setFocus();
        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}});
        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_A);
        QVERIFY(w.Grid()->FocusInside());
        QVERIFY(w.Caption("PanelResult").startsWith("Y = "));
        QCOMPARE(memo->toPlainText().split('\n').size(), 11);
    }

    void escapingExceptionShowsStandardBoxAndLoopGoesOn() {
        TWindow w;
        TBoxWatcher boxes;
        TFailingObject failing;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].text, QString("'x' is not a valid floating point value."));
        QCOMPARE(boxes.Boxes()[0].caption, QString("Quorvel"));
        QCOMPARE(boxes.Boxes()[0].icon, QMessageBox::Critical);
        QVERIFY(boxes.Boxes()[0].owner == w.form.get());
        QVERIFY(boxes.Boxes()[0].modal);
        QVERIFY(w.form->isVisible());
    }

    void applicationTitleAndRussianStandardTexts() {
        QCOMPARE(QApplication::applicationName(), QString("Quorvel"));
        QCOMPARE(QApplication::applicationDisplayName(), QString("Quorvel"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Отмена"));
        QVERIFY(QFile::exists(":/quorvel/quorvel.svg"));
        QVERIFY(!QApplication::windowIcon().isNull());
        TWindow w;
        QVERIFY(w.form->windowTitle() != QApplication::applicationName());
    }

    void localeChangeRereadsNumberSettings() {
        TWindow w;
        SetDecimalChar('#');
        QEvent change(QEvent::LocaleChange);
        QApplication::sendEvent(w.form.get(), &change);
        QVERIFY(DecimalChar() != U'#');
    }

    // At 200 % a laptop's screen is smaller than the stored position plus the window: it must still
    // open wholly inside (this case runs once more under QT_SCALE_FACTOR=2, where the test screen is
    // smaller than the window).
    void windowOpensInsideTheScreen() {
        const QSize size(503, 446);
        const struct {
            QRect available;
            QPoint expected;
        } rows[] = {
            {{0, 0, 1920, 1040}, {204, 124}},   // fits: the stored position
            {{0, 0, 800, 500}, {148, 27}},      // 1600 x 1000 at 200 %: centred
            {{0, 0, 960, 540}, {228, 47}},      // 1920 x 1080 at 200 %
            {{0, 28, 707, 541}, {102, 75}},     // a top panel: one pixel short of the stored place
            {{0, 0, 707, 570}, {204, 124}},     // exactly the stored place
            {{1920, 0, 800, 500}, {2068, 27}},  // a second screen to the right
            {{0, 0, 400, 300}, {0, 0}},         // smaller than the window: its top left corner
        };
        for (const auto& row : rows) {
            QCOMPARE(WindowPositionInside(QPoint(204, 124), size, row.available), row.expected);
        }
        TWindow w;
        const QRect available = w.form->screen()->availableGeometry();
        const QRect frame = w.form->frameGeometry();
        if (available.width() >= frame.width() && available.height() >= frame.height()) {
            QVERIFY2(available.contains(frame), qPrintable(QString("frame %1,%2 %3x%4 on %5x%6")
                                                               .arg(frame.x())
                                                               .arg(frame.y())
                                                               .arg(frame.width())
                                                               .arg(frame.height())
                                                               .arg(available.width())
                                                               .arg(available.height())));
        } else {
            QCOMPARE(frame.topLeft(), available.topLeft());
        }
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    WindowStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_start_test.moc"
