#include "calibration/calibration_report.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "calibration/form_chart.h"
#include "chart/fast_line_series.h"
#include "chart/print/chart_printing.h"
#include "chart/print/pdf_file.h"
#include "chart/qt/qt_canvas.h"
#include "fitting/calibration_summary.h"
#include "fitting/fit_texts.h"
#include "fitting/least_squares.h"
#include "fitting/messages.h"
#include "fitting/presentation.h"
#include "fitting/result_texts.h"
#include "runtime/exceptions.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "ui/offscreen_app.h"

namespace quorvel {

namespace {

// The dates of the data file and of the report, in the form of the user's language (a catalogue entry).
constexpr const char* kReportDateFormat = "dd.MM.yyyy HH:mm";

// The page in millimetres: A4 portrait, with the wider margin on the left, where a filed sheet is bound.
constexpr double kPageWidth = 210;
constexpr double kPageHeight = 297;
constexpr double kLeft = 20;
constexpr double kRight = 15;
constexpr double kTop = 15;
constexpr double kBottom = 15;
constexpr double kContentWidth = kPageWidth - kLeft - kRight;
constexpr int kResolution = 600;

// The chart: the window's chart stretched to this width, its layout enlarged by the print detail so
// that its 8-point labels come out at about that size on paper.
constexpr double kChartWidth = 104;
constexpr int kChartDetail = -40;

constexpr double kRowHeight = 4.2;  // a line of the table of points
constexpr double kResultRowHeight = 4.2;
constexpr double kFooterHeight = 8;

const QColor kRuleColor(120, 120, 120);
const QColor kHeaderFill(232, 232, 232);
const QColor kNoteColor(80, 80, 80);
const QColor kWarningColor(150, 0, 0);

// The user stopped the report: nothing is written.
struct TCancelled {};

// The progress of one report: the texts take the first share, the pages the rest but the last bit,
// which is the file's write.
class TReportSteps {
public:
    explicit TReportSteps(const std::function<bool(double)>& step) : step_(step) {}
    void At(double done) const {
        if (step_ && !step_(done)) {
            throw TCancelled();
        }
    }

private:
    const std::function<bool(double)>& step_;
};
constexpr double kTextsShare = 0.3;
constexpr double kPagesShare = 0.65;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The shortest round-trip text of a value, with the locale's decimal character.
QString Full(double value) {
    std::string text;
    AppendShortest(text, value);
    return Q(ReplaceText(text, ".", DecimalText()));
}

QString Figure(const std::optional<double>& value) {
    if (!value) {
        throw EOverflow();
    }
    return Full(*value);
}

QFont Font(double points, bool bold = false) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// One row of the results table.
struct TResultRow {
    QString name;
    QString shown;  // as the window shows it
    QString full;
    QString uncertainty;
    QString expanded;  // U = k·u
};

struct TPointRow {
    QString number;
    QString x;
    QString y;
    QString fitted;
    QString deviation;
    QColor color;
};

// Every text of the report, found before anything is drawn, so that a figure beyond the range stops it
// before a file is begun.
struct TReportTexts {
    QString file;
    QString fileDate;
    QString date;
    QString kind;
    QString points;
    QString formula;
    std::vector<TResultRow> results;
    QString coefficientNote;  // empty when the coefficients, printed and in full, give the fit as shown
    QString scatterNote;
    // With given uncertainties: the method under the title, where they came from, the figures in the
    // certificate's way and the model check.
    QString method = QString::fromUtf8(Tr("по методу наименьших квадратов"));
    QString source;
    QString certificate;
    QString modelCheck;
    std::vector<TPointRow> rows;
};

// The statistics, s, k, Y at X and X at Y of the ordinary fit, and its note.
void OrdinaryResults(const TReportInput& input, const TFitUncertainty* u, TReportTexts& t) {
    const TRecomputeResult& result = *input.result;
    const bool scatter = u != nullptr && u->HasScatter();
    const QString none = QStringLiteral("—");
    t.results.push_back(
        {Q(Tr(kMaxErrorLabel)), Q(result.maxErrText), Full(result.statistics.maxError), {}, {}});
    t.results.push_back({Q(Tr(kSigmaLabel)), Q(result.sigmaText), Full(result.statistics.sigma), {}, {}});
    t.results.push_back(
        {QString::fromUtf8(Tr("Остаточное СКО s")), {}, scatter ? Figure(u->ResidualSd()) : none, {}, {}});
    t.results.push_back({QString::fromUtf8(Tr("Коэффициент охвата k")),
                         {},
                         scatter ? Full(u->CoverageFactor()) : none,
                         {},
                         {}});
    // Y at X with the u(X) of --at-u, where it was asked for.
    const TCalibrationValue* withU =
        input.calibration != nullptr && input.calibration->at ? &*input.calibration->at : nullptr;
    if (input.at != nullptr && input.at->state == TEvaluation::Evaluated && withU != nullptr) {
        const TEvaluation& at = *input.at;
        t.results.push_back({Q(Tr(kAtXLabel) + at.label), Q(Tr(kYLabel) + at.yText), Full(at.y),
                             Full(withU->u), Full(withU->expanded)});
    } else if (input.at != nullptr && input.at->state == TEvaluation::Evaluated) {
        const TEvaluation& at = *input.at;
        t.results.push_back({Q(Tr(kAtXLabel) + at.label), Q(Tr(kYLabel) + at.yText), Full(at.y),
                             scatter ? Figure(u->UncertaintyAt(at.x)) : none,
                             scatter ? Figure(u->ExpandedUncertaintyAt(at.x)) : none});
    } else if (input.at != nullptr && input.at->state == TEvaluation::BeyondRange) {
        t.results.push_back({Q(Tr(kAtXLabel) + input.at->label), Q(Tr(kYBeyondRangeText)), none, none, none});
    }
    if (scatter) {
        t.scatterNote =
            QString::fromUtf8(
                Tr("s = √(S / (n − p)), где S — сумма квадратов отклонений от точного полинома МНК, n − p = "
                   "%1 "
                   "— число степеней свободы; u — корни из диагонали ковариационной матрицы — обратной к "
                   "XᵀX, "
                   "умноженной на s²; U = k·u — расширенная неопределённость для вероятности охвата 95 %, "
                   "k = t₀,₉₇₅(n − p) — квантиль распределения Стьюдента (двусторонний интервал). Все "
                   "величины "
                   "вычислены точно и округлены один раз."))
                .arg(u->Dof());
    } else {
        t.scatterNote =
            QString::fromUtf8(Tr("Точек столько же, сколько коэффициентов: разброс оценить нельзя."));
    }

    if (input.calibration != nullptr && input.calibration->inverse) {
        const TInverseEvaluation& inverse = *input.calibration->inverse;
        const QString label = QString::fromUtf8(Tr("X для Y=")) + Q(NumberToText(inverse.y));
        if (inverse.x) {
            t.results.push_back({label, Q(Tr(kXLabel) + FormatFittedValue(inverse.x->value)),
                                 Full(inverse.x->value), Full(inverse.x->u), Full(inverse.x->expanded)});
        } else {
            t.results.push_back({label, QString::fromUtf8(Tr("нет единственного X")), none, none, none});
        }
    }
}

// The results and notes of a fit with given uncertainties: its coefficients with u and U, the certificate's
// "a = value ± U", the model check, R² and the kind recommended, Y at X and X at Y with their
// uncertainties.
void GivenUncertaintyTexts(const TReportInput& input, TReportTexts& t) {
    const TRecomputeResult& result = *input.result;
    const TCalibrationSummary& summary = *input.calibration;
    const TCalibrationFigures& f = summary.figures;
    const double a[4] = {input.store->a0, input.store->a1, input.store->a2, input.store->a3};
    const QString none = QStringLiteral("—");
    t.method = f.method == TFitMethod::Weighted
                   ? QString::fromUtf8(Tr("взвешенный метод наименьших квадратов"))
                   : QString::fromUtf8(Tr("обобщённая регрессия: неопределённости X и Y"));
    t.source = input.source == TUncertaintySource::ColumnsAndRules
                   ? QString::fromUtf8(Tr("заданы столбцами файла, недостающие — правилами --u-y / --u-x"))
                   : QString::fromUtf8(Tr("заданы столбцами u(Y), u(X) файла данных"));
    QStringList certificate;
    for (int j = 0; j <= f.degree; ++j) {
        const auto i = static_cast<std::size_t>(j);
        t.results.push_back({QStringLiteral("a%1").arg(j), Q(result.coefficientTexts[i]), Full(a[i]),
                             Figure(f.u[i]), Figure(f.expanded[i])});
        certificate << QStringLiteral("a%1 = ").arg(j) +
                           Q(FormatWithUncertainty(a[i], f.expanded[i].value_or(0)));
    }
    t.results.push_back(
        {Q(Tr(kMaxErrorLabel)), Q(result.maxErrText), Full(result.statistics.maxError), {}, {}});
    t.results.push_back({Q(Tr(kSigmaLabel)), Q(result.sigmaText), Full(result.statistics.sigma), {}, {}});
    t.results.push_back({QString::fromUtf8(Tr("Коэффициент охвата k")), {}, Full(f.coverage), {}, {}});
    if (summary.at && input.at != nullptr && input.at->state == TEvaluation::Evaluated) {
        t.results.push_back({Q(Tr(kAtXLabel) + input.at->label), Q(Tr(kYLabel) + input.at->yText),
                             Full(summary.at->value), Full(summary.at->u), Full(summary.at->expanded)});
    } else if (input.at != nullptr && input.at->state == TEvaluation::BeyondRange) {
        t.results.push_back({Q(Tr(kAtXLabel) + input.at->label), Q(Tr(kYBeyondRangeText)), none, none, none});
    }
    if (summary.inverse) {
        const QString label = QString::fromUtf8(Tr("X для Y=")) + Q(NumberToText(summary.inverse->y));
        if (const std::optional<TCalibrationValue>& x = summary.inverse->x) {
            t.results.push_back({label, Q(Tr(kXLabel) + FormatFittedValue(x->value)), Full(x->value),
                                 Full(x->u), Full(x->expanded)});
        } else {
            t.results.push_back({label, QString::fromUtf8(Tr("нет единственного X")), none, none, none});
        }
    }
    t.certificate =
        QString::fromUtf8(Tr("Для сертификата (U, k = 1,96): ")) + certificate.join(QStringLiteral("; "));
    QString check = Q(ModelCheckText(f));
    if (f.rSquared) {
        check += QStringLiteral("; R² = %1").arg(Q(FormatFittedValue(*f.rSquared)));
    }
    if (f.adjustedRSquared) {
        check += QString::fromUtf8(Tr(", скорректированный R² = %1"))
                     .arg(Q(FormatFittedValue(*f.adjustedRSquared)));
    }
    check += QString::fromUtf8(Tr(". Рекомендуемый вид функции: ")) +
             Q(Tr(kKindCaptions[summary.kinds.recommended - 1])) +
             QString::fromUtf8(Tr(" (старший коэффициент значим: |a| > U)."));
    t.modelCheck = check;
    t.scatterNote =
        f.method == TFitMethod::Weighted
            ? QString::fromUtf8(
                  Tr("Веса 1/u(Y)²; u — корни из диагонали ковариационной матрицы — обратной к AᵀWA, не "
                     "умноженной "
                     "на разброс: заданные неопределённости и есть модель. Все величины вычислены точно и "
                     "округлены один раз. U = k·u, k = 1,96 — квантиль нормального распределения (число "
                     "степеней свободы модели типа B принято бесконечным)."))
            : QString::fromUtf8(
                  Tr("Минимизирована сумма (X − ξ)²/u(X)² + (Y − f(ξ))²/u(Y)² по коэффициентам и точкам ξ; "
                     "ковариация коэффициентов — их блок матрицы, обратной к JᵀJ, в решении. U = k·u, k = "
                     "1,96 — "
                     "квантиль нормального распределения (число степеней свободы модели типа B принято "
                     "бесконечным)."));
}

TReportTexts MakeTexts(const TReportInput& input, const TReportSteps& steps) {
    const TRecomputeResult& result = *input.result;
    const TFitCoefficients& store = *input.store;
    TReportTexts t;
    if (input.dataFile == "-") {
        t.file = QString::fromUtf8(Tr("стандартный ввод"));
    } else if (input.dataFile.empty()) {
        t.file = QString::fromUtf8(Tr("таблица окна"));
    } else {
        const QFileInfo info(Q(input.dataFile));
        t.file = info.absoluteFilePath();
        t.fileDate = info.lastModified().toString(QString::fromUtf8(Tr(kReportDateFormat)));
    }
    t.date = QDateTime::currentDateTime().toString(QString::fromUtf8(Tr(kReportDateFormat)));
    t.kind = Q(Tr(kKindCaptions[result.kind - 1]));
    t.points = QString::number(result.pointCount);
    t.formula = Q(result.formula);

    const TFitUncertainty* u = result.uncertainty ? &*result.uncertainty : nullptr;
    const bool scatter = u != nullptr && u->HasScatter();
    const double a[4] = {store.a0, store.a1, store.a2, store.a3};
    const QString none = QStringLiteral("—");
    const bool given =
        input.calibration != nullptr && input.calibration->figures.method != TFitMethod::Ordinary;
    if (given) {
        GivenUncertaintyTexts(input, t);
    }
    for (int j = 0; !given && j <= static_cast<int>(result.kind); ++j) {
        const auto i = static_cast<std::size_t>(j);
        t.results.push_back({QStringLiteral("a%1").arg(j), Q(result.coefficientTexts[i]), Full(a[i]),
                             scatter ? Figure(u->StandardUncertainty(j)) : none,
                             scatter ? Figure(u->ExpandedUncertainty(j)) : none});
    }
    if (!given) {
        OrdinaryResults(input, u, t);
    }

    // The note is decided from the values: the coefficients as printed and in full, each evaluated at
    // every X of the table (and at X), against the exact fit.
    const bool evaluated = input.at != nullptr && input.at->state == TEvaluation::Evaluated;
    const TCoefficientFidelity fidelity = CoefficientsReproduceFit(
        store, result.measured, evaluated ? std::optional<double>(input.at->x) : std::nullopt);
    if (!fidelity.full) {
        t.coefficientNote = QString::fromUtf8(
            Tr("Внимание: округлённые коэффициенты, и как в окне, и полные, не воспроизводят аппроксимацию с "
               "точностью, с которой даны значения Y (значения X далеки от нуля). Y по формуле, отклонения и "
               "статистика вычислены по точному полиному МНК."));
    } else if (!fidelity.printed) {
        t.coefficientNote = QString::fromUtf8(Tr(
            "Внимание: коэффициенты как в окне не воспроизводят аппроксимацию с точностью, с которой даны "
            "значения Y; её воспроизводят полные значения. Y по формуле, отклонения и статистика вычислены "
            "по точному полиному МНК."));
    }

    t.rows.reserve(result.measured.size());
    for (std::size_t i = 0; i < result.measured.size(); ++i) {
        if (i % 4096 == 0) {
            steps.At(kTextsShare * static_cast<double>(i) / static_cast<double>(result.measured.size()));
        }
        const TDataPoint& p = result.measured[i];
        const double fitted = EvalPolynomial(p.X, store);
        t.rows.push_back({QString::number(i + 1), Q(NumberToText(p.X)), Q(NumberToText(p.Y)),
                          Q(FormatFittedValue(fitted)), Q(FormatFittedValue(Deviation(p, store))),
                          ToQColor(result.colors[i])});
    }
    return t;
}

// Drawing in millimetres on a device of kResolution dots per inch.
class TSheet {
public:
    explicit TSheet(QPainter& painter) : p_(painter) {}

