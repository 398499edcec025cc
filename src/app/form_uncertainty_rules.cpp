#include "app/form_uncertainty_rules.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

constexpr const char* kRulesTitle = "Заполнить неопределённости";
constexpr const char* kOnlyEmptyCaption = "Только пустые ячейки";
constexpr const char* kBadRuleCaption = "Неверное правило";

QString Decimal(const char* pattern) {
    return QString::fromStdString(TrArgs(pattern, {DecimalText()}));
}

}  // namespace

TFormUncertaintyRules::TFormUncertaintyRules(QWidget* owner) : QDialog(owner) {
    setObjectName("FormUncertaintyRules");
    setWindowTitle(QString::fromUtf8(Tr(kRulesTitle)));

    // The examples are written with the decimal character numbers are shown with; "." reads as well.
    const QString example = Decimal("0%105+0%102%");
    uyEdit_ = new QLineEdit(this);
    uyEdit_->setObjectName("edtRuleUY");
    uyEdit_->setPlaceholderText(example);
    uxEdit_ = new QLineEdit(this);
    uxEdit_->setObjectName("edtRuleUX");
    uxEdit_->setPlaceholderText(example);
    auto* note =
        new QLabel(Decimal("Правило — абсолютное значение (0%105), процент от значения (0%102%) или их сумма "
                           "(0%105+0%102%). Пустое поле оставляет свой столбец как есть."),
                   this);
    note->setObjectName("lblRuleNote");
    note->setWordWrap(true);
    onlyEmptyBox_ = new QCheckBox(QString::fromUtf8(Tr(kOnlyEmptyCaption)), this);
    onlyEmptyBox_->setObjectName("chkOnlyEmpty");
    onlyEmptyBox_->setChecked(true);

    // Qt's own OK and Cancel, in the language of its translation, as the message boxes have them.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btnOk");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("btnCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("u(Y) ="), uyEdit_);
    form->addRow(QStringLiteral("u(X) ="), uxEdit_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(onlyEmptyBox_);
    layout->addWidget(buttons);
    // Room for the note in a few lines at any scale (on the note: a minimum of the dialog's own would
    // replace the one its layout gives).
    note->setMinimumWidth(note->fontMetrics().averageCharWidth() * 50);
}

void TFormUncertaintyRules::accept() {
    TUncertaintyRulesChoice choice;
    choice.onlyEmpty = onlyEmptyBox_->isChecked();
    struct TField {
        QLineEdit* edit;
        const char* name;
        std::optional<TUncertaintyRule>* rule;
    };
    for (const TField& field : {TField{uyEdit_, "u(Y)", &choice.uy}, TField{uxEdit_, "u(X)", &choice.ux}}) {
        const std::string text = field.edit->text().trimmed().toStdString();
        if (text.empty()) {
            continue;
        }
        *field.rule = ParseUncertaintyRule(text);
        if (!*field.rule) {
            const std::string message =
                TrArgs("%1: «%2» — не правило неопределённости.\nПримеры правил: %3, %4, %5",
                       {field.name, text, Decimal("0%105").toStdString(), Decimal("0%102%").toStdString(),
                        Decimal("0%105+0%102%").toStdString()});
            ShowMessageBox(TMessageBox{QMessageBox::NoIcon, QString::fromUtf8(Tr(kBadRuleCaption)),
                                       QString::fromStdString(message)},
                           this);
            field.edit->setFocus();
            field.edit->selectAll();
            return;
        }
    }
    chosen_.reset();
    if (choice.uy || choice.ux) {
        chosen_ = choice;
    }
    QDialog::accept();
}

std::optional<TUncertaintyRulesChoice> TFormUncertaintyRules::Ask(QWidget* owner) {
    TFormUncertaintyRules dialog(owner);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Chosen();
}

}  // namespace quorvel
