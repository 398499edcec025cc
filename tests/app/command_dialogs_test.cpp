// The message boxes of the table commands: texts, captions, buttons, icons, owner and modality.
#include "app/command_dialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>

namespace quorvel {

namespace {

// The first visible message box, or nullptr.
QMessageBox* VisibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Once a box shows, records what it looks like and presses the given button.
struct TSeenBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QWidget* parent = nullptr;
    bool appModal = false;
    bool seen = false;
};

void AnswerNextBox(TSeenBox& seen, QMessageBox::StandardButton press) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &seen, press]() {
        QMessageBox* box = VisibleBox();
        if (box == nullptr) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        seen.seen = true;
        seen.text = box->text();
        seen.caption = box->windowTitle();
        seen.icon = box->icon();
        seen.buttons = box->standardButtons();
        seen.defaultButton =
            box->defaultButton() ? box->standardButton(box->defaultButton()) : QMessageBox::NoButton;
        seen.parent = box->parentWidget();
        seen.appModal = QApplication::activeModalWidget() == box;
        box->button(press)->click();
    });
    timer->start();
}

}  // namespace

class CommandDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        owner_ = std::make_unique<QWidget>();
        owner_->show();
        recomputes_ = 0;
        dialogs_ = std::make_unique<TCommandDialogs>(owner_.get(), [this]() { ++recomputes_; });
    }
    void cleanup() {
        dialogs_.reset();
        owner_.reset();
    }

    void openFailureBoxHasNoOwnerAndLeavesWindowUsable() {
        const struct {
            QMessageBox::StandardButton press;
            TOpenFailureAnswer answer;
        } cases[] = {{QMessageBox::Abort, TOpenFailureAnswer::Abort},
                     {QMessageBox::Retry, TOpenFailureAnswer::Retry},
                     {QMessageBox::Ignore, TOpenFailureAnswer::Ignore}};
        for (const auto& c : cases) {
            TSeenBox seen;
            AnswerNextBox(seen, c.press);
            QCOMPARE(dialogs_->AskAfterOpenFailure(QStringLiteral("Ошибка чтения файла")), c.answer);
            QVERIFY(seen.seen);
            QCOMPARE(seen.text, QStringLiteral("Не могу открыть файл."));
            QCOMPARE(seen.caption, QStringLiteral("Ошибка чтения файла"));
            QCOMPARE(seen.icon, QMessageBox::Warning);
            QCOMPARE(seen.buttons, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
            QCOMPARE(seen.defaultButton, QMessageBox::Retry);
            QVERIFY(seen.parent == nullptr);
            QVERIFY(!seen.appModal);
        }
    }

    void errorBoxIsOwnedModalWithoutIcon() {
        TSeenBox seen;
        AnswerNextBox(seen, QMessageBox::Ok);
        dialogs_->ShowError(QStringLiteral("Файл содержит неверные данные"), QString());
        QVERIFY(seen.seen);
        QCOMPARE(seen.text, QStringLiteral("Файл содержит неверные данные"));
        QCOMPARE(seen.icon, QMessageBox::NoIcon);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.parent, owner_.get());
        QVERIFY(seen.appModal);
    }

    void confirmAsksYesNoWithApplicationTitle() {
        for (const bool yes : {false, true}) {
            TSeenBox seen;
            AnswerNextBox(seen, yes ? QMessageBox::Yes : QMessageBox::No);
            QCOMPARE(dialogs_->Confirm(QStringLiteral("Очистить данные в таблице?")), yes);
            QCOMPARE(seen.caption, QStringLiteral("Quorvel"));
            QCOMPARE(seen.text, QStringLiteral("Очистить данные в таблице?"));
            QCOMPARE(seen.icon, QMessageBox::NoIcon);
            QCOMPARE(seen.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(seen.parent, owner_.get());
        }
    }

    void informationBoxHasNoOwner() {
        TSeenBox seen;
        AnswerNextBox(seen, QMessageBox::Ok);
        dialogs_->Inform(QStringLiteral("Строка формулы скопирована в буфер обмена Windows"));
        QCOMPARE(seen.caption, QStringLiteral("Quorvel"));
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(seen.parent == nullptr);
        QVERIFY(!seen.appModal);
    }

    void busyCursorNestsAndIsRestored() {
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        dialogs_->SetBusy(true);
        dialogs_->SetBusy(true);
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        dialogs_->SetBusy(false);
        QVERIFY(QGuiApplication::overrideCursor() != nullptr);
        dialogs_->SetBusy(false);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
        dialogs_->SetBusy(false);  // an extra end is harmless
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void recomputeCallsTheWindow() {
        dialogs_->Recompute();
        QCOMPARE(recomputes_, 1);
    }

private:
    std::unique_ptr<QWidget> owner_;
    std::unique_ptr<TCommandDialogs> dialogs_;
    int recomputes_ = 0;
};

}  // namespace quorvel

QTEST_MAIN(quorvel::CommandDialogsTest)
#include "command_dialogs_test.moc"
