#include "app/string_grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>

#include "app/grid_delegate.h"
#include "app/grid_model.h"

namespace quorvel {

namespace {

bool IsEnterKey(const QKeyEvent* e) {
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

}  // namespace

TStringGrid::TStringGrid(TGridModel* model, QWidget* parent)
    : QTableView(parent), model_(model), delegate_(new TGridDelegate(this)) {
    // A current cell moved by rows going away is no move of the user's: no events from inside the
    // model's change, whose handlers could change the model again. Connected before the view's own
    // selection model, so the flag is up before it moves the current cell.
    connect(model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { modelChanging_ = true; });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { modelChanging_ = false; });
    setModel(model_);
    setItemDelegate(delegate_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);  // the editor is opened by the grid itself
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);

    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(16);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* header = horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(1);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(16);
    connect(header, &QHeaderView::sectionMoved, this, &TStringGrid::OnSectionMoved);

    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex&) { emit DblClick(); });
    focusConnection_ = connect(qApp, &QApplication::focusChanged, this, &TStringGrid::OnFocusChanged);

    if (model_->rowCount() > 0) {
        selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::ClearAndSelect);
    }
}

TStringGrid::~TStringGrid() {
    // The base destructors move the focus and close the editor; none of that may reach this class.
    disconnect(focusConnection_);
    delegate_->Detach();
}

int TStringGrid::RowCount() const {
    return model_->RowCount();
}

void TStringGrid::SetRowCount(int count) {
    const int row = Row();
    model_->SetRowCount(count);
    // A current row beyond the new end moves to the last row, as the table would.
    if (row >= model_->RowCount() && model_->RowCount() > 1) {
        SetCurrentCell(Col(), model_->RowCount() - 1);
    }
}

int TStringGrid::Col() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : 0;
}

int TStringGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() + 1 : 1;
}

void TStringGrid::SetCol(int col) {
    SetCurrentCell(col, Row());
}

void TStringGrid::SetRow(int row) {
    SetCurrentCell(Col(), row);
}

void TStringGrid::SetCurrentCell(int col, int row) {
    const QModelIndex i = model_->index(row - 1, col);
    if (!i.isValid() || i == currentIndex()) {
        return;
    }
    selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect);
}

bool TStringGrid::Contains(const QWidget* w) const {
    return w != nullptr && (w == this || isAncestorOf(w));
}

bool TStringGrid::FocusInside() const {
    const QWidget* w = window()->focusWidget();
    return Contains(w) && (w->hasFocus() || !window()->isActiveWindow());
}

void TStringGrid::SetFocus() {
    if (FocusInside()) {
        return;
    }
    const bool active = window()->isActiveWindow();
    setFocus(Qt::OtherFocusReason);
    // While the window waits to be activated again (a message box has just closed), Qt moves the focus
    // only with the activation, which is no entry; the table is entered now all the same.
    if (!active) {
        emit Enter();
    }
}

QWidget* TStringGrid::Editor() const {
    return editor_.data();
}

void TStringGrid::EditorCreated(QWidget* editor) {
    editor_ = editor;
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        connect(edit, &QLineEdit::textEdited, this, &TStringGrid::OnEditorTextEdited);
    }
}

void TStringGrid::OpenEditor() {
    const QModelIndex i = currentIndex();
    if (i.isValid() && indexWidget(i) == nullptr && (editor_.isNull() || !editor_->isVisible())) {
        edit(i);
    }
}

void TStringGrid::OnEditorTextEdited(const QString& text) {
    const QModelIndex i = currentIndex();
    if (!i.isValid()) {
        return;
    }
    // The cell holds every edit at once; the handler sees the cell's whole text.
    model_->SetCellText(i.column(), i.row() + 1, text.toStdString());
    emit SetEditText(i.column(), i.row() + 1, text);
}

void TStringGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    const bool editorOpen = !editor_.isNull();
    changingCurrent_ = true;
    QTableView::currentChanged(current, previous);  // closes the editor of the cell left
    changingCurrent_ = false;
    if (modelChanging_) {
        return;
    }
    if (editorOpen && previous.isValid()) {
        const std::string_view text = model_->CellText(previous.column(), previous.row() + 1);
        emit SetEditText(previous.column(), previous.row() + 1,
                         QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    if (current.isValid()) {
        emit Click();
        if (currentIndex() == current && FocusInside()) {
            OpenEditor();
        }
    }
}

void TStringGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (changingCurrent_) {
        return;
    }
    if (editor_.isNull()) {
        OpenEditor();
    } else {
        // The editor stays open while the table is away; coming back puts the keys into it again.
        editor_->setFocus(event->reason());
        if (auto* edit = qobject_cast<QLineEdit*>(editor_.data())) {
            edit->selectAll();
        }
    }
}

