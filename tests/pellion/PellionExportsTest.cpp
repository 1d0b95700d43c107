// The exported table operations, DHCP settings and server life cycle on the
// simulated PC. Messages enter through the server's own processing path, the
// one its socket thread uses.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>

#include "DhcpPacket.h"
#include "pellion/DhcpServer.h"
#include "pellion/Pellion.h"
#include "support/SimTest.h"

using dhcptest::Ip;
using dhcptest::Mac;
using dhcptest::Packet;

namespace {

constexpr std::uint8_t kDiscover = 1;
constexpr std::uint8_t kRequest = 3;

class PellionExportsTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().os.SetComputerName("HOTSPOT-PC");
        // The server's settings are those of a StartDHCP whose address is not
        // on an adapter yet: the thread waits, the table answers.
        ASSERT_EQ(StartDHCP("192.168.23.1", nullptr), 1);
    }
    void TearDown() override {
        StopDHCP();
        SimTest::TearDown();
    }
    std::vector<std::uint8_t> Feed(const Packet& p) {
        const auto bytes = p.Bytes();
        return pellion::DhcpServer::Instance().Process(bytes.data(), bytes.size());
    }
    std::uint32_t Lease(const Mac& mac, const std::string& host) {
        auto offer = dhcptest::Parse(Feed(Packet(kDiscover, mac).HostName(host)));
        if (!offer)
            return 0;
        auto ack = dhcptest::Parse(Feed(Packet(kRequest, mac).Requested(offer->yiaddr)));
        return ack && ack->type == 5 ? ack->yiaddr : 0;
    }
};

const Mac kA = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
const Mac kB = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x01};
const Mac kC = {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST_F(PellionExportsTest, AllClientsNeedRoomForEveryEntryAndListOnlyBoundOnes) {
    ASSERT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));
    ASSERT_EQ(Lease(kB, "beta"), Ip(192, 168, 23, 3));
    AddBlackList("00-00-00-00-00-77");  // an entry without a lease

    std::vector<unsigned char> buffer(4 * sizeof(_DHCP_CLIENT), 0xCC);
    int bytes = 2 * 50;  // room for the bound leases, not for all entries
    EXPECT_EQ(GetAllDhcpClients(buffer.data(), &bytes), 0);
    EXPECT_EQ(GetAllDhcpClients(nullptr, &bytes), 0);
    EXPECT_EQ(GetAllDhcpClients(buffer.data(), nullptr), 0);
    bytes = 3 * 50;
    ASSERT_EQ(GetAllDhcpClients(buffer.data(), &bytes), 2);
    EXPECT_EQ(bytes, 150) << "the size is not changed";
    EXPECT_EQ(buffer[100], 0xCC) << "nothing written past the records";

    // Table order: the last two MAC bytes read little-endian decide first.
    _DHCP_CLIENT first, second;
    std::memcpy(&first, buffer.data(), 50);
    std::memcpy(&second, buffer.data() + 50, 50);
    EXPECT_EQ(first.mac[5], 0x01);
    EXPECT_EQ(first.ip, Ip(192, 168, 23, 3));
    EXPECT_STREQ(first.hostname, "beta");
    EXPECT_EQ(second.mac[5], 0x5E);

    RemoveClientItem("00-1A-2B-3C-4D-01");
    EXPECT_EQ(GetAllDhcpClients(buffer.data(), &bytes), 1);
}

TEST_F(PellionExportsTest, TableOrderComparesHighBytesBeforeLowBytes) {
    // kC's last two bytes are zero: it sorts before kB although its first byte is larger.
    ASSERT_NE(Lease(kB, "b"), 0u);
    ASSERT_NE(Lease(kC, "c"), 0u);
    std::vector<unsigned char> buffer(2 * 50);
    int bytes = 100;
    ASSERT_EQ(GetAllDhcpClients(buffer.data(), &bytes), 2);
    EXPECT_EQ(buffer[4], 0xFF);
}

