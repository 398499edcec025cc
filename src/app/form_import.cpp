#include "app/form_import.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <vector>

#include "app/import_command.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

template <class T, std::size_t N>
int IndexOf(const T (&choices)[N], T value) {
    const auto found = std::find(std::begin(choices), std::end(choices), value);
    return found == std::end(choices) ? 0 : static_cast<int>(found - std::begin(choices));
}

QComboBox* Choices(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const char* item : items) {
        box->addItem(QString::fromUtf8(item));
    }
    return box;
}

}  // namespace

TFormImport::TFormImport(QWidget* owner, const QString& path, std::string head, bool whole)
    : QDialog(owner), head_(std::move(head)), whole_(whole) {
    setObjectName("FormImport");
    setWindowTitle(QString::fromUtf8(Tr(kImportTitle)));

    auto* fileLabel =
        new QLabel(QString::fromUtf8(Tr(kImportFileLabel)).arg(QFileInfo(path).fileName()), this);
    fileLabel->setObjectName("lblFile");
    separatorBox_ = Choices(
        this, "cmbSeparator",
        {Tr(kSeparatorNames[0]), Tr(kSeparatorNames[1]), Tr(kSeparatorNames[2]), Tr(kSeparatorNames[3])});
    decimalBox_ = Choices(this, "cmbDecimal", {Tr(kDecimalNames[0]), Tr(kDecimalNames[1])});
    headerBox_ = new QSpinBox(this);
    headerBox_->setObjectName("edtHeaderLines");
    headerBox_->setRange(0, static_cast<int>(kCsvSampleRecords));
    yBox_ = Choices(this, "cmbColumnY", {});
    xBox_ = Choices(this, "cmbColumnX", {});
    preview_ = new QTableWidget(this);
    preview_->setObjectName("gridPreview");
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->setSelectionMode(QAbstractItemView::NoSelection);
    problem_ = new QLabel(this);
    problem_->setObjectName("lblProblem");
    problem_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    importButton_ = buttons->addButton(QString::fromUtf8(Tr(kImportButton)), QDialogButtonBox::AcceptRole);
    importButton_->setObjectName("btnImport");
    QPushButton* cancel =
        buttons->addButton(QString::fromUtf8(Tr(kCancelButton)), QDialogButtonBox::RejectRole);
    cancel->setObjectName("btnCancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8(Tr(kSeparatorLabel)), separatorBox_);
    form->addRow(QString::fromUtf8(Tr(kDecimalLabel)), decimalBox_);
    form->addRow(QString::fromUtf8(Tr(kHeaderLinesLabel)), headerBox_);
    form->addRow(QString::fromUtf8(Tr(kColumnYLabel)), yBox_);
    form->addRow(QString::fromUtf8(Tr(kColumnXLabel)), xBox_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addWidget(preview_, 1);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    resize(560, 480);

    connect(separatorBox_, &QComboBox::currentIndexChanged, this, [this] { Find(TChanged::Separator); });
    connect(decimalBox_, &QComboBox::currentIndexChanged, this, [this] { Find(TChanged::Decimal); });
    connect(headerBox_, &QSpinBox::valueChanged, this, [this] { Find(TChanged::HeaderLines); });
    const auto columnChosen = [this] {
        if (!updating_) {
            layout_.columns[crY] = yBox_->currentIndex();
            layout_.columns[crX] = xBox_->currentIndex();
            ShowPreview();
        }
    };
    connect(yBox_, &QComboBox::currentIndexChanged, this, columnChosen);
    connect(xBox_, &QComboBox::currentIndexChanged, this, columnChosen);
    Find(TChanged::Nothing);
}

void TFormImport::Find(TChanged changed) {
    if (updating_) {
        return;
    }
    TCsvChoice choice;
    if (changed != TChanged::Nothing) {
        choice.separator = kSeparatorChoices[separatorBox_->currentIndex()];
    }
    if (changed == TChanged::Decimal || changed == TChanged::HeaderLines) {
        choice.decimal = kDecimalChoices[decimalBox_->currentIndex()];
    }
    if (changed == TChanged::HeaderLines) {
        choice.headerLines = headerBox_->value();
    }
    TCsvFault fault;
    found_ = FindCsvLayout(head_, whole_, choice, layout_, fault);
    if (!found_ && changed == TChanged::HeaderLines) {
        layout_.headerLines = headerBox_->value();
    }
    problem_->setText(found_ ? QString() : CsvFaultMessage(fault, layout_.decimal));
    ShowLayout();
}

void TFormImport::ShowLayout() {
    updating_ = true;
    separatorBox_->setCurrentIndex(IndexOf(kSeparatorChoices, layout_.separator));
    decimalBox_->setCurrentIndex(IndexOf(kDecimalChoices, layout_.decimal));
    headerBox_->setValue(layout_.headerLines);
    FillColumns();
    updating_ = false;
    ShowPreview();
}

void TFormImport::FillColumns() {
    const std::vector<std::vector<std::string>> records =
        CsvHeadRecords(head_, whole_, layout_.separator, kCsvSampleRecords);
    std::size_t columns = 0;
    for (const std::vector<std::string>& record : records) {
        columns = std::max(columns, record.size());
    }
    const auto header = static_cast<std::size_t>(layout_.headerLines);
    const std::vector<std::string>* names =
        header > 0 && header <= records.size() ? &records[header - 1] : nullptr;
    for (QComboBox* box : {yBox_, xBox_}) {
        box->clear();
        for (std::size_t i = 0; i < columns; ++i) {
            const std::string_view name =
                names != nullptr && i < names->size() ? TrimCsvField((*names)[i]) : std::string_view();
            const QString text = name.empty()
                                     ? QString::fromUtf8(Tr(kColumnName)).arg(i + 1)
                                     : QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
            box->addItem(QString("%1: %2").arg(i + 1).arg(text));
        }
    }
    yBox_->setCurrentIndex(layout_.columns[crY] < yBox_->count() ? layout_.columns[crY] : -1);
    xBox_->setCurrentIndex(layout_.columns[crX] < xBox_->count() ? layout_.columns[crX] : -1);
    importButton_->setEnabled(found_ && yBox_->currentIndex() >= 0 && xBox_->currentIndex() >= 0);
}

void TFormImport::ShowPreview() {
    const std::vector<std::vector<std::string>> records =
        CsvHeadRecords(head_, whole_, layout_.separator, kPreviewRows);
    int columns = 0;
    for (const std::vector<std::string>& record : records) {
        columns = std::max(columns, static_cast<int>(record.size()));
    }
    preview_->clear();
    preview_->setRowCount(static_cast<int>(records.size()));
    preview_->setColumnCount(columns);
    QStringList labels;
    for (int c = 0; c < columns; ++c) {
        QString label = QString::number(c + 1);
        if (c == layout_.columns[crY]) {
            label += " (Y)";
        }
        if (c == layout_.columns[crX]) {
            label += " (X)";
        }
        labels << label;
    }
    preview_->setHorizontalHeaderLabels(labels);
    for (int r = 0; r < static_cast<int>(records.size()); ++r) {
        const std::vector<std::string>& record = records[static_cast<std::size_t>(r)];
        for (int c = 0; c < static_cast<int>(record.size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(record[static_cast<std::size_t>(c)]));
            if (r < layout_.headerLines) {
                item->setForeground(Qt::gray);
            }
            preview_->setItem(r, c, item);
        }
    }
    preview_->setToolTip(QString::fromUtf8(Tr(kPreviewNote)).arg(records.size()));
}

TCsvChoice TFormImport::Choice() const {
    TCsvChoice choice;
    choice.separator = kSeparatorChoices[separatorBox_->currentIndex()];
    choice.decimal = kDecimalChoices[decimalBox_->currentIndex()];
    choice.headerLines = headerBox_->value();
    choice.columns = {TCsvColumnRef{yBox_->currentIndex() + 1, {}},
                      TCsvColumnRef{xBox_->currentIndex() + 1, {}}};
    return choice;
}

std::optional<TCsvChoice> TFormImport::Ask(QWidget* owner, const QString& path, const std::string& head,
                                           bool whole) {
    TFormImport dialog(owner, path, head, whole);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Choice();
}

}  // namespace quorvel
