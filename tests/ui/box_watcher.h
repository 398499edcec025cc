#pragma once
// Records and answers the message boxes that appear while a test runs, from a timer, as a user would
// answer them: OK where the box has one, else the box is closed.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <vector>

namespace quorvel::test {

struct TBoxRecord {
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool modal = false;
    bool owned = false;
    const QWidget* owner = nullptr;
};

// Records and closes every message box that appears while it lives.
class TBoxWatcher : public QObject {
public:
    TBoxWatcher() {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(2);
    }
    const std::vector<TBoxRecord>& Boxes() const { return boxes_; }
    void Clear() { boxes_.clear(); }

private:
    void Poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) {
                continue;
            }
            box->setProperty("answered", true);
            boxes_.push_back({box->text(), box->windowTitle(), box->icon(), box->isModal(),
                              box->parentWidget() != nullptr, box->parentWidget()});
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (ok != nullptr) {
                ok->click();
            } else {
                box->reject();
            }
        }
    }

    QTimer timer_;
    std::vector<TBoxRecord> boxes_;
};

}  // namespace quorvel::test
