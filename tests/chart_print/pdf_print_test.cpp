// A real print to the PDF file target, looked at page by page with poppler's tools; and, where a test
// script has started a print spooler with a PDF queue, a print through that queue.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <functional>
#include <optional>

#include "chart/print/chart_preview.h"
#include "chart/print/chart_preview_page.h"
#include "chart/print/chart_printing.h"
#include "chart/print/qt_printer.h"
#include "chart_sample.h"

namespace quorvel::testing {
namespace {

constexpr char kFormula[] = "Y = 2.0000000*X + 1.0000000";

bool HasTool(const char* name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

QString RunTool(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

void SelectPdfTarget(TQtPrinter& printer, const QString& file) {
    printer.SetPrinterIndex(static_cast<int>(printer.Printers().size()) - 1);
    printer.AskPdfFileName = [file](QWidget*, const QString&) { return file; };
}

class PdfPrintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        chart = SampleChart();
        chart->Title().SetText({kFormula});
        chart->Title().SetVisible(true);
        file = dir.filePath("chart.pdf");
    }

    // The page rendered at dpi as an image; null when poppler's renderer is missing.
    QImage Render(int dpi) {
        const QString prefix = dir.filePath("page");
        RunTool("pdftoppm", {"-r", QString::number(dpi), "-png", "-singlefile", file, prefix});
        return QImage(prefix + ".png");
    }
    // A point of the printer's canvas (device pixels from the printable corner) on the page rendered at dpi.
    static QPoint OnPage(TQtPrinter& printer, double x, double y, int dpi) {
        const QRect printable = printer.Device().pageRect(QPrinter::DevicePixel).toRect();
        const double scale = static_cast<double>(dpi) / printer.DpiX();
        return QPoint(qRound((printable.left() + x) * scale), qRound((printable.top() + y) * scale));
    }

    QTemporaryDir dir;
    std::unique_ptr<TChart> chart;
    TChartPrintSettings settings;
    QString file;
};

TEST_F(PdfPrintTest, PdfTargetIsAlwaysOffered) {
    TQtPrinter printer;
    const QStringList names = printer.Printers();
    ASSERT_FALSE(names.isEmpty());
    EXPECT_EQ(names.last(), QString("PDF-файл"));
    EXPECT_EQ(names.size(), QPrinterInfo::availablePrinterNames().size() + 1);
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        EXPECT_EQ(printer.PrinterIndex(), names.size() - 1);
        EXPECT_TRUE(printer.IsPdfTarget());
    }
    SelectPdfTarget(printer, file);
    EXPECT_EQ(printer.DpiX(), TQtPrinter::kPdfResolution);
    printer.SetOrientation(poLandscape);
    EXPECT_GT(printer.PageWidth(), printer.PageHeight());
    printer.SetOrientation(poPortrait);
    EXPECT_LT(printer.PageWidth(), printer.PageHeight());
}

TEST_F(PdfPrintTest, CancelledFileNameStartsNoJob) {
    TQtPrinter printer;
    SelectPdfTarget(printer, QString());
    EXPECT_FALSE(PrintChart(*chart, settings, printer));
    EXPECT_FALSE(printer.Printing());
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(PdfPrintTest, OneLandscapePageWithTheChartInsideThePrintedRectangle) {
    TQtPrinter printer;
    SelectPdfTarget(printer, file);
    printer.SetOrientation(poLandscape);
    const TRect expected = PagePrintRect(settings, chart->Width(), chart->Height(), printer.Metrics());
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    EXPECT_FALSE(printer.Printing());
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");

    if (!HasTool("pdftoppm") || !HasTool("pdfinfo")) {
        GTEST_SKIP() << "pdftoppm/pdfinfo (poppler-utils) not installed: the printed page is not looked at";
    }
    const QString info = RunTool("pdfinfo", {file});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
    // The document is called by the formula printed on it, not by the chart's component name.
    EXPECT_TRUE(info.contains(
        QRegularExpression(QString("Title:\\s+") + QRegularExpression::escape(kFormula) + "\\n")))
        << info.toStdString();

    constexpr int kDpi = 60;
    const QImage page = Render(kDpi);
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height());
    // The printed rectangle on the rendered page: device pixels from the printable area's corner.
    const QRect printable = printer.Device().pageRect(QPrinter::DevicePixel).toRect();
    const double scale = static_cast<double>(kDpi) / printer.DpiX();
    const QRect printed(qRound((printable.left() + expected.Left) * scale),
                        qRound((printable.top() + expected.Top) * scale), qRound(expected.Width() * scale),
                        qRound(expected.Height() * scale));
    const QRect tolerance = printed.adjusted(-2, -2, 2, 2);
    int inkInside = 0;
    int inkOutside = 0;
    int blueInTopPart = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            const bool ink = c.red() < 200 || c.green() < 200 || c.blue() < 200;
            if (!ink) {
                continue;
            }
            if (tolerance.contains(x, y)) {
                ++inkInside;
                if (c.blue() > 150 && c.red() < 120 && c.green() < 120 &&
                    y < printed.top() + printed.height() / 4) {
                    ++blueInTopPart;
                }
            } else {
                ++inkOutside;
            }
        }
    }
    EXPECT_EQ(inkOutside, 0);
    EXPECT_GT(inkInside, 200);
    // The title, the formula line in blue, lies in the top part of the printed rectangle.
    EXPECT_GT(blueInTopPart, 5);
    // The left axis: a long dark vertical run in the left part of the rectangle.
    int longestRun = 0;
    for (int x = printed.left(); x < printed.left() + printed.width() / 3; ++x) {
        int run = 0;
        for (int y = printed.top(); y < printed.bottom(); ++y) {
            const QColor c = page.pixelColor(x, y);
            run = (c.red() < 100 && c.green() < 100 && c.blue() < 100) ? run + 1 : 0;
            longestRun = std::max(longestRun, run);
        }
    }
    EXPECT_GT(longestRun, printed.height() / 2);
}

