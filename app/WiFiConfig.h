// The window's settings record: 2320 bytes, kept in memory for the life of the
// window and stored byte for byte in "wifi.cfg" beside the program. Numbers are
// little-endian; texts are NUL-terminated within their fields (the network name
// in GB18030, the password in ASCII). The four page addresses are stored
// enciphered and never written by the program.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

class WiFiConfig {
public:
    static constexpr int kSize = 2320;
    static constexpr std::uint32_t kMagic = 0xFFFFFFFFu;

    // Field offsets and sizes.
    enum Offset : int {
        kOffMagic = 0,
        kOffTraffic = 8,
        kOffRunAtLogon = 16,
        kOffForbidSleep = 20,
        kOffPrice = 24,
        kOffCloseAction = 32,
        kOffAskOnClose = 36,
        kOffName = 40,
        kOffPassword = 168,
        kOffAboutUrl = 232,
        kOffFeedbackUrl = 744,
        kOffPhoneId = 1256,
        kOffDownloadUrl = 1288,
        kOffServiceSite = 1800,
        kOffAuthHint = 2312,
        // One byte of the record's tail: 0 (what older files hold) keeps the
        // message about a device that joins for the first time on.
        kOffNoNewDeviceAlerts = 2313,
    };
    enum Capacity : int {
        kNameSize = 128,
        kPasswordSize = 64,
        kUrlSize = 512,
        kPhoneIdSize = 32,
    };

    WiFiConfig();

    // Every byte zero.
    void Clear();
    // Takes `bytes` when it is a valid record (exactly kSize bytes, magic set);
    // otherwise leaves the record as it is and answers false.
    bool FromBytes(const QByteArray& bytes);
    QByteArray ToBytes() const;
    // Reads `path` (false, record unchanged, when missing, short or foreign)
    // and replaces it whole in one step (false, the file unchanged, when the
    // write fails).
    bool Load(const QString& path);
    bool Save(const QString& path) const;

    std::uint32_t Magic() const { return U32(kOffMagic); }
    void SetMagic() { SetU32(kOffMagic, kMagic); }
    std::int64_t Traffic() const;
    void SetTraffic(std::int64_t kb);
    bool RunAtLogon() const { return U32(kOffRunAtLogon) != 0; }
    void SetRunAtLogon(bool on) { SetU32(kOffRunAtLogon, on ? 1 : 0); }
    bool ForbidSleep() const { return U32(kOffForbidSleep) != 0; }
    void SetForbidSleep(bool on) { SetU32(kOffForbidSleep, on ? 1 : 0); }
    double Price() const;
    void SetPrice(double perMb);
    // 1 hides to the tray, 0 exits.
    int CloseAction() const { return static_cast<int>(U32(kOffCloseAction)); }
    void SetCloseAction(int action) { SetU32(kOffCloseAction, static_cast<std::uint32_t>(action)); }
    bool AskOnClose() const { return U32(kOffAskOnClose) != 0; }
    void SetAskOnClose(bool on) { SetU32(kOffAskOnClose, on ? 1 : 0); }

    // The network name, decoded from GB18030.
    QString Name() const;
    // Stores the name as GB18030; false (field unchanged) when it does not fit.
    bool SetName(const QString& name);
    QString Password() const;
    bool SetPassword(const QString& password);
    // The authorised phone's identity (its MAC text).
    QByteArray PhoneId() const { return Text(kOffPhoneId, kPhoneIdSize); }
    bool SetPhoneId(const QByteArray& id) { return SetText(kOffPhoneId, kPhoneIdSize, id); }
    // The stored (enciphered) page addresses.
    QByteArray AboutUrl() const { return Text(kOffAboutUrl, kUrlSize); }
    QByteArray FeedbackUrl() const { return Text(kOffFeedbackUrl, kUrlSize); }
    QByteArray DownloadUrl() const { return Text(kOffDownloadUrl, kUrlSize); }
    QByteArray ServiceSite() const { return Text(kOffServiceSite, kUrlSize); }
    bool SetDownloadUrl(const QByteArray& stored) {
        return SetText(kOffDownloadUrl, kUrlSize, stored);
    }
    bool SetServiceSite(const QByteArray& stored) {
        return SetText(kOffServiceSite, kUrlSize, stored);
    }
    bool ShowAuthHint() const { return m_bytes[kOffAuthHint] != 0; }
    void SetShowAuthHint(bool on) { m_bytes[kOffAuthHint] = on ? 1 : 0; }
    bool NewDeviceAlerts() const { return m_bytes[kOffNoNewDeviceAlerts] == 0; }
    void SetNewDeviceAlerts(bool on) { m_bytes[kOffNoNewDeviceAlerts] = on ? 0 : 1; }

    // Bytes of `text` in GB18030, the encoding of the name field; none for
    // text that is not valid Unicode (a lone surrogate).
    static std::optional<QByteArray> ToGb18030(const QString& text);
    static QString FromGb18030(const QByteArray& bytes);

private:
    std::uint32_t U32(int offset) const;
    void SetU32(int offset, std::uint32_t value);
    QByteArray Text(int offset, int capacity) const;
    bool SetText(int offset, int capacity, const QByteArray& text);

    std::array<char, kSize> m_bytes{};
};
