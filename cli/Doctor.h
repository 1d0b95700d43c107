// lumari-hotspot --doctor: checks what a start needs without starting, and
// says for each finding what to do. The checks are those Linux hotspot users
// trip over most: an interface that can run an access point (chosen as the
// start chooses it) and not held by iwd or a wpa_supplicant of its own, its
// radio not blocked, hostapd present, nftables usable, an upstream with a default
// route, the hotspot subnet free, the DHCP port free, a regulatory domain set,
// NetworkManager managing the interface, a firewall that would drop DHCP or
// DNS or the clients' forwarded traffic. Nothing on the system is changed.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/Nl80211.h"
#include "platform/linux/RadioChooser.h"

struct DoctorFinding {
    enum class Level { Ok, Warning, Failure };
    Level level = Level::Ok;
    std::string what;
    std::string fix;  // empty for a finding that needs nothing
};

class Doctor {
public:
    struct Inputs {
        std::string apInterface;               // empty: the start's own choice
        std::string address = "192.168.23.1";  // the hotspot's own address
        std::string sysfs = "/sys";
        std::string proc = "/proc";
        std::string busAddress;        // NetworkManager's bus; empty: the system bus
        std::string oneCard = "auto";  // one card for both: "auto", "on", "off"
    };

    static std::vector<DoctorFinding> Check(const Inputs& inputs);
    // One finding per line ("[ ok ]", "[warn]", "[FAIL]"), each fix below it.
    static std::string Format(const std::vector<DoctorFinding>& findings);
    static bool AnyFailure(const std::vector<DoctorFinding>& findings);
    // What a radio offers an access point: its bands with the channels it may
    // use under the regulatory domain, and WPA3.
    static std::vector<DoctorFinding> RadioFindings(const plat::WirelessInterface& radio);
    // One card for both: the channel the access point will share with the
    // station under the regulatory domain `domain`, or why it cannot.
    static DoctorFinding OneCardFinding(const plat::RadioChoice& choice, const std::string& domain);
};
