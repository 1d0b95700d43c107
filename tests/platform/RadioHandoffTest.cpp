// Handing the access point's interface over and back on Linux, in a private
// network namespace: the firewall hole for DHCP and DNS, the hotspot's address
// removed at the stop, a killed run undone at the next start; and the
// recovery step between start attempts, which sets only the access point's
// wireless link down, never the upstream's.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "PrivateNetns.h"
#include "platform/linux/HostHandoff.h"
#include "platform/linux/LinuxAddresses.h"
#include "platform/linux/LinuxDevices.h"
#include "platform/sim/SimClock.h"
#include "support/TempDir.h"

namespace {

int Sh(const std::string& command) {
    return std::system(command.c_str());
}

// How many rules of the hotspot the ruleset holds.
int HotspotRules() {
    FILE* p = popen("nft list ruleset | grep -c 'comment \"lumari-hotspot\"'", "r");
    int n = -1;
    if (p != nullptr) {
        if (std::fscanf(p, "%d", &n) != 1)
            n = -1;
        pclose(p);
    }
    return n;
}

std::vector<std::string> Addresses(const std::string& iface) {
    std::vector<std::string> out;
    plat::LinuxAddresses::List(iface, &out);
    return out;
}

TEST(RadioHandoff, StopAndTheStartAfterAKilledRunGiveTheInterfaceBack) {
    TempDir dir;
    const std::string runtime = dir.File("run");
    const std::string noBus = "unix:path=" + dir.File("nobus");  // no NetworkManager
    plat::SimClock clock;                                        // nothing here waits on it
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            ASSERT_EQ(Sh("ip link add wap0 type veth peer name wap0p && ip link set wap0 up && "
                         "nft add table inet hostfw && nft add chain inet hostfw input "
                         "'{ type filter hook input priority 0; policy drop; }'"),
                      0);
            std::vector<std::string> notes;
            auto note = [&](const std::string& t) { notes.push_back(t); };
            {
                plat::HostHandoff run(runtime, noBus, clock, note);
                run.Take("wap0");
                EXPECT_EQ(HotspotRules(), 2);
                // The engine gives the interface the hotspot's address.
                ASSERT_EQ(Sh("ip addr add 192.168.23.1/24 dev wap0"), 0);
                run.GiveBack();
                EXPECT_TRUE(Addresses("wap0").empty());
                EXPECT_EQ(HotspotRules(), 0);
                EXPECT_FALSE(std::filesystem::exists(run.RecordFile()));
            }
            EXPECT_TRUE(notes.empty()) << notes.front();

            // A run killed while it ran: its object goes without a stop.
            ASSERT_EQ(Sh("ip addr add 10.5.0.1/24 dev wap0"), 0);
            {
                plat::HostHandoff killed(runtime, noBus, clock, note);
                killed.Take("wap0");
                ASSERT_EQ(Sh("ip addr add 192.168.23.1/24 dev wap0"), 0);
            }
            EXPECT_EQ(HotspotRules(), 2);
            plat::HostHandoff next(runtime, noBus, clock, note);
            EXPECT_EQ(next.RecoverLeftover(), "wap0");
            EXPECT_EQ(Addresses("wap0"), std::vector<std::string>{"10.5.0.1/24"});
            EXPECT_EQ(HotspotRules(), 0);
            EXPECT_EQ(next.RecoverLeftover(), "");  // done once
            ASSERT_FALSE(notes.empty());
            EXPECT_EQ(notes.back(),
                      "giving back wap0, which a run that did not end cleanly left behind");

            // The record of a run that still goes on in another process (the
            // window beside lumari-hotspot) is that run's: left alone.
            const pid_t other = fork();
            if (other == 0) {
                pause();
                _exit(0);
            }
            ASSERT_GT(other, 0);
            {
                plat::HostHandoff running(runtime, noBus, clock, note);
                running.Take("wap0");
            }
            {
                std::ifstream in(runtime + "/interface-taken");
                std::string first, rest;
                std::getline(in, first);
                std::getline(in, rest);
                std::ofstream out(runtime + "/interface-taken", std::ios::trunc);
                out << "pid " << other << "\n" << rest << "\n";
            }
            ASSERT_EQ(Sh("ip addr add 192.168.23.1/24 dev wap0"), 0);
            plat::HostHandoff beside(runtime, noBus, clock, note);
            EXPECT_EQ(beside.RecoverLeftover(), "");
            EXPECT_EQ(HotspotRules(), 2);
            EXPECT_EQ(Addresses("wap0").size(), 2u);
            kill(other, SIGKILL);
            waitpid(other, nullptr, 0);
            EXPECT_EQ(beside.RecoverLeftover(), "wap0");  // its process is gone now
            EXPECT_EQ(HotspotRules(), 0);
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

TEST(RadioRecovery, OnlyTheAccessPointsWirelessLinkIsSetDownBetweenStartAttempts) {
    TempDir sysfs;
    for (const char* wireless : {"wup0/wireless", "wap0/phy80211", "eth9"})
        std::filesystem::create_directories(sysfs.File(wireless));
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            ASSERT_EQ(Sh("for l in wup0 wap0 eth9; do ip link add $l type veth peer name ${l}p "
                         "&& ip link set $l up || exit 1; done"),
                      0);
            plat::LinuxDevices devices(sysfs.Path());
            devices.SetAccessPointLink([] { return std::string("wap0"); });
            int restart = 0;
            EXPECT_EQ(devices.DisableDevice("wup0", &restart), 0);  // the upstream's Wi-Fi
            EXPECT_EQ(devices.IsDeviceEnable("wup0"), 1);
            EXPECT_EQ(devices.DisableDevice("wap0", &restart), 1);
            EXPECT_EQ(devices.IsDeviceEnable("wap0"), 0);
            EXPECT_EQ(devices.EnableDevice("wap0", &restart), 1);
            EXPECT_EQ(devices.DisableDevice("eth9", &restart), 1);  // not a radio
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

}  // namespace
