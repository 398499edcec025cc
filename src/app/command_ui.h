#pragma once
// What the table commands ask of the window: file choices, message boxes, the busy cursor, the
// progress of long work and the recompute. The window gives the real dialogs; tests give scripted
// answers.
#include <QString>

#include <memory>
#include <optional>

namespace quorvel {

enum class TOpenFailureAnswer { Abort, Retry, Ignore };

// Long work of a command runs in steps inside the command, and each step lets the window's events
// through, so that the window stays painted; a progress dialog shows once the work has run for about
// half a second and is not nearly done.
class TProgress {
public:
    virtual ~TProgress() = default;
    // done: the share of the work done so far, 0 ... 1. False once the user has cancelled; the work
    // then takes back what it did and ends.
    virtual bool Step(double done) = 0;
    // From here on the work cannot be taken back: the cancel goes away and the text says why.
    virtual void ForbidCancel(const QString& text) = 0;
    // The stepped work is over and the recompute follows: the dialog, if shown, says so while it
    // runs, and the recompute of a large table goes on in it with steps of its own.
    virtual void Finishing(const QString& text) = 0;
};

// What closing the window during the work does: stop it (a read or a paste, which then leave the
// table as it was) or let it end first (a write, so that the file is saved).
enum class TOnClose { Stop, Finish };

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
    virtual std::unique_ptr<TProgress> StartProgress(const QString& text, TOnClose onClose) = 0;
    virtual void Recompute() = 0;
};

}  // namespace quorvel
