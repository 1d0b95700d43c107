#include "Orvanta.h"

#include <QGuiApplication>
#include <QScreen>

Orvanta::Orvanta(QWidget* parent) : QWidget(parent) {
    setObjectName("Orvanta");
    setWindowTitle("Orvanta");
    const QRect area = QGuiApplication::primaryScreen() != nullptr
                           ? QGuiApplication::primaryScreen()->availableGeometry()
                           : QRect(0, 0, 346, 546);
    setGeometry((area.width() - 346) / 2, (area.height() - 546) / 2, 346, 546);
}
