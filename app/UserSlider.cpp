#include "UserSlider.h"

#include <QWheelEvent>

UserSlider::UserSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 100);
    setSingleStep(1);
    setPageStep(10);
    setValue(100);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void UserSlider::leaveEvent(QEvent* event) {
    QSlider::leaveEvent(event);
    emit MouseLeave();
}

void UserSlider::wheelEvent(QWheelEvent* event) {
    // One step per notch, and the event stops here instead of scrolling the list.
    const int notches = event->angleDelta().y() / 120;
    if (notches != 0)
        setValue(value() + notches * singleStep());
    event->accept();
}
