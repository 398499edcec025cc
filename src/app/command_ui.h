#pragma once
// What the table commands ask of the window: file choices, message boxes, the busy cursor and the
// recompute. The window gives the real dialogs; tests give scripted answers.
#include <QString>

#include <optional>

namespace quorvel {

enum class TOpenFailureAnswer { Abort, Retry, Ignore };

class TCommandUi {
public:
    virtual ~TCommandUi() = default;

    // The file dialogs; no value when the user cancels.
    virtual std::optional<QString> ChooseFileToRead() = 0;
    virtual std::optional<QString> ChooseFileToWrite() = 0;
    // "Не могу открыть файл." without an owner window: Abort, Retry (default) and Ignore, warning icon.
    virtual TOpenFailureAnswer AskAfterOpenFailure(const QString& caption) = 0;
    // An application-owned box with OK and no icon.
    virtual void ShowError(const QString& text, const QString& caption) = 0;
    // An application-owned question with Yes and No, captioned with the application title.
    virtual bool Confirm(const QString& question) = 0;
    // An information box without an owner window, captioned with the application title.
    virtual void Inform(const QString& text) = 0;
    virtual void SetBusy(bool busy) = 0;
    virtual void Recompute() = 0;
};

}  // namespace quorvel
