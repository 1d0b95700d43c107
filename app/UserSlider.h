// The speed slider of a client row: 0 to 100 in steps of 1 (page 10), starting
// at 100, without keyboard focus; it tells when the pointer leaves it and
// handles the wheel itself so a scrolling list does not move it by accident.
#pragma once

#include <QSlider>

class UserSlider : public QSlider {
    Q_OBJECT

public:
    explicit UserSlider(QWidget* parent = nullptr);

signals:
    void MouseLeave();

protected:
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