// The bounding box of everything not white on a rendered page.
QRect InkBox(const QImage& page) {
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() < 200 || c.green() < 200 || c.blue() < 200) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

TEST_F(PdfPrintTest, AMarginTypedInThePreviewIsTheMarginPrintedUnderTheWaitCursor) {
    if (!HasTool("pdftoppm")) {
        GTEST_SKIP() << "pdftoppm (poppler-utils) not installed";
    }
    constexpr int kDpi = 60;
    struct Row {
        const char* name;
        const char* typedTop;  // typed into the top margin's edit, or nothing
        TPageMargins printed;
    };
    const Row rows[] = {
        {"default", nullptr, {15, 19, 15, 19}},
        {"top margin typed as 5", "5", {15, 5, 15, 19}},
    };
    QRect ink[2];
    for (int k = 0; k < 2; ++k) {
        const Row& row = rows[k];
        SCOPED_TRACE(row.name);
        TQtPrinter printer;
        SelectPdfTarget(printer, file);
        // The file name is asked with the normal cursor; the drawing has the hourglass.
        bool askedWithNormalCursor = false;
        bool drawnWithWaitCursor = false;
        printer.AskPdfFileName = [&](QWidget*, const QString&) {
            askedWithNormalCursor = QGuiApplication::overrideCursor() == nullptr;
            return file;
        };
        chart->OnAfterDraw = [&](TChart&, TRenderContext&) {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            drawnWithWaitCursor = cursor != nullptr && cursor->shape() == Qt::WaitCursor;
        };
        TChartPrintSettings fresh;
        TChartPreview dialog(nullptr, *chart, fresh, printer);
        dialog.show();
        QCoreApplication::processEvents();
        if (row.typedTop != nullptr) {
            dialog.SETopMa->setFocus();
            dialog.SETopMa->selectAll();
            QTest::keyClicks(dialog.SETopMa, row.typedTop);
        }
        dialog.BPrint->click();
        chart->OnAfterDraw = nullptr;
        EXPECT_TRUE(askedWithNormalCursor);
        EXPECT_TRUE(drawnWithWaitCursor);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(fresh.PageMargins, row.printed);
        // The sheet shows what was printed.
        dialog.Page()->RenderFrame();
        EXPECT_EQ(dialog.Page()->PictureRect(),
                  PictureRectFromMargins(dialog.Page()->SheetRect(), row.printed));
        const QImage page = Render(kDpi);
        ASSERT_FALSE(page.isNull());
        ink[k] = InkBox(page);
        // All ink inside the printed rectangle, and reaching near its top (the title line).
        TChartPrintSettings expected;
        expected.PrintProportional = false;
        expected.PageMargins = row.printed;
        const TRect r = PagePrintRect(expected, chart->Width(), chart->Height(), printer.Metrics());
        const QRect printed(OnPage(printer, r.Left, r.Top, kDpi), OnPage(printer, r.Right, r.Bottom, kDpi));
        EXPECT_TRUE(printed.adjusted(-2, -2, 2, 2).contains(ink[k])) << row.name;
        EXPECT_LT(ink[k].top() - printed.top(), printed.height() / 8);
    }
    // The same sides, a taller chart reaching higher up the page.
    EXPECT_LT(ink[1].top(), ink[0].top() - 10);
    EXPECT_NEAR(ink[1].left(), ink[0].left(), 2);
    EXPECT_NEAR(ink[1].right(), ink[0].right(), 2);
}

