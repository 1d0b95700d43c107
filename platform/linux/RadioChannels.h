// The access point's channel, from what the radio reports for its bands under
// the regulatory domain in force. A channel the domain disables, marks no-IR
// (no transmission of one's own, so no beacons) or radar (detection needed
// first) is never taken: hostapd refuses the first two or stays silent, and
// waits a minute or more on the last. In auto the station's own channel comes
// first (one card for both runs on one channel), then the usual ones (6, 1,
// 11; 36 to 48, 149 to 165), then any allowed. When the card can run the
// access point beside its station on one channel only, the station's channel
// is the only one: a band or channel asked for elsewhere is overridden with a
// note saying why, and a station channel closed to an access point (radar,
// no-IR) is refused.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "Nl80211.h"

namespace plat {

struct ChannelRequest {
    std::string band = "auto";        // "2.4", "5" or "auto"
    int channel = 0;                  // 0: auto
    int stationChannel = 0;           // the channel the card's station uses; 0: none
    bool stationChannelOnly = false;  // the access point shares the station's channel
    std::string regulatoryDomain;     // "00" for the world domain; empty: unknown
};

struct ChannelChoice {
    bool ok = false;
    int channel = 0;
    bool fiveGhz = false;
    bool ht = true;
    bool vht = false;
    std::string why;   // the refusal in plain words
    std::string note;  // a band or channel asked for that could not be followed, and why
};

class RadioChannels {
public:
    static bool AllowedForAp(const RadioChannel& c) { return !c.disabled && !c.noIr && !c.radar; }
    static ChannelChoice Choose(const std::map<int, RadioBand>& bands,
                                const ChannelRequest& request);
    // The channels of a band an access point may use, in the radio's order.
    static std::vector<int> Allowed(const std::map<int, RadioBand>& bands, int kind);
    // "2.4", "5", "auto"; false for anything else.
    static bool ValidBand(const std::string& band);
};

}  // namespace plat
