// The kind comparison and the uncertainty rules dialogs: what they show for real fits, what their
// buttons give, and how a rule that is none is refused.
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <vector>

#include "app/form_compare_kinds.h"
#include "app/form_uncertainty_rules.h"
#include "fitting/calibration_fit.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "ui/box_watcher.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

// Six points near 1 + 2.5·X + 0.1·X², X = 0 ... 5, and u(Y) = 0.1 for each where given.
TKindChoice SixPoints(bool given) {
    const double y[] = {1.0, 3.2, 5.3, 7.9, 10.6, 13.4};
    TPointTable points;
    TUncertaintyColumns u;
    for (int i = 0; i < 6; ++i) {
        points.push_back({static_cast<double>(i), y[i]});
        u.uy.push_back(0.1);
        u.ux.push_back(0);
    }
    return CompareKinds(points, given ? &u : nullptr);
}

QStringList RowTexts(const QTableWidget* table, int row) {
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        texts << table->item(row, column)->text();
    }
    return texts;
}

QStringList HeaderTexts(const QTableWidget* table) {
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        texts << table->horizontalHeaderItem(column)->text();
    }
    return texts;
}

// Runs the action once the dialog has shown from its own loop.
void WhenShown(QDialog* dialog, std::function<void()> action) {
    QTimer::singleShot(0, dialog, [dialog, action] {
        QTRY_VERIFY(dialog->isVisible());
        action();
    });
}

}  // namespace

class CalibrationDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { SetDecimalChar('.'); }

    // The rows of real fits: the figures worked out apart from the program (exact sums of the points,
    // Student's t and the normal factor from tables), as the dialog writes them.
    void comparisonShowsEachKindWithItsFigures_data() {
        QTest::addColumn<bool>("given");
        QTest::addColumn<QString>("scatterHeader");
        QTest::addColumn<QStringList>("linear");
        QTest::addColumn<QStringList>("quadratic");
        QTest::addColumn<QStringList>("cubic");
        QTest::newRow("ordinary")
            << false << "s"
            << QStringList{"Линейная", "0.3033150", "4", "2.48 ± 0.20", "0.9965926", "0.9957407", ""}
            << QStringList{"Квадратичная", "0.0833809", "3", "0.096 ± 0.043", "0.9998069", "0.9996781", "✓"}
            << QStringList{"Кубическая", "0.1015749", "2", "-0.002 ± 0.054", "0.9998089", "0.9995223", ""};
        QTest::newRow("given_u")
            << true << "χ²"
            << QStringList{"Линейная", "36.8000000", "4", "2.480 ± 0.047", "0.9965926", "0.9957407", ""}
            << QStringList{"Квадратичная", "2.0857143", "3", "0.096 ± 0.032", "0.9998069", "0.9996781", "✓"}
            << QStringList{"Кубическая", "2.0634921", "2", "-0.002 ± 0.024", "0.9998089", "0.9995223", ""};
    }
    void comparisonShowsEachKindWithItsFigures() {
        QFETCH(bool, given);
        QFETCH(QString, scatterHeader);
        QFETCH(QStringList, linear);
        QFETCH(QStringList, quadratic);
        QFETCH(QStringList, cubic);
        TFormCompareKinds dialog(SixPoints(given), fkLinear, nullptr);
        QCOMPARE(dialog.objectName(), QString("FormCompareKinds"));
        QCOMPARE(dialog.windowTitle(), QString("Сравнение видов функции"));
        auto* table = dialog.findChild<QTableWidget*>("tblKinds");
        QVERIFY(table != nullptr);
        QCOMPARE(HeaderTexts(table),
                 (QStringList{"Вид функции", scatterHeader, "ν", "Старший коэффициент ± U", "R²", "Скорр. R²",
                              "Рекомендуется"}));
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(RowTexts(table, 0), linear);
        QCOMPARE(RowTexts(table, 1), quadratic);
        QCOMPARE(RowTexts(table, 2), cubic);
        // The recommended row is the current one and bold, the others are not; nothing can be edited.
        QCOMPARE(table->currentRow(), 1);
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < table->columnCount(); ++column) {
                QCOMPARE(table->item(row, column)->font().bold(), row == 1);
                QVERIFY(!(table->item(row, column)->flags() & Qt::ItemIsEditable));
            }
        }
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    // Three points: the quadratic one passes through them, so it has no scatter, no U and no adjusted R².
    void comparisonWithoutScatterShowsDashes() {
        const TPointTable points = {{0, 1}, {1, 3}, {2, 7}};
        TFormCompareKinds dialog(CompareKinds(points, nullptr), fkQuadratic, nullptr);
        auto* table = dialog.findChild<QTableWidget*>("tblKinds");
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(RowTexts(table, 0),
                 (QStringList{"Линейная", "0.8164966", "1", "3.0 ± 7.3", "0.9642857", "0.9285714", "✓"}));
        QCOMPARE(RowTexts(table, 1),
                 (QStringList{"Квадратичная", "—", "0", "1.0000000 ± —", "1.0000000", "—", ""}));
        QCOMPARE(table->currentRow(), 0);
    }

    // Each text whole in its column, and the columns whole in the table, which never scrolls.
    void comparisonTextsAreWhole() {
        for (const bool given : {false, true}) {
            TFormCompareKinds dialog(SixPoints(given), fkLinear, nullptr);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* table = dialog.findChild<QTableWidget*>("tblKinds");
            int total = 0;
            for (int column = 0; column < table->columnCount(); ++column) {
                const int width = table->columnWidth(column);
                total += width;
                const QString header = table->horizontalHeaderItem(column)->text();
                QVERIFY2(table->horizontalHeader()->fontMetrics().horizontalAdvance(header) < width,
                         qPrintable(header));
                for (int row = 0; row < table->rowCount(); ++row) {
                    const QTableWidgetItem* item = table->item(row, column);
                    QVERIFY2(QFontMetrics(item->font()).horizontalAdvance(item->text()) < width,
                             qPrintable(item->text()));
                }
            }
            QVERIFY(total <= table->viewport()->width());
            // The table whole inside the dialog.
            QVERIFY2(dialog.rect().contains(table->geometry()),
                     qPrintable(QString("table %1 wide at %2, dialog %3")
                                    .arg(table->width())
                                    .arg(table->x())
                                    .arg(dialog.width())));
            int height = 0;
            for (int row = 0; row < table->rowCount(); ++row) {
                height += table->rowHeight(row);
            }
            QVERIFY(height <= table->viewport()->height());
        }
    }

    // "Select" gives the recommended kind, "close" nothing; select is off where the kind is the current one.
    void comparisonButtons() {
        const TKindChoice choice = SixPoints(false);
        {
            TFormCompareKinds dialog(choice, fkCubic, nullptr);
            auto* select = dialog.findChild<QPushButton*>("btnSelectRecommended");
            QCOMPARE(select->text(), QString("Выбрать рекомендуемый"));
            QVERIFY(select->isEnabled());
            WhenShown(&dialog, [select] { select->click(); });
            QCOMPARE(dialog.exec(), int(QDialog::Accepted));
            QCOMPARE(dialog.Chosen(), std::optional<TFunctionKind>(fkQuadratic));
        }
        {
            TFormCompareKinds dialog(choice, fkCubic, nullptr);
            auto* close = dialog.findChild<QPushButton*>("btnClose");
            QCOMPARE(close->text(), QString("Закрыть"));
            WhenShown(&dialog, [close] { close->click(); });
            QCOMPARE(dialog.exec(), int(QDialog::Rejected));
            QCOMPARE(dialog.Chosen(), std::nullopt);
        }
        TFormCompareKinds current(choice, fkQuadratic, nullptr);
        QVERIFY(!current.findChild<QPushButton*>("btnSelectRecommended")->isEnabled());
    }

    // Too few points for any kind: a line says so, and nothing can be chosen.
    void comparisonOfNoKinds() {
        TFormCompareKinds dialog(CompareKinds(TPointTable{{1, 2}}, nullptr), fkLinear, nullptr);
        dialog.show();
        QVERIFY(!dialog.findChild<QPushButton*>("btnSelectRecommended")->isEnabled());
        QVERIFY(!dialog.findChild<QTableWidget*>("tblKinds")->isVisible());
        auto* note = dialog.findChild<QLabel*>("lblTooFew");
        QVERIFY(note != nullptr && note->isVisible());
        QVERIFY(note->text().startsWith("Слишком мало точек"));
    }

    void rulesDialogLooks() {
        TFormUncertaintyRules dialog(nullptr);
        QCOMPARE(dialog.objectName(), QString("FormUncertaintyRules"));
        QCOMPARE(dialog.windowTitle(), QString("Заполнить неопределённости"));
        QCOMPARE(dialog.findChild<QLineEdit*>("edtRuleUY")->placeholderText(), QString("0.05+0.02%"));
        QVERIFY(dialog.findChild<QCheckBox*>("chkOnlyEmpty")->isChecked());
        // The examples follow the decimal character numbers are shown with.
        SetDecimalChar(',');
        TFormUncertaintyRules comma(nullptr);
        QCOMPARE(comma.findChild<QLineEdit*>("edtRuleUX")->placeholderText(), QString("0,05+0,02%"));
        QVERIFY(comma.findChild<QLabel*>("lblRuleNote")->text().contains("(0,05+0,02%)"));
    }

    // OK gives the rules of the fields filled in; both empty gives nothing; Cancel nothing.
    void rulesDialogGivesTheRules_data() {
        QTest::addColumn<QString>("uy");
        QTest::addColumn<QString>("ux");
        QTest::addColumn<bool>("onlyEmpty");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("chosen");
        QTest::addColumn<double>("uyAbsolute");
        QTest::addColumn<double>("uyPercent");
        QTest::addColumn<double>("uxAbsolute");
        QTest::addColumn<double>("uxPercent");
        // -1: that rule absent.
        QTest::newRow("both") << "0.05+0.02%"
                              << " 0,5 " << true << false << true << 0.05 << 0.02 << 0.5 << 0.0;
        QTest::newRow("uy_only_all_cells") << "1%"
                                           << "" << false << false << true << 0.0 << 1.0 << -1.0 << -1.0;
        QTest::newRow("ux_only") << ""
                                 << "0.1" << true << false << true << -1.0 << -1.0 << 0.1 << 0.0;
        QTest::newRow("both_empty") << " "
                                    << "" << true << false << false << -1.0 << -1.0 << -1.0 << -1.0;
        QTest::newRow("cancel") << "0.1"
                                << "0.1" << true << true << false << -1.0 << -1.0 << -1.0 << -1.0;
    }
    void rulesDialogGivesTheRules() {
        QFETCH(QString, uy);
        QFETCH(QString, ux);
        QFETCH(bool, onlyEmpty);
        QFETCH(bool, cancel);
        QFETCH(bool, chosen);
        SetDecimalChar(',');
        TFormUncertaintyRules dialog(nullptr);
        dialog.findChild<QLineEdit*>("edtRuleUY")->setText(uy);
        dialog.findChild<QLineEdit*>("edtRuleUX")->setText(ux);
        dialog.findChild<QCheckBox*>("chkOnlyEmpty")->setChecked(onlyEmpty);
        auto* button = dialog.findChild<QPushButton*>(cancel ? "btnCancel" : "btnOk");
        WhenShown(&dialog, [button] { button->click(); });
        QCOMPARE(dialog.exec(), int(cancel ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(dialog.Chosen().has_value(), chosen);
        if (!chosen) {
            return;
        }
        const TUncertaintyRulesChoice& got = *dialog.Chosen();
        QCOMPARE(got.onlyEmpty, onlyEmpty);
        const auto check = [](const std::optional<TUncertaintyRule>& rule, double absolute, double percent) {
            QCOMPARE(rule.has_value(), absolute >= 0);
            if (rule) {
                QCOMPARE(rule->absolute, absolute);
                QCOMPARE(rule->percent, percent);
            }
        };
        QFETCH(double, uyAbsolute);
        QFETCH(double, uyPercent);
        QFETCH(double, uxAbsolute);
        QFETCH(double, uxPercent);
        check(got.uy, uyAbsolute, uyPercent);
        check(got.ux, uxAbsolute, uxPercent);
    }

    // A text that is no rule: a box names the field and the text; the dialog stays open on that field.
    void rulesDialogRefusesABadRule_data() {
        QTest::addColumn<QString>("uy");
        QTest::addColumn<QString>("ux");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::newRow("uy_word") << "abc"
                                 << "0.1"
                                 << "edtRuleUY"
                                 << "u(Y): «abc»";
        QTest::newRow("ux_negative") << "0.1"
                                     << "-0.5%"
                                     << "edtRuleUX"
                                     << "u(X): «-0.5%»";
        QTest::newRow("ux_no_percent_part") << ""
                                            << "0.1+%"
                                            << "edtRuleUX"
                                            << "u(X): «0.1+%»";
    }
    void rulesDialogRefusesABadRule() {
        QFETCH(QString, uy);
        QFETCH(QString, ux);
        QFETCH(QString, field);
        QFETCH(QString, text);
        TFormUncertaintyRules dialog(nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.findChild<QLineEdit*>("edtRuleUY")->setText(uy);
        dialog.findChild<QLineEdit*>("edtRuleUX")->setText(ux);
        TBoxWatcher boxes;
        dialog.findChild<QPushButton*>("btnOk")->click();
        QCOMPARE(boxes.Boxes().size(), size_t(1));
        QVERIFY2(boxes.Boxes()[0].text.startsWith(text), qPrintable(boxes.Boxes()[0].text));
        QCOMPARE(boxes.Boxes()[0].caption, QString("Неверное правило"));
        QCOMPARE(boxes.Boxes()[0].owner, &dialog);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(dialog.focusWidget(), dialog.findChild<QLineEdit*>(field.toUtf8().constData()));
        QVERIFY(!dialog.Chosen());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUserLanguage(TLanguage::Russian);
    CalibrationDialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "calibration_dialogs_test.moc"