TEST_F(PdfPrintTest, LinesWithFarEndsArePrintedWhereTheyCrossThePage) {
    if (!HasTool("pdftoppm")) {
        GTEST_SKIP() << "pdftoppm (poppler-utils) not installed";
    }
    // As a deeply zoomed curve gives them: in the chart's logical units, mapped onto the page as a print
    // maps them, ends 2^30 units away, the chart crossed at a slope of 1/2 through its centre.
    constexpr int kFar = 1 << 30;
    const TPoint logical{289, 208};
    const TPoint device{3472, 2174};
    struct Row {
        const char* name;
        int width;
        bool clip;
    };
    for (const Row& row :
         {Row{"hairline", 1, false}, Row{"clipped hairline", 1, true}, Row{"wide pen", 3, false}}) {
        SCOPED_TRACE(row.name);
        TQtPrinter printer;
        SelectPdfTarget(printer, file);
        printer.SetOrientation(poLandscape);
        ASSERT_TRUE(printer.BeginDoc(nullptr));
        TCanvas& canvas = printer.Canvas();
        canvas.SetMapping(TMapping{{0, 0}, logical, {0, 0}, device});
        if (row.clip) {
            canvas.SetClipRect(TRect{10, 10, logical.X - 10, logical.Y - 10});
        }
        canvas.SetPen(TPen{clBlack, TPenStyle::Solid, row.width});
        const TPoint c{logical.X / 2, logical.Y / 2};
        canvas.Line(c.X - kFar, c.Y - kFar / 2, c.X + kFar, c.Y + kFar / 2);
        printer.EndDoc();
        constexpr int kDpi = 30;
        const QImage page = Render(kDpi);
        ASSERT_FALSE(page.isNull());
        for (const int x : {c.X - 60, c.X, c.X + 60}) {
            const QPoint p = OnPage(printer, x * device.X / double(logical.X),
                                    (c.Y + (x - c.X) / 2.0) * device.Y / logical.Y, kDpi);
            int ink = 0;
            // A hairline comes out light grey at this resolution: any ink counts.
            for (int y = p.y() - 2; y <= p.y() + 2; ++y) {
                ink += page.pixelColor(p.x(), y).lightness() < 240 ? 1 : 0;
            }
            EXPECT_GT(ink, 0) << "at x " << x;
        }
    }
}