void TStringGrid::keyPressEvent(QKeyEvent* event) {
    if (IsEnterKey(event)) {
        emit KeyPress(QChar(13));
        event->accept();
        return;
    }
    if (!event->text().isEmpty() && event->text().at(0).isPrint()) {
        // A key the editor refuses (Ctrl with a digit or a sign) comes back up here from it; passing it on
        // again would never end.
        if (forwardingKey_) {
            event->ignore();
            return;
        }
        // Typing on the table goes into the cell, as the editor is always shown.
        OpenEditor();
        if (!editor_.isNull()) {
            editor_->setFocus();
            forwardingKey_ = true;
            QApplication::sendEvent(editor_.data(), event);
            forwardingKey_ = false;
            return;
        }
        emit KeyPress(event->text().at(0));
    }
    QTableView::keyPressEvent(event);
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->accept();  // only the left button moves the current cell
        return;
    }
    const QModelIndex before = currentIndex();
    QTableView::mousePressEvent(event);
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid() && currentIndex() == before) {
        emit Click();
    }
    if (FocusInside()) {
        OpenEditor();
    }
}

void TStringGrid::OnFocusChanged(QWidget* old, QWidget* now) {
    // Entry from another control of this window only: not re-activation, not a closing dialog, and not
    // the menu bar handing back the focus it borrows while the keyboard walks its menus. Leaving likewise
    // for another control of this window, not for a box or the menu bar.
    if (Contains(now) && old != nullptr && old->window() == window() && !Contains(old) &&
        qobject_cast<QMenuBar*>(old) == nullptr) {
        emit Enter();
    } else if (Contains(old) && now != nullptr && now->window() == window() && !Contains(now) &&
               qobject_cast<QMenuBar*>(now) == nullptr) {
        emit Leave();
    }
}

void TStringGrid::OnSectionMoved(int, int oldVisualIndex, int newVisualIndex) {
    if (undoingMove_) {
        return;
    }
    // The cells move, not the view's columns: undo the visual move, then swap the data and the widths.
    undoingMove_ = true;
    QHeaderView* header = horizontalHeader();
    header->moveSection(newVisualIndex, oldVisualIndex);
    if (std::max(oldVisualIndex, newVisualIndex) >= TGridModel::kPlainColumns) {
        // Only Y and X trade places (their uncertainties with them); u(Y) and u(X) stay after them.
        undoingMove_ = false;
        return;
    }
    const int w0 = columnWidth(0);
    const int w1 = columnWidth(1);
    setColumnWidth(0, w1);
    setColumnWidth(1, w0);
    undoingMove_ = false;
    model_->SwapColumns();
    emit ColumnMoved(oldVisualIndex, newVisualIndex);
}

bool TStringGrid::MoveBy(int dcol, int drow) {
    const int col = std::clamp(Col() + dcol, 0, model_->Columns() - 1);
    const int row = std::clamp(Row() + drow, 1, std::max(1, RowCount() - 1));
    if (col == Col() && row == Row()) {
        return false;
    }
    SetCurrentCell(col, row);
    return true;
}

void TStringGrid::FocusNeighbour(bool next) {
    QWidget* w = this;
    for (int guard = 0; guard < 1000; ++guard) {
        w = next ? w->nextInFocusChain() : w->previousInFocusChain();
        if (w == nullptr || w == this) {
            return;
        }
        if (!Contains(w) && w->window() == window() && w->isVisibleTo(window()) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus) != 0) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

bool TStringGrid::EditorEvent(QWidget* editor, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // The window's copy and paste commands act in the cell editor too.
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste)) {
                event->ignore();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (IsEnterKey(key)) {
                emit KeyPress(QChar(13));
                return true;
            }
            const bool wholeSelected = edit != nullptr && edit->hasSelectedText() &&
                                       edit->selectedText().size() == edit->text().size();
            const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
            switch (key->key()) {
                case Qt::Key_Up:
                    MoveBy(0, -1);
                    return true;
                case Qt::Key_Down:
                    MoveBy(0, 1);
                    return true;
                case Qt::Key_PageUp:
                case Qt::Key_PageDown: {
                    const int page = std::max(1, viewport()->height() / std::max(1, rowHeight(0)) - 1);
                    MoveBy(0, key->key() == Qt::Key_PageUp ? -page : page);
                    return true;
                }
                case Qt::Key_Left:
                    if (plain && edit != nullptr &&
                        (wholeSelected || (edit->cursorPosition() == 0 && !edit->hasSelectedText()))) {
                        MoveBy(-1, 0);
                        return true;
                    }
                    return false;
                case Qt::Key_Right:
                    if (plain && edit != nullptr &&
                        (wholeSelected ||
                         (edit->cursorPosition() == edit->text().size() && !edit->hasSelectedText()))) {
                        MoveBy(1, 0);
                        return true;
                    }
                    return false;
                // The edit ends before the focus moves, so that the controls it may reach follow the
                // table first (a button enabled by the recompute is the next stop).
                case Qt::Key_Tab:
                    emit Leave();
                    FocusNeighbour(true);
                    return true;
                case Qt::Key_Backtab:
                    emit Leave();
                    FocusNeighbour(false);
                    return true;
                case Qt::Key_Escape:
                    return true;
                default:
                    break;
            }
            if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
                emit KeyPress(key->text().at(0));
            }
            return false;
        }
        case QEvent::MouseButtonPress:
            // A click into the current cell is a click on the table, too.
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                emit Click();
            }
            return false;
        case QEvent::MouseButtonDblClick:
            emit DblClick();
            return false;
        default:
            return false;
    }
}

}  // namespace quorvel
