// The parts of the Linux access point that read what others send: hostapd's
// control-interface answers and events, nl80211's interface and wiphy
// messages, the kernel's neighbour messages; and the rfkill switches read from
// sysfs and changed through the rfkill device.
#include <gtest/gtest.h>
#include <linux/genetlink.h>
#include <linux/neighbour.h>
#include <linux/nl80211.h>
#include <linux/rfkill.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/linux/HostapdControl.h"
#include "platform/linux/Netlink.h"
#include "platform/linux/Nl80211.h"
#include "platform/linux/Rfkill.h"
#include "platform/linux/WiredAccessPoint.h"
#include "support/TempDir.h"

namespace {

using plat::HostapdControl;
using plat::HostapdEvent;

const std::array<std::uint8_t, 6> kMac = {0x7a, 0x4a, 0xf9, 0x31, 0x86, 0x43};

TEST(HostapdControl, EventsWithTheirPrefixesAndBrokenOnes) {
    HostapdEvent e = HostapdControl::ParseEvent("<3>AP-STA-CONNECTED 7a:4a:f9:31:86:43");
    EXPECT_EQ(e.kind, HostapdEvent::Kind::StationConnected);
    EXPECT_EQ(e.mac, kMac);
    e = HostapdControl::ParseEvent(
        "IFNAME=wlan0 <3>AP-STA-DISCONNECTED 7A:4A:F9:31:86:43 p2p_dev_addr=00:00:00:00:00:00");
    EXPECT_EQ(e.kind, HostapdEvent::Kind::StationDisconnected);
    e = HostapdControl::ParseEvent(
        "<3>IFNAME=wlan0 AP-STA-DISCONNECTED 7A:4A:F9:31:86:43 p2p_dev_addr=00:00:00:00:00:00");
    EXPECT_EQ(e.kind, HostapdEvent::Kind::StationDisconnected);
    EXPECT_EQ(e.mac, kMac);
    EXPECT_EQ(HostapdControl::ParseEvent("<3>AP-ENABLED ").kind, HostapdEvent::Kind::Enabled);
    EXPECT_EQ(HostapdControl::ParseEvent("<3>AP-DISABLED ").kind, HostapdEvent::Kind::Disabled);
    EXPECT_EQ(HostapdControl::ParseEvent("<3>CTRL-EVENT-TERMINATING").kind,
              HostapdEvent::Kind::Terminating);
    // A station event without a readable MAC is no station event.
    for (const char* broken : {"<3>AP-STA-CONNECTED", "<3>AP-STA-CONNECTED 7a:4a:f9:31:86",
                               "<3>AP-STA-CONNECTED 7a:4a:f9:31:86:4g",
                               "<3>AP-STA-CONNECTED 7a-4a-f9-31-86-43", "<", "", "<3"})
        EXPECT_EQ(HostapdControl::ParseEvent(broken).kind, HostapdEvent::Kind::Other) << broken;
}

TEST(HostapdControl, StationAnswersAndStatus) {
    plat::HostapdStation s;
    ASSERT_TRUE(HostapdControl::ParseStation(
        "7a:4a:f9:31:86:43\nflags=[AUTH][ASSOC][AUTHORIZED]\naid=1\n", &s));
    EXPECT_EQ(s.mac, kMac);
    EXPECT_TRUE(s.authorized);
    ASSERT_TRUE(
        HostapdControl::ParseStation("7a:4a:f9:31:86:43\nflags=\ntimeout_next=REMOVE\n", &s));
    EXPECT_FALSE(s.authorized);
    // After the last station hostapd answers nothing or FAIL.
    EXPECT_FALSE(HostapdControl::ParseStation("", &s));
    EXPECT_FALSE(HostapdControl::ParseStation("FAIL\n", &s));

    auto v = HostapdControl::ParseKeyValues(
        "state=ENABLED\nfreq=2437\nbssid[0]=be:84:85:05:3c:12\n=odd\nnoequals\nssid[0]=a=b \n");
    EXPECT_EQ(v["state"], "ENABLED");
    EXPECT_EQ(v["freq"], "2437");
    EXPECT_EQ(v["ssid[0]"], "a=b");
    EXPECT_EQ(v.count(""), 0u);
    EXPECT_EQ(v.size(), 4u);
}

// A generic netlink message built as the kernel sends it.
class GenlMessage {
public:
    explicit GenlMessage(std::uint8_t cmd) {
        genlmsghdr h{};
        h.cmd = cmd;
        m_bytes.resize(NLMSG_HDRLEN);
        Append(&h, sizeof h);
    }
    GenlMessage& U32(std::uint16_t type, std::uint32_t v) { return Attr(type, &v, sizeof v); }
    GenlMessage& Text(std::uint16_t type, const std::string& s) {
        return Attr(type, s.c_str(), s.size() + 1);
    }
    GenlMessage& Attr(std::uint16_t type, const void* data, std::size_t size) {
        nlattr a{};
        a.nla_len = static_cast<std::uint16_t>(NLA_HDRLEN + size);
        a.nla_type = type;
        Append(&a, sizeof a);
        Append(data, size);
        m_bytes.resize(NLA_ALIGN(m_bytes.size()));
        return *this;
    }
    const nlmsghdr& Header() {
        nlmsghdr h{};
        h.nlmsg_len = static_cast<std::uint32_t>(m_bytes.size());
        std::memcpy(m_bytes.data(), &h, sizeof h);
        return *reinterpret_cast<const nlmsghdr*>(m_bytes.data());
    }

private:
    void Append(const void* data, std::size_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    std::vector<std::uint8_t> m_bytes;
};

std::vector<std::uint8_t> Flags(std::initializer_list<std::uint16_t> types) {
    std::vector<std::uint8_t> out;
    for (std::uint16_t t : types) {
        nlattr a{};
        a.nla_len = NLA_HDRLEN;
        a.nla_type = t;
        const auto* p = reinterpret_cast<const std::uint8_t*>(&a);
        out.insert(out.end(), p, p + sizeof a);
    }
    return out;
}

TEST(Nl80211, InterfacesAndSplitWiphyMessages) {
    GenlMessage iface(NL80211_CMD_NEW_INTERFACE);
    iface.U32(NL80211_ATTR_IFINDEX, 5).Text(NL80211_ATTR_IFNAME, "wlp2s0");
    iface.U32(NL80211_ATTR_WIPHY, 1).U32(NL80211_ATTR_IFTYPE, NL80211_IFTYPE_STATION);
    plat::WirelessInterface w;
    ASSERT_TRUE(plat::Nl80211::ParseInterface(iface.Header(), &w));
    EXPECT_EQ(w.name, "wlp2s0");
    EXPECT_EQ(w.ifindex, 5u);
    EXPECT_EQ(w.wiphy, 1u);
    EXPECT_EQ(w.iftype, static_cast<std::uint32_t>(NL80211_IFTYPE_STATION));
    GenlMessage nameless(NL80211_CMD_NEW_INTERFACE);
    nameless.U32(NL80211_ATTR_IFINDEX, 5).U32(NL80211_ATTR_WIPHY, 1);
    EXPECT_FALSE(plat::Nl80211::ParseInterface(nameless.Header(), &w));

    // The wiphy dump comes in parts; AP support is in one of them, marked
    // nested as the kernel does.
    std::map<std::uint32_t, plat::WiphyInfo> wiphys;
    GenlMessage first(NL80211_CMD_NEW_WIPHY);
    first.U32(NL80211_ATTR_WIPHY, 1).Text(NL80211_ATTR_WIPHY_NAME, "phy1");
    plat::Nl80211::ParseWiphy(first.Header(), &wiphys);
    EXPECT_FALSE(wiphys[1].apMode);
    const auto types = Flags({NL80211_IFTYPE_STATION, NL80211_IFTYPE_AP, NL80211_IFTYPE_MONITOR});
    GenlMessage second(NL80211_CMD_NEW_WIPHY);
    second.U32(NL80211_ATTR_WIPHY, 1)
        .Attr(NL80211_ATTR_SUPPORTED_IFTYPES | NLA_F_NESTED, types.data(), types.size());
    plat::Nl80211::ParseWiphy(second.Header(), &wiphys);
    EXPECT_EQ(wiphys[1].name, "phy1");
    EXPECT_TRUE(wiphys[1].apMode);

    const auto stationOnly = Flags({NL80211_IFTYPE_STATION, NL80211_IFTYPE_ADHOC});
    GenlMessage other(NL80211_CMD_NEW_WIPHY);
    other.U32(NL80211_ATTR_WIPHY, 2)
        .Attr(NL80211_ATTR_SUPPORTED_IFTYPES, stationOnly.data(), stationOnly.size());
    plat::Nl80211::ParseWiphy(other.Header(), &wiphys);
    EXPECT_FALSE(wiphys[2].apMode);

    // A nested list whose length runs past its end is read no further.
    std::vector<std::uint8_t> cut = Flags({NL80211_IFTYPE_STATION, NL80211_IFTYPE_AP});
    cut[sizeof(nlattr)] = 200;
    GenlMessage broken(NL80211_CMD_NEW_WIPHY);
    broken.U32(NL80211_ATTR_WIPHY, 3).Attr(NL80211_ATTR_SUPPORTED_IFTYPES, cut.data(), cut.size());
    plat::Nl80211::ParseWiphy(broken.Header(), &wiphys);
    EXPECT_FALSE(wiphys[3].apMode);
}

TEST(Nl80211, ThisKernelWithoutWirelessAnswersNoInterfaces) {
    std::vector<plat::WirelessInterface> interfaces;
    const int e = plat::Nl80211::Interfaces(&interfaces);
    if (e == 0)
        GTEST_SKIP() << "this kernel has nl80211";
    EXPECT_EQ(e, ENOENT);
    EXPECT_TRUE(interfaces.empty());
}

TEST(WiredAccessPoint, NeighbourMessagesNameDevicesSeenOnTheLink) {
    auto message = [](std::uint16_t type, std::uint16_t state, const void* mac, int family) {
        ndmsg nd{};
        nd.ndm_family = static_cast<std::uint8_t>(family);
        nd.ndm_ifindex = 7;
        nd.ndm_state = state;
        auto m = std::make_unique<plat::NetlinkMessage>(type, 0, &nd, sizeof nd);
        const std::uint8_t ip[4] = {10, 0, 0, 2};
        m->AddAttribute(NDA_DST, ip, sizeof ip);
        if (mac != nullptr)
            m->AddAttribute(NDA_LLADDR, mac, 6);
        return m;
    };
    plat::NeighbourEntry e;
    ASSERT_TRUE(plat::WiredAccessPoint::ParseNeighbour(
        *message(RTM_NEWNEIGH, NUD_STALE, kMac.data(), AF_INET)->Header(), &e));
    EXPECT_TRUE(e.usable);
    EXPECT_FALSE(e.deleted);
    EXPECT_EQ(e.ifindex, 7);
    EXPECT_EQ(e.mac, kMac);
    EXPECT_EQ(e.address, std::string("\x0a\x00\x00\x02", 4));

    ASSERT_TRUE(plat::WiredAccessPoint::ParseNeighbour(
        *message(RTM_DELNEIGH, NUD_REACHABLE, kMac.data(), AF_INET)->Header(), &e));
    EXPECT_TRUE(e.deleted);
    ASSERT_TRUE(plat::WiredAccessPoint::ParseNeighbour(
        *message(RTM_NEWNEIGH, NUD_FAILED, kMac.data(), AF_INET)->Header(), &e));
    EXPECT_FALSE(e.usable);
    ASSERT_TRUE(plat::WiredAccessPoint::ParseNeighbour(
        *message(RTM_NEWNEIGH, NUD_INCOMPLETE, nullptr, AF_INET)->Header(), &e));
    EXPECT_FALSE(e.usable);
    const std::uint8_t multicast[6] = {0x33, 0x33, 0, 0, 0, 0x16};
    ASSERT_TRUE(plat::WiredAccessPoint::ParseNeighbour(
        *message(RTM_NEWNEIGH, NUD_NOARP, multicast, AF_INET6)->Header(), &e));
    EXPECT_FALSE(e.usable);

    ifinfomsg link{};
    plat::NetlinkMessage other(RTM_NEWLINK, 0, &link, sizeof link);
    EXPECT_FALSE(plat::WiredAccessPoint::ParseNeighbour(*other.Header(), &e));
}

TEST(Rfkill, SwitchesOfTheRadioAndTheSoftBlock) {
    TempDir dir;
    namespace fs = std::filesystem;
    const fs::path phy = fs::path(dir.Path()) / "class/net/wlan0/phy80211";
    fs::create_directories(phy / "rfkill3");
    fs::create_directories(phy / "rfkill7");
    fs::create_directories(phy / "rfkillx");
    std::ofstream(phy / "rfkill3/soft") << "1\n";
    std::ofstream(phy / "rfkill3/hard") << "0\n";
    std::ofstream(phy / "rfkill7/soft") << "0\n";
    std::ofstream(phy / "rfkill7/hard") << "1\n";
    std::ofstream(phy / "rfkillx/soft") << "1\n";
    std::ofstream(phy / "rfkillx/hard") << "1\n";
    dir.Write("rfkill", "");
    const plat::Rfkill rfkill(dir.Path(), dir.File("rfkill"));

    auto switches = rfkill.Switches("wlan0");
    ASSERT_EQ(switches.size(), 2u);
    std::sort(switches.begin(), switches.end(),
              [](const auto& a, const auto& b) { return a.index < b.index; });
    EXPECT_EQ(switches[0].index, 3u);
    EXPECT_TRUE(switches[0].soft);
    EXPECT_FALSE(switches[0].hard);
    EXPECT_EQ(switches[1].index, 7u);
    EXPECT_TRUE(switches[1].hard);
    EXPECT_TRUE(rfkill.Switches("eth0").empty());

    // The change goes to the device as one rfkill event.
    ASSERT_EQ(rfkill.SetSoftBlock(3, false), 0);
    const std::string written = dir.Read("rfkill");
    ASSERT_EQ(written.size(), sizeof(rfkill_event));
    rfkill_event event{};
    std::memcpy(&event, written.data(), sizeof event);
    EXPECT_EQ(event.idx, 3u);
    EXPECT_EQ(event.op, RFKILL_OP_CHANGE);
    EXPECT_EQ(event.soft, 0);
    EXPECT_EQ(plat::Rfkill(dir.Path(), dir.File("none/rfkill")).SetSoftBlock(3, true), ENOENT);
}

}  // namespace