TEST_F(PdfPrintTest, PortraitPageStaysPortrait) {
    TQtPrinter printer;
    SelectPdfTarget(printer, file);
    printer.SetOrientation(poPortrait);
    chart->Title().SetVisible(false);
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    // The wide chart on a tall A4 sheet: wider top and bottom margins keep its shape.
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 35, 15, 35}));
    if (!HasTool("pdftoppm") || !HasTool("pdfinfo")) {
        GTEST_SKIP() << "pdftoppm/pdfinfo (poppler-utils) not installed";
    }
    // Without a title on the page the document takes the application's name.
    const QString info = RunTool("pdfinfo", {file});
    EXPECT_TRUE(info.contains(QRegularExpression("Title:\\s+Quorvel\\n"))) << info.toStdString();
    const QImage page = Render(30);
    ASSERT_FALSE(page.isNull());
    EXPECT_LT(page.width(), page.height());
}

TEST_F(PdfPrintTest, JobControlRefusesOutOfOrderCalls) {
    TQtPrinter printer;
    SelectPdfTarget(printer, file);
    EXPECT_THROW(printer.EndDoc(), EPrinter);
    EXPECT_THROW(printer.Canvas(), EPrinter);
    printer.Abort();  // nothing to abort
    ASSERT_TRUE(printer.BeginDoc(nullptr));
    EXPECT_TRUE(printer.Printing());
    EXPECT_THROW(printer.BeginDoc(nullptr), EPrinter);
    printer.Abort();
    EXPECT_FALSE(printer.Printing());
    // The printer is usable again after an abort.
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
    EXPECT_TRUE(QFile::exists(file));
}

// Holds the process' file size limit at bytes for its lifetime: writes beyond it fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousSignal_)(int) = nullptr;
};

TEST_F(PdfPrintTest, AFileThatCannotBeWrittenWholeIsAnErrorAndLeavesNothingBehind) {
    struct Row {
        const char* name;
        QString target;
        std::function<bool()> prepare;  // false: the condition cannot be made here
        bool fullDisk;
    };
    const Row rows[] = {
        {"missing folder", dir.filePath("missing/folder/chart.pdf"), [] { return true; }, false},
        {"a file in place of the folder", dir.filePath("plain/chart.pdf"),
         [&] {
             QFile plain(dir.filePath("plain"));
             return plain.open(QIODevice::WriteOnly);
         },
         false},
        // Where permission bits bind (not for the super-user).
        {"read-only folder", dir.filePath("locked/chart.pdf"),
         [&] {
             QDir(dir.path()).mkdir("locked");
             QFile::setPermissions(dir.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner);
             return !QFileInfo(dir.filePath("locked")).isWritable();
         },
         false},
        // The old file of that name must survive a print that does not fit.
        {"full disk", dir.filePath("chart.pdf"),
         [&] {
             QFile old(dir.filePath("chart.pdf"));
             return old.open(QIODevice::WriteOnly) && old.write("old") == 3;
         },
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (!row.prepare()) {
            continue;
        }
        const QStringList before = QDir(QFileInfo(row.target).path()).entryList(QDir::Files | QDir::Hidden);
        TQtPrinter printer;
        SelectPdfTarget(printer, row.target);
        std::string message;
        {
            std::optional<FileSizeLimit> full;
            if (row.fullDisk) {
                full.emplace(1024);
            }
            try {
                PrintChart(*chart, settings, printer);
            } catch (const EPrinter& e) {
                message = e.what();
            }
        }
        EXPECT_EQ(message.rfind("Не могу записать файл " + row.target.toStdString() + ": ", 0), 0u)
            << message;
        EXPECT_FALSE(printer.Printing());
        EXPECT_TRUE(ScreenDrawsBackground(*chart));
        EXPECT_EQ(QDir(QFileInfo(row.target).path()).entryList(QDir::Files | QDir::Hidden), before);
        if (row.fullDisk) {
            QFile old(row.target);
            ASSERT_TRUE(old.open(QIODevice::ReadOnly));
            EXPECT_EQ(old.readAll(), QByteArray("old"));
            // With room again the same printer writes the whole file.
            ASSERT_TRUE(PrintChart(*chart, settings, printer));
            QFile pdf(row.target);
            ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
            EXPECT_TRUE(pdf.readAll().trimmed().endsWith("%%EOF"));
        }
    }
}

// What the print dialog shows once it runs, and an answer given to it (from a timer, as a user would).
struct SetupSeen {
    bool shown = false;
    QString title;
    QString accept;
    bool jobOptions = false;   // a control for pages, copies or their order can be reached
    bool properties = false;   // the printer's own properties can be reached
    QString current;           // the printer entry it opened on
    bool onFileEntry = false;  // ... which is its file entry
};

// Runs the printer's setup, answering its dialog with answer (true accepts it).
SetupSeen RunSetup(TPrinter& printer, const std::function<bool(QPrintDialog&)>& answer,
                   const std::function<void()>& open = {}) {
    SetupSeen seen;
    QTimer::singleShot(0, [&seen, answer] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (QWidget* other = QApplication::activeModalWidget()) {
                other->close();
            }
            return;
        }
        seen.shown = true;
        seen.title = dialog->windowTitle();
        seen.jobOptions = dialog->testOption(QAbstractPrintDialog::PrintPageRange) ||
                          dialog->testOption(QAbstractPrintDialog::PrintCollateCopies) ||
                          dialog->testOption(QAbstractPrintDialog::PrintCurrentPage) ||
                          dialog->testOption(QAbstractPrintDialog::PrintSelection);
        if (auto* buttons = dialog->findChild<QDialogButtonBox*>()) {
            for (QAbstractButton* button : buttons->buttons()) {
                const auto role = buttons->buttonRole(button);
                if (role == QDialogButtonBox::AcceptRole) {
                    seen.accept = button->text();
                } else if (role != QDialogButtonBox::RejectRole && button->isVisible()) {
                    seen.jobOptions = true;
                }
            }
        }
        if (auto* properties = dialog->findChild<QPushButton*>(QStringLiteral("properties"))) {
            seen.properties = properties->isVisible() && properties->isEnabled();
        }
        if (auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printers"))) {
            seen.current = printers->currentText();
            seen.onFileEntry = printers->currentIndex() == printers->count() - 1;
        }
        if (answer(*dialog)) {
            dialog->accept();
        } else {
            dialog->reject();
        }
    });
    if (open) {
        open();
    } else {
        printer.Setup(nullptr);
    }
    return seen;
}

