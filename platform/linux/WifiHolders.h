// Programs that hold a Wi-Fi interface beside NetworkManager, so that hostapd
// cannot take it even when NetworkManager lets go: iwd (which takes every
// wireless interface unless told otherwise on its command line) and a
// wpa_supplicant started for the interface itself ("-i IF"; the one
// NetworkManager drives is started without an interface and is told over
// D-Bus). Found from the processes' command lines under /proc.
#pragma once

#include <string>
#include <vector>

namespace plat {

struct WifiHolder {
    std::string program;  // "iwd" or "wpa_supplicant"
    int pid = 0;
    std::string what;  // in plain words
    std::string fix;
};

class WifiHolders {
public:
    // The holders of `iface` among the processes under `procRoot`.
    static std::vector<WifiHolder> Find(const std::string& iface,
                                        const std::string& procRoot = "/proc");
    // One card for both: what holds the card (`phy`) whose station `station`
    // keeps the upstream, as far as the access point interface `apIface` the
    // hotspot makes beside it is concerned. iwd leaves an interface another
    // program made alone, unless its own interface list (-i) names it, which
    // is a failure; an iwd that manages the station and its card starts the
    // card afresh (deleting every interface it did not make) whenever iwd
    // itself restarts or the card comes again, which ends the access point:
    // said as a warning (`warning` true).
    struct CardHolder {
        WifiHolder holder;
        bool warning = false;
    };
    static std::vector<CardHolder> FindOnCard(const std::string& station, const std::string& phy,
                                              const std::string& apIface,
                                              const std::string& procRoot = "/proc");
    // Whether the command line `arguments` (program name first) of `program`
    // holds `iface`.
    static bool Holds(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& iface);
};

}  // namespace plat
