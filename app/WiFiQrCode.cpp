#include "WiFiQrCode.h"

#include "Common/WiFiJoinCode.h"

QString WiFiQrCode::Escape(const QString& text) {
    return QString::fromStdString(WiFiJoinCode::Escape(text.toStdString()));
}

QString WiFiQrCode::Payload(const QString& ssid, const QString& password, bool wpa) {
    return QString::fromStdString(
        WiFiJoinCode::Payload(ssid.toStdString(), password.toStdString(), wpa));
}

QString WiFiQrCode::TypedPayload(const QString& ssid, const QString& password,
                                 const QString& type) {
    return QString::fromStdString(
        WiFiJoinCode::TypedPayload(ssid.toStdString(), password.toStdString(), type.toStdString()));
}

QImage WiFiQrCode::Encode(const QString& text) {
    const WiFiJoinCode::Symbol symbol = WiFiJoinCode::Encode(text.toStdString());
    if (symbol.width <= 0)
        return {};
    constexpr int kQuiet = 4;
    const int width = symbol.width;
    QImage image(width + 2 * kQuiet, width + 2 * kQuiet, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if (symbol.Dark(x, y))
                image.setPixel(x + kQuiet, y + kQuiet, 1);
    return image;
}

QImage WiFiQrCode::Render(const QString& text, int side) {
    const QImage modules = Encode(text);
    if (modules.isNull())
        return {};
    const int scale = qMax(1, side / modules.width());
    return modules.scaled(modules.width() * scale, modules.height() * scale, Qt::KeepAspectRatio,
                          Qt::FastTransformation);
}
