// nl80211 answers as real message bytes, built with the kernel's own
// attribute numbers (linux/nl80211.h), and a stand-in for the kernel's generic
// netlink side that answers them and checks every request it gets:
//   phy0/wlan0: 2.4 GHz, station and AP (also both at once on one channel),
//               SAE with BIP, its channels sent in
//               two messages of a split dump; 12 and 13 no-IR and 14
//               disabled in the world domain;
//   phy1/wlan1: 5 GHz only (802.11n/ac), no SAE, no interface combinations;
//               52 and 100 radar, the rest
//               no-IR in the world domain.
// The regulatory domain is "00" (world) or "DE". wlan0 is connected on
// channel 6 (`interfaces` can be changed); access point interfaces made with
// NEW_INTERFACE are added to them and DEL_INTERFACE removes them, as the
// kernel would.
#pragma once

#include <linux/genetlink.h>
#include <linux/nl80211.h>

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/linux/Netlink.h"
#include "platform/linux/Nl80211.h"

namespace radiofixture {

using plat::RadioBand;
using plat::WirelessInterface;

constexpr std::uint16_t kFamily = 0x23;

// A generic netlink message under construction: header, genl header, attributes.
class Message {
public:
    Message(std::uint16_t type, std::uint8_t cmd) {
        m_bytes.resize(NLMSG_HDRLEN + GENL_HDRLEN);
        nlmsghdr h{};
        h.nlmsg_type = type;
        std::memcpy(m_bytes.data(), &h, sizeof h);
        genlmsghdr g{};
        g.cmd = cmd;
        std::memcpy(m_bytes.data() + NLMSG_HDRLEN, &g, sizeof g);
    }
    Message& Raw(std::uint16_t type, const void* data, std::size_t size) {
        nlattr a{};
        a.nla_len = static_cast<std::uint16_t>(NLA_HDRLEN + size);
        a.nla_type = type;
        const std::size_t at = m_bytes.size();
        m_bytes.resize(at + NLA_ALIGN(a.nla_len));
        std::memcpy(m_bytes.data() + at, &a, sizeof a);
        if (size != 0)
            std::memcpy(m_bytes.data() + at + NLA_HDRLEN, data, size);
        return *this;
    }
    Message& U32(std::uint16_t type, std::uint32_t v) { return Raw(type, &v, 4); }
    Message& U16(std::uint16_t type, std::uint16_t v) { return Raw(type, &v, 2); }
    Message& Flag(std::uint16_t type) { return Raw(type, nullptr, 0); }
    Message& Str(std::uint16_t type, const std::string& s) {
        return Raw(type, s.c_str(), s.size() + 1);
    }
    Message& Begin(std::uint16_t type) {
        m_open.push_back(m_bytes.size());
        return Raw(static_cast<std::uint16_t>(type | NLA_F_NESTED), nullptr, 0);
    }
    Message& End() {
        const std::size_t at = m_open.back();
        m_open.pop_back();
        const auto len = static_cast<std::uint16_t>(m_bytes.size() - at);
        std::memcpy(m_bytes.data() + at, &len, 2);
        return *this;
    }
    const nlmsghdr& Header() {
        const auto len = static_cast<std::uint32_t>(m_bytes.size());
        std::memcpy(m_bytes.data(), &len, 4);
        return *reinterpret_cast<const nlmsghdr*>(m_bytes.data());
    }

private:
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::size_t> m_open;
};

struct Freq {
    std::uint32_t mhz;
    bool disabled = false, noIr = false, radar = false;
};

// One band with its channels inside NL80211_ATTR_WIPHY_BANDS.
inline void Band(Message& m, int kind, const std::vector<Freq>& freqs, bool ht, bool vht) {
    m.Begin(NL80211_ATTR_WIPHY_BANDS).Begin(static_cast<std::uint16_t>(kind));
    if (ht)
        m.U16(NL80211_BAND_ATTR_HT_CAPA, 0x01ef);
    if (vht)
        m.U32(NL80211_BAND_ATTR_VHT_CAPA, 0x0381a1b2);
    m.Begin(NL80211_BAND_ATTR_FREQS);
    std::uint16_t i = 0;
    for (const Freq& f : freqs) {
        m.Begin(i++).U32(NL80211_FREQUENCY_ATTR_FREQ, f.mhz);
        if (f.disabled)
            m.Flag(NL80211_FREQUENCY_ATTR_DISABLED);
        if (f.noIr)
            m.Flag(NL80211_FREQUENCY_ATTR_NO_IR);
        if (f.radar)
            m.Flag(NL80211_FREQUENCY_ATTR_RADAR);
        m.End();
    }
    m.End().End().End();
}

// The kernel's side: the family, split wiphy dumps, interfaces, the domain.
class FakeGenl : public plat::Netlink {
public:
    struct Iface {
        std::uint32_t ifindex;
        std::string name;
        std::uint32_t wiphy;
        std::uint32_t iftype;
        std::uint32_t mhz;
        std::array<std::uint8_t, 6> mac;
    };

