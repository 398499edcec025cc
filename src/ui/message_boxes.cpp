#include "ui/message_boxes.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <exception>

#include "runtime/exceptions.h"

namespace quorvel {

namespace {

QPointer<QWidget>& WindowSlot() {
    static QPointer<QWidget> window;
    return window;
}

}  // namespace

QWidget* ApplicationWindow() {
    return WindowSlot().data();
}

void SetApplicationWindow(QWidget* window) {
    WindowSlot() = window;
}

QWidget* ApplicationBoxOwner() {
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    return ApplicationWindow();
}

QMessageBox::StandardButton ShowMessageBox(const TMessageBox& message, QWidget* owner) {
    QMessageBox box(message.icon, message.caption, message.text, message.buttons, owner);
    box.setTextFormat(Qt::PlainText);
    if (message.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(message.defaultButton);
    }
    if (message.escapeButton != QMessageBox::NoButton) {
        box.setEscapeButton(message.escapeButton);
    }
    if (owner != nullptr) {
        box.exec();
    } else {
        box.setWindowModality(Qt::NonModal);
        QEventLoop loop;
        QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
        box.show();
        // The box takes the keyboard as it shows: left in the main window, a Space meant for the box
        // would press the focused button again and bring one more box.
        box.raise();
        box.activateWindow();
        loop.exec();
    }
    return box.clickedButton() != nullptr ? box.standardButton(box.clickedButton()) : QMessageBox::NoButton;
}

void ShowOwnedMessage(const std::string& text, const std::string& caption) {
    ShowMessageBox(
        TMessageBox{QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text)},
        ApplicationBoxOwner());
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
    ShowMessageBox(TMessageBox{QMessageBox::Critical, QString::fromUtf8(kApplicationTitle),
                               QString::fromStdString(ExceptionBoxText(message))},
                   ApplicationBoxOwner());
}

}  // namespace quorvel
