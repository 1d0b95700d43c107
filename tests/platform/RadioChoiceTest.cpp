// The one rule that chooses the access point's interface (used by the start,
// lumari-hotspot and its doctor), from the facts of a PC: radios with their
// kill switches, the upstream's interface; and the programs found holding a
// Wi-Fi interface beside NetworkManager.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/RadioChooser.h"
#include "platform/linux/WifiHolders.h"
#include "support/RadioFixture.h"
#include "support/TempDir.h"

namespace {

using plat::RadioChoice;
using plat::RadioChooser;
using plat::RadioFacts;

constexpr std::uint32_t kStation = 2;  // NL80211_IFTYPE_STATION
constexpr std::uint32_t kMonitor = 6;  // NL80211_IFTYPE_MONITOR

RadioFacts::Radio Radio(const std::string& name, std::uint32_t wiphy, bool ap,
                        std::uint32_t iftype = kStation) {
    RadioFacts::Radio r;
    r.interface.name = name;
    r.interface.wiphy = wiphy;
    r.interface.phyName = "phy" + std::to_string(wiphy);
    r.interface.apMode = ap;
    r.interface.iftype = iftype;
    return r;
}

// A laptop: its built-in card carries the upstream; a USB dongle, a monitor
// interface and a second interface of the built-in card are there too.
TEST(RadioChoice, AutomaticChoiceLeavesTheUpstreamCardAloneAndPrefersAnotherRadio) {
    RadioFacts facts;
    facts.radios = {Radio("mon0", 2, true, kMonitor), Radio("wlan0", 0, true),
                    Radio("wlan0b", 0, true), Radio("wlx00c0ca", 1, true)};
    facts.upstreams = {"wlan0"};
    const RadioChoice c = RadioChooser::Choose("", facts);
    ASSERT_EQ(c.form, RadioChoice::Form::Radio) << c.why;
    EXPECT_EQ(c.name, "wlx00c0ca");
    EXPECT_EQ(c.why,
              "wlx00c0ca (phy1) carries the access point: it can run one, and wlan0, which "
              "carries the upstream connection, is left alone");

    // Without the dongle nothing is taken, and the message names the way out.
    facts.radios.pop_back();
    const RadioChoice none = RadioChooser::Choose("", facts);
    EXPECT_EQ(none.form, RadioChoice::Form::None);
    EXPECT_EQ(none.why,
              "the only Wi-Fi card that can run an access point, wlan0 (phy0), carries this PC's "
              "upstream connection (the default route); taking it for the access point would "
              "cut the PC off the Internet; its card cannot run an access point beside its "
              "connection (no interface combination of its driver allows it)");
    EXPECT_NE(none.fix.find("second Wi-Fi adapter"), std::string::npos);
    EXPECT_NE(none.fix.find("by cable"), std::string::npos);

    // With a wired upstream the built-in card is free.
    facts.upstreams = {"eth0"};
    const RadioChoice free = RadioChooser::Choose("", facts);
    EXPECT_EQ(free.name, "wlan0");
    EXPECT_EQ(free.why,
              "wlan0 (phy0) carries the access point: the first Wi-Fi interface that "
              "can run one");
}

// The upstream's card can run an access point beside its station (the
// fixture's phy0, from real nl80211 bytes): used when no second radio can,
// or when asked for; never when ruled out.
TEST(RadioChoice, OneCardForBothWhenNoOtherRadioCanAndTheCardAllowsIt) {
    radiofixture::FakeGenl genl(false);
    auto radios = radiofixture::Radios(genl);
    RadioFacts facts;
    facts.radios = {{radios["wlan0"]}, {radios["wlan1"]}};
    facts.upstreams = {"wlan0"};
    EXPECT_EQ(RadioChooser::Choose("", facts).name, "wlan1");  // a second radio first

    const RadioChoice always = RadioChooser::Choose("", facts, plat::OneCardMode::Always);
    EXPECT_TRUE(always.oneCard);
    EXPECT_EQ(always.why.substr(always.why.rfind("; ")),
              "; one card for both was asked for (--one-card)");

    facts.radios.pop_back();
    const RadioChoice one = RadioChooser::Choose("", facts);
    ASSERT_EQ(one.form, RadioChoice::Form::Radio) << one.why;
    EXPECT_TRUE(one.oneCard);
    EXPECT_EQ(one.name, "lumari-ap0");
    EXPECT_EQ(one.station, "wlan0");
    EXPECT_EQ(one.sharedChannels, 1u);
    EXPECT_EQ(one.why,
              "one card for both: wlan0 keeps the upstream connection and its card (phy0) runs "
              "the access point beside it on a new interface, lumari-ap0, on wlan0's channel "
              "(the card allows an access point beside a station on one channel only); no other "
              "Wi-Fi card can run an access point");
    EXPECT_TRUE(RadioChooser::Choose("wlan0", facts).oneCard);  // named: the same rule

    const RadioChoice never = RadioChooser::Choose("", facts, plat::OneCardMode::Never);
    EXPECT_EQ(never.form, RadioChoice::Form::None);
    EXPECT_NE(never.why.find("one card for both is off (--no-one-card)"), std::string::npos);
    EXPECT_EQ(RadioChooser::Choose("wlan0", facts, plat::OneCardMode::Never).form,
              RadioChoice::Form::None);

    // The card's own switch, or an interface that is not the station, rules it out.
    facts.radios[0].hardBlocked = true;
    EXPECT_FALSE(RadioChooser::Choose("", facts).oneCard);
    facts.radios[0].hardBlocked = false;
    facts.radios[0].interface.iftype = 3;  // NL80211_IFTYPE_AP
    EXPECT_FALSE(RadioChooser::Choose("", facts).oneCard);
}

TEST(RadioChoice, KillSwitchesOrderTheRadios) {
    RadioFacts facts;
    facts.radios = {Radio("wlan0", 0, true), Radio("wlan1", 1, true), Radio("wlan2", 2, true),
                    Radio("wlan3", 3, false)};
    facts.radios[0].hardBlocked = true;
    facts.radios[1].softBlocked = true;
    EXPECT_EQ(RadioChooser::Choose("", facts).name, "wlan2");  // on beats blocked

    facts.radios.erase(facts.radios.begin() + 2);
    const RadioChoice soft = RadioChooser::Choose("", facts);
    EXPECT_EQ(soft.name, "wlan1");  // a software block the start lifts
    EXPECT_TRUE(soft.softBlocked);

    facts.radios.erase(facts.radios.begin() + 1);
    const RadioChoice hard = RadioChooser::Choose("", facts);
    EXPECT_EQ(hard.form, RadioChoice::Form::None);
    EXPECT_EQ(hard.why, "the radio of wlan0 is switched off by its hardware switch");

    facts.radios.erase(facts.radios.begin());  // only a radio without AP mode
    EXPECT_EQ(RadioChooser::Choose("", facts).why, "no Wi-Fi interface can run an access point");
}

TEST(RadioChoice, NamedInterfaceIsCheckedByTheSameRule) {
    RadioFacts facts;
    facts.radios = {Radio("wlan0", 0, true), Radio("wlan1", 1, false)};
    facts.upstreams = {"wlan0", "eth0"};
    EXPECT_EQ(RadioChooser::Choose("wlan0", facts).form, RadioChoice::Form::None);
    EXPECT_EQ(RadioChooser::Choose("eth0", facts).why.rfind("eth0 carries this PC's upstream", 0),
              0u);
    EXPECT_EQ(RadioChooser::Choose("wlan1", facts).why,
              "the driver of wlan1 cannot run an access point");

    facts.namedExists = true;
    const RadioChoice wired = RadioChooser::Choose("eth1", facts);
    EXPECT_EQ(wired.form, RadioChoice::Form::Wired);
    facts.namedIsWireless = true;  // a radio nl80211 does not answer for
    EXPECT_EQ(RadioChooser::Choose("eth1", facts).form, RadioChoice::Form::None);
    facts.namedExists = false;
    EXPECT_EQ(RadioChooser::Choose("nosuch0", facts).why, "there is no interface nosuch0");
}

// Processes as /proc shows them: their command lines, NUL-separated.
class RadioHolders : public ::testing::Test {
protected:
    void Process(int pid, const std::vector<std::string>& args) {
        const std::string dir = m_dir.File(std::to_string(pid));
        std::filesystem::create_directories(dir);
        std::ofstream out(dir + "/cmdline", std::ios::binary);
        for (const std::string& a : args)
            out << a << '\0';
    }
    std::vector<std::string> Programs(const std::string& iface) {
        std::vector<std::string> out;
        for (const plat::WifiHolder& h : plat::WifiHolders::Find(iface, m_dir.Path()))
            out.push_back(h.program + " " + std::to_string(h.pid));
        return out;
    }
    TempDir m_dir;
};

TEST_F(RadioHolders, IwdAndAnOwnWpaSupplicantAreFoundNetworkManagersIsNot) {
    Process(101, {"/usr/sbin/NetworkManager", "--no-daemon"});
    Process(102, {"/sbin/wpa_supplicant", "-u", "-s", "-O", "/run/wpa_supplicant"});
    std::filesystem::create_directories(m_dir.File("self"));
    EXPECT_TRUE(Programs("wlan0").empty());

    Process(103, {"/sbin/wpa_supplicant", "-B", "-c", "/etc/wpa.conf", "-iwlan1"});
    Process(104, {"wpa_supplicant", "-i", "wlan2", "-c", "/etc/a.conf", "-N", "-i", "wlan3"});
    EXPECT_EQ(Programs("wlan1"), std::vector<std::string>{"wpa_supplicant 103"});
    EXPECT_EQ(Programs("wlan3"), std::vector<std::string>{"wpa_supplicant 104"});
    EXPECT_TRUE(Programs("wlan0").empty());

    Process(105, {"/usr/libexec/iwd", "--nointerfaces", "wlan0,wlx*"});
    EXPECT_EQ(Programs("wlan2").size(), 2u);  // iwd takes what it is not told to leave
    EXPECT_TRUE(Programs("wlx00c0ca").empty());
    EXPECT_TRUE(Programs("wlan0").empty());

    EXPECT_TRUE(plat::WifiHolders::Holds("iwd", {"iwd", "-i", "wlan1"}, "wlan1"));
    EXPECT_FALSE(plat::WifiHolders::Holds("iwd", {"iwd", "--interfaces=wlan1"}, "wlan0"));
    const auto found = plat::WifiHolders::Find("wlan2", m_dir.Path());
    ASSERT_FALSE(found.empty());
    for (const plat::WifiHolder& h : found)
        EXPECT_NE(h.fix.find("while the hotspot runs"), std::string::npos) << h.what;
}

// One card for both: iwd is judged for the interface the hotspot makes on
// the station's card, not for the station's own interface.
TEST_F(RadioHolders, IwdOnTheCardOfAOneCardRun) {
    auto onCard = [&](const std::vector<std::string>& iwd) {
        std::filesystem::remove_all(m_dir.File("200"));
        Process(200, iwd);
        std::vector<std::string> out;
        for (const auto& h :
             plat::WifiHolders::FindOnCard("wlan0", "phy0", "lumari-ap0", m_dir.Path()))
            out.push_back(std::string(h.warning ? "warning " : "failure ") + h.holder.what);
        return out;
    };
    Process(201, {"/sbin/wpa_supplicant", "-i", "wlan0", "-c", "/etc/wpa.conf"});  // the station's
    const auto plain = onCard({"/usr/libexec/iwd"});
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].rfind("warning iwd (process 200) manages phy0, the card of wlan0", 0), 0u)
        << plain[0];
    EXPECT_TRUE(onCard({"iwd", "--nophys", "phy*"}).empty());
    EXPECT_TRUE(onCard({"iwd", "-p", "phy1"}).empty());
    EXPECT_EQ(onCard({"iwd", "-p", "phy0,phy1"}).size(), 1u);
    EXPECT_TRUE(onCard({"iwd", "-I", "wlan0"}).empty());  // not the station's manager
    // Told by name to take interfaces like the new one: it would take it.
    const auto listed = onCard({"iwd", "--interfaces=wlan0,lumari-ap*"});
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].rfind("failure iwd (process 200) is told to manage lumari-ap0", 0), 0u)
        << listed[0];
    EXPECT_EQ(onCard({"iwd", "-i", "lumari-ap*", "-I", "lumari-ap0"}), std::vector<std::string>{});
}

}  // namespace