    static double Dots(double mm) { return mm * kResolution / 25.4; }
    static QRectF Box(double x, double y, double w, double h) { return {Dots(x), Dots(y), Dots(w), Dots(h)}; }

    void Text(double x, double y, double w, double h, int flags, const QString& text, const QFont& font,
              const QColor& color = Qt::black, bool shrink = false) {
        QFont used = font;
        const QRectF box = Box(x, y, w, h);
        if (shrink) {
            while (used.pointSizeF() > 5 &&
                   QFontMetricsF(used, p_.device()).horizontalAdvance(text) > box.width()) {
                used.setPointSizeF(used.pointSizeF() - 0.25);
            }
        }
        p_.setFont(used);
        p_.setPen(color);
        // Too long for its place: elided in the middle, where a path keeps its start and its name.
        const QString shown =
            QFontMetricsF(used, p_.device()).horizontalAdvance(text) > box.width()
                ? QFontMetricsF(used, p_.device()).elidedText(text, Qt::ElideMiddle, box.width())
                : text;
        p_.drawText(box, flags | Qt::TextSingleLine, shown);
    }
    // A small text, grey unless said otherwise, wrapped at word boundaries.
    void Note(double x, double y, double w, double h, const QString& text, const QColor& color = kNoteColor) {
        p_.setFont(Font(7.5));
        p_.setPen(color);
        p_.drawText(Box(x, y, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
    }
    void Rule(double y, double x0, double x1, double width, const QColor& color = kRuleColor) {
        p_.setPen(QPen(color, Dots(width)));
        p_.drawLine(QPointF(Dots(x0), Dots(y)), QPointF(Dots(x1), Dots(y)));
    }
    void Fill(double x, double y, double w, double h, const QColor& color) {
        p_.fillRect(Box(x, y, w, h), color);
    }
    void Frame(double x, double y, double w, double h, double width) {
        p_.setPen(QPen(kRuleColor, Dots(width)));
        p_.setBrush(Qt::NoBrush);
        p_.drawRect(Box(x, y, w, h));
    }
    QPainter& Painter() { return p_; }

private:
    QPainter& p_;
};

// Columns of the table of points: the colour mark, number, X, Y, fitted Y, deviation.
struct TColumn {
    double width;
    QString title;
};

std::vector<TColumn> PointColumns() {
    return {{6, {}},
            {13, QString::fromUtf8(Tr("№"))},
            {39, Q(Tr(kXHeader))},
            {39, Q(Tr(kYHeader))},
            {39, QString::fromUtf8(Tr("Y по формуле"))},
            {39, QString::fromUtf8(Tr("Отклонение"))}};
}

double PointTableHeader(TSheet& sheet, double y) {
    double x = kLeft;
    sheet.Fill(kLeft, y, kContentWidth, kRowHeight + 0.6, kHeaderFill);
    for (const TColumn& c : PointColumns()) {
        if (!c.title.isEmpty()) {
            sheet.Text(x + 1, y, c.width - 2, kRowHeight + 0.6, Qt::AlignRight | Qt::AlignVCenter, c.title,
                       Font(8.5, true));
        }
        x += c.width;
    }
    return y + kRowHeight + 0.6;
}

void PointRow(TSheet& sheet, double y, const TPointRow& row, bool shaded) {
    if (shaded) {
        sheet.Fill(kLeft, y, kContentWidth, kRowHeight, QColor(246, 246, 246));
    }
    const std::vector<TColumn> columns = PointColumns();
    // The mark: a square in the colour the chart gives the point.
    const double side = 2.4;
    sheet.Fill(kLeft + (columns[0].width - side) / 2, y + (kRowHeight - side) / 2, side, side, row.color);
    const QString cells[5] = {row.number, row.x, row.y, row.fitted, row.deviation};
    double x = kLeft + columns[0].width;
    for (int i = 0; i < 5; ++i) {
        const double w = columns[static_cast<std::size_t>(i) + 1].width;
        sheet.Text(x + 1, y, w - 2, kRowHeight, Qt::AlignRight | Qt::AlignVCenter, cells[i], Font(8.5));
        x += w;
    }
}

void Footer(TSheet& sheet, int page, int pages, const QString& file) {
    const double y = kPageHeight - kBottom - kFooterHeight + 3;
    sheet.Rule(y, kLeft, kLeft + kContentWidth, 0.2);
    sheet.Text(
        kLeft, y + 0.8, kContentWidth * 0.7, 4, Qt::AlignLeft | Qt::AlignVCenter,
        QStringLiteral("Quorvel %1 · %2").arg(QStringLiteral(QUORVEL_VERSION), QFileInfo(file).fileName()),
        Font(7.5), kNoteColor);
    sheet.Text(kLeft + kContentWidth * 0.7, y + 0.8, kContentWidth * 0.3, 4,
               Qt::AlignRight | Qt::AlignVCenter,
               QString::fromUtf8(Tr("Страница %1 из %2")).arg(page).arg(pages), Font(7.5), kNoteColor);
}

// The label-value lines under the title.
double InfoLines(TSheet& sheet, double y, const TReportTexts& t) {
    const QFont label = Font(9.5, true);
    const QFont value = Font(9.5);
    const auto line = [&](double x, double labelWidth, double width, const QString& name,
                          const QString& text) {
        sheet.Text(x, y, labelWidth, 5, Qt::AlignLeft | Qt::AlignVCenter, name, label);
        sheet.Text(x + labelWidth, y, width - labelWidth, 5, Qt::AlignLeft | Qt::AlignVCenter, text, value);
    };
    line(kLeft, 30, kContentWidth, QString::fromUtf8(Tr("Файл данных:")), t.file);
    y += 5;
    if (!t.fileDate.isEmpty()) {
        line(kLeft, 30, 95, QString::fromUtf8(Tr("Изменён:")), t.fileDate);
    }
    line(kLeft + 95, 30, kContentWidth - 95, QString::fromUtf8(Tr("Дата протокола:")), t.date);
    y += 5;
    line(kLeft, 30, 95, Q(Tr(kKindLabel)), t.kind);
    line(kLeft + 95, 30, kContentWidth - 95, QString::fromUtf8(Tr("Точек:")), t.points);
    if (!t.source.isEmpty()) {
        y += 5;
        line(kLeft, 36, kContentWidth, QString::fromUtf8(Tr("Неопределённости:")), t.source);
    }
    return y + 5;
}

double ResultsTable(TSheet& sheet, double y, const TReportTexts& t) {
    constexpr int kColumns = 5;
    const double widths[kColumns] = {37, 31, 37, 35, 35};
    const QString titles[kColumns] = {QString::fromUtf8(Tr("Величина")), QString::fromUtf8(Tr("Как в окне")),
                                      QString::fromUtf8(Tr("Полное значение")),
                                      QString::fromUtf8(Tr("Станд. неопр. u")),
                                      QStringLiteral("U = k·u (95 %)")};
    sheet.Fill(kLeft, y, kContentWidth, kResultRowHeight, kHeaderFill);
    double x = kLeft;
    for (int i = 0; i < kColumns; ++i) {
        sheet.Text(x + 1.5, y, widths[i] - 3, kResultRowHeight,
                   (i == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, titles[i], Font(8.5, true));
        x += widths[i];
    }
    y += kResultRowHeight;
    for (std::size_t r = 0; r < t.results.size(); ++r) {
        const TResultRow& row = t.results[r];
        const QString cells[kColumns] = {row.name, row.shown, row.full, row.uncertainty, row.expanded};
        x = kLeft;
        for (int i = 0; i < kColumns; ++i) {
            // A figure is never cut: one too long for its column is set smaller.
            sheet.Text(x + 1.5, y, widths[i] - 3, kResultRowHeight,
                       (i == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, cells[i], Font(9),
                       Qt::black, true);
            x += widths[i];
        }
        y += kResultRowHeight;
        sheet.Rule(y, kLeft, kLeft + kContentWidth, 0.1, QColor(200, 200, 200));
    }
    if (!t.coefficientNote.isEmpty()) {
        sheet.Note(kLeft, y + 1, kContentWidth, 7, t.coefficientNote, kWarningColor);
        y += 7;
    }
    if (!t.certificate.isEmpty()) {
        sheet.Note(kLeft, y + 1, kContentWidth, 7, t.certificate, Qt::black);
        y += 7;
    }
    if (!t.modelCheck.isEmpty()) {
        sheet.Note(kLeft, y + 1, kContentWidth, 7, t.modelCheck, Qt::black);
        y += 7;
    }
    sheet.Note(kLeft, y + 1, kContentWidth, 13, t.scatterNote);
    return y + 13.5;
}

bool HasBand(const TRecomputeResult& result) {
    return static_cast<bool>(BandWidthOf(result.calibration, result.uncertainty));
}

// The window's chart, fed from the fit as the window feeds it and drawn as the window prints it: laid out
// at its size enlarged by the print detail and mapped onto the box as vector graphics.
double Chart(TSheet& sheet, double y, const TReportInput& input) {
    std::unique_ptr<TChart> chart = CreateFormChart();
    chart->SetBounds(0, 0, chart->Width(), chart->Height());
    FeedFormChart(*chart, *input.result, input.at);
    FeedBand(*chart, BandWidthOf(input.result->calibration, input.result->uncertainty));
    const double height = kChartWidth * chart->Height() / chart->Width();
    const QRectF box = TSheet::Box(kLeft, y, kChartWidth, height);
    QPainter& painter = sheet.Painter();
    painter.save();
    {
        TQtCanvas canvas(painter);
        canvas.SetPixelsPerInch(96);  // the chart's fonts are laid out in screen pixels, as on the window
        TChartPrintSettings settings;
        settings.PrintDetail = kChartDetail;
        DrawToPrinterCanvas(
            *chart, settings, canvas,
            TRect{qRound(box.left()), qRound(box.top()), qRound(box.right()), qRound(box.bottom())});
    }
    painter.restore();
    return height;
}

// The deviation colours beside the chart.
void Legend(TSheet& sheet, double x, double y, double width, bool band) {
    sheet.Text(x, y, width, 5, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(Tr("Цвет точки")),
               Font(8.5, true));
    y += 6;
    const struct {
        TColor color;
        const char* text;
    } entries[] = {{clBlue, Tr("отклонение 0 или меньше ¼ σ")},
                   {clPurple, Tr("от ¼ σ до ½ σ")},
                   {clRed, Tr("½ σ и больше")}};
    for (const auto& e : entries) {
        sheet.Fill(x, y + 1.1, 2.4, 2.4, ToQColor(e.color));
        sheet.Text(x + 4, y, width - 4, 4.6, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(e.text),
                   Font(8));
        y += 5;
    }
    sheet.Text(x, y + 1, width, 4, Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(Tr("σ — среднекв. отклонение")), Font(7.5), kNoteColor);
    sheet.Text(x, y + 7, width, 4, Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(Tr("Зелёная линия — полином")), Font(7.5), kNoteColor);
    if (band) {
        sheet.Fill(x, y + 12.6, 4, 0.3, kRuleColor);
        sheet.Fill(x, y + 13.6, 4, 0.3, kRuleColor);
        sheet.Text(x + 5, y + 11, width - 5, 4, Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(Tr("Серые линии — полоса 95 %:")), Font(7.5), kNoteColor);
        sheet.Text(x + 5, y + 15, width - 5, 4, Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Y ± U(Y), U = k·u"), Font(7.5), kNoteColor);
    }
}

constexpr double kLaterTableTop = kTop + 9;
constexpr double kSignatureHeight = 13;

// How many rows of points each page holds: as many as fit, the last page keeping room for the
// signatures, so that they never stand on a page of their own.
std::vector<int> PlanPages(double tableTop, std::size_t rowCount) {
    const double bottom = kPageHeight - kBottom - kFooterHeight;
    const auto capacity = [bottom](double top) {
        return std::max(0, static_cast<int>((bottom - top - kRowHeight - 0.6) / kRowHeight));
    };
    const int signatureRows = static_cast<int>(kSignatureHeight / kRowHeight) + 1;
    std::vector<int> pages;
    auto remaining = static_cast<long>(rowCount);
    int room = capacity(tableTop);
    for (;;) {
        if (remaining + signatureRows <= room) {
            pages.push_back(static_cast<int>(remaining));
            return pages;
        }
        // All rows would fit but the signatures would not: the last row goes on with them.
        const long take = remaining <= room ? remaining - 1 : room;
        pages.push_back(static_cast<int>(take));
        remaining -= take;
        room = capacity(kLaterTableTop);
    }
}

void Signatures(TSheet& sheet, double y) {
    const double half = kContentWidth / 2;
    const struct {
        const char* label;
        double lineStart;  // from the column's left edge
    } columns[] = {{Tr("Калибровку выполнил:"), 38}, {Tr("Проверил:"), 19}};
    for (int i = 0; i < 2; ++i) {
        const double x = kLeft + i * half;
        const double line = x + columns[i].lineStart;
        const double end = x + half - (i == 0 ? 8 : 0);
        sheet.Text(x, y, columns[i].lineStart, 6, Qt::AlignLeft | Qt::AlignBottom,
                   QString::fromUtf8(columns[i].label), Font(9));
        sheet.Rule(y + 6, line, end, 0.2, Qt::black);
        sheet.Text(line, y + 6.3, end - line, 3.5, Qt::AlignCenter,
                   QString::fromUtf8(Tr("подпись, фамилия, дата")), Font(6.5), kNoteColor);
    }
}

void Paint(QPdfWriter& writer, QPainter& painter, const TReportInput& input, const TReportTexts& t,
           const TReportSteps& steps) {
    TSheet sheet(painter);
    double y = kTop;
    sheet.Text(kLeft, y, kContentWidth, 8, Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8(Tr("Протокол калибровки")), Font(16, true));
    sheet.Text(kLeft, y, kContentWidth, 8, Qt::AlignRight | Qt::AlignVCenter, t.method, Font(9), kNoteColor);
    y += 9;
    sheet.Rule(y, kLeft, kLeft + kContentWidth, 0.4, Qt::black);
    y = InfoLines(sheet, y + 2, t) + 2;

    sheet.Text(kLeft, y, kContentWidth, 5, Qt::AlignLeft | Qt::AlignVCenter, Q(Tr(kResultLabel)),
               Font(9.5, true));
    y += 5;
    sheet.Frame(kLeft, y, kContentWidth, 7.5, 0.25);
    sheet.Text(kLeft + 2, y, kContentWidth - 4, 7.5, Qt::AlignHCenter | Qt::AlignVCenter, t.formula,
               Font(10.5));
    y += 10;

    y = ResultsTable(sheet, y, t) + 1;
    const double chartHeight = Chart(sheet, y, input);
    Legend(sheet, kLeft + kChartWidth + 6, y + 4, kContentWidth - kChartWidth - 6, HasBand(*input.result));
    y += chartHeight + 3;

    const std::vector<int> plan = PlanPages(y, t.rows.size());
    const int pages = static_cast<int>(plan.size());
    std::size_t next = 0;
    for (int page = 1; page <= pages; ++page) {
        steps.At(kTextsShare + kPagesShare * (page - 1) / pages);
        if (page > 1) {
            writer.newPage();
            sheet.Text(kLeft, kTop, kContentWidth, 6, Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromUtf8(Tr("Протокол калибровки — точки (продолжение)")), Font(10, true));
            sheet.Text(kLeft + 95, kTop, kContentWidth - 95, 6, Qt::AlignRight | Qt::AlignVCenter,
                       QFileInfo(t.file).fileName() + QStringLiteral(" · ") + t.date, Font(8), kNoteColor);
            y = kLaterTableTop;
        }
        const int rows = plan[static_cast<std::size_t>(page) - 1];
        if (rows > 0) {
            y = PointTableHeader(sheet, y);
            for (int r = 0; r < rows; ++r, ++next) {
                PointRow(sheet, y, t.rows[next], r % 2 == 1);
                y += kRowHeight;
            }
            sheet.Rule(y, kLeft, kLeft + kContentWidth, 0.2);
        }
        if (page == pages) {
            Signatures(sheet, y + 5);
        }
        Footer(sheet, page, pages, t.file);
    }
}

}  // namespace

void WriteCalibrationReport(const std::string& path, const TReportInput& input) {
    WriteCalibrationReport(path, input, {});
}

bool WriteCalibrationReport(const std::string& path, const TReportInput& input,
                            const std::function<bool(double)>& step) {
    EnsureOffscreenApplication();
    const TReportSteps steps(step);
    std::optional<TReportTexts> made;
    try {
        made = MakeTexts(input, steps);
    } catch (const TCancelled&) {
        return false;
    }
    const TReportTexts& texts = *made;

    TPdfFile pdf(Q(path));
    QPdfWriter& writer = pdf.Writer();
    writer.setResolution(kResolution);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                                     QPageLayout::Millimeter));
    writer.setTitle(QString::fromUtf8(Tr("Протокол калибровки — %1")).arg(texts.file));
    writer.setCreator(QStringLiteral("Quorvel %1").arg(QStringLiteral(QUORVEL_VERSION)));
    QPainter painter;
    if (!painter.begin(&writer)) {
        throw Exception("Cannot write report file: " + path);
    }
    bool painted = false;
    try {
        Paint(writer, painter, input, texts, steps);
        painted = painter.end();
        steps.At(kTextsShare + kPagesShare);
    } catch (const TCancelled&) {
        painter.end();
        return false;  // the file beside the target goes with `pdf`, the target stays as it was
    } catch (...) {
        painter.end();
        throw;
    }
    pdf.Commit(painted);
    return true;
}

}  // namespace quorvel
