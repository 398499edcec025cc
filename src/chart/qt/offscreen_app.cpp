#include "chart/qt/offscreen_app.h"

#include <QApplication>
#include <QGuiApplication>

namespace quorvel {

void EnsureOffscreenApplication(bool widgets) {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    // Always the offscreen platform: a platform named in the environment may want a display that is not
    // there, and Qt ends the process when it cannot connect.
    qputenv("QT_QPA_PLATFORM", "offscreen");
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