TEST_F(PellionExportsTest, ClientLookupReadsMacTextInEitherCase) {
    ASSERT_NE(Lease(kA, "alpha"), 0u);
    _DHCP_CLIENT c{};
    ASSERT_EQ(GetDhcpClient("00-1a-2b-3c-4d-5e", &c), 1);
    EXPECT_EQ(c.ip, Ip(192, 168, 23, 2));
    EXPECT_EQ(std::memcmp(c.mac, kA.data(), 6), 0);
    EXPECT_STREQ(c.hostname, "alpha");
    EXPECT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5F", &c), 0);
    EXPECT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", nullptr), 0);
    EXPECT_EQ(GetDhcpClient("not a mac", &c), 0);

    EXPECT_EQ(RemoveClientItem("00-1a-2b-3c-4d-5e"), 1);
    EXPECT_EQ(RemoveClientItem("00-1A-2B-3C-4D-5F"), 0);
    ASSERT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &c), 1);
    EXPECT_EQ(c.ip, 0u) << "a released lease reports no address";
    EXPECT_STREQ(c.hostname, "alpha");
}

TEST_F(PellionExportsTest, HostNameQueriesReportErrorCodesAndLength) {
    ASSERT_NE(Lease(kA, "alpha"), 0u);
    char name[64] = {};
    int len = 5;  // the name's length: no room for the terminator
    EXPECT_EQ(GetDhcpHostnameByMac("00-1A-2B-3C-4D-5E", name, nullptr), 87);
    EXPECT_EQ(GetDhcpHostnameByMac("00-1A-2B-3C-4D-5F", name, &len), 2);
    EXPECT_EQ(GetDhcpHostnameByMac("00-1A-2B-3C-4D-5E", name, &len), 122);
    EXPECT_EQ(len, 5);
    len = 6;
    EXPECT_EQ(GetDhcpHostnameByMac("00-1a-2b-3c-4d-5e", name, &len), 0);
    EXPECT_EQ(len, 6);
    EXPECT_STREQ(name, "alpha");

    // By address, also when the lease is no longer bound.
    RemoveClientItem("00-1A-2B-3C-4D-5E");
    len = sizeof name;
    std::memset(name, 0, sizeof name);
    EXPECT_EQ(GetDhcpHostnameByIp(Ip(192, 168, 23, 2), name, &len), 0);
    EXPECT_STREQ(name, "alpha");
    EXPECT_EQ(GetDhcpHostnameByIp(Ip(192, 168, 23, 9), name, &len), 2);
    EXPECT_EQ(GetDhcpHostnameByIp(Ip(192, 168, 23, 2), name, nullptr), 87);
    AddBlackList("00-00-00-00-00-77");
    EXPECT_EQ(GetDhcpHostnameByIp(0, name, &len), 2) << "entries without address never match";
}

TEST_F(PellionExportsTest, BlackListMarksEntriesUntilRemovedOrCleared) {
    AddBlackList("00-1a-2b-3c-4d-5e");
    EXPECT_EQ(Lease(kA, "alpha"), 0u) << "never seen, black-listed: no address";
    EXPECT_TRUE(DebugHas("DHCP:offer ip 00-1A-2B-3C-4D-5E, ip:0.0.0.0\n"));
    RemoveFromBlackList("00-1A-2B-3C-4D-5E");
    EXPECT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));

    AddBlackList("00-1A-2B-3C-4D-5E");
    AddBlackList("00-1A-2B-3C-4D-01");
    EXPECT_EQ(Lease(kA, "alpha"), 0u);
    ClearBlackList();
    EXPECT_NE(Lease(kA, "alpha"), 0u);
    EXPECT_NE(Lease(kB, "beta"), 0u);
    RemoveFromBlackList("00-00-00-00-00-99");  // unknown: nothing happens
    _DHCP_CLIENT c{};
    EXPECT_EQ(GetDhcpClient("00-00-00-00-00-99", &c), 0);
}

