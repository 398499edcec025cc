#pragma once
// The message boxes of the main window and the standard box for an exception that escapes a handler.
#include <QString>
#include <string>

class QWidget;

namespace quorvel {

// The application title: the taskbar's name and the caption of the information and exception boxes.
inline constexpr const char* kApplicationTitle = "Quorvel";

// The application's main window: the owner of application-owned boxes (null before it exists).
QWidget* ApplicationWindow();
void SetApplicationWindow(QWidget* window);

// Application-owned error box: OK, no icon, modal to the main window.
void ShowOwnedMessage(const std::string& text, const std::string& caption);

// The standard exception box's text: the message, with "." appended when the message is not empty
// and its last byte is above ".".
std::string ExceptionBoxText(const std::string& message);
// Shows the standard exception box (error icon, OK, caption "Quorvel") for the exception being handled.
void ReportCurrentException();

// Wraps a handler so that an exception it lets escape ends in the standard box, not in Qt's frames.
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
