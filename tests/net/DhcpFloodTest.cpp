// A starvation flood: a host on the hotspot's network sends DISCOVERs from
// random MACs as fast as a small burst loop allows, while two real clients
// (busybox udhcpc) on the same bridge ask for leases. The clients get theirs,
// the engine's 256-record read of the table still works, and a client that
// comes after the flood is served too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <thread>

#include "NetNamespace.h"
#include "pellion/Pellion.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/socket/UdpSocket.h"
#include "platform/winapi/DebugOutput.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

// The flood runs until the clients are done, at most this many DISCOVERs:
// 30 s at the rate below, longer than udhcpc may take (its own timeout is
// 20 s), so that a slow machine cannot see the flood end before the clients.
constexpr int kFloodLimit = 60000;
// DISCOVERs per 10 ms: at most 2,000 a second. Every OFFER goes to the
// broadcast address, so the real clients must also wade through the flood's
// replies; faster, and a busy machine makes udhcpc miss its own ACK.
constexpr int kBurst = 20;

std::vector<std::uint8_t> Discover(const std::uint8_t* mac, std::uint32_t xid) {
    std::vector<std::uint8_t> b(240, 0);
    b[0] = 1;
    b[1] = 1;
    b[2] = 6;
    std::memcpy(&b[4], &xid, 4);
    b[10] = 0x80;
    std::memcpy(&b[28], mac, 6);
    const std::uint8_t cookie[4] = {99, 130, 83, 99};
    std::memcpy(&b[236], cookie, 4);
    for (std::uint8_t v : {53, 1, 1, 255})
        b.push_back(v);
    return b;
}

class DhcpFloodTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        m_dir = std::make_unique<TempDir>();
        plat::Platform::ResetAll();
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir->File("registry")));
        // Ten thousand offers are captured, not printed.
        plat::DebugOutput::Instance().SetSink(plat::DebugOutput::Sink::None);
        plat::DebugOutput::Instance().Clear();
        plat::DebugOutput::Instance().StartCapture();

        m_hotspot = std::make_unique<NetNamespace>("hs");
        ASSERT_TRUE(m_hotspot->Created());
        ASSERT_EQ(m_hotspot->Exec("ip link add br0 type bridge && ip addr add 192.168.78.1/24 dev "
                                  "br0 && ip link set br0 up"),
                  0);
        for (const char* role : {"c1", "c2", "fl"}) {
            auto ns = std::make_unique<NetNamespace>(role);
            ASSERT_TRUE(ns->Created());
            const std::string port = nettest::UniqueName("p");
            ASSERT_EQ(nettest::Run("ip link add " + port + " netns " + m_hotspot->Name() +
                                   " type veth peer name eth0 netns " + ns->Name()),
                      0);
            ASSERT_EQ(m_hotspot->Exec("ip link set " + port + " master br0 up"), 0);
            ASSERT_EQ(ns->Exec("ip link set eth0 up"), 0);
            m_hosts[role] = std::move(ns);
            // Written here, before the clients run side by side: a script
            // still open for writing while the other client's thread forks
            // stays open in that child, and udhcpc could not run it
            // (ETXTBSY), leaving no lease on record.
            std::ofstream(LeaseScript(role)) << "#!/bin/sh\n[ \"$1\" = bound ] && echo $ip > "
                                             << m_dir->File(std::string("lease-") + role) << "\n"
                                             << "exit 0\n";
            ASSERT_EQ(nettest::Run("chmod 755 " + LeaseScript(role)), 0);
        }
        ASSERT_EQ(m_hosts["fl"]->Exec("ip addr add 192.168.78.250/24 dev eth0"), 0);
    }

    void TearDown() override {
        if (m_dir == nullptr)
            return;
        StopDHCP();
        m_hosts.clear();
        m_hotspot.reset();
        plat::Platform::ResetAll();
        plat::Platform::Uninstall();
        plat::DebugOutput::Instance().StopCapture();
        plat::DebugOutput::Instance().Clear();
    }

    // The udhcpc script of `role`: writes the address it was given.
    std::string LeaseScript(const std::string& role) const {
        return m_dir->File("udhcpc-" + role + ".sh");
    }

    // busybox udhcpc on `role`'s eth0 with the MAC `mac`; the address it was
    // given, empty when none.
    std::string Udhcpc(const std::string& role, const std::string& mac) {
        NetNamespace& ns = *m_hosts[role];
        if (ns.Exec("ip link set eth0 down && ip link set eth0 address " + mac +
                    " && ip link set eth0 up") != 0)
            return "";
        const std::string out = m_dir->File("lease-" + role);
        const std::string script = LeaseScript(role);
        std::remove(out.c_str());
        const std::string log = m_dir->File("udhcpc-" + role + ".log");
        ns.Exec("unshare -u sh -c \"hostname " + role + " && timeout 20 busybox udhcpc -i eth0 " +
                "-f -q -n -t 5 -T 1 -A 1 -s " + script + "\" >" + log + " 2>&1");
        std::ifstream in(out);
        std::string ip;
        std::getline(in, ip);
        if (ip.empty()) {
            std::ifstream l(log);
            std::cerr << role << ": " << std::string(std::istreambuf_iterator<char>(l), {});
        }
        return ip;
    }

    // Sends DISCOVERs from random MACs from the flooding host until `stop`
    // is set or kFloodLimit have gone.
    void Flood(std::atomic<int>* sent, const std::atomic<bool>* stop) {
        ASSERT_TRUE(m_hosts["fl"]->RunInside([&] {
            plat::UdpSocket s;
            if (s.Open() != 0 || s.EnableBroadcast() != 0 || s.BindToInterface("eth0") != 0 ||
                s.Bind(0, 0) != 0)
                return;
            std::mt19937_64 rng(std::random_device{}());
            for (int i = 0; i < kFloodLimit && !*stop; ++i) {
                const std::uint64_t r = rng();
                std::uint8_t mac[6];
                std::memcpy(mac, &r, 6);
                const auto b = Discover(mac, static_cast<std::uint32_t>(r >> 32));
                if (s.SendTo(b.data(), b.size(), 0xFFFFFFFFu, 67) == 0)
                    ++*sent;
                if (i % kBurst == kBurst - 1)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }));
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_hotspot;
    std::map<std::string, std::unique_ptr<NetNamespace>> m_hosts;
};

TEST_F(DhcpFloodTest, RealClientsGetLeasesDuringAndAfterAStarvationFlood) {
    int started = 0;
    ASSERT_TRUE(m_hotspot->RunInside([&] { started = StartDHCP("192.168.78.1", nullptr); }));
    ASSERT_EQ(started, 1);
    for (int i = 0; i < 200 && !plat::DebugOutput::Instance().Contains("DHCP Thread start svc");
         ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(plat::DebugOutput::Instance().Contains("DHCP Thread start svc"));

    std::atomic<int> sent{0};
    std::atomic<bool> stop{false};
    std::thread flood([&] { Flood(&sent, &stop); });
    // The clients start once the flood has filled the pool with offers.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::string first, second;
    std::thread c1([&] { first = Udhcpc("c1", "02:00:00:00:78:01"); });
    std::thread c2([&] { second = Udhcpc("c2", "02:00:00:00:78:02"); });
    c1.join();
    c2.join();
    const int sentMeanwhile = sent;
    stop = true;
    flood.join();

    EXPECT_LT(sentMeanwhile, kFloodLimit) << "the clients were served only after the flood";
    EXPECT_GT(sentMeanwhile, 2 * 253) << "the flood filled the pool";
    EXPECT_EQ(first.rfind("192.168.78.", 0), 0u) << "got '" << first << "'";
    EXPECT_EQ(second.rfind("192.168.78.", 0), 0u) << "got '" << second << "'";
    EXPECT_NE(first, second);

    int offers = 0;
    for (const auto& line : plat::DebugOutput::Instance().Captured())
        offers += line.rfind("DHCP:offer ip 02-00-00-00-78", 0) != 0 &&
                  line.rfind("DHCP:offer ip ", 0) == 0;
    EXPECT_GT(offers, sentMeanwhile / 2) << "the server answered the flood";

    // The engine reads the table with room for 256 records.
    std::vector<_DHCP_CLIENT> records(256);
    int bytes = static_cast<int>(records.size() * sizeof(_DHCP_CLIENT));
    const int n = GetAllDhcpClients(records.data(), &bytes);
    EXPECT_GT(n, 2);
    std::set<std::uint8_t> clients;
    for (int i = 0; i < n; ++i) {
        const _DHCP_CLIENT& c = records[static_cast<std::size_t>(i)];
        if (c.mac[0] == 0x02 && c.mac[4] == 0x78)
            clients.insert(c.mac[5]);
    }
    EXPECT_EQ(clients, (std::set<std::uint8_t>{1, 2}));

    const std::string late = Udhcpc("c1", "02:00:00:00:78:03");
    EXPECT_EQ(late.rfind("192.168.78.", 0), 0u) << "got '" << late << "'";
}

}  // namespace
