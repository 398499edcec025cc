#pragma once
// A panel: a bevelled caption that reports clicks and double clicks.
#include <QLabel>

namespace quorvel {

class TPanel : public QLabel {
    Q_OBJECT
public:
    enum Bevel { bvLowered, bvRaised };
    TPanel(const QString& caption, Bevel bevel, Qt::Alignment alignment, QWidget* parent);

signals:
    void Click();
    void DblClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

}  // namespace quorvel
