// The kernel's wireless configuration interface nl80211 over generic netlink:
// the wireless network interfaces, their radios (wiphys) and whether a radio
// can run an access point (AP among its supported interface types).
#pragma once

#include <linux/netlink.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plat {

struct WirelessInterface {
    std::string name;
    std::uint32_t ifindex = 0;
    std::uint32_t wiphy = 0;
    std::uint32_t iftype = 0;
    std::string phyName;  // "phy0"
    bool apMode = false;  // the radio supports interface type AP
};

struct WiphyInfo {
    std::string name;
    bool apMode = false;
};

class Nl80211 {
public:
    // The wireless interfaces of the calling thread's network namespace. 0, or
    // an errno value: ENOENT when the kernel has no nl80211 at all.
    static int Interfaces(std::vector<WirelessInterface>* interfaces);

    // The regulatory domain in force: two letters, "00" for the world domain.
    // 0, or an errno value (ENOENT: no nl80211).
    static int RegulatoryDomain(std::string* alpha2);

    // Parsers of the kernel's answers (the attributes after the generic header).
    static bool ParseFamilyId(const nlmsghdr& message, std::uint16_t* id);
    static bool ParseInterface(const nlmsghdr& message, WirelessInterface* out);
    // A wiphy dump comes split over several messages; each adds to `wiphys`.
    static void ParseWiphy(const nlmsghdr& message, std::map<std::uint32_t, WiphyInfo>* wiphys);
    static bool ParseRegulatoryDomain(const nlmsghdr& message, std::string* alpha2);
};

}  // namespace plat