// Chooses the entry named name in the dialog's printer list (the last one, its file entry, when empty).
void ChoosePrinter(QPrintDialog& dialog, const QString& name) {
    auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers"));
    ASSERT_NE(printers, nullptr);
    printers->setCurrentIndex(name.isEmpty() ? printers->count() - 1 : printers->findText(name));
}

TEST_F(PdfPrintTest, TheSetupIsThePrintDialogInItsSetupRole) {
    TQtPrinter printer;
    SelectPdfTarget(printer, file);
    printer.SetOrientation(poLandscape);
    const QString named = dir.filePath("named.pdf");
    const SetupSeen seen = RunSetup(printer, [&](QPrintDialog& dialog) {
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename"))) {
            name->setText(named);
        }
        return true;
    });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QString("Настройка печати"));
    // Accepting keeps the settings: the button does not say it prints.
    EXPECT_EQ(seen.accept, QCoreApplication::translate("QPlatformTheme", "OK"));
    EXPECT_FALSE(seen.jobOptions);
    EXPECT_TRUE(seen.onFileEntry);
    EXPECT_TRUE(printer.IsPdfTarget());
    EXPECT_EQ(printer.DpiX(), TQtPrinter::kPdfResolution);
    EXPECT_EQ(printer.Orientation(), poLandscape);
    // The file named there is the one offered at the print.
    QString offered;
    printer.AskPdfFileName = [&](QWidget*, const QString& suggested) {
        offered = suggested;
        return QString();
    };
    EXPECT_FALSE(PrintChart(*chart, settings, printer));
    EXPECT_EQ(offered, named);
    // A setup called off takes nothing over.
    RunSetup(printer, [&](QPrintDialog& dialog) {
        if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename"))) {
            name->setText(dir.filePath("other.pdf"));
        }
        return false;
    });
    EXPECT_FALSE(PrintChart(*chart, settings, printer));
    EXPECT_EQ(offered, named);
}

