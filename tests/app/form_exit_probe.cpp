// Starts the main window with data in the table and chooses "Выход": the process must end at once
// with exit code 0, without running the window's closing sequence (main would return 3).
#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quorvel::TFormMain form;
    form.show();
    auto* grid = form.findChild<quorvel::TStringGrid*>("sgData");
    grid->Model()->SetCellText(0, 1, "1");
    grid->Model()->SetCellText(1, 1, "2");
    QTimer::singleShot(0, &form, [&form]() {
        std::printf("exit called\n");
        std::fflush(stdout);
        form.itmExitClick();
        std::printf("still running\n");
    });
    app.exec();
    return 3;
}
