// One card for both: the access point on a second interface of the card whose
// station carries the upstream. nl80211 from real message bytes (the fixture
// kernel of RadioFixture.h checks each request); the address a driver does
// not take at creation is set through rtnetlink in a private namespace.
#include <gtest/gtest.h>

#include <linux/nl80211.h>
#include <net/if.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "PrivateNetns.h"
#include "platform/linux/LinkState.h"
#include "platform/linux/LinuxHostedNetwork.h"
#include "platform/linux/RadioChannels.h"
#include "platform/linux/VirtualAp.h"
#include "platform/sim/SimClock.h"
#include "support/RadioFixture.h"
#include "support/TempDir.h"

namespace {

using plat::VirtualAp;
using radiofixture::FakeGenl;
using radiofixture::Radios;

std::string Mac(const std::string& bytes) {
    plat::MacAddress m{};
    if (bytes.size() == 6)
        std::memcpy(m.data(), bytes.data(), 6);
    return plat::MacText::Format(m);
}

TEST(RadioOneCard, AccessPointInterfaceMadeBesideTheStationAndDeletedAtTheStopAndAfterAKill) {
    TempDir dir;
    FakeGenl genl(false);
    auto radios = Radios(genl);
    const plat::WirelessInterface station = radios["wlan0"];
    ASSERT_EQ(station.frequency, 2437u);
    ASSERT_TRUE(station.macOnCreate);

    {
        VirtualAp ap(dir.Path(), genl);
        std::string why;
        ASSERT_EQ(ap.Create(station, &why), 0) << why;
        ASSERT_EQ(genl.newRequests.size(), 1u);
        auto& request = genl.newRequests[0];
        EXPECT_EQ(FakeGenl::U32Of(request, NL80211_ATTR_WIPHY), 0u);
        EXPECT_EQ(request[NL80211_ATTR_IFNAME], std::string("lumari-ap0", 11));
        // The card's address, locally administered.
        EXPECT_EQ(Mac(request[NL80211_ATTR_MAC]), "02-1B-21-3A-4C-5E");
        EXPECT_EQ(ap.Name(), "lumari-ap0");
        auto now = Radios(genl);
        EXPECT_EQ(now["lumari-ap0"].iftype, std::uint32_t{NL80211_IFTYPE_AP});
        EXPECT_TRUE(std::filesystem::exists(ap.RecordFile()));
        const std::uint32_t made = ap.Ifindex();
        ap.Remove();
        EXPECT_EQ(genl.deleted, std::vector<std::uint32_t>{made});
        EXPECT_FALSE(std::filesystem::exists(ap.RecordFile()));
    }
    // The station was never touched.
    EXPECT_EQ(Radios(genl)["wlan0"].iftype, std::uint32_t{NL80211_IFTYPE_STATION});
    EXPECT_EQ(Radios(genl).size(), 2u);

    // A run killed while it ran: its object goes without a stop.
    genl.deleted.clear();
    std::uint32_t left = 0;
    {
        VirtualAp killed(dir.Path(), genl);
        std::string why;
        ASSERT_EQ(killed.Create(station, &why), 0) << why;
        left = killed.Ifindex();
    }
    // A run still going on in another process keeps its interface.
    const pid_t other = fork();
    if (other == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(other, 0);
    {
        std::ofstream out(dir.File("virtual-interface-lumari-ap0"), std::ios::trunc);
        out << "pid " << other << "\nlumari-ap0\n0\n";
    }
    using Names = std::vector<std::string>;
    VirtualAp next(dir.Path(), genl);
    EXPECT_EQ(next.RemoveLeftover(), Names{});
    std::string busy;
    EXPECT_EQ(next.Create(station, &busy), EEXIST);
    EXPECT_EQ(busy, "lumari-ap0 is used by another run of the hotspot (process " +
                        std::to_string(other) + ")");
    EXPECT_TRUE(genl.deleted.empty());
    kill(other, SIGKILL);
    waitpid(other, nullptr, 0);
    EXPECT_EQ(next.RemoveLeftover(), Names{"lumari-ap0"});
    EXPECT_EQ(genl.deleted, std::vector<std::uint32_t>{left});
    EXPECT_EQ(next.RemoveLeftover(), Names{});  // done once
    EXPECT_EQ(Radios(genl).size(), 2u);

    // An interface of that name that is not the hotspot's is never deleted.
    genl.interfaces.push_back({20, "lumari-ap0", 0, NL80211_IFTYPE_STATION, 0, FakeGenl::kCard0});
    VirtualAp clash(dir.Path(), genl);
    std::string why;
    EXPECT_EQ(clash.Create(station, &why), EEXIST);
    EXPECT_EQ(why, "an interface named lumari-ap0 is there already");
    EXPECT_EQ(genl.newRequests.size(), 2u);
    EXPECT_EQ(genl.deleted.size(), 1u);
}

// Hands `record` to process `pid`, as if that process had made the interface.
void HandTo(const std::string& record, pid_t pid) {
    std::ifstream in(record);
    std::string first;
    std::getline(in, first);
    const std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::ofstream(record, std::ios::trunc) << "pid " << pid << "\n" << rest;
}

pid_t Sleeper() {
    const pid_t pid = fork();
    if (pid == 0) {
        pause();
        _exit(0);
    }
    return pid;
}

// Two runs, each on its own card, at once: neither overwrites the other's
// record, and each killed run's interface is deleted on its own.
TEST(RadioOneCard, RunsOnTwoCardsAtOnceKeepTheirOwnRecords) {
    using Names = std::vector<std::string>;
    TempDir dir;
    FakeGenl genl(false);
    genl.apOnEveryCard = true;
    auto radios = Radios(genl);
    radios["wlan1"].macOnCreate = true;  // no address through rtnetlink here
    VirtualAp first(dir.Path(), genl);
    VirtualAp second(dir.Path(), genl);
    const pid_t runA = Sleeper();
    const pid_t runB = Sleeper();
    ASSERT_GT(runA, 0);
    ASSERT_GT(runB, 0);
    std::string why;
    ASSERT_EQ(first.Create(radios["wlan0"], &why), 0) << why;
    HandTo(first.RecordFile(), runA);
    ASSERT_EQ(second.Create(radios["wlan1"], &why), 0) << why;
    HandTo(second.RecordFile(), runB);
    ASSERT_EQ(second.Name(), "lumari-ap1");
    ASSERT_NE(first.RecordFile(), second.RecordFile());
    EXPECT_TRUE(genl.deleted.empty());

    VirtualAp next(dir.Path(), genl);
    EXPECT_EQ(next.RemoveLeftover(), Names{});
    kill(runA, SIGKILL);
    waitpid(runA, nullptr, 0);
    EXPECT_EQ(next.RemoveLeftover(), Names{"lumari-ap0"});
    EXPECT_EQ(genl.deleted, std::vector<std::uint32_t>{first.Ifindex()});
    EXPECT_TRUE(std::filesystem::exists(second.RecordFile()));

    // The single record of an earlier version naming the live run's interface
    // is stale: dropped, the interface kept.
    std::ofstream(dir.File("virtual-interface")) << "pid 0\nlumari-ap1\n1\n";
    EXPECT_EQ(next.RemoveLeftover(), Names{});
    EXPECT_FALSE(std::filesystem::exists(dir.File("virtual-interface")));
    EXPECT_EQ(genl.deleted.size(), 1u);

    kill(runB, SIGKILL);
    waitpid(runB, nullptr, 0);
    EXPECT_EQ(next.RemoveLeftover(), Names{"lumari-ap1"});
    EXPECT_EQ(genl.deleted.back(), second.Ifindex());
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(RadioOneCard, DerivedAddressIsLocallyAdministeredAndDiffersFromTheCards) {
    const plat::MacAddress global = {0x01, 0x1b, 0x21, 0x3a, 0x4c, 0x5e};  // group bit set
    EXPECT_EQ(plat::MacText::Format(VirtualAp::DerivedAddress(global)), "02-1B-21-3A-4C-5E");
    // A card already on a locally administered (random) address.
    const plat::MacAddress local = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    const plat::MacAddress derived = VirtualAp::DerivedAddress(local);
    EXPECT_NE(derived, local);
    EXPECT_EQ(derived[0] & 0x03, 0x02);
    EXPECT_EQ(VirtualAp::DerivedAddress(local), derived);  // the same every run
}

// A driver that takes no address at creation: the new interface comes with
// the card's own, and gets the derived one through rtnetlink before it is up.
TEST(RadioOneCard, AddressSetThroughRtnetlinkWhereTheDriverTakesNoneAtCreation) {
    TempDir dir;
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            // A link that stands in for the interface the driver makes.
            ASSERT_EQ(std::system("ip link add lumari-ap0 type veth peer name lap0p"), 0);
            FakeGenl genl(false, false);
            genl.createdIfindex = if_nametoindex("lumari-ap0");
            auto radios = Radios(genl);
            ASSERT_FALSE(radios["wlan0"].macOnCreate);
            VirtualAp ap(dir.Path(), genl);
            std::string error;
            ASSERT_EQ(ap.Create(radios["wlan0"], &error), 0) << error;
            ASSERT_EQ(genl.newRequests.size(), 1u);
            EXPECT_EQ(genl.newRequests[0].count(NL80211_ATTR_MAC), 0u);
            plat::MacAddress mac{};
            bool up = true;
            ASSERT_TRUE(plat::LinkState::Read("lumari-ap0", &up, &mac));
            EXPECT_EQ(plat::MacText::Format(mac), "02-1B-21-3A-4C-5E");
            EXPECT_FALSE(up);
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

// The channel of an access point that shares the station's card.
TEST(RadioOneCard, AccessPointTakesTheStationsChannelWhereTheCardAllowsOnlyOne) {
    FakeGenl genl(false);
    auto radios = Radios(genl);
    plat::WirelessInterface station = radios["wlan0"];
    plat::LinuxHostedNetworkOptions options;
    plat::AccessPointSettings s;
    s.passphrase = "secret 123";
    std::string why;
    std::string note;
    ASSERT_TRUE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "DE", options, &s, &why, 1, &note));
    EXPECT_EQ(s.channel, 6);
    EXPECT_EQ(note, "");

    // Asked for elsewhere: overridden, and said why.
    options.channel = 11;
    ASSERT_TRUE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "DE", options, &s, &why, 1, &note));
    EXPECT_EQ(s.channel, 6);
    EXPECT_EQ(note,
              "wlan0: channel 11 was asked for, but this card runs an access point beside its "
              "upstream connection only on the connection's channel: the access point uses "
              "channel 6");
    options.channel = 0;
    options.band = "5";
    ASSERT_TRUE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "DE", options, &s, &why, 1, &note));
    EXPECT_EQ(s.channel, 6);
    EXPECT_EQ(note.rfind("wlan0: the 5 GHz band was asked for", 0), 0u) << note;
    // A card that allows two channels follows the options.
    options.band = "auto";
    options.channel = 11;
    ASSERT_TRUE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "DE", options, &s, &why, 2, &note));
    EXPECT_EQ(s.channel, 11);
    EXPECT_EQ(note, "");

    // A station on a channel an access point may not use here: refused, and why.
    FakeGenl world(true);
    station = Radios(world)["wlan0"];
    station.frequency = 2472;  // 13: no-IR in the world domain
    options.channel = 0;
    EXPECT_FALSE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "00", options, &s, &why, 1, &note));
    EXPECT_EQ(why,
              "wlan0: the upstream connection uses channel 13, which may not start a network "
              "(no-IR) for an access point in the regulatory domain 00, and this card runs an "
              "access point beside its upstream connection only on the connection's channel: "
              "connect the upstream on another channel (2.4 GHz), or use a second Wi-Fi adapter "
              "for the access point");
    station.frequency = 0;  // not connected
    EXPECT_FALSE(
        plat::LinuxHostedNetwork::Plan("wlan0", station, "00", options, &s, &why, 1, &note));
    EXPECT_EQ(why.rfind("wlan0: the upstream connection has no channel now", 0), 0u) << why;
}