TEST_F(PellionExportsTest, RestartForgetsLeasesAndBlackListMarks) {
    ASSERT_NE(Lease(kA, "alpha"), 0u);
    AddBlackList("00-1A-2B-3C-4D-01");
    EXPECT_EQ(StopDHCP(), 1);
    ASSERT_EQ(StartDHCP("192.168.23.1", nullptr), 1);
    _DHCP_CLIENT c{};
    EXPECT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &c), 0);
    EXPECT_EQ(GetDhcpClient("00-1A-2B-3C-4D-01", &c), 0);
    EXPECT_EQ(Lease(kB, "beta"), Ip(192, 168, 23, 2));
}

TEST_F(PellionExportsTest, DnsListIsUsedFromTheNextReply) {
    auto offer = dhcptest::Parse(Feed(Packet(kDiscover, kA)));
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->Find(6), (std::vector<std::uint8_t>{192, 168, 23, 1}))
        << "without a list the server is the DNS server";
    EXPECT_EQ(SetDNS("114.114.114.114,8.8.8.8"), 1);
    offer = dhcptest::Parse(Feed(Packet(kDiscover, kB)));
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->Find(6), (std::vector<std::uint8_t>{114, 114, 114, 114, 8, 8, 8, 8}));
    EXPECT_EQ(SetDNS(""), 0);
    EXPECT_EQ(SetDNS(nullptr), 0);
}

std::atomic<int> g_acks{0};
_DHCP_CLIENT g_lastAck{};

TEST_F(PellionExportsTest, CallbackReceivesEveryAcknowledgedLease) {
    g_acks = 0;
    ASSERT_EQ(StartDHCP("192.168.23.1",
                        [](_DHCP_CLIENT* c) {
                            g_lastAck = *c;
                            ++g_acks;
                        }),
              1);
    ASSERT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));
    EXPECT_EQ(g_acks, 1);
    EXPECT_EQ(g_lastAck.ip, Ip(192, 168, 23, 2));
    EXPECT_STREQ(g_lastAck.hostname, "alpha");
    Feed(Packet(kRequest, kB).Requested(Ip(10, 0, 0, 5)));
    EXPECT_EQ(g_acks, 1) << "no call for a NAK";
}

TEST_F(PellionExportsTest, OwnComputerNameGetsNoReply) {
    EXPECT_TRUE(Feed(Packet(kDiscover, kA).HostName("hotspot-pc")).empty());
    EXPECT_TRUE(DebugHas("Refuse local"));
    _DHCP_CLIENT c{};
    EXPECT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &c), 0);
}

// Leases end on the platform's clock, also for a window that only reads the
// table and sends no message.
TEST_F(PellionExportsTest, LeasesEndOnThePlatformClockAndTheClientGetsItsAddressBack) {
    ASSERT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));
    std::vector<_DHCP_CLIENT> records(256);
    int bytes = static_cast<int>(records.size() * sizeof(_DHCP_CLIENT));
    Pc().clock.Advance(std::chrono::hours(47));
    EXPECT_EQ(GetAllDhcpClients(records.data(), &bytes), 1);
    Pc().clock.Advance(std::chrono::hours(1));
    EXPECT_EQ(GetAllDhcpClients(records.data(), &bytes), 0);
    _DHCP_CLIENT c{};
    ASSERT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &c), 1);
    EXPECT_EQ(c.ip, 0u);
    char name[64] = {};
    int len = sizeof name;
    EXPECT_EQ(GetDhcpHostnameByIp(Ip(192, 168, 23, 2), name, &len), 0);
    EXPECT_STREQ(name, "alpha");
    ASSERT_EQ(Lease(kB, "beta"), Ip(192, 168, 23, 3));
    EXPECT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));
}

