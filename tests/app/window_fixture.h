#pragma once
// Shared helpers for tests of the real main window: finding controls by name and typing into cells;
// its message boxes are answered from a timer by TBoxWatcher.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <vector>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"
#include "calibration/form_chart.h"
#include "chart/qt/chart_widget.h"
#include "ui/box_watcher.h"

namespace quorvel::test {

class TWindow {
public:
    TWindow() : form(std::make_unique<TFormMain>()) {
        form->show();
        form->activateWindow();
        (void)QTest::qWaitForWindowActive(form.get());
    }

    template <class T = QWidget>
    T* Find(const char* name) const {
        return form->findChild<T*>(name);
    }
    QString Caption(const char* name) const { return Find<QLabel>(name)->text(); }
    TStringGrid* Grid() const { return Find<TStringGrid>("sgData"); }
    TGridModel* Model() const { return Grid()->Model(); }
    // The series of the chart the window shows, by what they show.
    TFormChartSeries Series() const { return FormSeries(Find<TChartWidget>("Chart1")->Chart()); }

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
