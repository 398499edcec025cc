// The calibration workbench on the real window: the columns u(Y) and u(X) shown and hidden, the fit with
// them and its model check, Y at X with a u(X), the inverse, wrong uncertainties named by their row, the
// four columns through the clipboard and the data files, the band, the kinds compared and the rules' fill.
// Expected figures are worked out by hand for three points (0, 0), (1, 2), (2, 1) with u(Y) = 1, 1, 0.5:
// weights 1, 1, 4 give AᵀWA = [6 9; 9 17], AᵀWy = [6; 10], so a0 = 4/7, a1 = 2/7, V = [17 −9; −9 6]/21,
// χ² = (16 + 64 + 4)/49 = 12/7 with ν = 1, and Γ = max(4/7, 8/7, 2/7) = 8/7.
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "app/form_compare_kinds.h"
#include "app/form_uncertainty_rules.h"
#include "app/table_commands.h"
#include "chart/print/chart_preview.h"
#include "runtime/number_text.h"
#include "ui/box_watcher.h"
#include "window_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr double k95 = 1.959963984540054;

void ShowColumns(TWindow& w) {
    w.Find<QAction>("itmUncertainties")->trigger();
}

// Rows of Y, X, u(Y), u(X) straight into the table, from row 1.
void FillFour(TWindow& w,
              const std::vector<std::tuple<const char*, const char*, const char*, const char*>>& rows) {
    int row = 1;
    for (const auto& [y, x, uy, ux] : rows) {
        w.Model()->SetCellText(0, row, y);
        w.Model()->SetCellText(1, row, x);
        w.Model()->SetCellText(2, row, uy);
        w.Model()->SetCellText(3, row, ux);
        ++row;
    }
    w.Model()->SetRowCount(row + 1);
}

// The three weighted points of the file's heading, fitted as a line.
void FitWeightedLine(TWindow& w) {
    ShowColumns(w);
    w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
    FillFour(w, {{"0", "0", "1", ""}, {"2", "1", "1", ""}, {"1", "2", "0.5", ""}});
    w.ClickFormula();
}

QString Tip(const TWindow& w, const char* name) {
    return w.Find<QWidget>(name)->toolTip();
}

// Every named control and menu item of the window: where it is, whether it shows and what it says.
std::map<QString, QString> WindowState(const TWindow& w) {
    std::map<QString, QString> state;
    for (QWidget* widget : w.form->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty()) {
            continue;
        }
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            text = edit->text();
        }
        const QRect g = widget->geometry();
        state[widget->objectName()] = QString("%1,%2 %3x%4 %5 %6")
                                          .arg(g.x())
                                          .arg(g.y())
                                          .arg(g.width())
                                          .arg(g.height())
                                          .arg(widget->isVisibleTo(w.form.get()))
                                          .arg(text);
    }
    for (QAction* action : w.form->findChildren<QAction*>()) {
        if (!action->objectName().isEmpty()) {
            state["action " + action->objectName()] =
                QString("%1 %2 %3").arg(action->text()).arg(action->isVisible()).arg(action->isChecked());
        }
    }
    state["window"] = QString("%1x%2").arg(w.form->width()).arg(w.form->height());
    state["columns"] = QString::number(w.Model()->columnCount());
    return state;
}

// Runs `answer` on the first top-level dialog of type T once it shows.
template <class T>
void WhenShown(std::function<void(T*)> answer) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<T*>(widget); dialog != nullptr && dialog->isVisible()) {
                timer->stop();
                timer->deleteLater();
                answer(dialog);
                return;
            }
        }
    });
    timer->start();
}

// Answers the next file dialog with the path.
void ChooseFile(const QString& path) {
    WhenShown<QFileDialog>([path](QFileDialog* dialog) {
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) {
            edit->setText(path);
        } else {
            dialog->selectFile(path);
        }
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
}

// The grey pixels of a picture: the band's lines add to them.
int GreyPixels(const QImage& image) {
    int grey = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            grey += c.red() == 128 && c.green() == 128 && c.blue() == 128 ? 1 : 0;
        }
    }
    return grey;
}

