// libFuzzer target for the reading of nl80211's answers (radios, their bands
// and channels, interfaces, the regulatory domain, the family id): any bytes,
// walked as a run of netlink messages at aligned offsets (as a dump arrives),
// each message handed to every parser; the radios of one run accumulate as a
// split wiphy dump does.
//
// Checks: a channel's number is the one of its frequency; no band holds the
// same frequency twice; a domain read is two characters.
#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/Nl80211.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint32_t> words(size / 4 + 1, 0);
    std::memcpy(words.data(), data, size);
    const auto* buffer = reinterpret_cast<const std::uint8_t*>(words.data());

    std::map<std::uint32_t, plat::WiphyInfo> wiphys;
    for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
        const auto* h = reinterpret_cast<const nlmsghdr*>(buffer + offset);
        if (h->nlmsg_len < sizeof(nlmsghdr) || offset + h->nlmsg_len > size)
            break;
        offset += NLMSG_ALIGN(h->nlmsg_len);
        plat::Nl80211::ParseWiphy(*h, &wiphys);
        plat::WirelessInterface w;
        plat::Nl80211::ParseInterface(*h, &w);
        std::string alpha2;
        if (plat::Nl80211::ParseRegulatoryDomain(*h, &alpha2))
            Check(alpha2.size() == 2);
        std::uint16_t id = 0;
        plat::Nl80211::ParseFamilyId(*h, &id);
    }
    for (const auto& [index, info] : wiphys) {
        for (const auto& [kind, band] : info.bands) {
            std::set<std::uint32_t> seen;
            for (const plat::RadioChannel& c : band.channels) {
                Check(seen.insert(c.mhz).second);
                Check(c.number == plat::Nl80211::ChannelOf(c.mhz));
            }
        }
    }
    return 0;
}
