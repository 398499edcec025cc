// The window in English, as a user whose language is not Russian sees it: every text in English and
// whole in its control at the scale the test runs under (CTest runs it at 100 %, 150 % and 200 %, with
// the language given each time another way).
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <tuple>

#include "app/application.h"
#include "app/form_compare_kinds.h"
#include "app/form_import.h"
#include "app/form_uncertainty_rules.h"
#include "chart/print/chart_preview.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

bool HasCyrillic(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x0400 && c.unicode() <= 0x04FF) {
            return true;
        }
    }
    return false;
}

QString Where(const QWidget* w) {
    return w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
}

// Every text the widget and the widgets in it show, each with where it is.
void CollectTexts(QWidget* root, QStringList& texts) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        const QString where = Where(w) + ": ";
        texts << where + w->windowTitle() << where + w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            texts << where + label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            texts << where + button->text();
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            texts << where + group->title();
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i) {
                texts << where + combo->itemText(i);
            }
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
            texts << where + memo->toPlainText();
        }
        for (QAction* action : w->actions()) {
            texts << where + action->text() << where + action->toolTip();
            if (QMenu* menu = action->menu()) {
                texts << where + menu->title();
                for (QAction* item : menu->actions()) {
                    texts << where + item->text();
                }
            }
        }
    }
}

// The texts that do not fit their control, with the widths: a label's or button's text cut off or
// running into the next control.
QStringList CutTexts(QWidget* root) {
    QStringList cut;
    auto check = [&](const QWidget* w, const QString& text, int needed, int room) {
        if (needed > room) {
            cut << QString("%1 \"%2\": needs %3, has %4").arg(Where(w), text).arg(needed).arg(room);
        }
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root)) {
            continue;
        }
        const QFontMetrics metrics = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (!label->wordWrap() && !label->text().isEmpty()) {
                const int room =
                    label->contentsRect().width() - 2 * label->margin() - std::max(0, label->indent());
                check(w, label->text(), metrics.horizontalAdvance(label->text()), room);
            }
        } else if (auto* box = qobject_cast<QCheckBox*>(w);
                   (box != nullptr || qobject_cast<QRadioButton*>(w)) &&
                   !static_cast<QAbstractButton*>(w)->text().isEmpty()) {
            auto* button = static_cast<QAbstractButton*>(w);
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QStyle::SubElement contents =
                box != nullptr ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents;
            check(w, button->text(), metrics.horizontalAdvance(button->text()),
                  button->style()->subElementRect(contents, &option, button).width());
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            check(w, button->text(),
                  metrics.horizontalAdvance(QString(button->text()).remove('&')) + 2 * margin,
                  button->width());
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxLabel;
            const QRect title =
                group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
            // The style clips the title's rectangle to the box: measure the text from where it starts.
            check(w, group->title(), title.left() + metrics.horizontalAdvance(group->title()),
                  group->width());
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            const int room =
                combo->style()
                    ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo)
                    .width();
            for (int i = 0; i < combo->count(); ++i) {
                check(w, combo->itemText(i), metrics.horizontalAdvance(combo->itemText(i)), room);
            }
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) {
            const int room =
                memo->viewport()->width() - 2 * static_cast<int>(memo->document()->documentMargin());
            for (const QString& line : memo->toPlainText().split('\n')) {
                check(w, line, metrics.horizontalAdvance(line), room);
            }
        }
    }
    return cut;
}

void ExpectAllEnglish(QWidget* root) {
    QStringList texts;
    CollectTexts(root, texts);
    for (const QString& text : texts) {
        QVERIFY2(!HasCyrillic(text), qPrintable(text));
    }
}

// Every text of the widget whole in its control, else the ones that are not.
#define EXPECT_WHOLE(widget)                                 \
    do {                                                     \
        const QStringList cut = CutTexts(widget);            \
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("\n"))); \
    } while (false)

// The header and cell texts of a table that are Russian or do not fit their column.
QStringList TableFaults(const QTableWidget* table) {
    QStringList faults;
    auto check = [&](const QString& text, const QFont& font, int room) {
        if (HasCyrillic(text) || QFontMetrics(font).horizontalAdvance(text) >= room) {
            faults << QString("\"%1\" in %2").arg(text).arg(room);
        }
    };
    int total = 0;
    for (int column = 0; column < table->columnCount(); ++column) {
        const int room = table->columnWidth(column);
        total += room;
        check(table->horizontalHeaderItem(column)->text(), table->horizontalHeader()->font(), room);
        for (int row = 0; row < table->rowCount(); ++row) {
            check(table->item(row, column)->text(), table->item(row, column)->font(), room);
        }
    }
    const QRect inWindow(table->mapTo(table->window(), QPoint(0, 0)), table->size());
    if (!table->window()->rect().contains(inWindow)) {
        faults << QString("table %1 wide at %2, window %3")
                      .arg(table->width())
                      .arg(inWindow.left())
                      .arg(table->window()->width());
    }
    if (total > table->viewport()->width()) {
        faults << QString("columns %1 in %2").arg(total).arg(table->viewport()->width());
    }
    return faults;
}

