#include "app/panel.h"

#include <QMouseEvent>

namespace quorvel {

TPanel::TPanel(const QString& caption, Bevel bevel, Qt::Alignment alignment, QWidget* parent)
    : QLabel(caption, parent) {
    setFrameStyle(QFrame::Panel | (bevel == bvRaised ? QFrame::Raised : QFrame::Sunken));
    setLineWidth(1);
    setAlignment(alignment | Qt::AlignVCenter);
    setIndent(2);
    setTextFormat(Qt::PlainText);
    setFocusPolicy(Qt::NoFocus);
}

void TPanel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TPanel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        emit Click();
    }
}

void TPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    // The base passes the double click on as a press; its release must not count as a second click,
    // so a double click is one click and one double click, as on the table.
    pressed_ = false;
    if (event->button() == Qt::LeftButton) {
        emit DblClick();
    }
}

}  // namespace quorvel
