// The stored form of the page addresses in the settings record (about-us,
// feedback, phone-app download, customer-service site). The program never
// writes them; a settings file brings them enciphered, and they are
// deciphered just before use. The stored form is the upper-case hexadecimal of
// the address XOR-ed with a keystream of MD5 blocks of the program's key and a
// block counter.
#pragma once

#include <QByteArray>
#include <QString>

class PageAddressCipher {
public:
    static QByteArray Encipher(const QString& address);
    // Empty when `stored` is not a stored address (odd length, not hexadecimal,
    // or not UTF-8 once deciphered).
    static QString Decipher(const QByteArray& stored);

private:
    static QByteArray Apply(const QByteArray& bytes);
};
