#pragma once
// The data table control: a table view over TGridModel whose cell editor is always shown, raising
// the table events of the main window (current-cell change, double click, focus entry, every edit of
// the cell text, character keys before the table acts on them, and a column dragged to the other side).
//
// The window recomputes on each Click, DblClick and Enter; SetEditText only checks the text. So a user
// action recomputes as often as it raises those three (measured on the window, events in order):
//
//   action                                   events                                     recomputes
//   click another cell                       SetEditText (cell left), Click             1
//   click the current cell (its editor)      Click                                      1
//   double click a cell                      [SetEditText,] Click, DblClick             2
//   arrow, page key, Left/Right at the edge  SetEditText (cell left), Click             1
//   Enter in column 0                        SetEditText, Click                         1
//   Enter in column 1 (next row, column 0)   SetEditText, Click, SetEditText, Click     2
//   Enter in the entry row                   -                                          0
//   a keystroke in a cell                    SetEditText                                0
//   Tab into the table from another control  Enter                                      1
//   a click into it from another control     Enter, then the click's events             1 + the click's
//   Tab or Shift+Tab out of the table        Leave (before the focus moves), Leave      0 or 1
//   the focus to another control             Leave                                      0 or 1
//
// Leave ends an edit however the table is left: the window then recomputes once when the table changed
// since the results it shows, leaving the focus where it went.
//
// The window's own recomputes (formula panel, kind, column drag, paste, read, clear) end by handing
// the focus back with SetFocus: from another control that raises Enter, a second recompute nested in
// the first; with the focus already in the table it raises nothing. While the window waits to be
// activated again (a box has just closed) SetFocus raises Enter itself, as Qt moves no focus then. A
// click on the help text or the check box (both take the focus) recomputes once, through that Enter
// alone; a double click on the formula panel is one click and one double click, two.
//
// Guard flags:
//   changingCurrent_  up while the base class moves the current cell and closes the editor of the cell
//                     left; a focus-in then is no entry and must not reopen the editor.
//   modelChanging_    up while rows are being removed: the view moves the current cell itself, and no
//                     SetEditText or Click may reach handlers that would change the model inside its change.
//   undoingMove_      up while a dragged column is put back; the move this causes is no user drag.
//   forwardingKey_    up while a key typed on the table itself is passed to the cell editor.
#include <QPointer>
#include <QTableView>

namespace quorvel {

class TGridModel;
class TGridDelegate;

class TStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TStringGrid(TGridModel* model, QWidget* parent = nullptr);
    ~TStringGrid() override;

    TGridModel* Model() const { return model_; }
    int RowCount() const;
    void SetRowCount(int count);
    // Current cell in table coordinates (row 0 is the header row, never current).
    int Col() const;
    int Row() const;
    void SetCol(int col);
    void SetRow(int row);
    void SetCurrentCell(int col, int row);
    // Gives the keyboard focus to the table unless it, or its cell editor, already has it.
    void SetFocus();
    bool FocusInside() const;
    // The open cell editor, if any.
    QWidget* Editor() const;

    // Called by the delegate for every event of the cell editor; true swallows the event.
    bool EditorEvent(QWidget* editor, QEvent* event);
    void EditorCreated(QWidget* editor);

signals:
    void Click();
    void DblClick();
    void Enter();
    void SetEditText(int col, int row, const QString& value);
    void KeyPress(QChar key);
    void ColumnMoved(int fromIndex, int toIndex);
    // The table is being left for another control of the window (Tab, Shift+Tab, a click there).
    void Leave();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void OnFocusChanged(QWidget* old, QWidget* now);
    void OnSectionMoved(int logicalIndex, int oldVisualIndex, int newVisualIndex);
    void OnEditorTextEdited(const QString& text);
    void OpenEditor();
    bool Contains(const QWidget* w) const;
    bool MoveBy(int dcol, int drow);
    void FocusNeighbour(bool next);

    TGridModel* model_;
    TGridDelegate* delegate_;
    QPointer<QWidget> editor_;
    bool changingCurrent_ = false;
    bool undoingMove_ = false;
    bool modelChanging_ = false;
    bool forwardingKey_ = false;
    QMetaObject::Connection focusConnection_;
};

}  // namespace quorvel
