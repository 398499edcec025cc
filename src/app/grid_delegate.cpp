#include "app/grid_delegate.h"

#include <QLineEdit>
#include <QValidator>

#include "app/string_grid.h"

namespace quorvel {

namespace {

// A cell never takes a tab or a line break, whatever the editor is given (a drop, the X selection):
// they separate the cells in the table's clipboard text and the rows of a data file.
class TCellTextValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& text, int&) const override {
        return text.contains(u'\t') || text.contains(u'\r') || text.contains(u'\n') ? Invalid : Acceptable;
    }
};

}  // namespace

TGridDelegate::TGridDelegate(TStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

QWidget* TGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const {
    auto* editor = new QLineEdit(parent);
    editor->setObjectName("sgDataEditor");
    editor->setFrame(false);
    editor->setValidator(new TCellTextValidator(editor));
    // A right click on the current cell is one on the table: its menu, not the line edit's own.
    editor->setContextMenuPolicy(Qt::NoContextMenu);
    if (grid_ != nullptr) {
        grid_->EditorCreated(editor);
    }
    return editor;
}

void TGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (edit == nullptr) {
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    // The cell changes under the editor at every keystroke; rewriting the same text would lose the caret.
    if (edit->text() != text) {
        edit->setText(text);
        edit->selectAll();
    }
}

void TGridDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const {}

void TGridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                         const QModelIndex&) const {
    // Inside the grid lines, which take the last pixel column and row of each cell.
    editor->setGeometry(option.rect.adjusted(0, 0, -1, -1));
}

bool TGridDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor == nullptr || grid_ == nullptr) {
        return false;
    }
    return grid_->EditorEvent(editor, event);
}

}  // namespace quorvel