// The whole start on a laptop whose one card carries the upstream: the
// station's interface (a stand-in link with the default route), the fixture
// kernel for nl80211, and a hostapd that keeps its configuration and fails
// as one would on this machine.
TEST(RadioOneCard, StartMakesTheInterfaceOnTheStationsChannelAndEveryEndDeletesIt) {
    TempDir dir;
    const std::string hostapd = dir.File("hostapd");
    {
        std::ofstream script(hostapd);
        script << "#!/bin/sh\ncp \"$1\" " << dir.File("seen.conf")
               << "\necho \"nl80211: 'nl80211' generic netlink not found\"\nexit 1\n";
    }
    std::filesystem::permissions(hostapd, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.File("sys"));
    std::filesystem::create_directories(dir.File("proc"));
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            ASSERT_EQ(std::system("ip link add wlan0 type veth peer name wlan0p && ip link set "
                                  "wlan0 up && ip link set wlan0p up && ip addr add 10.9.0.2/24 "
                                  "dev wlan0 && ip route add default via 10.9.0.1"),
                      0);
            FakeGenl genl(false);
            plat::LinuxHostedNetworkOptions options;
            options.runtimeDir = dir.File("run");
            options.hostapd = hostapd;
            options.sysfs = dir.File("sys");
            options.rfkillDevice = dir.File("no-rfkill");
            options.procRoot = dir.File("proc");
            options.busAddress = "unix:path=" + dir.File("nobus");
            options.genl = [&] { return std::make_unique<radiofixture::GenlProxy>(genl); };
            options.oneCard = "on";  // the fixture has a second radio too
            auto start = [&](std::vector<std::string>* notes) {
                plat::LinuxHostedNetwork hn(options);
                plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
                plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
                s.hostedNetworkSSID.uSSIDLength = 1;
                s.hostedNetworkSSID.ucSSID[0] = 'L';
                hn.SetConnectionSettings(s, &reason);
                plat::HostedNetworkKey key;
                key.bytes = {'s', 'e', 'c', 'r', 'e', 't', '1', '2', '3'};
                hn.SetSecondaryKey(key, &reason);
                hn.SetNote([notes](const std::string& t) { notes->push_back(t); });
                EXPECT_NE(hn.Start(&reason), 0u);
                return hn.LastFailure();
            };

            std::vector<std::string> notes;
            const std::string failure = start(&notes);
            EXPECT_NE(failure.find("generic netlink not found"), std::string::npos) << failure;
            ASSERT_EQ(genl.newRequests.size(), 1u);
            EXPECT_EQ(genl.newRequests[0][NL80211_ATTR_IFNAME], std::string("lumari-ap0", 11));
            ASSERT_FALSE(notes.empty());
            EXPECT_EQ(notes[0].rfind("one card for both: wlan0 keeps the upstream connection", 0),
                      0u)
                << notes[0];
            std::ifstream seen(dir.File("seen.conf"));
            const std::string conf((std::istreambuf_iterator<char>(seen)),
                                   std::istreambuf_iterator<char>());
            EXPECT_NE(conf.find("interface=lumari-ap0\n"), std::string::npos) << conf;
            EXPECT_NE(conf.find("\nchannel=6\n"), std::string::npos) << conf;
            // The failed start deleted what it made; the station is as it was.
            EXPECT_EQ(genl.deleted, std::vector<std::uint32_t>{10});
            EXPECT_EQ(Radios(genl).size(), 2u);
            EXPECT_FALSE(
                std::filesystem::exists(options.runtimeDir + "/virtual-interface-lumari-ap0"));

            // What a killed run of an earlier version (one record for all
            // cards) left is deleted at the next start.
            genl.interfaces.push_back(
                {30, "lumari-ap0", 0, NL80211_IFTYPE_AP, 2437, FakeGenl::kCard0});
            {
                std::ofstream record(options.runtimeDir + "/virtual-interface");
                record << "pid 0\nlumari-ap0\n0\n";
            }
            genl.deleted.clear();
            notes.clear();
            start(&notes);
            ASSERT_FALSE(genl.deleted.empty());
            EXPECT_EQ(genl.deleted[0], 30u);
            EXPECT_NE(std::find(notes.begin(), notes.end(),
                                "deleted lumari-ap0, the access point interface a run that did "
                                "not end cleanly left behind"),
                      notes.end());

            // iwd told to manage interfaces like the new one: refused before
            // anything is made; an iwd that only runs the station: said.
            std::filesystem::create_directories(dir.File("proc/500"));
            std::ofstream(dir.File("proc/500/cmdline"))
                << std::string("iwd\0-i\0wl*,lumari-ap*\0", 22);
            genl.newRequests.clear();
            EXPECT_EQ(start(&notes).rfind("iwd (process 500) is told to manage lumari-ap0", 0), 0u);
            EXPECT_TRUE(genl.newRequests.empty());
            std::ofstream(dir.File("proc/500/cmdline")) << std::string("iwd\0", 4);
            notes.clear();
            start(&notes);
            EXPECT_EQ(genl.newRequests.size(), 1u);
            EXPECT_NE(std::find_if(notes.begin(), notes.end(),
                                   [](const std::string& n) {
                                       return n.rfind("iwd (process 500) manages phy0", 0) == 0;
                                   }),
                      notes.end());
            std::filesystem::remove_all(dir.File("proc/500"));

            // A card whose combinations do not allow it: refused, nothing made.
            options.oneCard = "auto";
            genl.interfaces.erase(genl.interfaces.begin());
            genl.interfaces[0].name = "wlan0";  // now the 5 GHz card carries the upstream
            genl.newRequests.clear();
            const std::string refused = start(&notes);
            EXPECT_TRUE(genl.newRequests.empty());
            EXPECT_NE(refused.find("its card cannot run an access point beside its connection"),
                      std::string::npos)
                << refused;
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

// An access point that comes up at once and keeps what each start was given.
class RecordingAp : public plat::AccessPoint {
public:
    explicit RecordingAp(std::vector<std::string>* log) : m_log(log) {}
    plat::DWORD Start(const plat::AccessPointSettings& s, plat::AccessPointEvents*,
                      std::string*) override {
        m_log->push_back("start " + s.interface + " " + std::to_string(s.channel));
        return 0;
    }
    void Stop() override { m_log->push_back("stop"); }
    std::vector<plat::MacAddress> Stations() override { return {}; }
    plat::AccessPointInfo Info() override { return {}; }

private:
    std::vector<std::string>* m_log;
};

// A card that allows one channel for both: the access point follows the
// station to its new channel, makes way while the station has none, and the
// run ends with the reason when the station's channel is closed to it.
TEST(RadioOneCard, AccessPointFollowsTheStationsChannel) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("sys"));
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            ASSERT_EQ(std::system("ip link add wlan0 type veth peer name wlan0p && ip link set "
                                  "wlan0 up && ip link set wlan0p up && ip addr add 10.9.0.2/24 "
                                  "dev wlan0 && ip route add default via 10.9.0.1"),
                      0);
            FakeGenl genl(true);
            std::vector<FakeGenl::Iface>& ifaces = genl.interfaces;
            ifaces.pop_back();  // wlan1: no second radio
            plat::SimClock clock;
            std::vector<std::string> runs;
            std::vector<std::string> notes;
            plat::LinuxHostedNetworkOptions options;
            options.runtimeDir = dir.File("run");
            options.hostapd = "/bin/true";
            options.sysfs = dir.File("sys");
            options.rfkillDevice = dir.File("no-rfkill");
            options.procRoot = dir.File("sys");
            options.busAddress = "unix:path=" + dir.File("nobus");
            options.genl = [&] { return std::make_unique<radiofixture::GenlProxy>(genl); };
            options.radioAccessPoint = [&] { return std::make_shared<RecordingAp>(&runs); };
            options.clock = &clock;
            plat::LinuxHostedNetwork hn(options);
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
            s.hostedNetworkSSID.uSSIDLength = 1;
            s.hostedNetworkSSID.ucSSID[0] = 'L';
            hn.SetConnectionSettings(s, &reason);
            plat::HostedNetworkKey key;
            key.bytes = {'s', 'e', 'c', 'r', 'e', 't', '1', '2', '3'};
            hn.SetSecondaryKey(key, &reason);
            hn.SetNote([&](const std::string& t) { notes.push_back(t); });
            ASSERT_EQ(hn.Start(&reason), 0u) << hn.LastFailure();
            ASSERT_TRUE(clock.WaitForSleepers(1));
            EXPECT_EQ(runs, std::vector<std::string>{"start lumari-ap0 6"});

            clock.Advance(std::chrono::seconds(3));  // nothing changed
            ifaces[0].mhz = 2462;                    // the station moved to 11
            clock.Advance(std::chrono::seconds(3));
            EXPECT_EQ(runs, (std::vector<std::string>{"start lumari-ap0 6", "stop",
                                                      "start lumari-ap0 11"}));
            EXPECT_EQ(notes.back(),
                      "wlan0 moved to channel 11: the access point follows it (restarted on "
                      "channel 11; devices join again by themselves)");

            // The station loses its connection: after a few reads the access
            // point makes way, and comes back on the station's next channel.
            ifaces[0].mhz = 0;
            clock.Advance(std::chrono::seconds(6));
            EXPECT_EQ(runs.size(), 3u);
            clock.Advance(std::chrono::seconds(3));
            EXPECT_EQ(runs.back(), "stop");
            clock.Advance(std::chrono::seconds(3));
            EXPECT_EQ(runs.size(), 4u);  // down while the station has no channel
            EXPECT_EQ(hn.Status().state, plat::kWlanHostedNetworkActive);
            ifaces[0].mhz = 2412;
            clock.Advance(std::chrono::seconds(3));
            EXPECT_EQ(runs.back(), "start lumari-ap0 1");
            EXPECT_EQ(notes.back().rfind("wlan0 is connected again, on channel 1", 0), 0u);

            // Channel 13 may not start a network in the world domain: the run ends.
            ifaces[0].mhz = 2472;
            clock.Advance(std::chrono::seconds(3));
            EXPECT_EQ(runs.back(), "stop");
            EXPECT_EQ(hn.Status().state, plat::kWlanHostedNetworkIdle);
            EXPECT_EQ(hn.LastFailure().rfind("wlan0: the upstream connection uses channel 13", 0),
                      0u)
                << hn.LastFailure();

            // The stop deletes the interface; the station was never touched.
            EXPECT_EQ(hn.Stop(&reason), 0u);
            EXPECT_EQ(genl.deleted, std::vector<std::uint32_t>{10});
            ASSERT_EQ(ifaces.size(), 1u);
            EXPECT_EQ(ifaces[0].name, "wlan0");
            EXPECT_EQ(clock.Sleepers(), 0u);
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

