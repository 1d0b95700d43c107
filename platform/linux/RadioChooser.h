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
// - One card for both: when no other radio can, and the card of the upstream's
//   Wi-Fi station has an interface combination with an access point beside a
//   station, the access point runs on a new interface of that card (the
//   station keeps the upstream). A second radio is preferred (one channel for
//   both halves the air time); the mode can be asked for or ruled out.
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
    // The access point's interface; for one card, the one the start makes.
    std::string name;
    // One card for both: the station that carries the upstream, whose card
    // gets the access point interface `name` beside it.
    bool oneCard = false;
    std::string station;
    std::uint32_t sharedChannels = 0;  // channels the card allows for both; 1: the station's
    std::string phyName;
    std::uint32_t wiphy = 0;
    bool softBlocked = false;  // the start has to lift the block
    WirelessInterface radio;   // what nl80211 reports for it (one card: for the station)
    // What was chosen and why, or (form None) why nothing could be.
    std::string why;
    // For no choice: what would work.
    std::string fix;
};

// One card for both: only where no other radio can (Auto), even when another
// could (Always), or never.
enum class OneCardMode { Auto, Always, Never };

class RadioChooser {
public:
    // `named` empty: choose among the radios.
    static RadioChoice Choose(const std::string& named, const RadioFacts& facts,
                              OneCardMode oneCard = OneCardMode::Auto);
    // "auto", "on", "off"; false for anything else.
    static bool ParseOneCard(const std::string& text, OneCardMode* mode);
    // The facts of this PC: nl80211, rfkill under `sysfs`, the main routing
    // table's default routes.
    // `genl`: the socket nl80211 is asked over; none: one of its own.
    static RadioFacts Gather(const std::string& named, const std::string& sysfs = "/sys",
                             const std::string& rfkillDevice = "/dev/rfkill",
                             Netlink* genl = nullptr);
};

}  // namespace plat
