// What only the Linux NAT driver has to get right: what a crashed run left,
// another driver in the same namespace, someone else's queue, and a client
// that changes its address.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <memory>

#include "NatTestBed.h"
#include "platform/linux/LinuxNatDevice.h"
#include "platform/records/NatRecords.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace {

using namespace plat;
using nettest::NatTestBed;

class LinuxNatEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_bed = std::make_unique<NatTestBed>();
        std::string why;
        if (!m_bed->Ready(&why))
            GTEST_SKIP() << why;
    }
    int Hs(const std::string& command) { return m_bed->Hotspot().Exec(command); }
    // Runs `body` in the hotspot namespace with a device of its own.
    void WithDevice(const std::function<void(LinuxNatDevice&, HANDLE)>& body) {
        m_bed->Hotspot().RunInside([&] {
            LinuxNatDevice device;
            HANDLE h = device.Open(kNatWfpDeviceName);
            ASSERT_NE(h, nullptr) << GetLastError();
            body(device, h);
            device.Close(h);
        });
    }
    static BOOL Enable(LinuxNatDevice& d, HANDLE h) {
        const auto r =
            NatRecords::MakeEnable(GuidText::FromName("wan0"), GuidText::FromName("br0"));
        DWORD n = 0;
        return d.Control(h, kNatIoctlEnableShare, &r, sizeof r, nullptr, 0, &n);
    }
    static std::vector<PEER_INFO> Peers(LinuxNatDevice& d, HANDLE h) {
        std::vector<std::uint8_t> buffer(kNatPeerBufferSize);
        DWORD n = 0;
        EXPECT_EQ(d.Control(h, kNatIoctlGetPeers, nullptr, 0, buffer.data(),
                            static_cast<DWORD>(buffer.size()), &n),
                  TRUE_);
        return NatRecords::ReadPeers(buffer.data(), n);
    }
    std::unique_ptr<NatTestBed> m_bed;
};

TEST_F(LinuxNatEngineTest, AStartRemovesWhatACrashedRunLeft) {
    ASSERT_EQ(Hs("nft add table inet lumari \\{ comment \\\"ip_forward 0\\\" \\; \\}"), 0);
    ASSERT_EQ(Hs("sysctl -qw net.ipv4.ip_forward=1"), 0);
    ASSERT_EQ(Hs("tc qdisc add dev wan0 root handle 4c4d: htb"), 0);
    ASSERT_EQ(Hs("tc qdisc add dev br0 root handle 4c4d: htb"), 0);
    WithDevice([&](LinuxNatDevice&, HANDLE) {
        EXPECT_NE(Hs("nft list tables | grep -q lumari"), 0);
        EXPECT_NE(Hs("tc qdisc show | grep -q 4c4d:"), 0);
        EXPECT_EQ(Hs("test $(cat /proc/sys/net/ipv4/ip_forward) = 0"), 0);
    });
}

TEST_F(LinuxNatEngineTest, AnotherDriverInTheNamespaceKeepsItsRules) {
    m_bed->Hotspot().RunInside([&] {
        // Another process's driver holds the namespace's name.
        const int other = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un name{};
        name.sun_family = AF_UNIX;
        std::memcpy(name.sun_path + 1, "lumari-nat", 10);
        ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&name),
                       static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 11)),
                  0);
        ASSERT_EQ(Hs("nft add table inet lumari"), 0);
        LinuxNatDevice device;
        EXPECT_EQ(device.Open(kNatNdisDeviceName), nullptr);
        EXPECT_EQ(GetLastError(), kErrorBusy);
        EXPECT_EQ(Hs("nft list tables | grep -q lumari"), 0);
        close(other);
        HANDLE h = device.Open(kNatNdisDeviceName);
        EXPECT_NE(h, nullptr);
        device.Close(h);
    });
}

TEST_F(LinuxNatEngineTest, SomeoneElsesQueueIsLeftAlone) {
    ASSERT_EQ(Hs("tc qdisc add dev wan0 root handle 1: htb"), 0);
    WithDevice([&](LinuxNatDevice& d, HANDLE h) {
        ASSERT_EQ(Enable(d, h), TRUE_);
        ASSERT_TRUE(m_bed->Reaches(0));
        MacAddress mac{};
        MacText::Parse(NatTestBed::ClientMac(0).c_str(), &mac);
        const auto r = NatRecords::MakeSpeed(mac, 1, 100, 0);
        DWORD n = 0;
        EXPECT_EQ(d.Control(h, kNatIoctlSetSpeedLimit, &r, sizeof r, nullptr, 0, &n), FALSE_);
        EXPECT_EQ(GetLastError(), kErrorBusy);
        EXPECT_EQ(d.Control(h, kNatIoctlDisableShare, nullptr, 0, nullptr, 0, &n), TRUE_);
    });
    EXPECT_EQ(Hs("tc qdisc show dev wan0 | grep -q \"htb 1: root\""), 0);
}

TEST_F(LinuxNatEngineTest, AClientThatChangesItsAddressKeepsItsCounts) {
    WithDevice([&](LinuxNatDevice& d, HANDLE h) {
        ASSERT_EQ(Enable(d, h), TRUE_);
        ASSERT_TRUE(m_bed->Move(0, 0, 2 << 20).ok);
        auto peers = Peers(d, h);
        ASSERT_EQ(peers.size(), 1u);
        EXPECT_NEAR(static_cast<double>(std::uint64_t{peers[0].downKb}), 2048.0, 2048 * 0.05);

        const std::string c1 = m_bed->Client(0).Name();
        ASSERT_EQ(nettest::Run("ip -n " + c1 + " addr flush dev eth0 && ip -n " + c1 +
                               " addr add 192.168.50.9/24 dev eth0 && ip -n " + c1 +
                               " route add default via 192.168.50.1"),
                  0);
        ASSERT_TRUE(m_bed->Move(0, 0, 1 << 20).ok);
        peers = Peers(d, h);
        ASSERT_EQ(peers.size(), 1u);
        EXPECT_EQ(peers[0].ip, 0x0932A8C0u);  // 192.168.50.9
        EXPECT_NEAR(static_cast<double>(std::uint64_t{peers[0].downKb}), 3072.0, 3072 * 0.05);

        // The old address, taken over by the other client, counts for it alone.
        const std::string c2 = m_bed->Client(1).Name();
        ASSERT_EQ(nettest::Run("ip -n " + c2 + " addr flush dev eth0 && ip -n " + c2 +
                               " addr add 192.168.50.2/24 dev eth0 && ip -n " + c2 +
                               " route add default via 192.168.50.1"),
                  0);
        ASSERT_TRUE(m_bed->Move(1, 0, 1 << 20).ok);
        peers = Peers(d, h);
        ASSERT_EQ(peers.size(), 2u);
        for (const auto& p : peers) {
            const double down = static_cast<double>(std::uint64_t{p.downKb});
            if (p.mac[5] == 1)
                EXPECT_NEAR(down, 3072.0, 3072 * 0.05);
            else
                EXPECT_NEAR(down, 1024.0, 1024 * 0.05);
        }
    });
}

}  // namespace
