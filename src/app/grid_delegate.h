#pragma once
// The cell editor of the data table: a plain line edit whose text goes to the cell at every change.
#include <QStyledItemDelegate>

namespace quorvel {

class TStringGrid;

class TGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TGridDelegate(TStringGrid* grid);
    // The grid is going away: editor events are no longer passed on.
    void Detach() { grid_ = nullptr; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    // The cell already holds every edit, so there is nothing to write back.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    TStringGrid* grid_;
};

}  // namespace quorvel