// A country asked for is in force a moment later: the start waits for it on
// the program's clock (a test's simulated one here), and goes on with what is
// in force when it never comes.
TEST(RadioOneCard, StartWaitsForTheCountryOnTheClock) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("sys"));
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            ASSERT_EQ(std::system("ip link add wlan0 type veth peer name wlan0p && ip link set "
                                  "wlan0 up && ip link set wlan0p up && ip addr add 10.9.0.2/24 "
                                  "dev wlan0 && ip route add default via 10.9.0.1"),
                      0);
            FakeGenl genl(true);
            genl.interfaces.pop_back();
            plat::SimClock clock;
            std::vector<std::string> runs;
            std::vector<std::string> notes;
            plat::LinuxHostedNetworkOptions options;
            options.runtimeDir = dir.File("run");
            options.hostapd = "/bin/true";
            options.sysfs = dir.File("sys");
            options.rfkillDevice = dir.File("no-rfkill");
            options.procRoot = dir.File("sys");
            options.busAddress = "unix:path=" + dir.File("nobus");
            options.genl = [&] { return std::make_unique<radiofixture::GenlProxy>(genl); };
            options.radioAccessPoint = [&] { return std::make_shared<RecordingAp>(&runs); };
            options.clock = &clock;
            options.countryCode = "FR";
            plat::LinuxHostedNetwork hn(options);
            plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
            plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
            s.hostedNetworkSSID.uSSIDLength = 1;
            s.hostedNetworkSSID.ucSSID[0] = 'L';
            hn.SetConnectionSettings(s, &reason);
            plat::HostedNetworkKey key;
            key.bytes = {'s', 'e', 'c', 'r', 'e', 't', '1', '2', '3'};
            hn.SetSecondaryKey(key, &reason);
            hn.SetNote([&](const std::string& t) { notes.push_back(t); });
            auto start = [&] {
                std::atomic<bool> done{false};
                plat::DWORD result = 1;
                std::thread starter([&] {
                    result = hn.Start(&reason);
                    done = true;
                });
                const auto before = clock.Elapsed();
                // The start's first sleep, then time moves only as far as it needs.
                EXPECT_TRUE(clock.WaitForSleepers(1));
                EXPECT_TRUE(
                    clock.AdvanceUntil([&] { return done.load(); }, std::chrono::seconds(5)));
                starter.join();
                EXPECT_EQ(result, 0u) << hn.LastFailure();
                return clock.Elapsed() - before;
            };

            genl.regulatoryLag = 3;
            const auto waited = start();
            EXPECT_EQ(waited, std::chrono::milliseconds(300));
            EXPECT_NE(std::find(notes.begin(), notes.end(), "the regulatory domain is now FR"),
                      notes.end());
            EXPECT_EQ(runs.back(), "start lumari-ap0 6");
            EXPECT_EQ(hn.Stop(&reason), 0u);

            // Never in force: the start goes on after two seconds with what is.
            genl.regulatoryLag = 1000;
            genl.regulatoryReads = 0;
            notes.clear();
            EXPECT_EQ(start(), std::chrono::seconds(2));
            EXPECT_NE(std::find(notes.begin(), notes.end(),
                                "the regulatory domain FR was asked for; 00 is in force"),
                      notes.end());
            EXPECT_EQ(hn.Stop(&reason), 0u);
            EXPECT_EQ(clock.Sleepers(), 0u);
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

}  // namespace
