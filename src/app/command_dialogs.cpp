#include "app/command_dialogs.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "app/message_boxes.h"
#include "app/table_commands.h"
#include "app/work_progress.h"

namespace quorvel {

namespace {

// A box without an owner window: the command waits for the answer while the main window stays
// usable, so the box runs in a local loop instead of a modal one. It takes the keyboard as it shows:
// left in the main window, a Space meant for the box would press the focused button again and bring
// one more box.
QMessageBox::StandardButton RunUnowned(QMessageBox& box) {
    box.setWindowModality(Qt::NonModal);
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.show();
    box.raise();
    box.activateWindow();
    loop.exec();
    return box.standardButton(box.clickedButton());
}

}  // namespace

TCommandDialogs::TCommandDialogs(QWidget* owner, std::function<void()> recompute, TWorkGate* gate)
    : owner_(owner), recompute_(std::move(recompute)), gate_(gate) {}

std::optional<QString> TCommandDialogs::ChooseFileToRead() {
    // Any name is accepted, also one that does not exist: opening it then fails with the program's own
    // box, which offers to choose again.
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty() ||
        dialog.selectedFiles().constFirst().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> TCommandDialogs::ChooseFileToWrite() {
    // Saving over an existing file replaces it without a question.
    const QString path = QFileDialog::getSaveFileName(owner_, QString(), QString(), QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

TOpenFailureAnswer TCommandDialogs::AskAfterOpenFailure(const QString& caption) {
    QMessageBox box(QMessageBox::Warning, caption, QString::fromUtf8(kOpenFailureText),
                    QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    box.setDefaultButton(QMessageBox::Retry);
    box.setEscapeButton(QMessageBox::Abort);
    switch (RunUnowned(box)) {
        case QMessageBox::Retry:
            return TOpenFailureAnswer::Retry;
        case QMessageBox::Ignore:
            return TOpenFailureAnswer::Ignore;
        default:
            return TOpenFailureAnswer::Abort;
    }
}

void TCommandDialogs::ShowError(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner_);
    box.exec();
}

bool TCommandDialogs::Confirm(const QString& question) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), question,
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void TCommandDialogs::Inform(const QString& text) {
    QMessageBox box(QMessageBox::Information, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok);
    RunUnowned(box);
}

void TCommandDialogs::SetBusy(bool busy) {
    if (busy) {
        if (busyDepth_++ == 0) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        QGuiApplication::restoreOverrideCursor();
    }
}

std::unique_ptr<TProgress> TCommandDialogs::StartProgress(const QString& text, TOnClose onClose) {
    return std::make_unique<TWorkProgress>(owner_, gate_, text, onClose);
}

void TCommandDialogs::Recompute() {
    if (recompute_) {
        recompute_();
    }
}

}  // namespace quorvel
