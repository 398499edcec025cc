#include "ui/offscreen_app.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/process_locale.h"

namespace quorvel {

void EnsureOffscreenApplication(bool widgets) {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    // Always the offscreen platform: a platform named in the environment may want a display that is not
    // there, and Qt ends the process when it cannot connect.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Batch runs (cron, CI, ssh) often have no per-user runtime folder; Qt then falls back to one of its
    // own but warns on stderr, which would pollute the command's output. Make the folder it would use.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QByteArray dir = QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(getuid());
        if (mkdir(dir.constData(), 0700) == 0 || errno == EEXIST) {
            struct stat info = {};
            if (stat(dir.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
                (info.st_mode & 0777) == 0700) {
                qputenv("XDG_RUNTIME_DIR", dir);
            }
        }
    }
    PreferUtf8CharacterType();
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