// After a flood of one-shot DISCOVERs the engine's 256-record read still
// works and a real client still gets an address.
TEST_F(PellionExportsTest, FloodKeepsTheTableWithinTheEnginesBuffer) {
    ASSERT_EQ(Lease(kA, "alpha"), Ip(192, 168, 23, 2));
    for (int i = 0; i < 10000; ++i) {
        const Mac mac = {0x0A,
                         0xBC,
                         static_cast<std::uint8_t>(i >> 16),
                         static_cast<std::uint8_t>(i >> 8),
                         static_cast<std::uint8_t>(i),
                         0x01};
        Feed(Packet(kDiscover, mac));
    }
    std::vector<_DHCP_CLIENT> records(256);
    int bytes = static_cast<int>(records.size() * sizeof(_DHCP_CLIENT));
    EXPECT_EQ(GetAllDhcpClients(records.data(), &bytes), 253);
    EXPECT_NE(Lease(kB, "beta"), 0u);
    _DHCP_CLIENT c{};
    ASSERT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &c), 1);
    EXPECT_EQ(c.ip, Ip(192, 168, 23, 2)) << "the acknowledged lease survived the flood";
    // Renaming a held address: the holder answers, not an older entry.
    RemoveClientItem("00-1A-2B-3C-4D-5E");
    ASSERT_EQ(Lease(kC, "gamma"), Ip(192, 168, 23, 2));
    char name[64] = {};
    int len = sizeof name;
    EXPECT_EQ(GetDhcpHostnameByIp(Ip(192, 168, 23, 2), name, &len), 0);
    EXPECT_STREQ(name, "gamma");
}

// StartDHCP and the thread when the address is on no adapter: the bind is
// retried until StopDHCP, which ends the thread promptly.
TEST_F(PellionExportsTest, ServerWaitsForItsAddressUntilStopped) {
    EXPECT_TRUE(DebugHas("Enter StartDHCP"));
    for (int i = 0; i < 200 && !DebugHas("DHCP Thread Begin"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(DebugHas("DHCP Thread Begin"));
    EXPECT_FALSE(DebugHas("DHCP Thread start svc"));
    EXPECT_EQ(StopDHCP(), 1);
    EXPECT_TRUE(DebugHas("StartDHCP->绑定socket失败:错误码10049"));
    EXPECT_TRUE(DebugHas("DHCP Thread End"));
    EXPECT_EQ(StopDHCP(), 1) << "stopping a stopped server";
}

TEST_F(PellionExportsTest, StartRefusesAnAddressThatIsNotOne) {
    StopDHCP();
    EXPECT_EQ(StartDHCP(nullptr, nullptr), 0);
    EXPECT_EQ(StartDHCP("192.168.23", nullptr), 0);
    EXPECT_EQ(StartDHCP("192.168.23.1; reboot", nullptr), 0);
}

}  // namespace

namespace {

// Clients served while other threads read and release leases: every client
// ends up with an address of its own.
TEST_F(PellionExportsTest, TableOperationsFromManyThreadsKeepAddressesDistinct) {
    constexpr int kThreads = 4;
    constexpr int kClientsPerThread = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < kClientsPerThread; ++i) {
                const Mac mac = {
                    0x02, 0, 0, 0, static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(i)};
                Lease(mac, "c");
                std::vector<_DHCP_CLIENT> all(256);
                int bytes = static_cast<int>(all.size() * sizeof(_DHCP_CLIENT));
                GetAllDhcpClients(all.data(), &bytes);
                RemoveClientItem("02-00-00-00-00-00");
            }
        });
    }
    for (auto& th : threads)
        th.join();
    std::vector<_DHCP_CLIENT> all(256);
    int bytes = static_cast<int>(all.size() * sizeof(_DHCP_CLIENT));
    const int n = GetAllDhcpClients(all.data(), &bytes);
    EXPECT_GE(n, kThreads * kClientsPerThread - 1);
    std::set<std::uint32_t> addresses;
    for (int i = 0; i < n; ++i)
        addresses.insert(std::uint32_t{all[static_cast<std::size_t>(i)].ip});
    EXPECT_EQ(static_cast<int>(addresses.size()), n);
}

}  // namespace
