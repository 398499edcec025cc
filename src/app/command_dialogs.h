#pragma once
// The real dialogs behind the table commands: Qt file dialogs and message boxes.
#include <functional>

#include "app/command_ui.h"

class QWidget;

namespace quorvel {

class TCommandDialogs : public TCommandUi {
public:
    // owner: the main window, which owns the application-owned boxes and the file dialogs.
    TCommandDialogs(QWidget* owner, std::function<void()> recompute);

    std::optional<QString> ChooseFileToRead() override;
    std::optional<QString> ChooseFileToWrite() override;
    TOpenFailureAnswer AskAfterOpenFailure(const QString& caption) override;
    void ShowError(const QString& text, const QString& caption) override;
    bool Confirm(const QString& question) override;
    void Inform(const QString& text) override;
    void SetBusy(bool busy) override;
    void Recompute() override;

private:
    QWidget* owner_;
    std::function<void()> recompute_;
    int busyDepth_ = 0;
};

}  // namespace quorvel
