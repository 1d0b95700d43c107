#include "RadioChooser.h"

#include <net/if.h>

#include <filesystem>

#include "LinuxRoutes.h"
#include "Netlink.h"
#include "Rfkill.h"
#include "VirtualAp.h"

namespace plat {

namespace {

constexpr std::uint32_t kIftypeStation = 2;  // NL80211_IFTYPE_STATION
constexpr std::uint32_t kIftypeMonitor = 6;  // NL80211_IFTYPE_MONITOR

constexpr const char* kOtherWays =
    "plug in a second Wi-Fi adapter that can run an access point (a USB dongle), or connect "
    "this PC to the Internet by cable and share that";

std::string Label(const WirelessInterface& w) {
    return w.phyName.empty() ? w.name : w.name + " (" + w.phyName + ")";
}

RadioChoice None(const std::string& why, const std::string& fix) {
    RadioChoice c;
    c.why = why;
    c.fix = fix;
    return c;
}

RadioChoice Take(const RadioFacts::Radio& r, const std::string& why) {
    RadioChoice c;
    c.form = RadioChoice::Form::Radio;
    c.name = r.interface.name;
    c.phyName = r.interface.phyName;
    c.wiphy = r.interface.wiphy;
    c.softBlocked = r.softBlocked;
    c.radio = r.interface;
    c.why = why;
    return c;
}

// The card of the upstream's Wi-Fi station, when it can run an access point
// beside the station; the channels its combination allows in `channels`.
const RadioFacts::Radio* BesideStation(const RadioFacts& facts, const std::string& named,
                                       std::uint32_t* channels) {
    for (const RadioFacts::Radio& r : facts.radios) {
        if (facts.upstreams.count(r.interface.name) == 0 || r.interface.iftype != kIftypeStation ||
            (!named.empty() && r.interface.name != named))
            continue;
        if (r.interface.apMode && !r.hardBlocked &&
            Nl80211::ApBesideStation(r.interface.combinations, channels))
            return &r;
    }
    return nullptr;
}

RadioChoice OneCard(const RadioFacts::Radio& station, std::uint32_t channels,
                    const std::string& reason) {
    RadioChoice c = Take(station, "");
    c.oneCard = true;
    c.station = station.interface.name;
    c.name = VirtualAp::NameFor(station.interface.wiphy);
    c.sharedChannels = channels;
    const std::string& s = station.interface.name;
    c.why = "one card for both: " + s + " keeps the upstream connection and its card" +
            (station.interface.phyName.empty() ? "" : " (" + station.interface.phyName + ")") +
            " runs the access point beside it on a new interface, " + c.name + ", " +
            (channels == 1 ? "on " + s +
                                 "'s channel (the card allows an access point beside a "
                                 "station on one channel only)"
                           : "(the card allows an access point beside a station)") +
            "; " + reason;
    return c;
}

}  // namespace

bool RadioChooser::ParseOneCard(const std::string& text, OneCardMode* mode) {
    if (text == "auto")
        *mode = OneCardMode::Auto;
    else if (text == "on")
        *mode = OneCardMode::Always;
    else if (text == "off")
        *mode = OneCardMode::Never;
    else
        return false;
    return true;
}

RadioChoice RadioChooser::Choose(const std::string& named, const RadioFacts& facts,
                                 OneCardMode oneCard) {
    // The radios (wiphys) that carry the upstream through one of their interfaces.
    std::set<std::uint32_t> upstreamRadios;
    std::string upstreamWifi;
    for (const RadioFacts::Radio& r : facts.radios) {
        if (facts.upstreams.count(r.interface.name) != 0) {
            upstreamRadios.insert(r.interface.wiphy);
            if (upstreamWifi.empty())
                upstreamWifi = r.interface.name;
        }
    }
    const std::string carriesUpstream =
        " carries this PC's upstream connection (the default route); taking it for the access "
        "point would cut the PC off the Internet";

    std::uint32_t channels = 0;
    const RadioFacts::Radio* beside =
        oneCard == OneCardMode::Never ? nullptr : BesideStation(facts, named, &channels);
    const std::string noCombination =
        "; its card cannot run an access point beside its connection (no interface "
        "combination of its driver allows it)";
    if (oneCard == OneCardMode::Always) {
        if (beside != nullptr)
            return OneCard(*beside, channels, "one card for both was asked for (--one-card)");
        return None(upstreamWifi.empty()
                        ? "one card for both was asked for (--one-card), but no Wi-Fi station "
                          "carries the upstream connection"
                        : "one card for both was asked for (--one-card), but the card of " +
                              upstreamWifi +
                              " cannot run an access point beside its connection (no interface "
                              "combination of its driver allows it)",
                    kOtherWays);
    }

    if (!named.empty()) {
        if (beside != nullptr)
            return OneCard(*beside, channels, named + " was named, and it carries the upstream");
        if (facts.upstreams.count(named) != 0)
            return None(named + carriesUpstream, "name another interface with --ap-interface; or " +
                                                     std::string(kOtherWays));
        for (const RadioFacts::Radio& r : facts.radios) {
            if (r.interface.name != named)
                continue;
            if (!r.interface.apMode)
                return None("the driver of " + named + " cannot run an access point",
                            "use a Wi-Fi adapter whose driver supports AP mode (\"iw list\" shows "
                            "AP under \"Supported interface modes\"), or share to a wired port");
            if (r.hardBlocked)
                return None("the radio of " + named + " is switched off by its hardware switch",
                            "switch the radio on (a key, a slider or the firmware setup)");
            return Take(r, Label(r.interface) + " carries the access point, as it was named");
        }
        if (!facts.namedExists)
            return None("there is no interface " + named,
                        "name an existing interface with --ap-interface (\"ip link\" lists them)");
        if (facts.namedIsWireless)
            return None(
                named + " is a Wi-Fi interface, but the kernel's nl80211 does not answer for it",
                "load the adapter's driver with nl80211 support (cfg80211)");
        RadioChoice c;
        c.form = RadioChoice::Form::Wired;
        c.name = named;
        c.why = named + " is a wired port: clients connect to it by cable";
        return c;
    }

    const RadioFacts::Radio* on = nullptr;
    const RadioFacts::Radio* blocked = nullptr;
    const RadioFacts::Radio* switchedOff = nullptr;
    const RadioFacts::Radio* upstreamOnly = nullptr;
    bool anyRadio = false;
    for (const RadioFacts::Radio& r : facts.radios) {
        if (r.interface.iftype == kIftypeMonitor)
            continue;
        anyRadio = true;
        if (!r.interface.apMode)
            continue;
        if (upstreamRadios.count(r.interface.wiphy) != 0) {
            if (upstreamOnly == nullptr)
                upstreamOnly = &r;
            continue;
        }
        if (r.hardBlocked) {
            if (switchedOff == nullptr)
                switchedOff = &r;
        } else if (r.softBlocked) {
            if (blocked == nullptr)
                blocked = &r;
        } else if (on == nullptr) {
            on = &r;
        }
    }
    const RadioFacts::Radio* chosen = on != nullptr ? on : blocked;
    if (chosen != nullptr) {
        std::string why = Label(chosen->interface) + " carries the access point: ";
        if (!upstreamWifi.empty())
            why += "it can run one, and " + upstreamWifi +
                   ", which carries the upstream connection, is left alone";
        else
            why += "the first Wi-Fi interface that can run one";
        if (chosen->softBlocked)
            why += " (its radio is blocked by software; the start lifts the block)";
        return Take(*chosen, why);
    }
    if (beside != nullptr)
        return OneCard(*beside, channels, "no other Wi-Fi card can run an access point");
    if (switchedOff != nullptr)
        return None("the radio of " + switchedOff->interface.name +
                        " is switched off by its hardware switch",
                    "switch the radio on (a key, a slider or the firmware setup)");
    if (upstreamOnly != nullptr) {
        std::uint32_t n = 0;
        const bool couldShare = BesideStation(facts, "", &n) != nullptr;
        return None("the only Wi-Fi card that can run an access point, " +
                        Label(upstreamOnly->interface) + "," + carriesUpstream +
                        (couldShare ? "; one card for both is off (--no-one-card)" : noCombination),
                    kOtherWays);
    }
    if (!anyRadio)
        return None("no Wi-Fi interface is there to carry the access point",
                    "plug in a Wi-Fi adapter whose driver supports AP mode, or share to a wired "
                    "port with --ap-interface IF");
    return None("no Wi-Fi interface can run an access point",
                "use a Wi-Fi adapter whose driver supports AP mode, or share to a wired port "
                "with --ap-interface IF");
}

RadioFacts RadioChooser::Gather(const std::string& named, const std::string& sysfs,
                                const std::string& rfkillDevice, Netlink* genl) {
    RadioFacts facts;
    std::vector<WirelessInterface> wireless;
    if (genl != nullptr)
        Nl80211::Interfaces(*genl, &wireless);
    else
        Nl80211::Interfaces(&wireless);  // none when the kernel has no nl80211
    const Rfkill rfkill(sysfs, rfkillDevice);
    for (const WirelessInterface& w : wireless) {
        RadioFacts::Radio r;
        r.interface = w;
        for (const RfkillSwitch& s : rfkill.Switches(w.name)) {
            r.softBlocked = r.softBlocked || s.soft;
            r.hardBlocked = r.hardBlocked || s.hard;
        }
        facts.radios.push_back(r);
    }
    for (const auto& [index, via] : LinuxRoutes::DefaultRoutes()) {
        char name[IF_NAMESIZE] = {};
        if (if_indextoname(index, name) != nullptr)
            facts.upstreams.insert(name);
    }
    if (!named.empty()) {
        facts.namedExists = if_nametoindex(named.c_str()) != 0;
        std::error_code ec;
        const std::filesystem::path net = std::filesystem::path(sysfs) / "class" / "net" / named;
        facts.namedIsWireless = std::filesystem::exists(net / "phy80211", ec) ||
                                std::filesystem::exists(net / "wireless", ec);
    }
    return facts;
}

}  // namespace plat
