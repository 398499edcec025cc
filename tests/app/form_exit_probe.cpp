// Runs the real entry function, puts data in the table and the clipboard and chooses "Выход": the entry
// function must return 0 at once, without a question, and Qt's shutdown must run (the application object
// is destroyed, which is where the clipboard is handed to a clipboard manager).
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTimer>

#include <cstdio>

#include "app/application.h"
#include "app/form_main.h"
#include "app/grid_model.h"
#include "app/string_grid.h"

namespace {

void Say(const char* text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

void ChooseExitOnceShown() {
    auto* sentinel = new QObject(QCoreApplication::instance());
    QObject::connect(sentinel, &QObject::destroyed, [] { Say("application destroyed"); });
    QTimer::singleShot(0, [] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* form = qobject_cast<quorvel::TFormMain*>(widget);
            if (form == nullptr) {
                continue;
            }
            auto* grid = form->findChild<quorvel::TStringGrid*>("sgData");
            grid->Model()->SetCellText(0, 1, "1");
            grid->Model()->SetCellText(1, 1, "2");
            QGuiApplication::clipboard()->setText(QStringLiteral("1\t2\r\n"));
            form->findChild<QAction*>("itmExit")->trigger();
            Say("exit chosen");
            // The loop ends with the exit: a timer started now never fires.
            QTimer::singleShot(0, [] { Say("loop still running"); });
        }
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ChooseExitOnceShown)

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int code = quorvel::RunQuorvel(argc, argv);
    std::printf("returned %d\n", code);
    return code == 0 ? 0 : 3;
}
