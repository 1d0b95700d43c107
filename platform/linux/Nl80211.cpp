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
            case NL80211_ATTR_WIPHY_FREQ:
                U32(data, size, &out->frequency);
                break;
            case NL80211_ATTR_MAC:
                if (size >= out->mac.size())
                    std::memcpy(out->mac.data(), data, out->mac.size());
                break;
            default:
                break;
        }
    });
    return index && wiphy && !out->name.empty();
}

int Nl80211::ChannelOf(std::uint32_t mhz) {
    if (mhz == 2484)
        return 14;
    if (mhz >= 2412 && mhz < 2484)
        return static_cast<int>((mhz - 2407) / 5);
    if (mhz >= 5955 && mhz <= 7115)  // 6 GHz
        return static_cast<int>((mhz - 5950) / 5);
    if (mhz >= 5000 && mhz <= 5925)
        return static_cast<int>((mhz - 5000) / 5);
    if (mhz >= 4910 && mhz <= 4980)
        return static_cast<int>((mhz - 4000) / 5);
    return 0;
}

namespace {

constexpr std::uint32_t kCipherBipCmac128 = 0x000FAC06;

// One band's attributes; its channels are added to what earlier messages of a
// split dump brought.
void ParseBand(int kind, const std::uint8_t* data, std::size_t size, RadioBand* band) {
    band->kind = kind;
    Nested(data, size, [&](std::uint16_t type, const std::uint8_t* value, std::size_t n) {
        if (type == NL80211_BAND_ATTR_HT_CAPA) {
            band->ht = true;
        } else if (type == NL80211_BAND_ATTR_VHT_CAPA) {
            band->vht = true;
        } else if (type == NL80211_BAND_ATTR_FREQS) {
            Nested(value, n, [&](std::uint16_t, const std::uint8_t* freq, std::size_t m) {
                RadioChannel c;
                bool haveFreq = false;
                Nested(freq, m, [&](std::uint16_t attr, const std::uint8_t* v, std::size_t k) {
                    switch (attr) {
                        case NL80211_FREQUENCY_ATTR_FREQ:
                            haveFreq = U32(v, k, &c.mhz);
                            break;
                        case NL80211_FREQUENCY_ATTR_DISABLED:
                            c.disabled = true;
                            break;
                        case NL80211_FREQUENCY_ATTR_NO_IR:
                            c.noIr = true;
                            break;
                        case NL80211_FREQUENCY_ATTR_RADAR:
                            c.radar = true;
                            break;
                        default:
                            break;
                    }
                });
                if (!haveFreq)
                    return;
                c.number = Nl80211::ChannelOf(c.mhz);
                for (RadioChannel& known : band->channels) {
                    if (known.mhz == c.mhz) {
                        known = c;
                        return;
                    }
                }
                if (band->channels.size() < 512)
                    band->channels.push_back(c);
            });
        }
    });
}

}  // namespace

bool Nl80211::ApBesideStation(const std::vector<InterfaceCombination>& combinations,
                              std::uint32_t* channels) {
    constexpr std::uint32_t kStation = 1u << NL80211_IFTYPE_STATION;
    constexpr std::uint32_t kAp = 1u << NL80211_IFTYPE_AP;
    bool found = false;
    for (const InterfaceCombination& c : combinations) {
        if (c.maxInterfaces < 2 || c.channels < 1)
            continue;
        bool fits = false;
        for (std::size_t s = 0; s < c.limits.size() && !fits; ++s) {
            if ((c.limits[s].types & kStation) == 0 || c.limits[s].max < 1)
                continue;
            for (std::size_t a = 0; a < c.limits.size() && !fits; ++a) {
                if ((c.limits[a].types & kAp) == 0 || c.limits[a].max < 1)
                    continue;
                fits = a != s || c.limits[a].max >= 2;
            }
        }
        if (fits && (!found || c.channels < *channels)) {
            *channels = c.channels;
            found = true;
        }
    }
    return found;
}

