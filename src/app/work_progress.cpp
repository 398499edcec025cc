#include "app/work_progress.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QProgressDialog>

#include <algorithm>

#include "runtime/message_catalog.h"
#include "ui/message_boxes.h"

namespace quorvel {

namespace {

constexpr int kSteps = 1000;
// Events run at most this often: enough to keep the window painted and the dialog moving, rare enough
// to cost nothing measurable.
constexpr int kEventsEveryMs = 25;

}  // namespace

// Qt's dialog, told whether it may be cancelled: without a cancel, neither Escape nor closing it stops
// the work (and nor does it hide, which would unblock the window while the work goes on). It is not
// modal: Qt drops a close of a window that a modal dialog blocks, and closing the window must stop a
// read or a paste. The user's input to other windows is held back by the box itself instead.
class TProgressBox : public QProgressDialog {
public:
    TProgressBox(const QString& text, QWidget* owner)
        : QProgressDialog(text, QString::fromUtf8(Tr("Отмена")), 0, kSteps, owner) {
        setWindowTitle(QString::fromUtf8(kApplicationTitle));
        setWindowModality(Qt::NonModal);
        QCoreApplication::instance()->installEventFilter(this);
        setAutoReset(false);
        setAutoClose(false);
        setMinimumDuration(0);
    }
    void ForbidCancel() {
        cancellable_ = false;
        setCancelButton(nullptr);
    }
    void reject() override {
        if (cancellable_) {
            cancel();
        }
    }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!cancellable_) {
            event->ignore();
            return;
        }
        QProgressDialog::closeEvent(event);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isVisible() || !IsUserInput(event->type())) {
            return false;
        }
        // Input for the dialog and its buttons goes through; for any other window it is dropped, as a
        // modal dialog would (shortcuts reach the window's actions, which wait for the work).
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget != nullptr && widget->window() != this;
    }

private:
    static bool IsUserInput(QEvent::Type type) {
        switch (type) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::ContextMenu:
            case QEvent::InputMethod:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
                return true;
            default:
                return false;
        }
    }

    bool cancellable_ = true;
};

void TWorkGate::RequestStop() {
    if (work_ != nullptr && work_->onClose_ == TOnClose::Stop) {
        work_->stopRequested_ = true;
    }
}

TWorkProgress::TWorkProgress(QWidget* owner, TWorkGate* gate, const QString& text, TOnClose onClose)
    : owner_(owner), gate_(gate), text_(text), onClose_(onClose) {
    started_.start();
    if (gate_ != nullptr && gate_->work_ == nullptr) {
        gate_->work_ = this;
        if (gate_->finishing_ != nullptr) {
            dialog_ = std::move(gate_->finishing_->dialog_);
            gate_->finishing_ = nullptr;
            dialog_->setLabelText(text_);
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
            cursorPushed_ = true;
        }
    }
}

TWorkProgress::~TWorkProgress() {
    LeaveGate();
    if (gate_ != nullptr && gate_->finishing_ == this) {
        gate_->finishing_ = nullptr;
    }
    if (cursorPushed_) {
        QGuiApplication::restoreOverrideCursor();
    }
}

bool TWorkProgress::Stopped() const {
    return cancellable_ && (stopRequested_ || (dialog_ != nullptr && dialog_->wasCanceled()));
}

bool TWorkProgress::Step(double done) {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventsEveryMs) {
        return !Stopped();
    }
    sinceEvents_.start();
    done = std::clamp(done, 0.0, 1.0);
    const int value = static_cast<int>(done * kSteps);
    if (dialog_ == nullptr) {
        const auto elapsed = static_cast<double>(started_.elapsed());
        // The time left, judged by the pace so far; unknown before anything is done.
        const bool nearlyDone = done > 0 && elapsed * (1 - done) / done < kShowIfLeftMs;
        if (elapsed >= kShowAfterMs && !nearlyDone) {
            Show(value);
        }
    } else {
        dialog_->setValue(value);
    }
    // Until the dialog shows, the user's input waits for the end of the command; with the dialog shown
    // it goes to the dialog, and the main window, blocked by it, takes none.
    const bool shown = dialog_ != nullptr && dialog_->isVisible();
    QCoreApplication::processEvents(shown ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    return !Stopped();
}

void TWorkProgress::Show(int value) {
    dialog_ = std::make_unique<TProgressBox>(text_, owner_);
    if (!cancellable_) {
        dialog_->ForbidCancel();
    }
    dialog_->setValue(value);
    // The value shows the dialog where Qt judges the minimum duration passed; showing it once more
    // would make Qt 6.8 show (and announce) it a second time.
    if (!dialog_->isVisible()) {
        dialog_->show();
    }
    dialog_->raise();
    dialog_->activateWindow();
    // The busy cursor rather than the wait cursor: the dialog takes clicks.
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    cursorPushed_ = true;
}

void TWorkProgress::ForbidCancel(const QString& text) {
    cancellable_ = false;
    text_ = text;
    if (dialog_ != nullptr) {
        dialog_->ForbidCancel();
        dialog_->setLabelText(text);
    }
}

void TWorkProgress::Finishing(const QString& text) {
    if (dialog_ != nullptr) {
        ForbidCancel(text);
        dialog_->setValue(kSteps);
        // Events once more while the gate still holds: a close that came meanwhile waits for the end.
        QCoreApplication::processEvents();
    }
    LeaveGate();
    if (cursorPushed_) {
        cursorPushed_ = false;
        QGuiApplication::restoreOverrideCursor();
    }
    if (dialog_ != nullptr) {
        // Painted now: no events run until the command ends, unless the work that follows steps.
        dialog_->repaint();
        if (gate_ != nullptr) {
            gate_->finishing_ = this;
        }
    }
}

void TWorkProgress::LeaveGate() {
    if (gate_ != nullptr && gate_->work_ == this) {
        gate_->work_ = nullptr;
    }
}

}  // namespace quorvel