    // `macOnCreate`: phy0's driver takes an address given with NEW_INTERFACE.
    explicit FakeGenl(bool world, bool macOnCreate = true)
        : Netlink(NETLINK_GENERIC), m_world(world), m_macOnCreate(macOnCreate) {
        // phy0: 2.4 GHz, station and AP in one channel, SAE and BIP; the
        // band's channels come in two messages, as a split dump sends them.
        Message a(kFamily, NL80211_CMD_NEW_WIPHY);
        a.U32(NL80211_ATTR_WIPHY, 0).Str(NL80211_ATTR_WIPHY_NAME, "phy0");
        a.Begin(NL80211_ATTR_SUPPORTED_IFTYPES)
            .Flag(NL80211_IFTYPE_STATION)
            .Flag(NL80211_IFTYPE_AP)
            .End();
        const std::uint32_t ciphers[] = {0x000FAC04, 0x000FAC06};
        a.Raw(NL80211_ATTR_CIPHER_SUITES, ciphers, sizeof ciphers);
        a.U32(NL80211_ATTR_FEATURE_FLAGS, NL80211_FEATURE_SAE | NL80211_FEATURE_HT_IBSS |
                                              (macOnCreate ? NL80211_FEATURE_MAC_ON_CREATE : 0u));
        // One station and one AP, on one channel.
        a.Begin(NL80211_ATTR_INTERFACE_COMBINATIONS).Begin(1).Begin(NL80211_IFACE_COMB_LIMITS);
        a.Begin(1).U32(NL80211_IFACE_LIMIT_MAX, 1);
        a.Begin(NL80211_IFACE_LIMIT_TYPES).Flag(NL80211_IFTYPE_STATION).End().End();
        a.Begin(2).U32(NL80211_IFACE_LIMIT_MAX, 1);
        a.Begin(NL80211_IFACE_LIMIT_TYPES).Flag(NL80211_IFTYPE_AP).Flag(NL80211_IFTYPE_P2P_GO);
        a.End().End().End();
        a.U32(NL80211_IFACE_COMB_MAXNUM, 2).U32(NL80211_IFACE_COMB_NUM_CHANNELS, 1).End().End();
        std::vector<Freq> low;
        for (std::uint32_t mhz = 2412; mhz <= 2442; mhz += 5)
            low.push_back({mhz});
        Band(a, NL80211_BAND_2GHZ, low, true, false);
        m_wiphys.push_back(a);
        Message b(kFamily, NL80211_CMD_NEW_WIPHY);
        b.U32(NL80211_ATTR_WIPHY, 0);
        std::vector<Freq> high;
        for (std::uint32_t mhz = 2447; mhz <= 2462; mhz += 5)
            high.push_back({mhz});
        high.push_back({2467, false, m_world});  // 12 and 13: no-IR in the world domain
        high.push_back({2472, false, m_world});
        high.push_back({2484, true});  // 14
        Band(b, NL80211_BAND_2GHZ, high, true, false);
        m_wiphys.push_back(b);

        // phy1: 5 GHz only, no SAE; the world domain allows nothing of its own.
        Message c(kFamily, NL80211_CMD_NEW_WIPHY);
        c.U32(NL80211_ATTR_WIPHY, 1).Str(NL80211_ATTR_WIPHY_NAME, "phy1");
        c.Begin(NL80211_ATTR_SUPPORTED_IFTYPES).Flag(NL80211_IFTYPE_AP).End();
        Band(c, NL80211_BAND_5GHZ,
             {{5180, false, m_world},
              {5200, false, m_world},
              {5260, false, true, true},
              {5500, false, true, true},
              {5745, false, m_world}},
             true, true);
        m_wiphys.push_back(c);

        interfaces.push_back({3, "wlan0", 0, NL80211_IFTYPE_STATION, 2437, kCard0});
        interfaces.push_back({4, "wlan1", 1, NL80211_IFTYPE_STATION, 0, kCard1});
    }

