#pragma once
// The progress of a command's long work on the window: Qt's progress dialog, shown once the work has
// run for about half a second and is not nearly done. Between steps the window's events run, so that it
// stays painted and a close of the window is seen; the user's input waits until the dialog shows, and
// then goes only to the dialog, which holds back the input to the main window.
#include <QElapsedTimer>
#include <QString>

#include <memory>

#include "app/command_ui.h"

class QWidget;

namespace quorvel {

class TProgressBox;
class TWorkProgress;

// What the window knows of the long work running in one of its commands.
class TWorkGate {
public:
    bool Busy() const { return work_ != nullptr; }
    // Asks the work to stop at its next step where closing the window stops it (a read, a paste).
    void RequestStop();

private:
    friend class TWorkProgress;
    TWorkProgress* work_ = nullptr;
    // A work that has finished its steps with its dialog shown: the next work on the gate (the
    // recompute after a read or a paste) goes on in the same dialog.
    TWorkProgress* finishing_ = nullptr;
};

class TWorkProgress : public TProgress {
public:
    // The gate, if any, is held Busy from here until Finishing or the end. A dialog that a work on the
    // same gate left at its Finishing is taken over and shows this work's text.
    TWorkProgress(QWidget* owner, TWorkGate* gate, const QString& text, TOnClose onClose);
    ~TWorkProgress() override;
    TWorkProgress(const TWorkProgress&) = delete;
    TWorkProgress& operator=(const TWorkProgress&) = delete;

    bool Step(double done) override;
    void ForbidCancel(const QString& text) override;
    void Finishing(const QString& text) override;

    // The dialog appears this long after the start, when by then the work does not look nearly done.
    static constexpr int kShowAfterMs = 500;
    static constexpr int kShowIfLeftMs = 200;

private:
    friend class TWorkGate;
    bool Stopped() const;
    void Show(int value);
    void LeaveGate();

    QWidget* owner_;
    TWorkGate* gate_;
    QString text_;
    TOnClose onClose_;
    QElapsedTimer started_;
    QElapsedTimer sinceEvents_;
    std::unique_ptr<TProgressBox> dialog_;  // made only when the work turns out to be long
    bool cancellable_ = true;
    bool stopRequested_ = false;
    bool cursorPushed_ = false;
};

}  // namespace quorvel
