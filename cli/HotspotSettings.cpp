#include "HotspotSettings.h"

#include <random>

#include "Common/WiFiJoinCode.h"
#include "platform/linux/HostapdConfig.h"
#include "platform/linux/RadioChannels.h"
#include "platform/linux/RadioChooser.h"
#include "platform/vendor/Osmira.h"

namespace {

std::string Read(const std::string& file, const char* key) {
    char buffer[256] = {};
    plat::DWORD size = sizeof buffer;
    if (plat::GetCipherStrVal(file.c_str(), key, HotspotSettings::kSection, buffer, &size) != 0)
        return {};
    buffer[sizeof buffer - 1] = 0;
    return buffer;
}

std::string Random(std::size_t length) {
    // Letters and digits without the ones people mistake for each other.
    static const char kAlphabet[] = "abcdefghijkmnpqrstuvwxyzACDEFGHJKLMNPQRTUVWXY346789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string out;
    for (std::size_t i = 0; i < length; ++i)
        out += kAlphabet[pick(device)];
    return out;
}

}  // namespace

HotspotSettings HotspotSettings::Load(const std::string& file) {
    HotspotSettings s;
    std::string why;
    const std::string ssid = Read(file, "ssid");
    if (HotspotOptions::ValidSsid(ssid, &why))
        s.ssid = ssid;
    const std::string key = Read(file, "key");
    if (HotspotOptions::ValidKey(key, &why))
        s.key = key;
    const std::string iface = Read(file, "apInterface");
    if (plat::HostapdConfig::ValidInterfaceName(iface))
        s.apInterface = iface;
    s.dnsRelay = Read(file, "dnsRelay") == "true";
    plat::HostapdSettings::Security security;
    const std::string storedSecurity = Read(file, "security");
    if (plat::HostapdConfig::ParseSecurity(storedSecurity, &security))
        s.security = storedSecurity;
    const std::string band = Read(file, "band");
    if (plat::RadioChannels::ValidBand(band))
        s.band = band;
    int channel = 0;
    if (HotspotOptions::ParseChannel(Read(file, "channel"), &channel))
        s.channel = channel;
    const std::string country = Read(file, "country");
    if (HotspotOptions::ValidCountry(country))
        s.country = country;
    plat::OneCardMode mode;
    const std::string oneCard = Read(file, "oneCard");
    if (plat::RadioChooser::ParseOneCard(oneCard, &mode))
        s.oneCard = oneCard;
    return s;
}

bool HotspotSettings::Save(const std::string& file) const {
    const char* section = kSection;
    return plat::SetCipherStrVal(file.c_str(), "ssid", section, ssid.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "key", section, key.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "apInterface", section, apInterface.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "dnsRelay", section, dnsRelay ? "true" : "false") ==
               0 &&
           plat::SetCipherStrVal(file.c_str(), "security", section, security.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "band", section, band.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "channel", section,
                                 channel == 0 ? "auto" : std::to_string(channel).c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "country", section, country.c_str()) == 0 &&
           plat::SetCipherStrVal(file.c_str(), "oneCard", section, oneCard.c_str()) == 0;
}

void HotspotSettings::Apply(const HotspotOptions& options) {
    if (options.ssid)
        ssid = *options.ssid;
    if (options.key)
        key = *options.key;
    if (options.apInterface)
        apInterface = *options.apInterface;
    if (options.dnsRelay)
        dnsRelay = *options.dnsRelay;
    if (options.security)
        security = *options.security;
    if (options.band)
        band = *options.band;
    if (options.channel)
        channel = *options.channel;
    if (options.country)
        country = *options.country;
    if (options.oneCard)
        oneCard = *options.oneCard;
}

bool HotspotSettings::MakeMissing() {
    bool made = false;
    if (ssid.empty()) {
        ssid = "Lumari-" + Random(4);
        made = true;
    }
    if (key.empty()) {
        key = Random(12);
        made = true;
    }
    return made;
}

std::string HotspotSettings::JoinCodeText() const {
    // Phones read T:SAE as WPA3 only; a network that lets WPA2 devices in says WPA.
    return WiFiJoinCode::HalfBlocks(WiFiJoinCode::Encode(
        WiFiJoinCode::TypedPayload(ssid, key, security == "wpa3" ? "SAE" : "WPA")));
}