    static constexpr std::array<std::uint8_t, 6> kCard0 = {0x00, 0x1b, 0x21, 0x3a, 0x4c, 0x5e};
    static constexpr std::array<std::uint8_t, 6> kCard1 = {0x00, 0xc0, 0xca, 0x01, 0x02, 0x03};

    static Message Describe(const Iface& i) {
        Message m(kFamily, NL80211_CMD_NEW_INTERFACE);
        m.U32(NL80211_ATTR_IFINDEX, i.ifindex).Str(NL80211_ATTR_IFNAME, i.name);
        m.U32(NL80211_ATTR_WIPHY, i.wiphy).U32(NL80211_ATTR_IFTYPE, i.iftype);
        m.Raw(NL80211_ATTR_MAC, i.mac.data(), 6);
        if (i.mhz != 0)
            m.U32(NL80211_ATTR_WIPHY_FREQ, i.mhz);
        return m;
    }

    int Dump(plat::NetlinkMessage& request,
             const std::function<void(const nlmsghdr&)>& each) override {
        const nlmsghdr& h = *request.Header();
        genlmsghdr g{};
        std::memcpy(&g, NLMSG_DATA(&h), sizeof g);
        std::map<std::uint16_t, std::string> attrs;
        plat::Netlink::Attributes(h, GENL_HDRLEN,
                                  [&](std::uint16_t type, const void* data, std::size_t n) {
                                      attrs[type] = std::string(static_cast<const char*>(data), n);
                                  });
        if (h.nlmsg_type == GENL_ID_CTRL) {
            EXPECT_EQ(g.cmd, CTRL_CMD_GETFAMILY);
            EXPECT_EQ(attrs[CTRL_ATTR_FAMILY_NAME], std::string("nl80211", 8));
            Message answer(GENL_ID_CTRL, CTRL_CMD_NEWFAMILY);
            answer.U16(CTRL_ATTR_FAMILY_ID, kFamily).Str(CTRL_ATTR_FAMILY_NAME, "nl80211");
            each(answer.Header());
            return 0;
        }
        EXPECT_EQ(h.nlmsg_type, kFamily);
        seen.push_back(g.cmd);
        if (g.cmd == NL80211_CMD_GET_WIPHY) {
            EXPECT_NE(h.nlmsg_flags & NLM_F_DUMP, 0);
            EXPECT_EQ(attrs.count(NL80211_ATTR_SPLIT_WIPHY_DUMP), 1u);
            for (Message& m : m_wiphys)
                each(m.Header());
        } else if (g.cmd == NL80211_CMD_GET_INTERFACE && (h.nlmsg_flags & NLM_F_DUMP) != 0) {
            for (const Iface& i : interfaces) {
                Message m = Describe(i);
                each(m.Header());
            }
        } else if (g.cmd == NL80211_CMD_GET_INTERFACE) {
            const std::uint32_t ifindex = U32Of(attrs, NL80211_ATTR_IFINDEX);
            for (const Iface& i : interfaces) {
                if (i.ifindex == ifindex) {
                    Message m = Describe(i);
                    each(m.Header());
                    return 0;
                }
            }
            return ENODEV;
        } else if (g.cmd == NL80211_CMD_NEW_INTERFACE) {
            // What a driver checks; the answer describes the new interface.
            EXPECT_EQ(h.nlmsg_flags & NLM_F_DUMP, 0);
            const std::uint32_t wiphy = U32Of(attrs, NL80211_ATTR_WIPHY);
            EXPECT_EQ(U32Of(attrs, NL80211_ATTR_IFTYPE), std::uint32_t{NL80211_IFTYPE_AP});
            const std::string name = attrs[NL80211_ATTR_IFNAME];
            EXPECT_TRUE(!name.empty() && name.back() == 0);
            newRequests.push_back(attrs);
            for (const Iface& i : interfaces)
                if (i.name + std::string(1, '\0') == name)
                    return ENFILE;
            if (wiphy != 0 && !apOnEveryCard)
                return EOPNOTSUPP;
            Iface made{createdIfindex != 0 ? createdIfindex : nextIfindex++,
                       name.substr(0, name.size() - 1),
                       wiphy,
                       NL80211_IFTYPE_AP,
                       0,
                       kCard0};
            const std::string mac = attrs[NL80211_ATTR_MAC];
            if (m_macOnCreate && mac.size() == 6)
                std::memcpy(made.mac.data(), mac.data(), 6);
            interfaces.push_back(made);
            Message m = Describe(made);
            each(m.Header());
        } else if (g.cmd == NL80211_CMD_GET_REG) {
            Message reg(kFamily, NL80211_CMD_GET_REG);
            // A country asked for is in force after `regulatoryLag` more reads.
            const bool applied = !askedFor.empty() && regulatoryReads++ >= regulatoryLag;
            reg.Str(NL80211_ATTR_REG_ALPHA2, applied   ? std::string(askedFor.c_str())
                                             : m_world ? "00"
                                                       : "DE");
            each(reg.Header());
        } else {
            ADD_FAILURE() << "unexpected dump " << int(g.cmd);
            return EOPNOTSUPP;
        }
        return 0;
    }

