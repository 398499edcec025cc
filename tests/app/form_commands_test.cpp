// The table commands on the real main window: clipboard copy and paste (also from the cell editor),
// file write and read through the dialogs, their progress and cancel, the formula copy, the clear
// question and the exit.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <functional>

#include "app/form_import.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/panel.h"
#include "app/string_grid.h"
#include "calibration/form_chart.h"
#include "chart/chart.h"
#include "chart/print/chart_preview.h"
#include "chart/print/chart_preview_page.h"
#include "chart/qt/chart_widget.h"
#include "chart_print/fake_printer.h"
#include "late_pipe_writer.h"
#include "runtime/number_text.h"
#include "ui/box_watcher.h"

namespace quorvel {

namespace {

template <class T>
T* VisibleTopLevel() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
            return found;
        }
    }
    return nullptr;
}

// Runs the action on the first visible top-level widget of type T, once one shows.
template <class T>
void WhenShown(std::function<void(T*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        if (T* widget = VisibleTopLevel<T>()) {
            timer->stop();
            timer->deleteLater();
            action(widget);
        }
    });
    timer->start();
}

struct TBoxSeen {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};

void AnswerBox(TBoxSeen& seen, QMessageBox::StandardButton press) {
    WhenShown<QMessageBox>([&seen, press](QMessageBox* box) {
        seen = {box->text(), box->windowTitle(), box->icon(), true};
        if (QAbstractButton* button = box->button(press)) {
            button->click();
        } else {
            box->reject();  // an unexpected box: seen, and out of the way
        }
    });
}

// Types the path into the next file dialog that no other chooser has taken and accepts it; tries again
// while the dialog, still gathering its folder, stays open.
void ChooseInFileDialog(const QString& path) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout,
                     [timer, path, taken = QPointer<QFileDialog>(), seen = false]() mutable {
                         if (seen && (taken.isNull() || !taken->isVisible())) {
                             timer->stop();
                             timer->deleteLater();
                             return;
                         }
                         if (!seen) {
                             QFileDialog* dialog = VisibleTopLevel<QFileDialog>();
                             if (dialog == nullptr || dialog->property("chosen").toBool()) {
                                 return;
                             }
                             dialog->setProperty("chosen", true);
                             taken = dialog;
                             seen = true;
                         }
                         if (auto* edit = taken->findChild<QLineEdit*>("fileNameEdit")) {
                             edit->setText(path);
                         } else {
                             taken->selectFile(path);
                         }
                         QMetaObject::invokeMethod(taken, "accept");
                     });
    timer->start();
}

QString Cell(const TGridModel& model, int col, int row) {
    const std::string_view text = model.CellText(col, row);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// While a command works (its busy cursor is up), every pass through the events sleeps, as on a slow
// disk or a busy machine, so that a file of a few megabytes takes long enough for the progress dialog.
// Records the progress dialogs that show.
class TSlowWork : public QObject {
public:
    explicit TSlowWork(int sleepMs = 80) {
        connect(&timer_, &QTimer::timeout, this, [sleepMs] {
            if (QGuiApplication::overrideCursor() != nullptr) {
                QThread::msleep(static_cast<unsigned long>(sleepMs));
            }
        });
        timer_.start(0);
        qApp->installEventFilter(this);
    }
    ~TSlowWork() override { qApp->removeEventFilter(this); }

    int shown = 0;
    QString label;
    Qt::WindowModality modality = Qt::NonModal;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<QProgressDialog*>(watched)) {
                ++shown;
                label = dialog->labelText();
                modality = dialog->windowModality();
            }
        }
        return false;
    }

private:
    QTimer timer_;
};

// Rows of "k 2k", as a data file's lines or, with tabs and CR LF, as a spreadsheet's copy.
QByteArray Pairs(int rows, const char* between, const char* end) {
    QByteArray text;
    for (int k = 1; k <= rows; ++k) {
        text += QByteArray::number(k) + between + QByteArray::number(2 * k) + end;
    }
    return text;
}

// Rows first ... last of 80 "y" and 80 "x": 162 bytes each in a data file, so that a write of 10^5 of
// them runs through many steps.
void FillWideRows(TGridModel& model, int first, int last) {
    for (int row = first; row <= last; ++row) {
        model.SetCellText(0, row, std::string(80, 'y'));
        model.SetCellText(1, row, std::string(80, 'x'));
    }
}

// A new file of the bytes; false when it cannot be written whole.
bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every stored text of rows 0 ... 45 and the row count.
QStringList TableState(const TGridModel& model) {
    QStringList state{QString::number(model.RowCount())};
    for (int row = 0; row <= 45; ++row) {
        state << Cell(model, 0, row) + "|" + Cell(model, 1, row);
    }
    return state;
}

QString StartStateCopy() {
    QString text;
    for (int i = 0; i < 19; ++i) {
        text += "\t\r\n";
    }
    return text;
}

// quorvel-fit with these arguments: its exit status, its standard output.
std::pair<int, QByteArray> RunFit(const QStringList& args) {
    QProcess fit;
    fit.start(QStringLiteral(QUORVEL_FIT_PATH), args);
    fit.waitForFinished(60000);
    return {fit.exitCode(), fit.readAllStandardOutput()};
}

// A PDF's text as pdftotext gives it, with the report's own date (the minute it was made) taken out.
QString PdfText(const QString& pdf) {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    text.waitForFinished(60000);
    QString page = QString::fromUtf8(text.readAllStandardOutput());
    page.replace(QRegularExpression(QStringLiteral("Дата протокола:\\s+\\S+ \\S+")),
                 QStringLiteral("Дата протокола:"));
    page.replace(QRegularExpression(QStringLiteral("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d$"),
                                    QRegularExpression::MultilineOption),
                 QStringLiteral("DATE"));
    return page;
}

}  // namespace

class FormCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The file dialog keeps its history in the settings: keep the user's own out of reach.
        QStandardPaths::setTestModeEnabled(true);
    }

    void init() {
        form_ = std::make_unique<TFormMain>();
        form_->show();
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        grid_ = form_->findChild<TStringGrid*>("sgData");
        QVERIFY(grid_ != nullptr);
        model_ = grid_->Model();
        panelResult_ = form_->findChild<TPanel*>("PanelResult");
        QVERIFY(panelResult_ != nullptr);
    }
    void cleanup() { form_.reset(); }

    void copyOfStartStateTable() {
        QGuiApplication::clipboard()->setText("old");
        form_->findChild<QAction*>("itmTablCopyMain")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), StartStateCopy());
    }

    void ctrlVInCellEditorPastesTableAndRecomputes() {
        for (int row = 1; row <= 10; ++row) {
            model_->SetCellText(0, row, "9");
            model_->SetCellText(1, row, std::to_string(row));
        }
        QGuiApplication::clipboard()->setText("1\t1\r\n2\t4\r\n3\t9\r\n4\t16\r\n5\t25\r\n");
        grid_->SetCurrentCell(0, 1);
        grid_->setFocus();
        QTRY_VERIFY(grid_->Editor() != nullptr && grid_->Editor()->hasFocus());
        QTest::keyClick(grid_->Editor(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(model_->RowCount(), 7);
        QCOMPARE(Cell(*model_, 0, 5), QString("5"));
        QCOMPARE(Cell(*model_, 1, 5), QString("25"));
        QCOMPARE(Cell(*model_, 1, 6), QString());  // nothing of the table before stays
        QVERIFY(panelResult_->text().startsWith("Y = "));
        // The open editor shows the pasted text and does not write its old one back.
        grid_->SetCurrentCell(1, 3);
        QCOMPARE(Cell(*model_, 0, 1), QString("1"));
    }

    void ctrlCInCellEditorCopiesTable() {
        model_->SetCellText(0, 1, "1");
        model_->SetCellText(1, 1, "2");
        grid_->SetCurrentCell(1, 2);
        grid_->setFocus();
        QTRY_VERIFY(grid_->Editor() != nullptr && grid_->Editor()->hasFocus());
        QTest::keyClick(grid_->Editor(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().startsWith("1\t2\r\n\t\r\n"));
        QCOMPARE(QGuiApplication::clipboard()->text().count("\r\n"), 19);
    }

    void pasteOfEmptyClipboardShowsBoxAndKeepsTable() {
        model_->SetCellText(0, 1, "7");
        QGuiApplication::clipboard()->clear();
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Ok);
        form_->onPasteTable();
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QString("Буфер обмена содержит неверные данные"));
        QCOMPARE(seen.caption, QString("Невозможно вставить данные из буфера обмена"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(model_->RowCount(), 20);
        QCOMPARE(Cell(*model_, 0, 1), QString("7"));
    }

    void writeThenReadThroughDialogs() {
        QTemporaryDir dir;
        const QString path = dir.filePath("pairs.txt");
        model_->SetCellText(0, 1, "1");
        model_->SetCellText(1, 1, "2");
        model_->SetCellText(0, 2, "3");
        model_->SetCellText(1, 2, "4");
        model_->SetCellText(0, 4, "5");
        model_->SetCellText(1, 4, "6");
        model_->SetRowCount(6);
        ChooseInFileDialog(path);
        form_->onWriteFile();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("1 2\n3 4\n5 6\n"));

        form_.reset();
        init();
        for (int row = 1; row <= 25; ++row) {
            model_->SetCellText(0, row, "8");
        }
        model_->SetRowCount(30);
        ChooseInFileDialog(path);
        form_->onReadFile();
        QCOMPARE(model_->RowCount(), 5);
        QCOMPARE(Cell(*model_, 1, 2), QString("4"));
        QCOMPARE(Cell(*model_, 0, 3), QString("5"));
        // The earlier table is gone, also from the entry row and the hidden rows.
        QCOMPARE(Cell(*model_, 0, 4), QString());
        QCOMPARE(Cell(*model_, 0, 25), QString());
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        QVERIFY(panelResult_->text() != "Y=");  // the recompute ran (three points are too few here)
    }

    // The dialog takes any name; one that does not exist, and a pipe (once opened and waited on), get
    // the program's own box.
    void readOfMissingNameOrPipeShowsOpenFailureBox() {
        QTemporaryDir dir;
        const QString pipe = dir.filePath("pipe");
        QVERIFY(mkfifo(pipe.toUtf8().constData(), 0644) == 0);
        const test::TLatePipeWriter writer(pipe);
        model_->SetCellText(0, 1, "7");
        const QString csvPipe = dir.filePath("pipe.csv");
        QVERIFY(QFile::link(pipe, csvPipe));
        for (const QString& path :
             {dir.filePath("missing.txt"), pipe, dir.filePath("missing.csv"), csvPipe}) {
            ChooseInFileDialog(path);
            TBoxSeen seen;
            AnswerBox(seen, QMessageBox::Abort);
            if (path.endsWith(".csv")) {
                form_->onImportTable();
            } else {
                form_->onReadFile();
            }
            QVERIFY2(seen.seen, qPrintable(path));
            QCOMPARE(seen.text, QString("Не могу открыть файл."));
            QCOMPARE(seen.caption, QString("Ошибка чтения файла"));
            QCOMPARE(seen.icon, QMessageBox::Warning);
            QCOMPARE(model_->RowCount(), 20);
            QCOMPARE(Cell(*model_, 0, 1), QString("7"));
        }
    }

    void writeOpenFailureAsksAndAbortEnds() {
        // A pipe is never replaced by a plain file: the save cannot open it.
        QTemporaryDir dir;
        const QString pipe = dir.filePath("pipe");
        QVERIFY(mkfifo(pipe.toUtf8().constData(), 0644) == 0);
        ChooseInFileDialog(pipe);
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Abort);
        form_->onWriteFile();
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QString("Не могу открыть файл."));
        QCOMPARE(seen.caption, QString("Ошибка записи файла"));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QVERIFY(QFileInfo(pipe).isFile() == false);
    }

    void formulaCopyPutsPanelCaptionAndFocusesTable() {
        QGuiApplication::clipboard()->setText("1\t1\r\n2\t3\r\n3\t5\r\n4\t8\r\n5\t9\r\n");
        form_->onPasteTable();
        const QString formula = panelResult_->text();
        QVERIFY(formula.startsWith("Y = "));
        auto* button = form_->findChild<QPushButton*>("btnCopy");
        QVERIFY(button && button->isEnabled());
        button->setFocus();
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Ok);
        button->click();
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QString("Строка формулы скопирована в буфер обмена Windows"));
        QCOMPARE(seen.caption, QString("Quorvel"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(QGuiApplication::clipboard()->text(), formula);
        QTRY_VERIFY(grid_->FocusInside());
    }

    // The preview shows the chart with the formula as its title, while the chart's own title stays hidden;
    // afterwards the title is empty and the table has the focus. The first preview keeps the title's
    // empty first line.
    void printPreviewShowsFormulaTitleThenRestores() {
        QGuiApplication::clipboard()->setText("1\t1\r\n2\t3\r\n3\t5\r\n4\t8\r\n5\t9\r\n");
        form_->onPasteTable();
        const std::string formula = panelResult_->text().toStdString();
        TChart& chart = form_->findChild<TChartWidget*>("Chart1")->Chart();
        std::vector<std::string> titleSeen;
        bool titleVisible = true;
        bool previewSeen = false;
        WhenShown<TChartPreview>([&](TChartPreview* preview) {
            previewSeen = true;
            titleSeen = preview->Page()->Title().value_or(TTitleLines{});
            titleVisible = chart.Title().Visible();
            preview->reject();
        });
        auto* button = form_->findChild<QPushButton*>("btnPrint");
        QVERIFY(button && button->isEnabled());
        button->setFocus();
        button->click();
        QVERIFY(previewSeen);
        QVERIFY(!titleVisible);
        QCOMPARE(titleSeen.size(), std::size_t{2});
        QCOMPARE(titleSeen[0], std::string());
        QCOMPARE(titleSeen[1], formula);
        QVERIFY(!chart.Title().Visible());
        QVERIFY(chart.Title().Text().empty());
        QTRY_VERIFY(grid_->FocusInside());

        // The second preview shows the formula alone.
        WhenShown<TChartPreview>([&](TChartPreview* preview) {
            titleSeen = preview->Page()->Title().value_or(TTitleLines{});
            preview->reject();
        });
        form_->findChild<QAction*>("itmGraphPrint")->trigger();
        QCOMPARE(titleSeen, std::vector<std::string>{formula});
    }

    // An error that escapes a handler of the print preview and one that escapes a handler of the window
    // end in the same standard exception box, each over the window the user is in.
    void previewAndWindowErrorsReachTheSameBox() {
        QGuiApplication::clipboard()->setText("1\t1\r\n2\t3\r\n3\t5\r\n4\t8\r\n5\t9\r\n");
        form_->onPasteTable();
        auto* print = form_->findChild<QPushButton*>("btnPrint");
        QVERIFY(print->isEnabled());
        auto failing = std::make_unique<testing::FakePrinter>();
        failing->failDrawing = true;
        std::unique_ptr<TPrinter> saved = ReplacePrinter(std::move(failing));
        test::TBoxWatcher boxes;
        const QWidget* preview = nullptr;
        bool previewStayedOpen = false;
        WhenShown<TChartPreview>([&](TChartPreview* dialog) {
            preview = dialog;
            dialog->BPrint->click();
            previewStayedOpen = dialog->isVisible();
            dialog->reject();
        });
        print->click();
        // X values near 10^39 lie beyond the curve's single precision: an overflow after the solve (the
        // deviations' squares of 10^400 that served here once no longer overflow, the root-mean-square
        // deviation coming from the exact sum).
        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
        model_->SetCellText(0, 1, "0");
        model_->SetCellText(1, 1, "1e39");
        model_->SetCellText(0, 2, "1");
        model_->SetCellText(1, 2, "2e39");
        model_->SetCellText(0, 3, "2");
        model_->SetCellText(1, 3, "3e39");
        for (int row = 4; row <= 5; ++row) {
            model_->SetCellText(0, row, "");
            model_->SetCellText(1, row, "");
        }
        QTest::mouseClick(panelResult_, Qt::LeftButton);
        ReplacePrinter(std::move(saved));

        QCOMPARE(boxes.Boxes().size(), std::size_t{2});
        const test::TBoxRecord& inPreview = boxes.Boxes()[0];
        const test::TBoxRecord& inWindow = boxes.Boxes()[1];
        QCOMPARE(inPreview.text, QString("Out of paper."));
        QCOMPARE(inWindow.text, QString("Floating point overflow."));
        for (const test::TBoxRecord* box : {&inPreview, &inWindow}) {
            QCOMPARE(box->caption, QString("Quorvel"));
            QCOMPARE(box->icon, QMessageBox::Critical);
            QVERIFY(box->modal);
        }
        QVERIFY(preview != nullptr && inPreview.owner == preview);
        QVERIFY(inWindow.owner == form_.get());
        QVERIFY(previewStayedOpen);
    }

    void clearAsksAndKeepsRowCountAndHiddenRows() {
        for (int row = 1; row <= 25; ++row) {
            model_->SetCellText(0, row, "1");
            model_->SetCellText(1, row, "2");
        }
        model_->SetRowCount(10);
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::No);
        form_->findChild<QAction*>("itmClearMain")->trigger();
        QCOMPARE(seen.text, QString("Очистить данные в таблице?"));
        QCOMPARE(seen.caption, QString("Quorvel"));
        QCOMPARE(Cell(*model_, 0, 5), QString("1"));

        AnswerBox(seen, QMessageBox::Yes);
        form_->findChild<QAction*>("itmClear")->trigger();
        QCOMPARE(model_->RowCount(), 10);
        for (int row = 1; row < 10; ++row) {
            QVERIFY(Cell(*model_, 0, row).isEmpty() && Cell(*model_, 1, row).isEmpty());
        }
        QCOMPARE(Cell(*model_, 0, 10), QString("1"));
        QCOMPARE(Cell(*model_, 0, 0), QString("Y (истинное)"));
    }

    // Long work shows Qt's progress dialog with "Отмена"; pressing it leaves the table, and
    // an old file, exactly as they were, with no box and no recompute.
    void cancelledReadPasteAndWriteLeaveTableAndFileAsTheyWere() {
        QTemporaryDir dir;
        const QString data = dir.filePath("big.txt");
        const QString old = dir.filePath("old.txt");
        QVERIFY(WriteFile(data, Pairs(200000, " ", "\n")));
        QVERIFY(WriteFile(old, "old 1\n"));
        for (int row = 1; row <= 40; ++row) {
            model_->SetCellText(0, row, "8");
            model_->SetCellText(1, row, std::to_string(row));
        }
        model_->SetRowCount(30);
        form_->recompute();
        const QString results = panelResult_->text();
        QVERIFY(results.startsWith("Y = "));
        const QStringList before = TableState(*model_);
        const QString readings = dir.filePath("readings.txt");
        QVERIFY(WriteFile(readings, Pairs(1500000, "\n", "\n")));  // about 20 MB, read 2 MiB a step
        const QString csv = dir.filePath("big.csv");
        QVERIFY(WriteFile(csv, "\xEF\xBB\xBFY;X\r\n" + Pairs(200000, ";", "\r\n")));
        for (const char* command : {"read", "import", "paste", "apply", "write"}) {
            TSlowWork slow;
            QString cancelText;
            WhenShown<QProgressDialog>([&](QProgressDialog* dialog) {
                auto* cancel = dialog->findChild<QPushButton*>();
                cancelText = cancel != nullptr ? cancel->text() : QString();
                if (cancel != nullptr) {
                    cancel->click();
                }
            });
            const test::TBoxWatcher boxes;  // none may show; one that did is answered, not left waiting
            const std::string which = command;
            if (which == "read") {
                ChooseInFileDialog(data);
                form_->onReadFile();
                QCOMPARE(slow.label, QString("Чтение файла «big.txt»…"));
            } else if (which == "import") {
                ChooseInFileDialog(csv);
                WhenShown<TFormImport>(
                    [](TFormImport* dialog) { dialog->findChild<QPushButton*>("btnImport")->click(); });
                form_->onImportTable();
                QCOMPARE(slow.label, QString("Импорт таблицы «big.csv»…"));
            } else if (which == "paste") {
                QGuiApplication::clipboard()->setText(QString::fromLatin1(Pairs(200000, "\t", "\r\n")));
                form_->onPasteTable();
                QCOMPARE(slow.label, QString("Вставка таблицы из буфера обмена…"));
            } else if (which == "apply") {
                ChooseInFileDialog(readings);
                ChooseInFileDialog(old);
                form_->onApplyToReadings();
                QCOMPARE(slow.label, QString("Пересчёт показаний «readings.txt»…"));
                QFile file(old);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), QByteArray("old 1\n"));
                QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                         (QStringList{"big.csv", "big.txt", "old.txt", "readings.txt"}));
            } else {
                FillWideRows(*model_, 46, 120045);  // about 20 MB
                model_->SetRowCount(120047);
                ChooseInFileDialog(old);
                form_->onWriteFile();
                QCOMPARE(slow.label, QString("Запись файла «old.txt»…"));
                QFile file(old);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), QByteArray("old 1\n"));
                QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                         (QStringList{"big.csv", "big.txt", "old.txt", "readings.txt"}));
                QVERIFY2(boxes.Boxes().empty(), command);
                continue;
            }
            QVERIFY2(slow.shown == 1, command);
            // Not modal: Qt drops a window manager's close of a window a modal dialog blocks, and that
            // close must stop the work; the dialog holds back the window's input itself.
            QCOMPARE(slow.modality, Qt::NonModal);
            QCOMPARE(cancelText, QString("Отмена"));
            QVERIFY2(boxes.Boxes().empty(), command);
            QCOMPARE(TableState(*model_), before);
            QCOMPARE(panelResult_->text(), results);
            // The table is as it was, so the results are still its own: not greyed.
            QVERIFY2(!panelResult_->property("stale").toBool(), command);
            QVERIFY(form_->findChild<QAction*>("itmReport")->isEnabled());
            QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        }
    }

    // A short read or paste shows no dialog.
    void shortCommandsShowNoProgress() {
        QTemporaryDir dir;
        const QString path = dir.filePath("pairs.txt");
        QVERIFY(WriteFile(path, Pairs(20000, " ", "\n")));
        TSlowWork watch(0);
        ChooseInFileDialog(path);
        form_->onReadFile();
        QCOMPARE(model_->RowCount(), 20002);
        QGuiApplication::clipboard()->setText(QString::fromLatin1(Pairs(20000, "\t", "\r\n")));
        form_->onPasteTable();
        QCOMPARE(watch.shown, 0);
    }

    // While a read or a write works, the window takes no keys, another command does not start and a
    // close waits: it stops the read (the table stays as it was) but lets the write end, so that the
    // file is saved whole; the window closes when the command ends.
    void duringLongWorkNothingElseActsAndCloseWaits() {
        QTemporaryDir dir;
        const QString data = dir.filePath("big.txt");
        const QString saved = dir.filePath("saved.txt");
        QVERIFY(WriteFile(data, Pairs(200000, " ", "\n")));
        for (const char* command : {"read", "write"}) {
            const bool read = std::string_view(command) == "read";
            if (read) {
                model_->SetCellText(0, 1, "7");
            } else {
                form_.reset();
                init();
                FillWideRows(*model_, 1, 120000);
                model_->SetRowCount(120002);
            }
            grid_->SetCurrentCell(0, 1);
            grid_->setFocus();
            const QStringList before = TableState(*model_);
            QGuiApplication::clipboard()->setText("5\t6\r\n");
            TSlowWork slow;
            bool tried = false;
            WhenShown<QProgressDialog>([&](QProgressDialog*) {
                QTest::keyClick(form_->windowHandle(), Qt::Key_V, Qt::ControlModifier);
                QTest::keyClick(form_->windowHandle(), Qt::Key_9);
                form_->onPasteTable();
                form_->close();
                tried = true;
            });
            ChooseInFileDialog(read ? data : saved);
            if (read) {
                form_->onReadFile();
            } else {
                form_->onWriteFile();
            }
            QVERIFY2(tried, command);
            QCOMPARE(TableState(*model_), before);
            QVERIFY2(!form_->isVisible(), command);
        }
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray line = QByteArray(80, 'y') + ' ' + QByteArray(80, 'x') + '\n';
        QVERIFY(file.readAll() == line.repeated(120000));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), (QStringList{"big.txt", "saved.txt"}));
    }

    // A large table's recompute runs the window's events between its steps: after a read it goes on
    // in the read's dialog, which says so, and a close meanwhile waits for its end, the table and the
    // results being the file's; outside a command a close waits too and then closes the window.
    void largeRecomputeLetsEventsRunAndCloseWaits() {
        QTemporaryDir dir;
        const QString data = dir.filePath("big.txt");
        QVERIFY(WriteFile(data, Pairs(200000, " ", "\n")));
        QStringList labelsSeen;
        bool recomputeStepped = false;
        auto* chartWidget = form_->findChild<TChartWidget*>("Chart1");
        QVERIFY(chartWidget != nullptr);
        const int rendersBefore = chartWidget->Chart().RenderCount();
        bool renderedInProgress = false;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            // Events run while the chart's points are drawn, inside the recompute's progress.
            if (chartWidget->Chart().RenderCount() > rendersBefore &&
                form_->findChild<QProgressDialog*>() != nullptr) {
                renderedInProgress = true;
            }
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QProgressDialog*>(widget);
                if (dialog != nullptr && dialog->isVisible() &&
                    (labelsSeen.isEmpty() || labelsSeen.back() != dialog->labelText())) {
                    labelsSeen << dialog->labelText();
                }
                // The recompute's own steps, not the read's end.
                if (dialog != nullptr && dialog->isVisible() && dialog->labelText() == QString("Пересчёт…") &&
                    dialog->value() < dialog->maximum() && !recomputeStepped) {
                    recomputeStepped = true;
                    form_->close();
                }
            }
        });
        watch.start(0);
        {
            TSlowWork slow;
            ChooseInFileDialog(data);
            form_->onReadFile();
        }
        QCOMPARE(labelsSeen, (QStringList{"Чтение файла «big.txt»…", "Пересчёт…"}));
        QVERIFY(recomputeStepped);
        QVERIFY(renderedInProgress);
        QCOMPARE(model_->RowCount(), 200002);
        QCOMPARE(panelResult_->text(), QString("Y = 0.5000000 * X "));
        QVERIFY(!form_->isVisible());
        // The points handed over in pieces are all there, in X order across the pieces' edges.
        const TPointSeries& measured = *FormSeries(chartWidget->Chart()).measured;
        QCOMPARE(measured.PointCount(), 200000);
        for (int i : {0, 65535, 65536, 131072, 199999}) {
            QCOMPARE(measured.XValues().ValueAt(i), 2.0 * (i + 1));
            QCOMPARE(measured.YValues().ValueAt(i), 1.0 * (i + 1));
        }
        // The paint after it copies the picture drawn then, and that is the chart's picture.
        form_->show();
        const int rendersAfter = chartWidget->Chart().RenderCount();
        const QImage copied = chartWidget->grab().toImage();
        QCOMPARE(chartWidget->Chart().RenderCount(), rendersAfter);
        chartWidget->Chart().Invalidate();
        const QImage drawn = chartWidget->grab().toImage();
        QCOMPARE(chartWidget->Chart().RenderCount(), rendersAfter + 1);
        QVERIFY(copied == drawn);
        form_->close();

        form_->show();
        int ticks = 0;
        QTimer::singleShot(0, form_.get(), [&] {
            ++ticks;
            form_->close();
        });
        model_->SetCellText(1, 200000, "400000");
        form_->recompute();
        QCOMPARE(ticks, 1);
        QVERIFY(form_->isVisible());
        QCoreApplication::processEvents();
        QVERIFY(!form_->isVisible());
    }

    // With the uncertainty columns, the window's report is quorvel-fit --uncertainties' for the same file,
    // kind, X with its u(X) and Y for the inverse with its u; the panels and the model check are the
    // JSON's figures.
    void reportWithUncertaintiesIsQuorvelFitsReport() {
        QTemporaryDir dir;
        const QString data = dir.filePath("weights.txt");
        QVERIFY(WriteFile(data,
                          "0.02 0 0.01\n1.03 1 0.02 0.01\n3.98 2 0.02\n9.05 3 0.03 0.02\n15.97 4 0.03\n"
                          "25.1 5 0.05 0.02\n36.2 6 0.05\n"));
        form_->findChild<QAction*>("itmUncertainties")->trigger();
        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(1);
        ChooseInFileDialog(data);
        form_->onReadFile();
        form_->findChild<QLineEdit*>("MaskEditX")->setText("2.5");
        form_->findChild<QLineEdit*>("MaskEditXUncertainty")->setText("0.01");
        form_->findChild<QLineEdit*>("MaskEditInverseY")->setText("10");
        form_->findChild<QLineEdit*>("MaskEditInverseU")->setText("0.05");
        const QString windowPdf = dir.filePath("window.pdf");
        ChooseInFileDialog(windowPdf);
        form_->onWriteReport();
        const QString fitPdf = dir.filePath("fit.pdf");
        QCOMPARE(RunFit({"--uncertainties", "--kind", "quadratic", "--at", "2.5", "--at-u", "0.01",
                         "--inverse", "10", "--inverse-u", "0.05", "--report", fitPdf, data})
                     .first,
                 0);
        const QString windowText = PdfText(windowPdf);
        QVERIFY(windowText.contains("обобщённая регрессия"));
        QVERIFY(windowText.contains("X для Y=10"));
        QCOMPARE(windowText, PdfText(fitPdf));

        const auto [status, output] = RunFit({"--uncertainties", "--kind", "quadratic", "--json", data});
        QCOMPARE(status, 0);
        const QJsonObject json = QJsonDocument::fromJson(output).object();
        const QJsonArray a = json["coefficients"].toArray();
        for (int j = 0; j < 3; ++j) {
            const QString panel = form_->findChild<QLabel*>(QString("PanelA%1").arg(j))->text();
            const double shown = panel.section(' ', 2).toDouble();
            QVERIFY2(std::abs(shown - a[j].toDouble()) <= 5e-8 * std::max(1.0, std::abs(a[j].toDouble())),
                     qPrintable(panel));
        }
        const QString check = form_->findChild<QLabel*>("lblModelCheck")->text();
        QVERIFY2(check.startsWith(QString("χ² = %1, ν = %2, χ²₀,₉₅(ν) = %3: ")
                                      .arg(json["chi2"].toDouble(), 0, 'f', 7)
                                      .arg(json["dof"].toInt())
                                      .arg(json["chi2_critical"].toDouble(), 0, 'f', 7)),
                 qPrintable(check));
        QVERIFY(check.contains(QString("Γ = %1").arg(json["gamma"].toDouble(), 0, 'f', 7)));
    }

    // The window's report is quorvel-fit's for the same table, kind and X: the same page text, the data
    // file's name and date while the table is as read, "таблица окна" once it is changed; no report
    // without a fit.
    void reportIsQuorvelFitsReport() {
        QTemporaryDir dir;
        const QString data = dir.filePath("gauge.txt");
        QByteArray rows;
        for (int i = 0; i < 12; ++i) {
            const double x = 100000 + 1500.25 * i;
            rows += QByteArray::number(x / 100 + 1e-9 * (i % 3 - 1) * x, 'f', 4) + ' ' +
                    QByteArray::number(x, 'f', 2) + '\n';
        }
        QVERIFY(WriteFile(data, rows));
        QAction* report = form_->findChild<QAction*>("itmReport");
        QVERIFY(report != nullptr);
        form_->recompute();
        QCOMPARE(form_->findChild<TPanel*>("PanelA0")->text(), QString("Мало данных"));
        QVERIFY(!report->isEnabled());

        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(1);
        ChooseInFileDialog(data);
        form_->onReadFile();
        QVERIFY(report->isEnabled());
        form_->findChild<QLineEdit*>("MaskEditX")->setText("105000");
        const QString windowPdf = dir.filePath("window.pdf");
        ChooseInFileDialog(windowPdf);
        form_->onWriteReport();
        const QString fitPdf = dir.filePath("fit.pdf");
        QCOMPARE(RunFit({"--kind", "quadratic", "--at", "105000", "--report", fitPdf, data}).first, 0);
        const QString windowText = PdfText(windowPdf);
        QVERIFY(windowText.contains("Протокол калибровки"));
        QVERIFY(windowText.contains(QDir(dir.path()).absoluteFilePath("gauge.txt")));
        QCOMPARE(windowText, PdfText(fitPdf));

        // Y at X beyond the range: the report says so in its row, as quorvel-fit's does.
        TBoxSeen overflow;
        AnswerBox(overflow, QMessageBox::Ok);
        form_->findChild<QLineEdit*>("MaskEditX")->setText("1e200");
        QTRY_VERIFY(overflow.seen);
        QCOMPARE(overflow.text, QString("Floating point overflow."));
        ChooseInFileDialog(windowPdf);
        form_->onWriteReport();
        QCOMPARE(RunFit({"--kind", "quadratic", "--at", "1e200", "--report", fitPdf, data}).first, 4);
        QVERIFY(PdfText(windowPdf).contains("Y вне диапазона чисел"));
        QCOMPARE(PdfText(windowPdf), PdfText(fitPdf));

        // A changed table is no longer the file's.
        model_->SetCellText(0, 1, "1000.5");
        ChooseInFileDialog(windowPdf);
        form_->onWriteReport();
        QVERIFY(PdfText(windowPdf).contains("таблица окна"));

        // A folder that cannot be written (for root, who writes anywhere, a pipe in the report's place):
        // a box, and the old report stays as it was.
        const QString before = PdfText(windowPdf);
        const bool root = geteuid() == 0;
        const QString pipe = dir.filePath("pipe.pdf");
        QVERIFY(!root || mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Ok);
        ChooseInFileDialog(root ? pipe : windowPdf);
        form_->onWriteReport();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(seen.seen);
        QCOMPARE(seen.caption, QString("Ошибка записи файла"));
        QVERIFY2(seen.text.startsWith("Не могу записать файл"), qPrintable(seen.text));
        QCOMPARE(PdfText(windowPdf), before);
    }

    // The readings converted from the window are quorvel-fit --apply's bytes; the box counts them and
    // names the first refused line.
    void readingsAreQuorvelFitsReadings() {
        QTemporaryDir dir;
        const QString data = dir.filePath("pairs.txt");
        QVERIFY(WriteFile(data, "1 0\n3.1 1\n4.9 2\n7.2 3\n"));
        const QString readings = dir.filePath("readings.txt");
        QVERIFY(WriteFile(readings, "0.5\n\n2.5 x\nabc\n1e400\n-4\n"));
        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
        ChooseInFileDialog(data);
        form_->onReadFile();
        QVERIFY(form_->findChild<QAction*>("itmApply")->isEnabled());
        const QString out = dir.filePath("corrected.tsv");
        TBoxSeen seen;
        ChooseInFileDialog(readings);
        ChooseInFileDialog(out);
        AnswerBox(seen, QMessageBox::Ok);
        form_->onApplyToReadings();
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QString("Пересчитано показаний: 3.\nОтклонено строк: 2.\n"
                                    "Первая отклонённая строка 4: «abc»."));
        QFile written(out);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const std::pair<int, QByteArray> fit = RunFit({"--kind", "linear", "--apply", readings, data});
        QCOMPARE(fit.first, 2);  // a reading that is not a number
        QCOMPARE(written.readAll(), fit.second);

        // A target that cannot be written (a pipe for root): a box, and nothing left beside it.
        const QString pipe = dir.filePath("pipe.tsv");
        const bool root = geteuid() == 0;
        QVERIFY(!root || mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::System);
        TBoxSeen failed;
        ChooseInFileDialog(readings);
        ChooseInFileDialog(root ? pipe : dir.filePath("new.tsv"));
        AnswerBox(failed, QMessageBox::Ok);
        form_->onApplyToReadings();
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(failed.seen);
        QCOMPARE(failed.caption, QString("Ошибка записи файла"));
        QVERIFY2(failed.text.startsWith("Не могу записать файл"), qPrintable(failed.text));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System), before);
    }

    // A write that the system refuses is told in the window's language in every box: here a file larger
    // than the process may write (the C library's "File too large" used to show in the readings box).
    void writeFailuresAreToldInRussian() {
        QTemporaryDir dir;
        const QString data = dir.filePath("pairs.txt");
        QVERIFY(WriteFile(data, "1 0\n3.1 1\n4.9 2\n7.2 3\n"));
        const QString readings = dir.filePath("readings.txt");
        QVERIFY(WriteFile(readings, Pairs(500, "\n", "\n")));
        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
        ChooseInFileDialog(data);
        form_->onReadFile();

        struct rlimit before = {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &before) == 0);
        struct rlimit limited = before;
        limited.rlim_cur = 100;
        const sighandler_t oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const QString out = dir.filePath("corrected.tsv");
        TBoxSeen readingsBox;
        ChooseInFileDialog(readings);
        ChooseInFileDialog(out);
        AnswerBox(readingsBox, QMessageBox::Ok);
        form_->onApplyToReadings();
        const QString pdf = dir.filePath("report.pdf");
        TBoxSeen reportBox;
        ChooseInFileDialog(pdf);
        AnswerBox(reportBox, QMessageBox::Ok);
        form_->onWriteReport();
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);

        for (const TBoxSeen* box : {&readingsBox, &reportBox}) {
            QVERIFY(box->seen);
            QCOMPARE(box->caption, QString("Ошибка записи файла"));
            QVERIFY2(box->text.endsWith(": файл слишком велик"), qPrintable(box->text));
        }
        QVERIFY(!QFileInfo::exists(out) && !QFileInfo::exists(pdf));
    }

    // A readings file that is no regular file gets the open-failure box at once, as the table's read does:
    // a pipe is never waited on (the window used to hang until something wrote to it), a device never
    // read (one without end used to be read up to a line over 1 MiB), and no output file is asked for.
    void readingsOfAPipeOrADeviceAreRefusedAtOnce() {
        QTemporaryDir dir;
        const QString data = dir.filePath("pairs.txt");
        QVERIFY(WriteFile(data, "1 0\n3.1 1\n4.9 2\n7.2 3\n"));
        const QString pipe = dir.filePath("pipe.txt");
        QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const test::TLatePipeWriter writer(pipe);
        form_->findChild<QComboBox*>("ComboBox1")->setCurrentIndex(0);
        ChooseInFileDialog(data);
        form_->onReadFile();
        for (const QString& readings : {pipe, QString("/dev/zero"), dir.filePath("missing.txt")}) {
            ChooseInFileDialog(readings);
            // A command that went on to ask for the output file gets no answer there and ends.
            int unanswered = 0;
            QTimer refuser;
            connect(&refuser, &QTimer::timeout, [&unanswered] {
                QFileDialog* dialog = VisibleTopLevel<QFileDialog>();
                if (dialog != nullptr && !dialog->property("chosen").toBool() && ++unanswered > 10) {
                    dialog->reject();
                }
            });
            refuser.start(50);
            TBoxSeen seen;
            AnswerBox(seen, QMessageBox::Abort);
            QElapsedTimer clock;
            clock.start();
            form_->onApplyToReadings();
            refuser.stop();
            QVERIFY2(clock.elapsed() < 3000, qPrintable(readings));
            QCOMPARE(unanswered, 0);
            QVERIFY2(seen.seen, qPrintable(readings));
            QCOMPARE(seen.text, QString("Не могу открыть файл."));
            QCOMPARE(seen.caption, QString("Ошибка чтения файла"));
            QCOMPARE(seen.icon, QMessageBox::Warning);
        }
    }

    // A spreadsheet's table through "Импорт таблицы…": what the dialog finds, the columns chosen from
    // the header's names, then the rows whole in the window's number format and the recompute.
    void importThroughTheDialog() {
        SetDecimalChar(U'.');
        QTemporaryDir dir;
        const QString path = dir.filePath("gauge.csv");
        QVERIFY(WriteFile(
            path,
            "\xEF\xBB\xBF\"№\";\"Давление; кПа\";\"Показания, мВ\";\r\n1;0;0,012;\r\n2;25,5;10,3;\r\n"
            "3;50;20,61;\r\n4;75;30,9;\r\n5;100;41,3;\r\n;;;\r\n"));
        for (int row = 1; row <= 25; ++row) {
            model_->SetCellText(0, row, "8");
        }
        model_->SetRowCount(30);
        QStringList found;
        QStringList columns;
        ChooseInFileDialog(path);
        WhenShown<TFormImport>([&](TFormImport* dialog) {
            QCOMPARE(dialog->objectName(), QString("FormImport"));
            auto* y = dialog->findChild<QComboBox*>("cmbColumnY");
            auto* x = dialog->findChild<QComboBox*>("cmbColumnX");
            found << dialog->findChild<QComboBox*>("cmbSeparator")->currentText()
                  << dialog->findChild<QComboBox*>("cmbDecimal")->currentText()
                  << QString::number(dialog->findChild<QSpinBox*>("edtHeaderLines")->value())
                  << y->currentText() << x->currentText();
            for (int i = 0; i < y->count(); ++i) {
                columns << y->itemText(i);
            }
            // The row numbers are numbers too: the user picks the columns by their names.
            y->setCurrentIndex(y->findText("2: Давление; кПа"));
            x->setCurrentIndex(x->findText("3: Показания, мВ"));
            dialog->findChild<QPushButton*>("btnImport")->click();
        });
        auto* item = form_->findChild<QAction*>("itmImport");
        QVERIFY(item != nullptr);
        QCOMPARE(item->text(), QString("Импорт таблицы…"));
        item->trigger();
        QCOMPARE(found, (QStringList{"Точка с запятой", "Запятая", "1", "1: №", "2: Давление; кПа"}));
        QCOMPARE(columns, (QStringList{"1: №", "2: Давление; кПа", "3: Показания, мВ", "4: Столбец 4"}));
        QCOMPARE(model_->RowCount(), 7);
        QCOMPARE(Cell(*model_, 0, 2) + "|" + Cell(*model_, 1, 2), QString("25.5|10.3"));
        QCOMPARE(Cell(*model_, 0, 5) + "|" + Cell(*model_, 1, 5), QString("100|41.3"));
        QCOMPARE(Cell(*model_, 0, 6), QString());
        QCOMPARE(Cell(*model_, 0, 25), QString());  // no row of the table before is left
        QVERIFY(panelResult_->text().startsWith("Y = "));
    }

    // Whole or nothing: a bad field, a cancel of the dialog or a changed separator that finds no table
    // leave the table as it was, without a recompute; the box names the line and the column.
    void importRefusesWholeAndNamesTheLineAndColumn() {
        SetDecimalChar(U'.');
        QTemporaryDir dir;
        const QString path = dir.filePath("bad.csv");
        QVERIFY(WriteFile(path, "Y;X\n1;2\n3;4\n5;abc\n7;8\n"));
        model_->SetCellText(0, 1, "7");
        const QStringList before = TableState(*model_);
        const QString results = panelResult_->text();

        ChooseInFileDialog(path);
        WhenShown<TFormImport>(
            [](TFormImport* dialog) { dialog->findChild<QPushButton*>("btnImport")->click(); });
        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Ok);
        form_->onImportTable();
        QVERIFY(seen.seen);
        QCOMPARE(
            seen.text,
            QString("Строка 4, столбец 2 (X): «abc» не является числом (десятичный знак «,»). Таблица не "
                    "изменилась."));
        QCOMPARE(seen.caption, QString("Ошибка импорта таблицы"));
        QCOMPARE(TableState(*model_), before);
        QCOMPARE(panelResult_->text(), results);

        ChooseInFileDialog(path);
        QString problem;
        bool importable = true;
        WhenShown<TFormImport>([&](TFormImport* dialog) {
            // Under a comma no field is a number: the dialog says so and offers no import.
            dialog->findChild<QComboBox*>("cmbSeparator")->setCurrentIndex(0);
            problem = dialog->findChild<QLabel*>("lblProblem")->text();
            importable = dialog->findChild<QPushButton*>("btnImport")->isEnabled();
            dialog->findChild<QPushButton*>("btnCancel")->click();
        });
        form_->onImportTable();
        QCOMPARE(problem, QString("Ни в одной из первых 5 строк нет чисел в столбцах Y и X."));
        QVERIFY(!importable);
        QCOMPARE(TableState(*model_), before);
        QCOMPARE(panelResult_->text(), results);
    }

    // A file dropped onto the window: a .csv through the import's dialog, any other as a read; a
    // name that is no regular file gets the open-failure box before anything can wait on it.
    void droppedFilesAreImportedOrRead() {
        SetDecimalChar(U'.');
        QTemporaryDir dir;
        const QString csv = dir.filePath("t.csv");
        const QString txt = dir.filePath("t.txt");
        const QString pipe = dir.filePath("p.csv");
        QVERIFY(WriteFile(csv, "Y,X\n1.5,2\n2.5,3\n3.5,4.5\n"));
        QVERIFY(WriteFile(txt, "9 8\n7 6\n"));
        QVERIFY(mkfifo(pipe.toUtf8().constData(), 0644) == 0);
        const auto drop = [this](const QString& path) {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            const QPoint at = form_->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form_.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(form_.get(), &dropped);
            QVERIFY(dropped.isAccepted());
        };
        bool dialogShown = false;
        WhenShown<TFormImport>([&](TFormImport* dialog) {
            dialogShown = true;
            dialog->findChild<QPushButton*>("btnImport")->click();
        });
        drop(csv);
        QTRY_COMPARE(model_->RowCount(), 5);
        QVERIFY(dialogShown);
        QCOMPARE(Cell(*model_, 0, 3) + "|" + Cell(*model_, 1, 3), QString("3.5|4.5"));

        drop(txt);
        QTRY_COMPARE(model_->RowCount(), 4);
        QCOMPARE(Cell(*model_, 0, 1) + "|" + Cell(*model_, 1, 1), QString("9|8"));

        TBoxSeen seen;
        AnswerBox(seen, QMessageBox::Abort);
        drop(pipe);
        QTRY_VERIFY(seen.seen);
        QCOMPARE(seen.text, QString("Не могу открыть файл."));
        QCOMPARE(seen.icon, QMessageBox::Warning);
        QCOMPARE(model_->RowCount(), 4);

        // Two files at once, or text that is no file, are not taken.
        QMimeData two;
        two.setUrls({QUrl::fromLocalFile(csv), QUrl::fromLocalFile(txt)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(form_.get(), &enter);
        QVERIFY(!enter.isAccepted());
    }

    void exitEndsProcessAtOnceWithCodeZero() {
        QProcess probe;
        probe.setProgram(QCoreApplication::applicationDirPath() + "/form_exit_probe");
        probe.start();
        QVERIFY(probe.waitForFinished(20000));
        QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
        QCOMPARE(probe.exitCode(), 0);
        // The loop ended at once and the application object was destroyed before the entry returned 0.
        QCOMPARE(probe.readAllStandardOutput(),
                 QByteArray("exit chosen\napplication destroyed\nreturned 0\n"));
    }

private:
    std::unique_ptr<TFormMain> form_;
    TStringGrid* grid_ = nullptr;
    TGridModel* model_ = nullptr;
    TPanel* panelResult_ = nullptr;
};

}  // namespace quorvel

QTEST_MAIN(quorvel::FormCommandsTest)
#include "form_commands_test.moc"
