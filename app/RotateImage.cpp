#include "RotateImage.h"

#include <QPainter>

RotateImage::RotateImage(const QString& image, QWidget* parent) : QWidget(parent), m_image(image) {
    setObjectName("RotateImage");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &RotateImage::OnTimer);
}

void RotateImage::Start() {
    m_timer.start();
}

void RotateImage::Stop() {
    m_timer.stop();
}

void RotateImage::OnTimer() {
    m_angle = (m_angle % 361) + 9;
    update();
}

void RotateImage::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate(m_angle);
    const QSizeF fit = QSizeF(m_image.size()).scaled(QSizeF(QWidget::size()), Qt::KeepAspectRatio);
    painter.drawPixmap(QRectF(-fit.width() / 2, -fit.height() / 2, fit.width(), fit.height()),
                       m_image, QRectF(m_image.rect()));
}
