#include "Nl80211.h"

#include <linux/genetlink.h>
#include <linux/nl80211.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "Netlink.h"

namespace plat {

namespace {

using Visit = std::function<void(std::uint16_t type, const std::uint8_t* data, std::size_t size)>;

// Walks the attributes of a buffer (the payload of a nested attribute).
void Nested(const std::uint8_t* data, std::size_t size, const Visit& each) {
    for (std::size_t offset = 0; offset + NLA_HDRLEN <= size;) {
        nlattr a{};
        std::memcpy(&a, data + offset, sizeof a);
        if (a.nla_len < NLA_HDRLEN || offset + a.nla_len > size)
            break;
        each(static_cast<std::uint16_t>(a.nla_type & NLA_TYPE_MASK), data + offset + NLA_HDRLEN,
             a.nla_len - NLA_HDRLEN);
        offset += NLA_ALIGN(a.nla_len);
    }
}

void Attributes(const nlmsghdr& message, const Visit& each) {
    Netlink::Attributes(message, GENL_HDRLEN,
                        [&](std::uint16_t type, const void* data, std::size_t size) {
                            each(static_cast<std::uint16_t>(type & NLA_TYPE_MASK),
                                 static_cast<const std::uint8_t*>(data), size);
                        });
}

bool U32(const std::uint8_t* data, std::size_t size, std::uint32_t* out) {
    if (size < sizeof *out)
        return false;
    std::memcpy(out, data, sizeof *out);
    return true;
}

std::string Text(const std::uint8_t* data, std::size_t size) {
    std::size_t n = 0;
    while (n < size && data[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(data), n);
}

}  // namespace

bool Nl80211::ParseFamilyId(const nlmsghdr& message, std::uint16_t* id) {
    bool found = false;
    Attributes(message, [&](std::uint16_t type, const std::uint8_t* data, std::size_t size) {
        if (type == CTRL_ATTR_FAMILY_ID && size >= sizeof *id) {
            std::memcpy(id, data, sizeof *id);
            found = true;
        }
    });
    return found;
}

bool Nl80211::ParseInterface(const nlmsghdr& message, WirelessInterface* out) {
    *out = WirelessInterface{};
    bool index = false;
    bool wiphy = false;
    Attributes(message, [&](std::uint16_t type, const std::uint8_t* data, std::size_t size) {
        switch (type) {
            case NL80211_ATTR_IFINDEX:
                index = U32(data, size, &out->ifindex);
                break;
            case NL80211_ATTR_IFNAME:
                out->name = Text(data, size);
                break;
            case NL80211_ATTR_WIPHY:
                wiphy = U32(data, size, &out->wiphy);
                break;
            case NL80211_ATTR_IFTYPE:
                U32(data, size, &out->iftype);
                break;
            default:
                break;
        }
    });
    return index && wiphy && !out->name.empty();
}

void Nl80211::ParseWiphy(const nlmsghdr& message, std::map<std::uint32_t, WiphyInfo>* wiphys) {
    std::uint32_t index = 0;
    bool haveIndex = false;
    std::string name;
    bool ap = false;
    Attributes(message, [&](std::uint16_t type, const std::uint8_t* data, std::size_t size) {
        if (type == NL80211_ATTR_WIPHY) {
            haveIndex = U32(data, size, &index);
        } else if (type == NL80211_ATTR_WIPHY_NAME) {
            name = Text(data, size);
        } else if (type == NL80211_ATTR_SUPPORTED_IFTYPES) {
            // A nested set of flags, one attribute per supported interface type.
            Nested(data, size, [&](std::uint16_t iftype, const std::uint8_t*, std::size_t) {
                if (iftype == NL80211_IFTYPE_AP)
                    ap = true;
            });
        }
    });
    if (!haveIndex)
        return;
    WiphyInfo& info = (*wiphys)[index];
    if (!name.empty())
        info.name = name;
    info.apMode = info.apMode || ap;
}

bool Nl80211::ParseRegulatoryDomain(const nlmsghdr& message, std::string* alpha2) {
    bool found = false;
    Attributes(message, [&](std::uint16_t type, const std::uint8_t* data, std::size_t size) {
        if (type == NL80211_ATTR_REG_ALPHA2 && size >= 2) {
            *alpha2 = Text(data, std::min<std::size_t>(size, 2));
            found = alpha2->size() == 2;
        }
    });
    return found;
}

namespace {

// The id of the nl80211 family; 0 or an errno value.
int FamilyId(Netlink& genl, std::uint16_t* id) {
    genlmsghdr header{};
    header.cmd = CTRL_CMD_GETFAMILY;
    header.version = 1;
    NetlinkMessage family(GENL_ID_CTRL, 0, &header, sizeof header);
    static const char kName[] = NL80211_GENL_NAME;
    family.AddAttribute(CTRL_ATTR_FAMILY_NAME, kName, sizeof kName);
    bool found = false;
    const int e =
        genl.Dump(family, [&](const nlmsghdr& m) { found = Nl80211::ParseFamilyId(m, id); });
    if (e != 0)
        return e;
    return found ? 0 : ENOENT;
}

}  // namespace

int Nl80211::RegulatoryDomain(std::string* alpha2) {
    Netlink genl(NETLINK_GENERIC);
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;
    genlmsghdr header{};
    header.cmd = NL80211_CMD_GET_REG;
    NetlinkMessage request(id, 0, &header, sizeof header);
    bool found = false;
    const int e =
        genl.Dump(request, [&](const nlmsghdr& m) { found = ParseRegulatoryDomain(m, alpha2); });
    if (e != 0)
        return e;
    return found ? 0 : ENOENT;
}

int Nl80211::Interfaces(std::vector<WirelessInterface>* interfaces) {
    interfaces->clear();
    Netlink genl(NETLINK_GENERIC);
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;

    genlmsghdr header{};
    header.cmd = NL80211_CMD_GET_WIPHY;
    header.version = 0;
    NetlinkMessage wiphyDump(id, NLM_F_DUMP, &header, sizeof header);
    static const char kFlag = 0;  // a flag attribute carries no value
    wiphyDump.AddAttribute(NL80211_ATTR_SPLIT_WIPHY_DUMP, &kFlag, 0);
    std::map<std::uint32_t, WiphyInfo> wiphys;
    if (const int w = genl.Dump(wiphyDump, [&](const nlmsghdr& m) { ParseWiphy(m, &wiphys); }))
        return w;

    header.cmd = NL80211_CMD_GET_INTERFACE;
    NetlinkMessage interfaceDump(id, NLM_F_DUMP, &header, sizeof header);
    std::vector<WirelessInterface> found80211;
    if (const int i = genl.Dump(interfaceDump, [&](const nlmsghdr& m) {
            WirelessInterface w;
            if (ParseInterface(m, &w))
                found80211.push_back(w);
        }))
        return i;
    for (WirelessInterface& w : found80211) {
        auto it = wiphys.find(w.wiphy);
        if (it != wiphys.end()) {
            w.phyName = it->second.name;
            w.apMode = it->second.apMode;
        }
        interfaces->push_back(w);
    }
    return 0;
}

}  // namespace plat