// Where QUORVEL_SHOTS_DIR names a folder, the widget's picture goes there, to be looked at.
void Shoot(QWidget* widget, const char* name) {
    const QString folder = qEnvironmentVariable("QUORVEL_SHOTS_DIR");
    if (!folder.isEmpty()) {
        const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1");
        widget->grab().save(QDir(folder).filePath(QString("%1-%2.png").arg(name, scale)));
    }
}

template <class T>
void WhenShown(std::function<void(T*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<T*>(w); found != nullptr && found->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(found);
                return;
            }
        }
    });
    timer->start();
}

}  // namespace

class EnglishTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalChar('.'); }

    void languageComesFromTheEnvironment() {
        QCOMPARE(UserLanguage(), TLanguage::English);
        // Qt's own buttons and dialogs speak English too: no Russian translation is loaded.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Cancel"));
    }

    void windowTextsAreEnglishAndWhole() {
        TWindow w;
        QCOMPARE(w.form->windowTitle(), QString("Fitting of measured data"));
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentText(), QString("Cubic"));
        QCOMPARE(w.Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QString("Y (true)"));
        QCOMPARE(w.Find<QAction>("itmRead")->text(), QString("Open"));
        Shoot(w.form.get(), "window-start");
        ExpectAllEnglish(w.form.get());
        EXPECT_WHOLE(w.form.get());

        w.ClickFormula();
        QCOMPARE(w.Caption("PanelA0"), QString("Too few data"));
        QCOMPARE(w.Caption("PanelResult"), QString("Fill in the table of values Y(X)"));
        EXPECT_WHOLE(w.form.get());

        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}, {"3.5", "2"}});
        w.ClickFormula();
        QVERIFY(w.Caption("PanelResult").startsWith("Y = "));
        Shoot(w.form.get(), "window-fit");
        ExpectAllEnglish(w.form.get());
        EXPECT_WHOLE(w.form.get());
    }

    // With the columns u(Y) and u(X): the fit with them, its model check, Y at X with u(X), the inverse
    // and the band, every text English and whole in the grown window, which stays on the screen.
    void workbenchIsEnglishAndWhole() {
        TWindow w;
        TBoxWatcher boxes;
        w.Find<QAction>("itmUncertainties")->trigger();
        w.Fill({{"0", "0"}, {"2", "1"}, {"1", "2"}, {"3", "3.5"}});
        for (const auto& [row, uy, ux] :
             {std::tuple{1, "0.2", "0.05"}, {2, "0.2", "0.05"}, {3, "0.1", ""}, {4, "0.3", "0.1"}}) {
            w.Model()->SetCellText(2, row, uy);
            w.Model()->SetCellText(3, row, ux);
        }
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        w.ClickFormula();
        w.Find<QLineEdit>("MaskEditX")->setText("2.5");
        w.Find<QLineEdit>("MaskEditXUncertainty")->setText("0.05");
        w.Find<QLineEdit>("MaskEditInverseY")->setText("1.5");
        w.Find<QLineEdit>("MaskEditInverseU")->setText("0.1");
        w.Find<QAction>("itmBand")->trigger();
        QVERIFY(w.Caption("lblModelCheck").startsWith("χ² = "));
        QVERIFY(!w.Find<QWidget>("PanelInverseX")->property("text").toString().isEmpty());
        Shoot(w.form.get(), "window-workbench");
        ExpectAllEnglish(w.form.get());
        EXPECT_WHOLE(w.form.get());
        const QRect available = w.form->screen()->availableGeometry();
        const QRect frame = w.form->frameGeometry();
        if (available.width() >= frame.width() && available.height() >= frame.height()) {
            QVERIFY(available.contains(frame));
        }
        for (int col = 2; col < 4; ++col) {
            const QString text = w.Model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
            QVERIFY2(w.Grid()->fontMetrics().horizontalAdvance(text) + 4 <= w.Grid()->columnWidth(col),
                     qPrintable(text));
        }
        QCOMPARE(boxes.Boxes().size(), std::size_t{0});
    }

    // The header cells of the table are whole in their columns.
    void tableHeadersFit() {
        TWindow w;
        for (int col = 0; col < 2; ++col) {
            const QString text = w.Model()->headerData(col, Qt::Horizontal, Qt::DisplayRole).toString();
            QVERIFY2(w.Grid()->fontMetrics().horizontalAdvance(text) + 4 <= w.Grid()->columnWidth(col),
                     qPrintable(text));
        }
    }

    void boxesAreEnglish() {
        TWindow w;
        // The clear question's buttons are Qt's own.
        QStringList buttons;
        WhenShown<QMessageBox>([&buttons](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons()) {
                buttons << b->text().remove('&');
            }
            buttons << box->text();
            box->button(QMessageBox::No)->click();
        });
        w.Find<QAction>("itmClearMain")->trigger();
        buttons.sort();
        QCOMPARE(buttons, QStringList({"Clear the data in the table?", "No", "Yes"}));

        TBoxWatcher boxes;
        auto* x = w.Find<QLineEdit>("MaskEditX");
        x->setFocus();
        x->selectAll();
        QTest::keyClicks(x, "q");
        QTRY_COMPARE(boxes.Boxes().size(), size_t(1));
        QCOMPARE(boxes.Boxes()[0].caption, QString("Invalid number"));
        QCOMPARE(
            boxes.Boxes()[0].text,
            QString("q is not a valid number\nExamples of valid input:\n   0.25\n   -15.74e4\n   +15638e-5"));
    }

    void printPreviewIsEnglishAndWhole() {
        TWindow w;
        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}});
        w.ClickFormula();
        // Read while it shows, checked after it closed: a failed check must not leave it open.
        QString title;
        QStringList texts;
        QStringList cut;
        WhenShown<TChartPreview>([&](TChartPreview* preview) {
            title = preview->windowTitle();
            Shoot(preview, "preview");
            CollectTexts(preview, texts);
            cut = CutTexts(preview);
            preview->reject();
        });
        QTest::mouseClick(w.Find<QPushButton>("btnPrint"), Qt::LeftButton);
        QCOMPARE(title, QString("Print preview"));
        for (const QString& text : texts) {
            QVERIFY2(!HasCyrillic(text), qPrintable(text));
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join("\n")));
    }

    void importDialogIsEnglishAndWhole() {
        TWindow w;
        const std::string head = "\"No\";\"Pressure; kPa\";\"Reading, mV\"\r\n1;0;0,12\r\n2;25;10,4\r\n";
        TFormImport dialog(w.form.get(), "/tmp/gauge.csv", head, true);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Import table"));
        Shoot(&dialog, "import");
        ExpectAllEnglish(&dialog);
        EXPECT_WHOLE(&dialog);
    }

    // The comparison of the kinds, of ordinary fits and with given uncertainties, and of too few points.
    void compareKindsDialogIsEnglishAndWhole() {
        TPointTable points;
        TUncertaintyColumns u;
        for (int i = 0; i < 8; ++i) {
            points.push_back({i * 125.5, 1000 + i * 250.25 + (i % 3) * 0.7 - i * i * 0.01});
            u.uy.push_back(0.5);
            u.ux.push_back(i == 0 ? 0.1 : 0);
        }
        for (const TUncertaintyColumns* given : {static_cast<const TUncertaintyColumns*>(nullptr),
                                                 static_cast<const TUncertaintyColumns*>(&u)}) {
            TFormCompareKinds dialog(CompareKinds(points, given), fkLinear, nullptr);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            QCOMPARE(dialog.windowTitle(), QString("Comparison of function kinds"));
            Shoot(&dialog, given == nullptr ? "compare-kinds" : "compare-kinds-given");
            ExpectAllEnglish(&dialog);
            EXPECT_WHOLE(&dialog);
            const QStringList faults = TableFaults(dialog.findChild<QTableWidget*>("tblKinds"));
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join("\n")));
        }
        TFormCompareKinds none(CompareKinds(TPointTable{{1, 2}}, nullptr), fkCubic, nullptr);
        none.show();
        QVERIFY(QTest::qWaitForWindowExposed(&none));
        ExpectAllEnglish(&none);
        EXPECT_WHOLE(&none);
    }

    void uncertaintyRulesDialogIsEnglishAndWhole() {
        TFormUncertaintyRules dialog(nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("Fill in uncertainties"));
        Shoot(&dialog, "uncertainty-rules");
        ExpectAllEnglish(&dialog);
        EXPECT_WHOLE(&dialog);
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    EnglishTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "english_test.moc"
