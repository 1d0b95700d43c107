// The command line of lumari-hotspot:
//
//   lumari-hotspot [--ap-interface IF] [--ssid NAME] [--key PASS]
//                  [--address A.B.C.D] [--dns-relay | --no-dns-relay]
//                  [--state-dir DIR] [--allow-file F] [--deny-file F]
//                  [--security wpa2|wpa3|wpa2-wpa3] [--band 2.4|5|auto]
//                  [--channel N|auto] [--country CC]
//                  [--one-card[=auto|on|off] | --no-one-card]
//   lumari-hotspot --doctor [--ap-interface IF] [--one-card | --no-one-card]
//                           [--state-dir DIR]
//   lumari-hotspot --qr [--ssid NAME] [--key PASS] [--state-dir DIR]
//   lumari-hotspot --help
//
// Every value is checked here, before anything on the system is changed.
// "--name value" and "--name=value" are both read.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct HotspotOptions {
    enum class Mode { Run, Doctor, Qr, Help };
    Mode mode = Mode::Run;
    std::optional<std::string> apInterface;
    std::optional<std::string> ssid;     // UTF-8, 1 to 32 bytes
    std::optional<std::string> key;      // 8 to 63 printable ASCII characters
    std::optional<std::string> address;  // the hotspot's own address
    std::optional<bool> dnsRelay;
    bool noIpv6 = false;   // no IPv6 for the clients in this run
    std::string stateDir;  // absolute; the default when not given
    // The MACs of --allow-file and --deny-file (engine form), added to the
    // stored lists.
    std::vector<std::wstring> allow;
    std::vector<std::wstring> deny;
    std::optional<std::string> security;  // "wpa2", "wpa3", "wpa2-wpa3"
    std::optional<std::string> band;      // "2.4", "5", "auto"
    std::optional<int> channel;           // 0: auto
    std::optional<std::string> country;   // two capital letters
    std::optional<std::string> oneCard;   // "auto", "on", "off"

    // False with the reason for the first argument that is wrong.
    static bool Parse(const std::vector<std::string>& arguments, HotspotOptions* out,
                      std::string* error);
    static std::string Usage();
    // Where settings, client database and log live when --state-dir is not
    // given: /var/lib/lumari-hotspot for root, else the user's state folder.
    static std::string DefaultStateDir();

    // The checks of the single values.
    static bool ValidSsid(const std::string& ssid, std::string* why);
    static bool ValidKey(const std::string& key, std::string* why);
    static bool ValidAddress(const std::string& address, std::string* why);
    // "auto" (0) or a channel number of 2.4 or 5 GHz.
    static bool ParseChannel(const std::string& text, int* channel);
    static bool ValidCountry(const std::string& text);
};
