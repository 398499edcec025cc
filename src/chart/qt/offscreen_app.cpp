#include "chart/qt/offscreen_app.h"

#include <QApplication>
#include <QGuiApplication>

namespace quorvel {

void EnsureOffscreenApplication(bool widgets) {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Qt keeps references to argc and argv, so both must outlive the application object.
    static int argc = 1;
    static char name[] = "quorvel";
    static char* argv[] = {name, nullptr};
    // Deliberately never destroyed (Qt reaches it through QCoreApplication::instance()): tearing Qt
    // down during static destruction is not safe, and the process ends right after anyway.
    if (widgets) {
        new QApplication(argc, argv);
    } else {
        new QGuiApplication(argc, argv);
    }
}

}  // namespace quorvel
