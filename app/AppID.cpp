#include "AppID.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cstring>

namespace {

// The text of a field: its bytes up to the first NUL.
QByteArray Field(const char* p, std::size_t size) {
    const void* nul = std::memchr(p, 0, size);
    return QByteArray(
        p, nul != nullptr ? static_cast<const char*>(nul) - p : static_cast<qsizetype>(size));
}

std::uint32_t Le32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

}  // namespace

bool AppID::FromHello(const char* body, std::uint32_t ip, AppID* out) {
    const QByteArray text1 = Field(body + 5, 32);
    const QByteArray text2 = Field(body + 37, 32);
    const QByteArray check = Field(body + 69, 32).toLower();
    const QByteArray md5 = QCryptographicHash::hash(text1 + text2, QCryptographicHash::Md5).toHex();
    if (check != md5)
        return false;
    out->kind = static_cast<signed char>(body[0]);
    out->value = Le32(body + 1);
    const auto* a = reinterpret_cast<const unsigned char*>(&ip);
    out->ip = QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
    out->text1 = QString::fromLatin1(text1);
    out->text2 = QString::fromLatin1(text2);
    return true;
}
