#include "LinuxNeighbours.h"

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "LinuxErrors.h"
#include "Netlink.h"

namespace plat {

DWORD LinuxNeighbours::List(std::vector<NeighbourRow>* out) {
    if (out == nullptr)
        return kErrorInvalidParameter;
    out->clear();
    Netlink nl;
    ndmsg family{};
    family.ndm_family = AF_INET;
    NetlinkMessage dump(RTM_GETNEIGH, NLM_F_DUMP, &family, sizeof family);
    const int e = nl.Dump(dump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWNEIGH)
            return;
        const auto* n = static_cast<const ndmsg*>(NLMSG_DATA(&h));
        if (n->ndm_family != AF_INET)
            return;
        if ((n->ndm_state & (NUD_INCOMPLETE | NUD_FAILED | NUD_NOARP)) != 0)
            return;
        NeighbourRow row;
        row.ifIndex = static_cast<DWORD>(n->ndm_ifindex);
        bool hasIp = false;
        Netlink::Attributes(h, sizeof *n,
                            [&](std::uint16_t type, const void* data, std::size_t size) {
                                if (type == NDA_DST && size == 4) {
                                    std::memcpy(&row.ip, data, 4);
                                    hasIp = true;
                                } else if (type == NDA_LLADDR) {
                                    const auto* bytes = static_cast<const BYTE*>(data);
                                    row.mac.assign(bytes, bytes + size);
                                }
                            });
        if (hasIp && !row.mac.empty())
            out->push_back(row);
    });
    if (e != 0)
        return WindowsCode(e);
    std::stable_sort(out->begin(), out->end(), [](const NeighbourRow& a, const NeighbourRow& b) {
        return ntohl(a.ip) < ntohl(b.ip);
    });
    return 0;
}

bool LinuxNeighbours::ReverseLookup(std::uint32_t ip, std::string* name) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(27015);
    address.sin_addr.s_addr = ip;
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<sockaddr*>(&address), sizeof address, host, sizeof host,
                    nullptr, 0, NI_NAMEREQD) != 0)
        return false;
    if (name != nullptr)
        *name = host;
    return true;
}

}  // namespace plat
