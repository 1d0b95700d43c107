// The engine's DHCP manager over the Pellion server on the simulated PC.
#include <gtest/gtest.h>

#include "Dhcp/DhcpManager.h"
#include "pellion/DhcpPacket.h"
#include "pellion/DhcpServer.h"
#include "pellion/Pellion.h"
#include "support/SimTest.h"

using dhcptest::Ip;
using dhcptest::Mac;
using dhcptest::Packet;

namespace {

class DhcpManagerTest : public SimTest {
protected:
    void TearDown() override {
        StopDHCP();
        SimTest::TearDown();
    }
    // A DISCOVER and a REQUEST for the offered address, as the socket thread
    // would pass them on.
    std::uint32_t Lease(const Mac& mac, const std::string& host) {
        auto& server = pellion::DhcpServer::Instance();
        const auto discover = Packet(1, mac).HostName(host).Bytes();
        auto offer = dhcptest::Parse(server.Process(discover.data(), discover.size()));
        if (!offer)
            return 0;
        const auto request = Packet(3, mac).Requested(offer->yiaddr).Bytes();
        auto ack = dhcptest::Parse(server.Process(request.data(), request.size()));
        return ack ? ack->yiaddr : 0;
    }
    CDhcpManager& Manager() { return *CDhcpManager::GetInstance(); }
};

TEST_F(DhcpManagerTest, StartRestartsTheServerAndLogs) {
    ASSERT_TRUE(Manager().Start("192.168.23.1", "114.114.114.114"));
    EXPECT_TRUE(Log().Has("I start dhcp ip: 192.168.23.1 dns: 114.114.114.114"));
    ASSERT_NE(Lease({0, 1, 2, 3, 4, 5}, "alpha"), 0u);
    AddBlackList("00-01-02-03-04-06");

    ASSERT_TRUE(Manager().Start("192.168.23.1", ""));
    EXPECT_TRUE(Log().Has("E dhcp set dns failed"))
        << "an empty list is reported, the start goes on";
    std::vector<DhcpClientEntry> clients;
    Manager().GetAllClients(clients);
    EXPECT_TRUE(clients.empty()) << "the restart emptied the table";
    EXPECT_EQ(Lease({0, 1, 2, 3, 4, 6}, "beta"), Ip(192, 168, 23, 2)) << "and the black list";
    EXPECT_FALSE(Log().Has("E dhcp start failed"));
}

TEST_F(DhcpManagerTest, FailedStartIsLoggedAndReported) {
    EXPECT_FALSE(Manager().Start("not an address", "8.8.8.8"));
    EXPECT_TRUE(Log().Has("E dhcp start failed"));
}

TEST_F(DhcpManagerTest, ListsEveryBoundLeaseWithUpperCaseMacText) {
    ASSERT_TRUE(Manager().Start("192.168.23.1", "8.8.8.8"));
    for (std::uint8_t i = 0; i < 10; ++i)
        ASSERT_NE(Lease({0xAA, 0xBB, 0xCC, 0xDD, 0, i}, "c"), 0u);
    std::vector<DhcpClientEntry> clients;
    Manager().GetAllClients(clients);
    ASSERT_EQ(clients.size(), 10u);
    EXPECT_EQ(clients[0].mac, L"AA-BB-CC-DD-00-00");
    EXPECT_EQ(clients[0].ip, Ip(192, 168, 23, 2));
    EXPECT_EQ(clients[9].mac, L"AA-BB-CC-DD-00-09");

    // Nothing bound: the caller's vector stays as it was.
    RemoveClientItem("AA-BB-CC-DD-00-00");
    std::vector<DhcpClientEntry> kept = {{1, L"kept"}};
    ASSERT_TRUE(Manager().Start("192.168.23.1", "8.8.8.8"));
    Manager().GetAllClients(kept);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].mac, L"kept");
}

TEST_F(DhcpManagerTest, HostNameAndRemovalByMacText) {
    ASSERT_TRUE(Manager().Start("192.168.23.1", "8.8.8.8"));
    ASSERT_NE(Lease({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, "alpha"), 0u);
    EXPECT_EQ(Manager().GetClientHostName(L"00-1a-2b-3c-4d-5e"), L"alpha");
    EXPECT_EQ(Manager().GetClientHostName(L"00-1A-2B-3C-4D-5F"), L"");
    EXPECT_FALSE(Manager().RemoveClient(L"00-1A-2B-3C-4D-5F"));
    EXPECT_TRUE(Manager().RemoveClient(L"00-1A-2B-3C-4D-5E"));
    std::vector<DhcpClientEntry> clients;
    Manager().GetAllClients(clients);
    EXPECT_TRUE(clients.empty());
    EXPECT_EQ(Manager().GetClientHostName(L"00-1A-2B-3C-4D-5E"), L"alpha") << "the entry stays";
}

TEST_F(DhcpManagerTest, LongHostNameArrivesCutTo39Characters) {
    ASSERT_TRUE(Manager().Start("192.168.23.1", "8.8.8.8"));
    ASSERT_NE(Lease({0, 0, 0, 0, 0, 1}, std::string(50, 'n')), 0u);
    EXPECT_EQ(Manager().GetClientHostName(L"00-00-00-00-00-01"), std::wstring(39, L'n'));
}

}  // namespace
