// hostapd's configuration file for one access point, written from the hosted
// network's settings: a radio (driver nl80211; WPA2-Personal with CCMP,
// WPA3-Personal with SAE and protected management frames required, or the
// transition mode in which WPA2 devices join beside WPA3 ones, frames
// protected where the device can) or a wired port (driver wired, IEEE 802.1X
// with hostapd's own EAP server).
//
// Every value is checked before it is written, so that nothing a user typed
// can add a line of its own to the file: the SSID is written in hexadecimal,
// the pass phrase must be 8 to 63 printable ASCII characters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

struct HostapdSettings {
    enum class Driver { Nl80211, Wired };
    enum class Security { Wpa2, Wpa3, Wpa2Wpa3 };

    std::string interface;
    Driver driver = Driver::Nl80211;
    std::string controlDir;  // hostapd's control sockets go here

    // Radio only.
    std::vector<std::uint8_t> ssid;      // 1 to 32 bytes as sent on the air
    std::string passphrase;              // 8 to 63 printable characters, or empty with `psk`
    std::vector<std::uint8_t> psk;       // 32 bytes
    int channel = 6;                     // 1-14 on 2.4 GHz, 32-177 on 5 GHz
    std::string countryCode;             // ISO 3166 alpha-2, or empty
    unsigned maxStations = 31;           // 1 to 2007
    Security security = Security::Wpa2;  // WPA3 needs the pass phrase (SAE has no raw key)
    bool ht = true;                      // 802.11n, as the radio's band reports it
    bool vht = false;                    // 802.11ac (5 GHz only)

    // Wired only: the EAP users hostapd's EAP server accepts.
    std::string eapUserFile;
};

class HostapdConfig {
public:
    // The configuration text; false (with the reason) when a value cannot be
    // written as it is.
    static bool Write(const HostapdSettings& settings, std::string* text, std::string* error);

    // Interface names that can stand in a configuration line or a firewall
    // rule as they are: 1 to 15 letters, digits and "-_.@+" (the kernel would
    // take more, such as quotes, which no tool here could pass on safely).
    static bool ValidInterfaceName(const std::string& name);

    // "wpa2", "wpa3", "wpa2-wpa3"; false for anything else.
    static bool ParseSecurity(const std::string& text, HostapdSettings::Security* out);
    static std::string SecurityName(HostapdSettings::Security security);
};

}  // namespace plat
