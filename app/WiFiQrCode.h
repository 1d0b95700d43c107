// The QR code that lets a phone join the hotspot in one scan, as an image for
// the window: the text and symbol of WiFiJoinCode drawn with Qt.
#pragma once

#include <QImage>
#include <QString>

class WiFiQrCode {
public:
    // "WIFI:T:<WPA|WEP>;S:<name>;P:<password>;;" with '\', ';', ',', ':' and
    // '"' escaped by a backslash. `wpa` false gives WEP (the ten-digit key of
    // an ad-hoc network).
    static QString Payload(const QString& ssid, const QString& password, bool wpa = true);
    // The same with the type given: "WPA", "SAE" (WPA3 only) or "WEP".
    static QString TypedPayload(const QString& ssid, const QString& password, const QString& type);
    // Backslash-escapes the characters the form reserves.
    static QString Escape(const QString& text);
    // The symbol of `text` (UTF-8, error correction M, smallest version), one
    // pixel per module with a four-module quiet zone; null when it cannot be
    // encoded (too long).
    static QImage Encode(const QString& text);
    // As Encode, scaled without smoothing to about `side` pixels.
    static QImage Render(const QString& text, int side);
};
