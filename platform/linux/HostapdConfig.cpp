#include "HostapdConfig.h"

#include <cstdio>

namespace plat {

namespace {

constexpr std::size_t kSsidMax = 32;
constexpr unsigned kMaxStationsLimit = 2007;  // hostapd's own upper bound

bool Printable(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// A path written on a line of its own: absolute, printable, no '#' at the start.
bool ValidPath(const std::string& path) {
    return !path.empty() && path[0] == '/' && Printable(path);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    char two[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

bool Fail(std::string* error, const std::string& why) {
    if (error != nullptr)
        *error = why;
    return false;
}

}  // namespace

bool HostapdConfig::ValidInterfaceName(const std::string& name) {
    if (name.empty() || name.size() > 15 || name == "." || name == "..")
        return false;
    for (unsigned char c : name) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '_' && c != '.' && c != '@' && c != '+')
            return false;
    }
    return true;
}

bool HostapdConfig::ParseSecurity(const std::string& text, HostapdSettings::Security* out) {
    if (text == "wpa2")
        *out = HostapdSettings::Security::Wpa2;
    else if (text == "wpa3")
        *out = HostapdSettings::Security::Wpa3;
    else if (text == "wpa2-wpa3")
        *out = HostapdSettings::Security::Wpa2Wpa3;
    else
        return false;
    return true;
}

std::string HostapdConfig::SecurityName(HostapdSettings::Security security) {
    switch (security) {
        case HostapdSettings::Security::Wpa3:
            return "wpa3";
        case HostapdSettings::Security::Wpa2Wpa3:
            return "wpa2-wpa3";
        case HostapdSettings::Security::Wpa2:
            break;
    }
    return "wpa2";
}

bool HostapdConfig::Write(const HostapdSettings& s, std::string* text, std::string* error) {
    if (!ValidInterfaceName(s.interface))
        return Fail(error, "invalid interface name");
    if (!ValidPath(s.controlDir))
        return Fail(error, "invalid control interface folder");

    std::string out = "# hostapd configuration of the hotspot; rewritten at every start\n";
    out += "interface=" + s.interface + "\n";
    out += "ctrl_interface=" + s.controlDir + "\n";
    out += "ctrl_interface_group=0\n";

    if (s.driver == HostapdSettings::Driver::Wired) {
        if (!ValidPath(s.eapUserFile))
            return Fail(error, "invalid EAP user file");
        out += "driver=wired\n";
        out += "ieee8021x=1\n";
        out += "eapol_version=2\n";
        out += "use_pae_group_addr=1\n";
        out += "eap_server=1\n";
        out += "eap_user_file=" + s.eapUserFile + "\n";
        *text = out;
        return true;
    }

    if (s.ssid.empty() || s.ssid.size() > kSsidMax)
        return Fail(error, "the network name must have 1 to 32 bytes");
    const bool fiveGhz = s.channel >= 32 && s.channel <= 177;
    if (!fiveGhz && (s.channel < 1 || s.channel > 14))
        return Fail(error, "invalid channel " + std::to_string(s.channel));
    if (s.maxStations < 1 || s.maxStations > kMaxStationsLimit)
        return Fail(error, "invalid number of stations");
    if (!s.countryCode.empty()) {
        if (s.countryCode.size() != 2 || s.countryCode[0] < 'A' || s.countryCode[0] > 'Z' ||
            s.countryCode[1] < 'A' || s.countryCode[1] > 'Z')
            return Fail(error, "invalid country code");
    }
    if (s.psk.empty()) {
        if (s.passphrase.size() < 8 || s.passphrase.size() > 63 || !Printable(s.passphrase))
            return Fail(error, "the pass phrase must have 8 to 63 printable ASCII characters");
    } else if (s.psk.size() != 32 || !s.passphrase.empty()) {
        return Fail(error, "invalid pre-shared key");
    } else if (s.security != HostapdSettings::Security::Wpa2) {
        return Fail(error, "WPA3 (SAE) needs a pass phrase, not a raw key");
    }
    if (s.vht && !fiveGhz)
        return Fail(error, "802.11ac runs on 5 GHz only");

    out += "driver=nl80211\n";
    out += "ssid2=" + Hex(s.ssid) + "\n";
    if (!s.countryCode.empty()) {
        out += "country_code=" + s.countryCode + "\n";
        out += "ieee80211d=1\n";
    }
    out += std::string("hw_mode=") + (fiveGhz ? "a" : "g") + "\n";
    out += "channel=" + std::to_string(s.channel) + "\n";
    if (s.ht)
        out += "ieee80211n=1\n";
    if (s.vht)
        out += "ieee80211ac=1\n";
    out += "wmm_enabled=1\n";
    out += "max_num_sta=" + std::to_string(s.maxStations) + "\n";
    out += "auth_algs=1\n";
    out += "ignore_broadcast_ssid=0\n";
    out += "wpa=2\n";
    // SAE takes its password from wpa_passphrase: sae_password would read '|'
    // in a pass phrase as the start of its own parameters.
    switch (s.security) {
        case HostapdSettings::Security::Wpa2:
            out += "wpa_key_mgmt=WPA-PSK\n";
            break;
        case HostapdSettings::Security::Wpa3:
            out += "wpa_key_mgmt=SAE\n";
            out += "ieee80211w=2\n";
            out += "sae_require_mfp=1\n";
            break;
        case HostapdSettings::Security::Wpa2Wpa3:
            out += "wpa_key_mgmt=WPA-PSK SAE\n";
            out += "ieee80211w=1\n";
            out += "sae_require_mfp=1\n";
            break;
    }
    out += "rsn_pairwise=CCMP\n";
    if (s.psk.empty())
        out += "wpa_passphrase=" + s.passphrase + "\n";
    else
        out += "wpa_psk=" + Hex(s.psk) + "\n";
    *text = out;
    return true;
}

}  // namespace plat
