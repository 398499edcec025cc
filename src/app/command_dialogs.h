#pragma once
// The real dialogs behind the table commands: Qt file dialogs and message boxes.
#include <functional>

#include "app/command_ui.h"

class QWidget;

namespace quorvel {

class TWorkGate;

class TCommandDialogs : public TCommandUi {
public:
    // owner: the main window, which owns the application-owned boxes, the file dialogs and the progress
    // dialog; gate: where the window sees that long work runs.
    TCommandDialogs(QWidget* owner, std::function<void()> recompute, TWorkGate* gate = nullptr);

    std::optional<QString> ChooseFileToRead() override;
    std::optional<QString> ChooseFileToWrite() override;
    TOpenFailureAnswer AskAfterOpenFailure(const QString& caption) override;
    void ShowError(const QString& text, const QString& caption) override;
    bool Confirm(const QString& question) override;
    void Inform(const QString& text) override;
    void SetBusy(bool busy) override;
    std::unique_ptr<TProgress> StartProgress(const QString& text, TOnClose onClose) override;
    void Recompute() override;

private:
    QWidget* owner_;
    std::function<void()> recompute_;
    TWorkGate* gate_;
    int busyDepth_ = 0;
};

}  // namespace quorvel
