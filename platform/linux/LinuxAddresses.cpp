#include "LinuxAddresses.h"

#include <arpa/inet.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "LinuxAdapters.h"
#include "LinuxErrors.h"
#include "LinuxRoutes.h"
#include "Netlink.h"

namespace plat {

namespace {

bool ParseAddress(const char* text, in_addr* out) {
    return text != nullptr && inet_pton(AF_INET, text, out) == 1;
}

// Prefix length of a contiguous mask; -1 when the mask has holes.
int PrefixLength(in_addr mask) {
    const std::uint32_t m = ntohl(mask.s_addr);
    int bits = 0;
    while (bits < 32 && (m & (0x80000000u >> bits)) != 0)
        ++bits;
    const std::uint32_t expected = bits == 0 ? 0 : ~0u << (32 - bits);
    return m == expected ? bits : -1;
}

struct AddressRow {
    in_addr local{};
    unsigned char prefix = 0;
};

int InterfaceAddresses(Netlink& nl, unsigned index, std::vector<AddressRow>* out) {
    ifaddrmsg family{};
    family.ifa_family = AF_INET;
    NetlinkMessage dump(RTM_GETADDR, NLM_F_DUMP, &family, sizeof family);
    return nl.Dump(dump, [&](const nlmsghdr& h) {
        if (h.nlmsg_type != RTM_NEWADDR)
            return;
        const auto* a = static_cast<const ifaddrmsg*>(NLMSG_DATA(&h));
        if (a->ifa_index != index)
            return;
        AddressRow row;
        row.prefix = a->ifa_prefixlen;
        bool found = false;
        Netlink::Attributes(h, sizeof *a, [&](std::uint16_t type, const void* data, std::size_t n) {
            if ((type == IFA_LOCAL || (type == IFA_ADDRESS && !found)) && n == 4) {
                std::memcpy(&row.local, data, 4);
                found = true;
            }
        });
        if (found)
            out->push_back(row);
    });
}

int ChangeAddress(Netlink& nl, std::uint16_t type, unsigned index, in_addr local,
                  unsigned char prefix) {
    ifaddrmsg family{};
    family.ifa_family = AF_INET;
    family.ifa_prefixlen = prefix;
    family.ifa_index = index;
    family.ifa_scope = RT_SCOPE_UNIVERSE;
    const std::uint16_t flags = type == RTM_NEWADDR ? NLM_F_CREATE | NLM_F_REPLACE : 0;
    NetlinkMessage m(type, flags, &family, sizeof family);
    m.AddAttribute(IFA_LOCAL, &local, 4);
    m.AddAttribute(IFA_ADDRESS, &local, 4);
    if (type == RTM_NEWADDR && prefix < 31) {
        const std::uint32_t hostBits = prefix == 0 ? ~0u : (1u << (32 - prefix)) - 1;
        in_addr broadcast{};
        broadcast.s_addr = htonl(ntohl(local.s_addr) | hostBits);
        m.AddAttribute(IFA_BROADCAST, &broadcast, 4);
    }
    return nl.Request(m);
}

std::string Text(const AddressRow& row) {
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &row.local, text, sizeof text);
    return std::string(text) + "/" + std::to_string(row.prefix);
}

}  // namespace

int LinuxAddresses::List(const std::string& iface, std::vector<std::string>* addresses) {
    addresses->clear();
    const unsigned index = if_nametoindex(iface.c_str());
    if (index == 0)
        return ENODEV;
    Netlink nl;
    std::vector<AddressRow> rows;
    if (const int e = InterfaceAddresses(nl, index, &rows))
        return e;
    for (const AddressRow& row : rows)
        addresses->push_back(Text(row));
    return 0;
}

int LinuxAddresses::RemoveAllBut(const std::string& iface, const std::vector<std::string>& keep) {
    const unsigned index = if_nametoindex(iface.c_str());
    if (index == 0)
        return 0;  // gone, and its addresses with it
    Netlink nl;
    std::vector<AddressRow> rows;
    if (InterfaceAddresses(nl, index, &rows) != 0)
        return -1;
    int removed = 0;
    for (const AddressRow& row : rows) {
        if (std::find(keep.begin(), keep.end(), Text(row)) != keep.end())
            continue;
        const int e = ChangeAddress(nl, RTM_DELADDR, index, row.local, row.prefix);
        if (e != 0 && e != EADDRNOTAVAIL)
            return -1;
        ++removed;
    }
    return removed;
}

DWORD LinuxAddresses::SetStatic(const GUID& adapter, const char* ip, const char* mask,
                                const char* gateway) {
    in_addr local{}, netmask{}, via{};
    int prefix = 24;
    if (ip != nullptr) {
        if (!ParseAddress(ip, &local))
            return kErrorInvalidParameter;
        if (mask != nullptr && *mask != '\0') {
            if (!ParseAddress(mask, &netmask) || (prefix = PrefixLength(netmask)) < 0)
                return kErrorInvalidParameter;
        }
        if (gateway != nullptr && *gateway != '\0' && !ParseAddress(gateway, &via))
            return kErrorInvalidParameter;
    }
    const unsigned index = LinuxAdapters::IndexOf(adapter);
    if (index == 0)
        return kErrorFileNotFound;

    // The new address replaces every IPv4 address of the interface, as a static
    // configuration does on Windows; without one the interface is left bare.
    Netlink nl;
    std::vector<AddressRow> current;
    if (const int e = InterfaceAddresses(nl, index, &current))
        return WindowsCode(e);
    for (const auto& row : current) {
        if (ip != nullptr && row.local.s_addr == local.s_addr && row.prefix == prefix)
            continue;
        if (const int e = ChangeAddress(nl, RTM_DELADDR, index, row.local, row.prefix);
            e != 0 && e != EADDRNOTAVAIL)
            return WindowsCode(e);
    }
    if (ip == nullptr)
        return 0;
    if (const int e =
            ChangeAddress(nl, RTM_NEWADDR, index, local, static_cast<unsigned char>(prefix)))
        return WindowsCode(e);
    if (via.s_addr != 0) {
        if (const int e = LinuxRoutes::AddDefaultRoute(nl, index, via))
            return WindowsCode(e);
    }
    return 0;
}

DWORD LinuxAddresses::SetDnsServers(const GUID&, const std::vector<std::string>&) {
    // Linux keeps no DNS servers per interface outside a resolver daemon.
    return kErrorNotSupported;
}

}  // namespace plat
