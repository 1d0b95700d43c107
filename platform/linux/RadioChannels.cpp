#include "RadioChannels.h"

#include <algorithm>

namespace plat {

namespace {

const std::vector<int>& Preferred(int kind) {
    static const std::vector<int> k24 = {6, 1, 11};
    static const std::vector<int> k5 = {36, 40, 44, 48, 149, 153, 157, 161, 165};
    return kind == RadioBand::k5GHz ? k5 : k24;
}

std::string BandName(int kind) {
    return kind == RadioBand::k5GHz ? "5 GHz" : "2.4 GHz";
}

ChannelChoice Chosen(const RadioBand& band, int channel) {
    ChannelChoice c;
    c.ok = true;
    c.channel = channel;
    c.fiveGhz = band.kind == RadioBand::k5GHz;
    c.ht = band.ht;
    c.vht = band.vht && c.fiveGhz;
    return c;
}

ChannelChoice Refused(const std::string& why) {
    ChannelChoice c;
    c.why = why;
    return c;
}

// One card for the upstream and the access point, on one channel: the station's.
ChannelChoice StationChannel(const std::map<int, RadioBand>& bands, const ChannelRequest& r,
                             const std::string& domain) {
    const std::string shared =
        "this card runs an access point beside its upstream connection only on the "
        "connection's channel";
    if (r.stationChannel == 0)
        return Refused("the upstream connection has no channel now, and " + shared);
    const std::string n = "channel " + std::to_string(r.stationChannel);
    ChannelChoice c;
    bool found = false;
    for (const auto& [kind, band] : bands) {
        for (const RadioChannel& ch : band.channels) {
            if (ch.number != r.stationChannel)
                continue;
            const char* closed = ch.disabled ? "is disabled"
                                 : ch.radar  ? "needs radar detection (DFS)"
                                 : ch.noIr   ? "may not start a network (no-IR)"
                                             : nullptr;
            if (closed != nullptr)
                return Refused("the upstream connection uses " + n + ", which " + closed +
                               " for an access point in " + domain + ", and " + shared +
                               ": connect the upstream on another channel (2.4 GHz), or use a "
                               "second Wi-Fi adapter for the access point");
            c = Chosen(band, r.stationChannel);
            found = true;
        }
    }
    if (!found) {
        // A radio that reports no bands: hostapd is left to judge the channel.
        RadioBand unknown;
        unknown.kind = r.stationChannel > 14 ? RadioBand::k5GHz : RadioBand::k2GHz;
        unknown.ht = true;
        c = Chosen(unknown, r.stationChannel);
    }
    std::string asked;
    if (r.channel != 0 && r.channel != r.stationChannel)
        asked = "channel " + std::to_string(r.channel);
    else if ((r.band == "5" && !c.fiveGhz) || (r.band == "2.4" && c.fiveGhz))
        asked = "the " + std::string(r.band == "5" ? "5 GHz" : "2.4 GHz") + " band";
    if (!asked.empty())
        c.note = asked + " was asked for, but " + shared + ": the access point uses " + n;
    return c;
}

}  // namespace

bool RadioChannels::ValidBand(const std::string& band) {
    return band == "2.4" || band == "5" || band == "auto";
}

std::vector<int> RadioChannels::Allowed(const std::map<int, RadioBand>& bands, int kind) {
    std::vector<int> out;
    const auto it = bands.find(kind);
    if (it == bands.end())
        return out;
    for (const RadioChannel& c : it->second.channels)
        if (AllowedForAp(c) && c.number != 0)
            out.push_back(c.number);
    return out;
}

ChannelChoice RadioChannels::Choose(const std::map<int, RadioBand>& bands,
                                    const ChannelRequest& r) {
    std::vector<int> kinds;
    if (r.band != "5")
        kinds.push_back(RadioBand::k2GHz);
    if (r.band != "2.4")
        kinds.push_back(RadioBand::k5GHz);
    const bool world = r.regulatoryDomain == "00";
    const std::string domain = r.regulatoryDomain.empty()
                                   ? std::string("the regulatory domain")
                                   : "the regulatory domain " + r.regulatoryDomain;
    const std::string fiveClosed =
        "5 GHz is unavailable until a country is set (the regulatory domain is the world "
        "domain 00): give --country with your country's two letters";

    if (r.stationChannelOnly)
        return StationChannel(bands, r, domain);

    if (bands.empty()) {
        // A radio that reports no bands: hostapd is left to judge the channel.
        RadioBand unknown;
        unknown.kind = r.channel > 14 || r.band == "5" ? RadioBand::k5GHz : RadioBand::k2GHz;
        unknown.ht = true;
        const int channel = r.channel != 0 ? r.channel : unknown.kind == RadioBand::k5GHz ? 36 : 6;
        return Chosen(unknown, channel);
    }

    if (r.channel != 0) {
        for (int kind : kinds) {
            const auto it = bands.find(kind);
            if (it == bands.end())
                continue;
            for (const RadioChannel& c : it->second.channels) {
                if (c.number != r.channel)
                    continue;
                const std::string n = "channel " + std::to_string(r.channel);
                if (c.disabled)
                    return Refused(n + " is disabled in " + domain +
                                   (world && kind == RadioBand::k5GHz ? "; " + fiveClosed : ""));
                if (c.radar)
                    return Refused(n + " needs radar detection (DFS) in " + domain +
                                   ": choose another channel or --channel auto");
                if (c.noIr)
                    return Refused(n + " may not start a network in " + domain +
                                   " (no-IR): an access point there would be refused or stay "
                                   "silent; choose another channel or --channel auto" +
                                   (world ? "; or set the country with --country" : ""));
                return Chosen(it->second, r.channel);
            }
        }
        return Refused("channel " + std::to_string(r.channel) + " is not a channel of this radio" +
                       (r.band == "auto" ? std::string() : " on " + BandName(kinds.front())));
    }

    for (int kind : kinds) {
        const auto it = bands.find(kind);
        if (it == bands.end())
            continue;
        const std::vector<int> allowed = Allowed(bands, kind);
        auto allows = [&](int channel) {
            return channel != 0 &&
                   std::find(allowed.begin(), allowed.end(), channel) != allowed.end();
        };
        if (allows(r.stationChannel))
            return Chosen(it->second, r.stationChannel);
        for (int channel : Preferred(kind))
            if (allows(channel))
                return Chosen(it->second, channel);
        if (!allowed.empty())
            return Chosen(it->second, allowed.front());
    }
    if (r.band == "5") {
        if (bands.find(RadioBand::k5GHz) == bands.end())
            return Refused("this radio has no 5 GHz band");
        if (world)
            return Refused(fiveClosed);
    }
    return Refused("no channel" +
                   (r.band == "auto" ? std::string() : " of " + BandName(kinds.front())) +
                   " is allowed for an access point in " + domain +
                   (world ? "; set the country with --country" : ""));
}

}  // namespace plat
