#pragma once
// The application object: title "Quorvel", Qt's Russian texts for standard buttons and dialogs when the
// user's language is Russian, and the standard exception box for whatever escapes an event handler; the
// loop goes on after it.
#include <QApplication>
#include <QTranslator>

namespace quorvel {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator qtTranslator_;
};

// The whole start-up: number settings from the locale, the application, the window, the loop.
// Always returns 0.
int RunQuorvel(int& argc, char** argv);

}  // namespace quorvel
