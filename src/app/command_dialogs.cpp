#include "app/command_dialogs.h"

#include <QFileDialog>
#include <QGuiApplication>

#include "app/table_commands.h"
#include "app/work_progress.h"
#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

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
    const TMessageBox box{QMessageBox::Warning,
                          caption,
                          QString::fromUtf8(Tr(kOpenFailureText)),
                          QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore,
                          QMessageBox::Retry,
                          QMessageBox::Abort};
    switch (ShowMessageBox(box, nullptr)) {
        case QMessageBox::Retry:
            return TOpenFailureAnswer::Retry;
        case QMessageBox::Ignore:
            return TOpenFailureAnswer::Ignore;
        default:
            return TOpenFailureAnswer::Abort;
    }
}

void TCommandDialogs::ShowError(const QString& text, const QString& caption) {
    ShowMessageBox(TMessageBox{QMessageBox::NoIcon, caption, text}, owner_);
}

bool TCommandDialogs::Confirm(const QString& question) {
    const TMessageBox box{QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), question,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes};
    return ShowMessageBox(box, owner_) == QMessageBox::Yes;
}

void TCommandDialogs::Inform(const QString& text) {
    ShowMessageBox(TMessageBox{QMessageBox::Information, QString::fromUtf8(kApplicationTitle), text},
                   nullptr);
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