// Run only by cups_print_test.sh, with a private spooler and its PDF queue; CTest leaves it out.
TEST(CupsQueue, PrintsThroughTheSpooler) {
    const QString queue = qEnvironmentVariable("QUORVEL_CUPS_QUEUE");
    if (queue.isEmpty()) {
        GTEST_SKIP() << "no print spooler for this run (cups_print_test.sh starts one)";
    }
    TQtPrinter printer;
    const auto index = printer.Printers().indexOf(queue);
    ASSERT_GE(index, 0) << "queue " << queue.toStdString() << " not in the printer list";
    printer.SetPrinterIndex(static_cast<int>(index));
    printer.SetOrientation(poLandscape);
    EXPECT_GT(printer.PageWidth(), printer.PageHeight());
    auto chart = SampleChart();
    chart->Title().SetText({kFormula});
    chart->Title().SetVisible(true);
    TChartPrintSettings settings;
    ASSERT_TRUE(PrintChart(*chart, settings, printer));
}

// Run only by cups_print_test.sh, like the print above.
TEST(CupsQueue, TheSetupDialogChoosesBetweenTheQueueAndTheFile) {
    const QString queue = qEnvironmentVariable("QUORVEL_CUPS_QUEUE");
    if (queue.isEmpty()) {
        GTEST_SKIP() << "no print spooler for this run (cups_print_test.sh starts one)";
    }
    TQtPrinter printer;
    const int queueIndex = static_cast<int>(printer.Printers().indexOf(queue));
    ASSERT_GE(queueIndex, 0);
    const int fileIndex = static_cast<int>(printer.Printers().size()) - 1;
    printer.SetPrinterIndex(fileIndex);
    printer.SetOrientation(poLandscape);
    // It opens on the current printer, the file here, and the queue chosen there becomes current.
    SetupSeen seen = RunSetup(printer, [&](QPrintDialog& dialog) {
        ChoosePrinter(dialog, queue);
        return true;
    });
    ASSERT_TRUE(seen.shown);
    EXPECT_TRUE(seen.onFileEntry);
    EXPECT_EQ(printer.PrinterIndex(), queueIndex);
    EXPECT_FALSE(printer.IsPdfTarget());
    EXPECT_EQ(printer.Orientation(), poLandscape);
    // On a queue: its own properties can be reached, and the file can be chosen again.
    seen = RunSetup(printer, [&](QPrintDialog& dialog) {
        ChoosePrinter(dialog, QString());
        return true;
    });
    EXPECT_EQ(seen.current, queue);
    EXPECT_TRUE(seen.properties);
    EXPECT_FALSE(seen.jobOptions);
    EXPECT_TRUE(printer.IsPdfTarget());
    EXPECT_EQ(printer.DpiX(), TQtPrinter::kPdfResolution);

    // From the preview: the printer list follows the dialog's choice, and so does the orientation.
    auto chart = SampleChart();
    TChartPrintSettings settings;
    TChartPreview preview(nullptr, *chart, settings, printer);
    preview.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(preview.Printers->currentIndex(), fileIndex);
    seen = RunSetup(
        printer,
        [&](QPrintDialog& dialog) {
            ChoosePrinter(dialog, queue);
            // What the printer's properties would do: portrait paper.
            dialog.printer()->setPageOrientation(QPageLayout::Portrait);
            return true;
        },
        [&] { preview.BSetupPrinter->click(); });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(preview.Printers->currentText(), queue);
    EXPECT_EQ(printer.PrinterIndex(), queueIndex);
    EXPECT_EQ(printer.Orientation(), poPortrait);
    EXPECT_TRUE(preview.findChild<QRadioButton*>("Orientation0")->isChecked());
    EXPECT_EQ(settings.PageMargins, (TPageMargins{15, 35, 15, 35}));
}

}  // namespace
}  // namespace quorvel::testing
