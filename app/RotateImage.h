// The busy indicator: an image turning about its centre while a start or a
// stop is in flight.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

class RotateImage : public QWidget {
    Q_OBJECT

public:
    explicit RotateImage(const QString& image, QWidget* parent = nullptr);

    void Start();
    void Stop();
    bool IsRotating() const { return m_timer.isActive(); }
    int Angle() const { return m_angle; }

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void OnTimer();

private:
    QPixmap m_image;
    QTimer m_timer;
    int m_angle = 0;
};
