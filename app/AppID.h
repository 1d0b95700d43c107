// What a phone says about itself in its hello: a kind, a value and two texts
// of 32 bytes, guarded by the lower-case hexadecimal MD5 of the two texts.
// The program uses nothing of it beyond the check.
#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

struct AppID {
    int kind = 0;
    std::uint32_t value = 0;
    QString ip;  // the sender's address, dotted
    QString text2;
    QString text1;

    // The record of a 101-byte hello body from `ip` (network byte order).
    // False when its check does not match the texts (the comparison ignores
    // case).
    static bool FromHello(const char* body, std::uint32_t ip, AppID* out);
};

Q_DECLARE_METATYPE(AppID)