void Nl80211::ParseWiphy(const nlmsghdr& message, std::map<std::uint32_t, WiphyInfo>* wiphys) {
    std::uint32_t index = 0;
    bool haveIndex = false;
    WiphyInfo part;
    std::uint32_t features = 0;
    Attributes(message, [&](std::uint16_t type, const std::uint8_t* data, std::size_t size) {
        if (type == NL80211_ATTR_WIPHY) {
            haveIndex = U32(data, size, &index);
        } else if (type == NL80211_ATTR_WIPHY_NAME) {
            part.name = Text(data, size);
        } else if (type == NL80211_ATTR_SUPPORTED_IFTYPES) {
            // A nested set of flags, one attribute per supported interface type.
            Nested(data, size, [&](std::uint16_t iftype, const std::uint8_t*, std::size_t) {
                if (iftype == NL80211_IFTYPE_AP)
                    part.apMode = true;
            });
        } else if (type == NL80211_ATTR_FEATURE_FLAGS) {
            if (U32(data, size, &features)) {
                part.saeFeature = (features & NL80211_FEATURE_SAE) != 0;
                part.macOnCreate = (features & NL80211_FEATURE_MAC_ON_CREATE) != 0;
            }
        } else if (type == NL80211_ATTR_CIPHER_SUITES) {
            for (std::size_t at = 0; at + 4 <= size; at += 4) {
                std::uint32_t suite = 0;
                std::memcpy(&suite, data + at, 4);
                if (suite == kCipherBipCmac128)
                    part.managementCipher = true;
            }
        } else if (type == NL80211_ATTR_INTERFACE_COMBINATIONS) {
            Nested(data, size, [&](std::uint16_t, const std::uint8_t* comb, std::size_t n) {
                InterfaceCombination c;
                Nested(comb, n, [&](std::uint16_t attr, const std::uint8_t* v, std::size_t k) {
                    if (attr == NL80211_IFACE_COMB_MAXNUM) {
                        U32(v, k, &c.maxInterfaces);
                    } else if (attr == NL80211_IFACE_COMB_NUM_CHANNELS) {
                        U32(v, k, &c.channels);
                    } else if (attr == NL80211_IFACE_COMB_LIMITS) {
                        Nested(v, k, [&](std::uint16_t, const std::uint8_t* lim, std::size_t ln) {
                            InterfaceCombination::Limit l;
                            Nested(lim, ln,
                                   [&](std::uint16_t la, const std::uint8_t* lv, std::size_t lk) {
                                       if (la == NL80211_IFACE_LIMIT_MAX)
                                           U32(lv, lk, &l.max);
                                       else if (la == NL80211_IFACE_LIMIT_TYPES)
                                           Nested(lv, lk,
                                                  [&](std::uint16_t t, const std::uint8_t*,
                                                      std::size_t) {
                                                      if (t < 32)
                                                          l.types |= 1u << t;
                                                  });
                                   });
                            if (c.limits.size() < 16)
                                c.limits.push_back(l);
                        });
                    }
                });
                if (part.combinations.size() < 16)
                    part.combinations.push_back(c);
            });
        } else if (type == NL80211_ATTR_WIPHY_BANDS) {
            Nested(data, size, [&](std::uint16_t kind, const std::uint8_t* band, std::size_t n) {
                if (kind > RadioBand::k6GHz)
                    return;
                ParseBand(kind, band, n, &part.bands[kind]);
            });
        }
    });
    if (!haveIndex)
        return;
    WiphyInfo& info = (*wiphys)[index];
    if (!part.name.empty())
        info.name = part.name;
    info.apMode = info.apMode || part.apMode;
    info.saeFeature = info.saeFeature || part.saeFeature;
    info.managementCipher = info.managementCipher || part.managementCipher;
    info.macOnCreate = info.macOnCreate || part.macOnCreate;
    if (!part.combinations.empty())
        info.combinations = part.combinations;
    for (auto& [kind, band] : part.bands) {
        RadioBand& into = info.bands[kind];
        into.kind = kind;
        into.ht = into.ht || band.ht;
        into.vht = into.vht || band.vht;
        for (const RadioChannel& c : band.channels) {
            bool replaced = false;
            for (RadioChannel& known : into.channels)
                if (known.mhz == c.mhz) {
                    known = c;
                    replaced = true;
                }
            if (!replaced && into.channels.size() < 512)
                into.channels.push_back(c);
        }
    }
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
    return RegulatoryDomain(genl, alpha2);
}

