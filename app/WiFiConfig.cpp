#include "WiFiConfig.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Gb18030.h"

WiFiConfig::WiFiConfig() = default;

void WiFiConfig::Clear() {
    m_bytes.fill(0);
}

bool WiFiConfig::FromBytes(const QByteArray& bytes) {
    if (bytes.size() != kSize)
        return false;
    if (qFromLittleEndian<std::uint32_t>(bytes.constData() + kOffMagic) != kMagic)
        return false;
    std::memcpy(m_bytes.data(), bytes.constData(), kSize);
    return true;
}

QByteArray WiFiConfig::ToBytes() const {
    return QByteArray(m_bytes.data(), kSize);
}

bool WiFiConfig::Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // One byte more than a record: a longer file is foreign, not a record.
    return FromBytes(file.read(kSize + 1));
}

bool WiFiConfig::Save(const QString& path) const {
    // Replaced whole: a crash or power loss while saving leaves the last
    // record (name, pass phrase, phone, traffic), never a short file.
    const QByteArray native = QFile::encodeName(path);
    return plat::Platform::Current().Files().Replace(native.toStdString(), m_bytes.data(), kSize) ==
           0;
}

std::uint32_t WiFiConfig::U32(int offset) const {
    return qFromLittleEndian<std::uint32_t>(m_bytes.data() + offset);
}

void WiFiConfig::SetU32(int offset, std::uint32_t value) {
    qToLittleEndian(value, m_bytes.data() + offset);
}

std::int64_t WiFiConfig::Traffic() const {
    return qFromLittleEndian<std::int64_t>(m_bytes.data() + kOffTraffic);
}

void WiFiConfig::SetTraffic(std::int64_t kb) {
    qToLittleEndian(kb, m_bytes.data() + kOffTraffic);
}

double WiFiConfig::Price() const {
    const std::uint64_t bits = qFromLittleEndian<std::uint64_t>(m_bytes.data() + kOffPrice);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void WiFiConfig::SetPrice(double perMb) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &perMb, sizeof bits);
    qToLittleEndian(bits, m_bytes.data() + kOffPrice);
}

QByteArray WiFiConfig::Text(int offset, int capacity) const {
    const char* begin = m_bytes.data() + offset;
    const void* nul = std::memchr(begin, 0, static_cast<std::size_t>(capacity));
    const int length =
        nul != nullptr ? static_cast<int>(static_cast<const char*>(nul) - begin) : capacity;
    return QByteArray(begin, length);
}

bool WiFiConfig::SetText(int offset, int capacity, const QByteArray& text) {
    // The field keeps its terminating NUL; an embedded NUL would cut the text.
    if (text.size() >= capacity || text.contains('\0'))
        return false;
    char* begin = m_bytes.data() + offset;
    std::memset(begin, 0, static_cast<std::size_t>(capacity));
    std::memcpy(begin, text.constData(), static_cast<std::size_t>(text.size()));
    return true;
}

QString WiFiConfig::Name() const {
    return FromGb18030(Text(kOffName, kNameSize));
}

bool WiFiConfig::SetName(const QString& name) {
    const std::optional<QByteArray> bytes = ToGb18030(name);
    return bytes && SetText(kOffName, kNameSize, *bytes);
}

QString WiFiConfig::Password() const {
    return QString::fromLatin1(Text(kOffPassword, kPasswordSize));
}

bool WiFiConfig::SetPassword(const QString& password) {
    for (QChar c : password)
        if (c.unicode() > 0x7F)
            return false;
    return SetText(kOffPassword, kPasswordSize, password.toLatin1());
}

std::optional<QByteArray> WiFiConfig::ToGb18030(const QString& text) {
    // toStdString() would turn a lone surrogate into U+FFFD silently.
    std::string bytes;
    if (!text.isValidUtf16() || !plat::Gb18030::FromUtf8(text.toStdString(), &bytes))
        return std::nullopt;
    return QByteArray::fromStdString(bytes);
}

QString WiFiConfig::FromGb18030(const QByteArray& bytes) {
    return QString::fromStdString(plat::Gb18030::ToUtf8(bytes.toStdString()));
}
