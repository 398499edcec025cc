#include "app/form_compare_kinds.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <string>

#include "fitting/messages.h"
#include "fitting/result_texts.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

constexpr const char* kCompareTitle = "Сравнение видов функции";
constexpr const char* kKindHeader = "Вид функции";
constexpr const char* kTopHeader = "Старший коэффициент ± U";
constexpr const char* kAdjustedHeader = "Скорр. R²";
constexpr const char* kRecommendedHeader = "Рекомендуется";
constexpr const char* kRecommendedMark = "✓";
constexpr const char* kRuleNote = "Рекомендуется высший вид, старший коэффициент которого значим: |a| > U.";
constexpr const char* kTooFewText = "Слишком мало точек: ни один вид функции не определён.";
constexpr const char* kSelectButton = "Выбрать рекомендуемый";
constexpr const char* kCloseButton = "Закрыть";
constexpr const char* kNone = "—";

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Figure(const std::optional<double>& value) {
    return value ? Q(FormatFittedValue(*value)) : QString::fromUtf8(kNone);
}

// The coefficient as a certificate writes it with its U; its value alone with "± —" where U is not known
// (no scatter to estimate it from).
QString TopText(const TKindComparison& kind) {
    if (kind.topExpanded) {
        return Q(FormatWithUncertainty(kind.top, *kind.topExpanded));
    }
    return Q(FormatFittedValue(kind.top)) + QString::fromUtf8(" ± ") + QString::fromUtf8(kNone);
}

}  // namespace

TFormCompareKinds::TFormCompareKinds(const TKindChoice& choice, TFunctionKind current, QWidget* owner)
    : QDialog(owner) {
    setObjectName("FormCompareKinds");
    setWindowTitle(QString::fromUtf8(Tr(kCompareTitle)));

    table_ = new QTableWidget(this);
    table_->setObjectName("tblKinds");
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->verticalHeader()->hide();
    table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* note = new QLabel(QString::fromUtf8(Tr(choice.kinds.empty() ? kTooFewText : kRuleNote)), this);
    note->setObjectName(choice.kinds.empty() ? "lblTooFew" : "lblRule");
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    selectButton_ = buttons->addButton(QString::fromUtf8(Tr(kSelectButton)), QDialogButtonBox::AcceptRole);
    selectButton_->setObjectName("btnSelectRecommended");
    QPushButton* close =
        buttons->addButton(QString::fromUtf8(Tr(kCloseButton)), QDialogButtonBox::RejectRole);
    close->setObjectName("btnClose");
    // The style's size leaves a long text almost no margin at some scales: the whole text, its margins
    // and the frame.
    for (QPushButton* button : {selectButton_, close}) {
        const QStyle* style = button->style();
        const int edges = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                               style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        button->setMinimumWidth(std::max(button->sizeHint().width(),
                                         button->fontMetrics().horizontalAdvance(button->text()) + edges));
    }
    const bool offered = !choice.kinds.empty() && choice.recommended != static_cast<int>(current);
    selectButton_->setEnabled(offered);
    (offered ? selectButton_ : close)->setDefault(true);
    const auto recommended = static_cast<TFunctionKind>(choice.recommended);
    connect(selectButton_, &QPushButton::clicked, this, [this, recommended] {
        chosen_ = recommended;
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(note);
    layout->addWidget(buttons);
    table_->setVisible(!choice.kinds.empty());
    Fill(choice);
    // Room for the note in a few lines when there is no table to give the width. Set on the note, not the
    // dialog: a minimum of the dialog's own would replace the one its layout gives, the table's.
    note->setMinimumWidth(note->fontMetrics().averageCharWidth() * 50);
}

void TFormCompareKinds::Fill(const TKindChoice& choice) {
    const bool given = std::any_of(choice.kinds.begin(), choice.kinds.end(),
                                   [](const TKindComparison& kind) { return kind.chiSquared.has_value(); });
    table_->setColumnCount(kcCount);
    table_->setHorizontalHeaderLabels(
        {QString::fromUtf8(Tr(kKindHeader)), given ? QString::fromUtf8("χ²") : QStringLiteral("s"),
         QString::fromUtf8("ν"), QString::fromUtf8(Tr(kTopHeader)), QString::fromUtf8("R²"),
         QString::fromUtf8(Tr(kAdjustedHeader)), QString::fromUtf8(Tr(kRecommendedHeader))});
    table_->setRowCount(static_cast<int>(choice.kinds.size()));
    QFont bold = table_->font();
    bold.setBold(true);
    for (int row = 0; row < table_->rowCount(); ++row) {
        const TKindComparison& kind = choice.kinds[static_cast<std::size_t>(row)];
        const bool marked = kind.degree == choice.recommended;
        const QString texts[kcCount] = {QString::fromUtf8(Tr(kKindCaptions[kind.degree - 1])),
                                        Figure(given ? kind.chiSquared : kind.residualSd),
                                        QString::number(kind.dof),
                                        TopText(kind),
                                        Figure(kind.rSquared),
                                        Figure(kind.adjustedRSquared),
                                        marked ? QString::fromUtf8(kRecommendedMark) : QString()};
        for (int column = 0; column < kcCount; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(column == kcKind          ? Qt::AlignLeft | Qt::AlignVCenter
                                   : column == kcRecommended ? Qt::AlignCenter
                                                             : Qt::AlignRight | Qt::AlignVCenter);
            if (marked) {
                item->setFont(bold);
            }
            table_->setItem(row, column, item);
        }
        if (marked) {
            table_->setCurrentCell(row, kcKind);
        }
    }
    // Every text whole: the columns as wide as their widest text or header, the table as wide and as high
    // as its columns and rows, so that it never scrolls.
    table_->resizeColumnsToContents();
    table_->resizeRowsToContents();
    const int frame = 2 * table_->frameWidth();
    int width = frame;
    for (int column = 0; column < kcCount; ++column) {
        width += table_->columnWidth(column);
    }
    int height = frame + table_->horizontalHeader()->sizeHint().height();
    for (int row = 0; row < table_->rowCount(); ++row) {
        height += table_->rowHeight(row);
    }
    table_->setMinimumWidth(width);
    table_->setFixedHeight(height);
    table_->horizontalHeader()->setStretchLastSection(true);
}

std::optional<TFunctionKind> TFormCompareKinds::Ask(QWidget* owner, const TKindChoice& choice,
                                                    TFunctionKind current) {
    TFormCompareKinds dialog(choice, current, owner);
    dialog.exec();
    return dialog.Chosen();
}

}  // namespace quorvel
