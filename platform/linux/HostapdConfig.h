// hostapd's configuration file for one access point, written from the hosted
// network's settings: a radio (driver nl80211, WPA2-PSK with CCMP) or a wired
// port (driver wired, IEEE 802.1X with hostapd's own EAP server).
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

    std::string interface;
    Driver driver = Driver::Nl80211;
    std::string controlDir;  // hostapd's control sockets go here

    // Radio only.
    std::vector<std::uint8_t> ssid;  // 1 to 32 bytes as sent on the air
    std::string passphrase;          // 8 to 63 printable characters, or empty with `psk`
    std::vector<std::uint8_t> psk;   // 32 bytes
    int channel = 6;                 // 1-14 on 2.4 GHz, 32-177 on 5 GHz
    std::string countryCode;         // ISO 3166 alpha-2, or empty
    unsigned maxStations = 31;       // 1 to 2007

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
};

}  // namespace plat
