// Which interface carries the access point. One rule for the start, the
// headless program and its doctor:
//
// - An interface the user names is taken when it can carry an access point
//   (a radio whose driver supports AP mode, or a wired port), unless it is the
//   one that carries the upstream connection (the default route).
// - Otherwise every Wi-Fi interface nl80211 lists, monitor interfaces left
//   out, that can run an access point and is not on the radio of the
//   upstream: taking the upstream's own card would cut the PC off the
//   Internet. A radio that is on comes before one blocked by software (the
//   start lifts that block); one switched off by its hardware switch is never
//   chosen.
//
// The choice says in plain words what was chosen and why, or why nothing was.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "Nl80211.h"

namespace plat {

struct RadioFacts {
    struct Radio {
        WirelessInterface interface;
        bool softBlocked = false;
        bool hardBlocked = false;
    };
    std::vector<Radio> radios;        // as nl80211 lists them
    std::set<std::string> upstreams;  // interfaces that carry a default route
    // About a named interface nl80211 does not list.
    bool namedExists = false;
    bool namedIsWireless = false;  // sysfs calls it wireless, nl80211 does not answer
};

struct RadioChoice {
    enum class Form { None, Radio, Wired };
    Form form = Form::None;
    std::string name;
    std::string phyName;
    std::uint32_t wiphy = 0;
    bool softBlocked = false;  // the start has to lift the block
    WirelessInterface radio;   // what nl80211 reports for it (form Radio)
    // What was chosen and why, or (form None) why nothing could be.
    std::string why;
    // For no choice: what would work.
    std::string fix;
};

class RadioChooser {
public:
    // `named` empty: choose among the radios.
    static RadioChoice Choose(const std::string& named, const RadioFacts& facts);
    // The facts of this PC: nl80211, rfkill under `sysfs`, the main routing
    // table's default routes.
    static RadioFacts Gather(const std::string& named, const std::string& sysfs = "/sys",
                             const std::string& rfkillDevice = "/dev/rfkill");
};

}  // namespace plat
