// The kernel's wireless configuration interface nl80211 over generic netlink:
// the wireless network interfaces, their radios (wiphys) and whether a radio
// can run an access point (AP among its supported interface types), offers
// WPA3's SAE with protected management frames, and on which channels of
// which bands it may send (disabled, no-IR and radar flags as the regulatory
// domain sets them); the regulatory domain, and asking for another one.
#pragma once

#include <linux/netlink.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plat {

class Netlink;

struct RadioChannel {
    std::uint32_t mhz = 0;
    int number = 0;         // the IEEE channel number
    bool disabled = false;  // not allowed at all here
    bool noIr = false;      // no transmission of its own (no beacons): not for an access point
    bool radar = false;     // radar detection required: hostapd would wait or fail
};

struct RadioBand {
    enum Kind { k2GHz = 0, k5GHz = 1, k60GHz = 2, k6GHz = 3 };  // nl80211's band numbers
    int kind = k2GHz;
    bool ht = false;   // 802.11n
    bool vht = false;  // 802.11ac
    std::vector<RadioChannel> channels;
};

// One way a radio can run several interfaces at once: at most `maxInterfaces`
// in all, each limit at most `max` of its types (a bit per nl80211 interface
// type), on at most `channels` channels.
struct InterfaceCombination {
    struct Limit {
        std::uint32_t max = 0;
        std::uint32_t types = 0;
    };
    std::vector<Limit> limits;
    std::uint32_t maxInterfaces = 0;
    std::uint32_t channels = 0;
};

struct WirelessInterface {
    std::string name;
    std::uint32_t ifindex = 0;
    std::uint32_t wiphy = 0;
    std::uint32_t iftype = 0;
    std::uint32_t frequency = 0;  // MHz of the channel it uses now (a connected station); 0: none
    std::array<std::uint8_t, 6> mac{};
    std::string phyName;       // "phy0"
    bool apMode = false;       // the radio supports interface type AP
    bool sae = false;          // SAE (WPA3-Personal) with protected management frames
    bool macOnCreate = false;  // a new interface takes the address given with it
    std::map<int, RadioBand> bands;
    std::vector<InterfaceCombination> combinations;
};

struct WiphyInfo {
    std::string name;
    bool apMode = false;
    bool saeFeature = false;
    bool managementCipher = false;  // BIP (AES-CMAC), which protected frames need
    bool macOnCreate = false;
    std::map<int, RadioBand> bands;
    std::vector<InterfaceCombination> combinations;
};

class Nl80211 {
public:
    // The wireless interfaces of the calling thread's network namespace. 0, or
    // an errno value: ENOENT when the kernel has no nl80211 at all.
    static int Interfaces(std::vector<WirelessInterface>* interfaces);
    static int Interfaces(Netlink& genl, std::vector<WirelessInterface>* interfaces);

    // The regulatory domain in force: two letters, "00" for the world domain.
    // 0, or an errno value (ENOENT: no nl80211).
    static int RegulatoryDomain(std::string* alpha2);
    static int RegulatoryDomain(Netlink& genl, std::string* alpha2);
    // Asks the wireless core for the regulatory domain of a country (two
    // capital letters); it applies it a moment later. 0 or an errno value.
    static int SetRegulatoryDomain(const std::string& alpha2);
    static int SetRegulatoryDomain(Netlink& genl, const std::string& alpha2);

    // One interface by its index (its channel now, in `frequency`). 0 or an
    // errno value (ENODEV: no such interface).
    static int Interface(Netlink& genl, std::uint32_t ifindex, WirelessInterface* out);
    // A new interface of type access point named `name` on radio `wiphy`;
    // `mac` is handed to the driver when it takes one at creation (all zero:
    // none). What the kernel reports for it (index, address) in `created`.
    // 0 or an errno value.
    static int NewApInterface(Netlink& genl, std::uint32_t wiphy, const std::string& name,
                              const std::array<std::uint8_t, 6>& mac, WirelessInterface* created);
    static int DeleteInterface(Netlink& genl, std::uint32_t ifindex);

    // Whether a combination lets an access point run beside a station; the
    // fewest channels such a combination allows (1: the AP must use the
    // station's channel) in `channels`.
    static bool ApBesideStation(const std::vector<InterfaceCombination>& combinations,
                                std::uint32_t* channels);

    // The channel number of a frequency; 0 for none known.
    static int ChannelOf(std::uint32_t mhz);

    // Parsers of the kernel's answers (the attributes after the generic header).
    static bool ParseFamilyId(const nlmsghdr& message, std::uint16_t* id);
    static bool ParseInterface(const nlmsghdr& message, WirelessInterface* out);
    // A wiphy dump comes split over several messages; each adds to `wiphys`.
    static void ParseWiphy(const nlmsghdr& message, std::map<std::uint32_t, WiphyInfo>* wiphys);
    static bool ParseRegulatoryDomain(const nlmsghdr& message, std::string* alpha2);
};

}  // namespace plat
