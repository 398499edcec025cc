#pragma once
// The data table control: a table view over TGridModel whose cell editor is always shown, raising
// the table events of the main window (current-cell change, double click, focus entry, every edit of
// the cell text, character keys before the table acts on them, and a column dragged to the other side).
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
    QMetaObject::Connection focusConnection_;
};

}  // namespace quorvel
