#pragma once
// A control that reports the presses and releases of the mouse on it, with the button,
// as the classic desktop controls' mouse-down and mouse-up events do.

#include <QMouseEvent>
#include <QWidget>

class Pressable : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

signals:
    void pressed(Qt::MouseButton button);
    void released(Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override { emit pressed(event->button()); }
    void mouseReleaseEvent(QMouseEvent* event) override { emit released(event->button()); }
};
