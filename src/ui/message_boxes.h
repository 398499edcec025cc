#pragma once
// The program's message boxes, whichever window asks for one: every box goes through ShowMessageBox, and
// an exception that escapes a handler of any window ends in the one standard exception box.
#include <QMessageBox>
#include <QString>
#include <string>

class QWidget;

namespace quorvel {

// The application title: the taskbar's name and the caption of the information and exception boxes.
inline constexpr const char* kApplicationTitle = "Quorvel";

// The application's main window (null before it exists).
QWidget* ApplicationWindow();
void SetApplicationWindow(QWidget* window);
// The owner of an application-owned box: the modal dialog in front (the print preview), which a box over
// the main window could hide behind, else the main window.
QWidget* ApplicationBoxOwner();

struct TMessageBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::StandardButton escapeButton = QMessageBox::NoButton;
};

// Shows the box as plain text and waits for the answer; returns the button pressed (NoButton when the
// box was closed otherwise). With an owner the box is modal over it. Without one every window stays
// usable meanwhile: the box waits in a local loop instead of a modal one, and takes the keyboard.
QMessageBox::StandardButton ShowMessageBox(const TMessageBox& box, QWidget* owner);

// Application-owned error box: OK, no icon.
void ShowOwnedMessage(const std::string& text, const std::string& caption);

// The standard exception box's text: the message, with "." appended when the message is not empty
// and its last byte is above ".".
std::string ExceptionBoxText(const std::string& message);
// Shows the standard exception box (application-owned, error icon, OK, caption "Quorvel") for the
// exception being handled.
void ReportCurrentException();

// Wraps a handler so that an exception it lets escape ends in the standard box, not in Qt's frames,
// which exceptions must not pass through. The wrapper takes the arguments the handler takes.
template <class F>
auto Guarded(F handler) {
    return [handler](auto&&... args) {
        try {
            handler(args...);
        } catch (...) {
            ReportCurrentException();
        }
    };
}

}  // namespace quorvel