// A picture of the window for a look, where QUORVEL_SHOTS_DIR names a folder.
void Shoot(QWidget* widget, const char* name) {
    const QString folder = qEnvironmentVariable("QUORVEL_SHOTS_DIR");
    if (!folder.isEmpty()) {
        const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1");
        widget->grab().save(QDir(folder).filePath(QString("%1-%2.png").arg(name, scale)));
    }
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class WorkbenchTest : public QObject {
    Q_OBJECT
private slots:
    void init() { SetDecimalChar('.'); }

    // The command shows the two columns and what goes with them, grows the window and keeps it on the
    // screen; shown twice, everything is as at the start, the fit of the table included.
    void columnsComeAndGoLeavingTheWindowAsItWas() {
        TWindow w;
        TBoxWatcher boxes;
        w.Fill({{"2", "1"}, {"6", "3"}, {"7", "4"}, {"1", "0"}});
        w.ClickFormula();
        const std::map<QString, QString> before = WindowState(w);
        QCOMPARE(before.at("columns"), QString("2"));
        for (const char* hidden : {"MaskEditXUncertainty", "MaskEditInverseY", "MaskEditInverseU",
                                   "PanelInverseX", "lblModelCheck"}) {
            QVERIFY2(!w.Find<QWidget>(hidden)->isVisibleTo(w.form.get()), hidden);
        }
        for (const char* item : {"itmFillUncertainties", "itmCompareKinds", "itmBand"}) {
            QVERIFY2(!w.Find<QAction>(item)->isVisible(), item);
        }
        QVERIFY(!w.Find<QAction>("itmUncertainties")->isChecked());

        ShowColumns(w);
        QCOMPARE(w.Model()->columnCount(), 4);
        QCOMPARE(w.Model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString("u(Y)"));
        QCOMPARE(w.Model()->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QString("u(X)"));
        QVERIFY(w.Find<QAction>("itmUncertainties")->isChecked());
        for (const char* shown : {"MaskEditXUncertainty", "MaskEditInverseY", "MaskEditInverseU",
                                  "PanelInverseX", "lblModelCheck"}) {
            QVERIFY2(w.Find<QWidget>(shown)->isVisibleTo(w.form.get()), shown);
        }
        for (const char* item : {"itmFillUncertainties", "itmCompareKinds", "itmBand"}) {
            QVERIFY2(w.Find<QAction>(item)->isVisible(), item);
        }
        QVERIFY(!w.Find<QAction>("itmBand")->isChecked());
        QCOMPARE(w.form->width(), 503 + 128);
        QVERIFY(w.form->height() > 446);
        QVERIFY(w.Find<QWidget>("GroupBox1")->geometry().bottom() < w.form->centralWidget()->height());
        const QRect available = w.form->screen()->availableGeometry();
        const QRect frame = w.form->frameGeometry();
        if (available.width() >= frame.width() && available.height() >= frame.height()) {
            QVERIFY(available.contains(frame));
        }
        // No uncertainty given: the ordinary fit, said so.
        QCOMPARE(w.Caption("PanelA0"), before.at("PanelA0").section(' ', 3));
        QVERIFY(w.Caption("lblModelCheck").startsWith("u(Y) не заданы"));

        ShowColumns(w);
        QCOMPARE(WindowState(w), before);
        QVERIFY(boxes.Boxes().empty());
    }

    // The panels show the weighted fit, the model check is on show, the tooltips give u and U.
    void weightedFitShowsItsFiguresAndModelCheck() {
        TWindow w;
        TBoxWatcher boxes;
        FitWeightedLine(w);
        QVERIFY(boxes.Boxes().empty());
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0.5714286"));
        QCOMPARE(w.Caption("PanelA1"), QString("a1 = 0.2857143"));
        QCOMPARE(w.Caption("PanelResult"), QString("Y = 0.2857143 * X  +0.5714286"));
        // u(a0) = √(17/21), u(a1) = √(6/21), U = 1.96·u.
        QCOMPARE(Tip(w, "PanelA0"), QString("u(a0) = 0.8997354; U = 1.7634490"));
        QCOMPARE(Tip(w, "PanelA1"), QString("u(a1) = 0.5345225; U = 1.0476448"));
        QCOMPARE(w.Caption("lblModelCheck"),
                 QString("χ² = 1.7142857, ν = 1, χ²₀,₉₅(ν) = 3.8414588: модель согласуется с данными; "
                         "Γ = 1.1428571 (допустимо Γ ≤ 2)"));

        // Y at X = 1: u(Y)² = gᵀVg = 5/21, and with u(X) = 0.5 the slope's share (2/7)²·0.25 on top.
        auto* x = w.Find<QLineEdit>("MaskEditX");
        x->setText("1");
        QCOMPARE(w.Caption("PanelY"), QString("0.8571429"));
        QCOMPARE(Tip(w, "PanelY"), QString("u(Y) = 0.4879500; U = 0.9563645"));
        w.Find<QLineEdit>("MaskEditXUncertainty")->setText("0.5");
        QCOMPARE(Tip(w, "PanelY"), QString("u(Y) = 0.5084323; U = 0.9965090"));
        QCOMPARE(w.Caption("PanelY"), QString("0.8571429"));

        // X for Y = 1: 1.5, u(X)² = gᵀVg(1.5)/(2/7)² = (1/6)·(49/4); with u(Y) = 0.5, (0.25 + 1/6)·49/4.
        w.Find<QLineEdit>("MaskEditInverseY")->setText("1");
        QCOMPARE(w.Caption("PanelInverseX"), QString("1.5000000; U = 2.8005318"));
        QCOMPARE(Tip(w, "PanelInverseX"), QString("u(X) = 1.4288690; U = 2.8005318"));
        w.Find<QLineEdit>("MaskEditInverseU")->setText("0.5");
        QCOMPARE(w.Caption("PanelInverseX"), QString("1.5000000; U = 4.4280296"));
        w.Find<QAction>("itmBand")->trigger();
        Shoot(w.form.get(), "workbench");
        // Beyond the data's range no X gives it.
        w.Find<QLineEdit>("MaskEditInverseY")->setText("100");
        QCOMPARE(w.Caption("PanelInverseX"), QString("нет единственного X"));
        w.Find<QLineEdit>("MaskEditInverseY")->clear();
        QCOMPARE(w.Caption("PanelInverseX"), QString());
        QVERIFY(boxes.Boxes().empty());
    }

    // A wrong uncertainty stops the fit with a box that names its row; the results before stay, greyed.
    void wrongUncertaintiesNameTheirRow() {
        const struct {
            std::vector<std::tuple<const char*, const char*, const char*, const char*>> rows;
            QString text;
        } cases[] = {
            {{{"0", "0", "1", ""}, {"2", "1", "", ""}, {"1", "2", "0.5", ""}},
             "Строка 2: не задана u(Y). Задайте u(Y) во всех строках или ни в одной."},
            {{{"0", "0", "", "0.1"}, {"2", "1", "", ""}, {"1", "2", "", ""}},
             "Строка 1: не задана u(Y). Задайте u(Y) во всех строках или ни в одной."},
            {{{"0", "0", "1", ""}, {"2", "1", "0", ""}, {"1", "2", "0.5", ""}},
             "Строка 2: u(Y) = 0, а должна быть больше нуля."},
            {{{"0", "0", "1", ""}, {"2", "1", "1", ""}, {"1", "2", "0.5", "-1e-3"}},
             "Строка 3: u(X) = -1e-3, а должна быть не меньше нуля."},
            // A row that does not count (no X) needs no u(Y).
            {{{"0", "0", "1", ""}, {"5", "", "", ""}, {"1", "2", "", ""}},
             "Строка 3: не задана u(Y). Задайте u(Y) во всех строках или ни в одной."},
        };
        for (const auto& c : cases) {
            TWindow w;
            TBoxWatcher boxes;
            FitWeightedLine(w);
            QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0.5714286"));
            FillFour(w, c.rows);
            w.ClickFormula();
            QCOMPARE(boxes.Boxes().size(), std::size_t{1});
            QCOMPARE(boxes.Boxes()[0].text, c.text);
            QCOMPARE(boxes.Boxes()[0].caption, QString("Неопределённости точек"));
            QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0.5714286"));
            QVERIFY(w.Find<QWidget>("PanelA0")->property("stale").toBool());
            QVERIFY(!w.Find<QAction>("itmReport")->isEnabled());
        }
        // Every uncertainty empty: the ordinary fit, a0 = 1/2, a1 = 1/2.
        TWindow w;
        TBoxWatcher boxes;
        FitWeightedLine(w);
        FillFour(w, {{"0", "0", "", ""}, {"2", "1", "", ""}, {"1", "2", "", ""}});
        w.ClickFormula();
        QVERIFY(boxes.Boxes().empty());
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0.5000000"));
        QVERIFY(w.Caption("lblModelCheck").startsWith("u(Y) не заданы"));
        // A u(Y) that is no number: the table's own number box, as for Y and X.
        FillFour(w, {{"0", "0", "1", ""}, {"2", "1", "1x", ""}, {"1", "2", "0.5", ""}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), std::size_t{1});
        QVERIFY(boxes.Boxes()[0].text.startsWith("1x не является правильным числом"));
    }

    // The clipboard and the data files carry the four columns while they show; hidden, the table is
    // today's two columns, and a read or paste then leaves no uncertainty of the rows it replaced.
    void fourColumnsThroughClipboardAndFiles() {
        TWindow w;
        TBoxWatcher boxes;
        ShowColumns(w);
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        QGuiApplication::clipboard()->setText("0\t0\t1\t\r\n2\t1\t1\t0.25\r\n1\t2\t0.5\r\n");
        w.Find<QAction>("itmTablPasteMain")->trigger();
        QCOMPARE(w.Model()->RowCount(), 5);
        QCOMPARE(QString::fromStdString(std::string(w.Model()->CellText(3, 2))), QString("0.25"));
        QCOMPARE(QString::fromStdString(std::string(w.Model()->CellText(2, 3))), QString("0.5"));
        QCOMPARE(QString::fromStdString(std::string(w.Model()->CellText(3, 3))), QString());
        w.Find<QAction>("itmTablCopyMain")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 QString("0\t0\t1\t\r\n2\t1\t1\t0.25\r\n1\t2\t0.5\t\r\n\t\t\t\r\n"));

        QTemporaryDir dir;
        const QString path = dir.filePath("gauge.txt");
        ChooseFile(path);
        w.form->onWriteFile();
        QCOMPARE(ReadAll(path), QByteArray("0 0 1\n2 1 1 0.25\n1 2 0.5\n"));

        // Read back into a fresh window with the columns: cell for cell.
        {
            TWindow r;
            ShowColumns(r);
            r.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
            ChooseFile(path);
            r.form->onReadFile();
            for (int row = 1; row <= 3; ++row) {
                for (int col = 0; col < 4; ++col) {
                    QCOMPARE(r.Model()->CellText(col, row), w.Model()->CellText(col, row));
                }
            }
            // u(X) = 0.25 at X = 1: the fit in both variables, as of the table it was written from.
            QVERIFY(r.Caption("PanelA0") != QString("a0 = 0.5714286"));
            QCOMPARE(r.Caption("PanelA0"), w.Caption("PanelA0"));
            QCOMPARE(r.Caption("lblModelCheck"), w.Caption("lblModelCheck"));
        }
        // Without the columns the third word is no cell, as before; the hidden ones of the rows read over
        // are gone when the columns show again.
        ShowColumns(w);
        QCOMPARE(QGuiApplication::clipboard()->text().isEmpty(), false);
        ChooseFile(path);
        w.form->onReadFile();
        w.Find<QAction>("itmTablCopyMain")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("0\t0\r\n2\t1\r\n1\t2\r\n\t\r\n"));
        ShowColumns(w);
        QCOMPARE(w.Model()->CellText(2, 1), std::string_view());
        QCOMPARE(w.Model()->CellText(3, 2), std::string_view());

        // An empty cell before a filled one would move when read again: the write refuses the row.
        w.Model()->SetCellText(3, 2, "0.1");
        QFile::remove(path);
        w.form->onWriteFile();
        QCOMPARE(boxes.Boxes().size(), std::size_t{1});
        QVERIFY(boxes.Boxes()[0].text.startsWith("Строка 2: пустая ячейка перед заполненной."));
        QVERIFY(!QFile::exists(path));
    }

    // The band: offered with the columns, off at first; ticked, Y ± U(Y) of the fit on the screen, in the
    // copied picture and in the print preview; unticked, gone.
    void bandOnScreenInCopyAndPrint() {
        TWindow w;
        TBoxWatcher boxes;
        FitWeightedLine(w);
        TChart& chart = w.Find<TChartWidget>("Chart1")->Chart();
        const int plain = chart.SeriesCount();
        w.Find<QAction>("itmGraphCopy")->trigger();
        const QImage without = QGuiApplication::clipboard()->image();
        QAction* band = w.Find<QAction>("itmBand");
        QVERIFY(!band->isChecked());
        band->trigger();
        QVERIFY(band->isChecked());
        QCOMPARE(chart.SeriesCount(), plain + 3);
        const TChartSeries& curve = *w.Series().curve;
        const TChartSeries* high = nullptr;
        const TChartSeries* low = nullptr;
        for (int i = 0; i < chart.SeriesCount(); ++i) {
            if (chart.Series(i).Name == "BandHigh") {
                high = &chart.Series(i);
            } else if (chart.Series(i).Name == "BandLow") {
                low = &chart.Series(i);
            }
        }
        QVERIFY(high != nullptr && low != nullptr);
        QCOMPARE(high->PointCount(), curve.PointCount());
        for (const int k : {0, curve.PointCount() / 2, curve.PointCount() - 1}) {
            const double x = curve.XValues().ValueAt(k);
            const double y = curve.YValues().ValueAt(k);
            const double u = std::sqrt((17 - 18 * x + 6 * x * x) / 21);
            QVERIFY(std::abs(high->YValues().ValueAt(k) - (y + k95 * u)) <= 1e-12);
            QVERIFY(std::abs(low->YValues().ValueAt(k) - (y - k95 * u)) <= 1e-12);
        }
        w.Find<QAction>("itmGraphCopy")->trigger();
        const QImage with = QGuiApplication::clipboard()->image();
        QVERIFY2(GreyPixels(with) > GreyPixels(without) + 100,
                 qPrintable(QString("%1 against %2").arg(GreyPixels(with)).arg(GreyPixels(without))));

        int previewGrey = 0;
        WhenShown<TChartPreview>([&previewGrey](TChartPreview* preview) {
            previewGrey = GreyPixels(preview->grab().toImage());
            preview->reject();
        });
        w.Find<QAction>("itmGraphPrint")->trigger();
        QVERIFY(previewGrey > 0);
        int previewPlain = 0;
        band->trigger();
        QCOMPARE(chart.SeriesCount(), plain);
        WhenShown<TChartPreview>([&previewPlain](TChartPreview* preview) {
            previewPlain = GreyPixels(preview->grab().toImage());
            preview->reject();
        });
        w.Find<QAction>("itmGraphPrint")->trigger();
        QVERIFY2(previewGrey > previewPlain + 50,
                 qPrintable(QString("%1 against %2").arg(previewGrey).arg(previewPlain)));

        // The band follows each recompute while ticked, and goes with the columns.
        band->trigger();
        w.ClickFormula();
        QCOMPARE(chart.SeriesCount(), plain + 3);
        ShowColumns(w);
        QCOMPARE(chart.SeriesCount(), plain);
        QCOMPARE(boxes.Boxes().size(), std::size_t{2});  // each copy says so
        QCOMPARE(boxes.Boxes()[1].text, QString("График скопирован в буфер обмена Windows"));
    }

    // The comparison of the kinds for the table, and its button taking the recommended kind.
    void compareKindsSelectsTheRecommended() {
        TWindow w;
        TBoxWatcher boxes;
        ShowColumns(w);
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        // Y = X² measured with u(Y) = 0.01: the square term is far beyond its U.
        FillFour(w, {{"0", "0", "0.01", ""},
                     {"1.01", "1", "0.01", ""},
                     {"3.99", "2", "0.01", ""},
                     {"9", "3", "0.01", ""},
                     {"16.02", "4", "0.01", ""},
                     {"24.98", "5", "0.01", ""}});
        w.ClickFormula();
        int rows = 0;
        WhenShown<TFormCompareKinds>([&rows](TFormCompareKinds* dialog) {
            rows = dialog->findChild<QTableWidget*>("tblKinds")->rowCount();
            dialog->findChild<QPushButton*>("btnSelectRecommended")->click();
        });
        w.Find<QAction>("itmCompareKinds")->trigger();
        QCOMPARE(rows, 3);
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentIndex(), 1);
        QVERIFY(w.Caption("PanelResult").contains("X^2"));
        QVERIFY(boxes.Boxes().empty());
    }

    // The fit in both variables of a large table goes on in steps with the progress dialog, whose cancel
    // leaves the results before it, marked as not the table's; the next recompute fits it whole.
    void largeGeneralizedFitShowsProgressAndCancels() {
        TWindow w;
        TBoxWatcher boxes;
        FitWeightedLine(w);
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(2);
        constexpr int kRows = 300000;
        w.Model()->SetRows(1, kRows, [](int row) {
            static std::string texts[4];
            const double x = row * 1e-3;
            texts[0] = std::to_string(0.5 + x * (1 + 0.01 * x) +
                                      1e-3 * (static_cast<long long>(row) * 7919 % 13 - 6));
            texts[1] = std::to_string(x);
            texts[2] = "0.002";
            texts[3] = row % 2 == 0 ? "0.001" : "0.0005";
            return ITableSource::TRowTexts{texts[0], texts[1], texts[2], texts[3]};
        });
        w.Model()->SetRowCount(kRows + 2);
        bool shown = false;
        WhenShown<QProgressDialog>([&shown](QProgressDialog* dialog) {
            shown = true;
            dialog->cancel();
        });
        w.ClickFormula();
        QVERIFY(shown);
        QCOMPARE(w.Caption("PanelA0"), QString("a0 = 0.5714286"));
        QVERIFY(w.Find<QWidget>("PanelA0")->property("stale").toBool());
        QVERIFY(!w.Find<QAction>("itmReport")->isEnabled());

        // The kinds compared: three fits in both variables, in steps too; a cancel shows no comparison.
        bool compared = false;
        shown = false;
        WhenShown<QProgressDialog>([&shown](QProgressDialog* dialog) {
            shown = true;
            dialog->cancel();
        });
        WhenShown<TFormCompareKinds>([&compared](TFormCompareKinds* dialog) {
            compared = true;
            dialog->reject();
        });
        w.Find<QAction>("itmCompareKinds")->trigger();
        QVERIFY(shown);
        QTest::qWait(50);
        QVERIFY(!compared);
        QCOMPARE(w.Find<QComboBox>("ComboBox1")->currentIndex(), 2);
        QVERIFY(boxes.Boxes().empty());
    }

    // The rules fill the columns from Y and X, then the fit uses them.
    void rulesFillTheColumns() {
        TWindow w;
        TBoxWatcher boxes;
        ShowColumns(w);
        w.Find<QComboBox>("ComboBox1")->setCurrentIndex(0);
        FillFour(w, {{"0", "0", "", ""}, {"2", "1", "0.7", ""}, {"1", "2", "", ""}});
        w.ClickFormula();
        QCOMPARE(boxes.Boxes().size(), std::size_t{1});  // u(Y) of one row only
        boxes.Clear();
        WhenShown<TFormUncertaintyRules>([](TFormUncertaintyRules* dialog) {
            dialog->findChild<QLineEdit*>("edtRuleUY")->setText("0.5+50%");
            dialog->findChild<QLineEdit*>("edtRuleUX")->setText("10%");
            dialog->accept();
        });
        w.Find<QAction>("itmFillUncertainties")->trigger();
        const char* const expected[3][2] = {{"0.5", "0"}, {"0.7", "0.1"}, {"1", "0.2"}};
        for (int row = 1; row <= 3; ++row) {
            QCOMPARE(w.Model()->CellText(2, row), std::string_view(expected[row - 1][0]));
            QCOMPARE(w.Model()->CellText(3, row), std::string_view(expected[row - 1][1]));
        }
        QVERIFY(w.Caption("lblModelCheck").startsWith("χ² = "));
        QVERIFY2(boxes.Boxes().empty(), qPrintable(boxes.Boxes().front().text));
    }
};

QTEST_MAIN(WorkbenchTest)
#include "workbench_test.moc"
