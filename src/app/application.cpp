#include "app/application.h"

#include <QIcon>
#include <QLibraryInfo>
#include <memory>

#include "app/form_main.h"
#include "runtime/message_catalog.h"
#include "runtime/number_text.h"
#include "runtime/process_locale.h"
#include "ui/message_boxes.h"

namespace quorvel {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(kApplicationTitle);
    setDesktopFileName("quorvel");
    setWindowIcon(QIcon(":/quorvel/quorvel.svg"));
    // Qt's own texts are English already; Russian ones only where the program speaks Russian.
    if (UserLanguage() == TLanguage::Russian &&
        qtTranslator_.load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(&qtTranslator_);
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}

int RunQuorvel(int& argc, char** argv) {
    PreferUtf8CharacterType();
    ReadNumberSettingsFromLocale();
    std::unique_ptr<TApplication> app;
    try {
        app = std::make_unique<TApplication>(argc, argv);
        TFormMain form;
        form.show();
        TApplication::exec();
    } catch (...) {
        if (app != nullptr) {
            ReportCurrentException();
        }
    }
    return 0;
}

}  // namespace quorvel
