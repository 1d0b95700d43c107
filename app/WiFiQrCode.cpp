#include "WiFiQrCode.h"

#include <qrencode.h>

#include <memory>

QString WiFiQrCode::Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\\' || c == u';' || c == u',' || c == u':' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out;
}

QString WiFiQrCode::Payload(const QString& ssid, const QString& password, bool wpa) {
    return QStringLiteral("WIFI:T:") + (wpa ? "WPA" : "WEP") + ";S:" + Escape(ssid) +
           ";P:" + Escape(password) + ";;";
}

QImage WiFiQrCode::Encode(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(utf8.size(), reinterpret_cast<const unsigned char*>(utf8.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!code)
        return {};
    constexpr int kQuiet = 4;
    const int width = code->width;
    QImage image(width + 2 * kQuiet, width + 2 * kQuiet, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < width; ++y)
        for (int x = 0; x < width; ++x)
            if ((code->data[y * width + x] & 1) != 0)
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