int Nl80211::RegulatoryDomain(Netlink& genl, std::string* alpha2) {
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

int Nl80211::SetRegulatoryDomain(const std::string& alpha2) {
    Netlink genl(NETLINK_GENERIC);
    return SetRegulatoryDomain(genl, alpha2);
}

int Nl80211::SetRegulatoryDomain(Netlink& genl, const std::string& alpha2) {
    if (alpha2.size() != 2 || alpha2[0] < 'A' || alpha2[0] > 'Z' || alpha2[1] < 'A' ||
        alpha2[1] > 'Z')
        return EINVAL;
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;
    genlmsghdr header{};
    header.cmd = NL80211_CMD_REQ_SET_REG;
    NetlinkMessage request(id, 0, &header, sizeof header);
    const char text[3] = {alpha2[0], alpha2[1], 0};
    request.AddAttribute(NL80211_ATTR_REG_ALPHA2, text, sizeof text);
    return genl.Request(request);
}

int Nl80211::Interfaces(std::vector<WirelessInterface>* interfaces) {
    Netlink genl(NETLINK_GENERIC);
    return Interfaces(genl, interfaces);
}

int Nl80211::Interfaces(Netlink& genl, std::vector<WirelessInterface>* interfaces) {
    interfaces->clear();
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
            w.sae = it->second.saeFeature && it->second.managementCipher;
            w.macOnCreate = it->second.macOnCreate;
            w.bands = it->second.bands;
            w.combinations = it->second.combinations;
        }
        interfaces->push_back(w);
    }
    return 0;
}

int Nl80211::Interface(Netlink& genl, std::uint32_t ifindex, WirelessInterface* out) {
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;
    genlmsghdr header{};
    header.cmd = NL80211_CMD_GET_INTERFACE;
    NetlinkMessage request(id, 0, &header, sizeof header);
    request.AddAttribute(NL80211_ATTR_IFINDEX, &ifindex, sizeof ifindex);
    bool found = false;
    const int e = genl.Dump(request, [&](const nlmsghdr& m) {
        found = ParseInterface(m, out) && out->ifindex == ifindex;
    });
    if (e != 0)
        return e;
    return found ? 0 : ENODEV;
}

int Nl80211::NewApInterface(Netlink& genl, std::uint32_t wiphy, const std::string& name,
                            const std::array<std::uint8_t, 6>& mac, WirelessInterface* created) {
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;
    genlmsghdr header{};
    header.cmd = NL80211_CMD_NEW_INTERFACE;
    NetlinkMessage request(id, 0, &header, sizeof header);
    request.AddAttribute(NL80211_ATTR_WIPHY, &wiphy, sizeof wiphy);
    request.AddAttribute(NL80211_ATTR_IFNAME, name.c_str(), name.size() + 1);
    const std::uint32_t type = NL80211_IFTYPE_AP;
    request.AddAttribute(NL80211_ATTR_IFTYPE, &type, sizeof type);
    if (mac != std::array<std::uint8_t, 6>{})
        request.AddAttribute(NL80211_ATTR_MAC, mac.data(), mac.size());
    // The kernel answers with the new interface's description (or an error).
    bool found = false;
    const int e =
        genl.Dump(request, [&](const nlmsghdr& m) { found = ParseInterface(m, created); });
    if (e != 0)
        return e;
    return found ? 0 : EPROTO;
}

int Nl80211::DeleteInterface(Netlink& genl, std::uint32_t ifindex) {
    std::uint16_t id = 0;
    if (const int e = FamilyId(genl, &id))
        return e;
    genlmsghdr header{};
    header.cmd = NL80211_CMD_DEL_INTERFACE;
    NetlinkMessage request(id, 0, &header, sizeof header);
    request.AddAttribute(NL80211_ATTR_IFINDEX, &ifindex, sizeof ifindex);
    return genl.Request(request);
}

}  // namespace plat
