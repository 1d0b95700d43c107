// What the Linux access point reads from others: hostapd's events and answers,
// and the kernel's nl80211 and neighbour messages. The first byte picks the
// reader; any bytes are read without harm, and what is read stays in bounds.
#include <linux/netlink.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/HostapdControl.h"
#include "platform/linux/Nl80211.h"
#include "platform/linux/WiredAccessPoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t which = data[0] % 4;
    ++data;
    --size;
    const std::string text(reinterpret_cast<const char*>(data), size);
    switch (which) {
        case 0: {
            const plat::HostapdEvent e = plat::HostapdControl::ParseEvent(text);
            if (e.text.size() > text.size())
                std::abort();
            break;
        }
        case 1: {
            plat::HostapdStation s;
            plat::HostapdControl::ParseStation(text, &s);
            plat::HostapdControl::ParseKeyValues(text);
            break;
        }
        default: {
            // A netlink message: the header's length is cut to the bytes there are.
            std::vector<std::uint8_t> buffer(std::max<std::size_t>(size, sizeof(nlmsghdr)), 0);
            std::memcpy(buffer.data(), data, size);
            nlmsghdr h{};
            std::memcpy(&h, buffer.data(), sizeof h);
            h.nlmsg_len = static_cast<std::uint32_t>(std::min<std::size_t>(h.nlmsg_len, size));
            std::memcpy(buffer.data(), &h, sizeof h);
            const auto* message = reinterpret_cast<const nlmsghdr*>(buffer.data());
            if (which == 2) {
                plat::WirelessInterface w;
                plat::Nl80211::ParseInterface(*message, &w);
                std::map<std::uint32_t, plat::WiphyInfo> wiphys;
                plat::Nl80211::ParseWiphy(*message, &wiphys);
                std::uint16_t id = 0;
                plat::Nl80211::ParseFamilyId(*message, &id);
            } else {
                plat::NeighbourEntry n;
                plat::WiredAccessPoint::ParseNeighbour(*message, &n);
                if (n.address.size() > size)
                    std::abort();
            }
            break;
        }
    }
    return 0;
}
