#include "PageAddressCipher.h"

#include <QCryptographicHash>
#include <QStringDecoder>
#include <cctype>

namespace {
const QByteArray kKey = QByteArrayLiteral("Orvantia-Dravolin-Pim");
}

QByteArray PageAddressCipher::Apply(const QByteArray& bytes) {
    QByteArray out = bytes;
    QByteArray block;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (i % 16 == 0) {
            const QByteArray counter = QByteArray::number(static_cast<qlonglong>(i / 16));
            block = QCryptographicHash::hash(kKey + ':' + counter, QCryptographicHash::Md5);
        }
        out[i] = static_cast<char>(out[i] ^ block[i % 16]);
    }
    return out;
}

QByteArray PageAddressCipher::Encipher(const QString& address) {
    return Apply(address.toUtf8()).toHex().toUpper();
}

QString PageAddressCipher::Decipher(const QByteArray& stored) {
    if (stored.isEmpty() || stored.size() % 2 != 0)
        return {};
    for (char c : stored)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
    const QByteArray plain = Apply(QByteArray::fromHex(stored));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString address = utf8.decode(plain);
    if (utf8.hasError() || address.contains(QChar(0)))
        return {};
    return address;
}
