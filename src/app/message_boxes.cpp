#include "app/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <exception>

#include "runtime/exceptions.h"

namespace quorvel {

namespace {

QPointer<QWidget>& WindowSlot() {
    static QPointer<QWidget> window;
    return window;
}

void ShowBox(QMessageBox::Icon icon, const std::string& text, const std::string& caption) {
    QMessageBox box(icon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    ApplicationWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

QWidget* ApplicationWindow() {
    return WindowSlot().data();
}

void SetApplicationWindow(QWidget* window) {
    WindowSlot() = window;
}

void ShowOwnedMessage(const std::string& text, const std::string& caption) {
    ShowBox(QMessageBox::NoIcon, text, caption);
}

std::string ExceptionBoxText(const std::string& message) {
    std::string text = message;
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
        text += '.';
    }
    return text;
}

void ReportCurrentException() {
    const std::string message = ExceptionMessage(std::current_exception());
    if (QApplication::instance() == nullptr) {
        return;
    }
    ShowBox(QMessageBox::Critical, ExceptionBoxText(message), kApplicationTitle);
}

}  // namespace quorvel