    int Request(plat::NetlinkMessage& request) override {
        const nlmsghdr& h = *request.Header();
        genlmsghdr g{};
        std::memcpy(&g, NLMSG_DATA(&h), sizeof g);
        EXPECT_EQ(h.nlmsg_type, kFamily);
        if (g.cmd == NL80211_CMD_DEL_INTERFACE) {
            std::map<std::uint16_t, std::string> attrs;
            plat::Netlink::Attributes(
                h, GENL_HDRLEN, [&](std::uint16_t type, const void* data, std::size_t n) {
                    attrs[type] = std::string(static_cast<const char*>(data), n);
                });
            EXPECT_EQ(attrs.size(), 1u);
            const std::uint32_t ifindex = U32Of(attrs, NL80211_ATTR_IFINDEX);
            deleted.push_back(ifindex);
            for (auto it = interfaces.begin(); it != interfaces.end(); ++it) {
                if (it->ifindex == ifindex) {
                    interfaces.erase(it);
                    return 0;
                }
            }
            return ENODEV;
        }
        EXPECT_EQ(g.cmd, NL80211_CMD_REQ_SET_REG);
        plat::Netlink::Attributes(h, GENL_HDRLEN,
                                  [&](std::uint16_t type, const void* data, std::size_t n) {
                                      if (type == NL80211_ATTR_REG_ALPHA2)
                                          askedFor = std::string(static_cast<const char*>(data), n);
                                      else
                                          ADD_FAILURE() << "unexpected attribute " << type;
                                  });
        return 0;
    }

    static std::uint32_t U32Of(std::map<std::uint16_t, std::string>& attrs, std::uint16_t type) {
        std::uint32_t v = 0;
        const std::string& bytes = attrs[type];
        EXPECT_EQ(bytes.size(), 4u) << "attribute " << type;
        if (bytes.size() == 4)
            std::memcpy(&v, bytes.data(), 4);
        return v;
    }

    std::vector<int> seen;
    std::string askedFor;
    int regulatoryLag = 0;
    bool apOnEveryCard = false;  // NEW_INTERFACE accepted on phy1 too
    int regulatoryReads = 0;
    std::vector<Iface> interfaces;
    std::vector<std::map<std::uint16_t, std::string>> newRequests;  // their attributes
    std::vector<std::uint32_t> deleted;
    std::uint32_t nextIfindex = 10;
    std::uint32_t createdIfindex = 0;  // set: the index the next new interface gets

private:
    bool m_world;
    bool m_macOnCreate;
    std::vector<Message> m_wiphys;
};

// A socket of its own that the fixture's kernel answers (each user of
// nl80211 opens its own).
class GenlProxy : public plat::Netlink {
public:
    explicit GenlProxy(FakeGenl& to) : Netlink(NETLINK_GENERIC), m_to(to) {}
    int Dump(plat::NetlinkMessage& m, const std::function<void(const nlmsghdr&)>& each) override {
        return m_to.Dump(m, each);
    }
    int Request(plat::NetlinkMessage& m) override { return m_to.Request(m); }

private:
    FakeGenl& m_to;
};

inline std::map<std::string, WirelessInterface> Radios(FakeGenl& genl) {
    std::vector<WirelessInterface> list;
    EXPECT_EQ(plat::Nl80211::Interfaces(genl, &list), 0);
    std::map<std::string, WirelessInterface> out;
    for (const WirelessInterface& w : list)
        out[w.name] = w;
    return out;
}

}  // namespace radiofixture
