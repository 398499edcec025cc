#pragma once
// Shared helpers for tests of the real main window: finding controls by name, typing into cells,
// and answering the message boxes the window shows from a timer.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"

namespace quorvel::test {

struct TBoxRecord {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    bool owned = false;
};

// Records and closes every message box that appears while it lives.
class TBoxWatcher : public QObject {
public:
    TBoxWatcher() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(2);
    }
    const std::vector<TBoxRecord>& Boxes() const { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) {
                continue;
            }
            box->setProperty("answered", true);
            boxes_.push_back({box->text(), box->windowTitle(), box->icon(), box->isModal(),
                              box->parentWidget() != nullptr});
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (ok != nullptr) {
                ok->click();
            } else {
                box->reject();
            }
        }
    }

    QTimer timer_;
    std::vector<TBoxRecord> boxes_;
};

class TWindow {
public:
    TWindow() : form(std::make_unique<TFormMain>()) {
        form->show();
        QApplication::setActiveWindow(form.get());
        (void)QTest::qWaitForWindowActive(form.get());
    }

    template <class T = QWidget>
    T* Find(const char* name) const {
        return form->findChild<T*>(name);
    }
    QString Caption(const char* name) const { return Find<QLabel>(name)->text(); }
    TStringGrid* Grid() const { return Find<TStringGrid>("sgData"); }
    TGridModel* Model() const { return Grid()->Model(); }

    // Writes cells straight into the table (as a paste would), rows from 1.
    void Fill(const std::vector<std::pair<const char*, const char*>>& rows) const {
        int row = 1;
        for (const auto& [y, x] : rows) {
            Model()->SetCellText(0, row, y);
            Model()->SetCellText(1, row, x);
            ++row;
        }
        if (Model()->RowCount() <= row) {
            Model()->SetRowCount(row + 1);
        }
    }
    // A user action that runs the recompute: a click on the formula panel.
    void ClickFormula() const { QTest::mouseClick(Find<QWidget>("PanelResult"), Qt::LeftButton); }

    // Moves to a cell the way the user does, by clicking it.
    void ClickCell(int col, int row) const {
        TStringGrid* grid = Grid();
        const QRect r = grid->visualRect(Model()->index(row - 1, col));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    }
    QLineEdit* Editor() const { return qobject_cast<QLineEdit*>(Grid()->Editor()); }
    void TypeInto(int col, int row, const QString& text) const {
        ClickCell(col, row);
        QTest::keyClicks(Editor(), text);
    }
    void PressEnter() const { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }

    std::unique_ptr<TFormMain> form;
};

}  // namespace quorvel::test
