// The DHCP server over Winsock on loopback, as a Windows program: the server
// binds its address itself (port 67), a client on port 68 takes the replies
// the server broadcasts, and the whole exchange runs through real sockets and
// the server's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "DhcpPacket.h"
#include "pellion/Pellion.h"
#include "platform/socket/SocketError.h"
#include "platform/socket/UdpSocket.h"
#include "support/SimTest.h"

using dhcptest::Ip;
using dhcptest::Mac;
using dhcptest::Packet;

namespace {

std::atomic<int> g_acks{0};
void CountAck(_DHCP_CLIENT*) {
    g_acks.fetch_add(1);
}

class DhcpServerWinsockTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        g_acks = 0;
        plat::AdapterInfo loopback;
        loopback.name = "Loopback";
        loopback.ipv4.push_back({"127.0.0.1", "255.0.0.0"});
        Pc().network.AddAdapter(loopback);
    }
    // The client's socket: the wildcard address on the clients' port, where
    // the server's broadcasts arrive.
    void OpenClient() {
        ASSERT_EQ(m_client.Startup(), 0);
        ASSERT_EQ(m_client.Open(), 0);
        ASSERT_EQ(m_client.EnableBroadcast(), 0);
        ASSERT_EQ(m_client.Bind(0, 68), 0) << "the clients' port (needs the right to bind it)";
    }
    void TearDown() override {
        StopDHCP();
        SimTest::TearDown();
    }
    // True once the server's thread has bound its socket.
    bool ServerListening() {
        for (int i = 0; i < 500; ++i) {
            if (DebugHas("DHCP Thread start svc"))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    std::optional<dhcptest::Reply> Exchange(const Packet& request) {
        const auto bytes = request.Bytes();
        if (m_client.SendTo(bytes.data(), bytes.size(), kServer, 67) != 0)
            return std::nullopt;
        if (m_client.Wait(5000) != plat::UdpSocket::WaitResult::Readable)
            return std::nullopt;
        std::vector<std::uint8_t> reply(1500);
        std::size_t received = 0;
        std::uint32_t from = 0;
        std::uint16_t port = 0;
        if (m_client.Receive(reply.data(), reply.size(), &received, &from, &port) != 0)
            return std::nullopt;
        EXPECT_EQ(from, kServer);
        EXPECT_EQ(port, 67);
        reply.resize(received);
        return dhcptest::Parse(reply);
    }

    const std::uint32_t kServer = Ip(127, 0, 0, 1);
    plat::UdpSocket m_client;
};

const Mac kPhone = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

TEST_F(DhcpServerWinsockTest, ALeaseIsOfferedAndAcknowledgedThroughTheSockets) {
    OpenClient();
    ASSERT_EQ(StartDHCP("127.0.0.1", CountAck), 1);
    ASSERT_TRUE(ServerListening());

    auto offer = Exchange(Packet(1, kPhone).HostName("phone"));
    ASSERT_TRUE(offer.has_value());
    EXPECT_EQ(offer->op, 2);
    EXPECT_EQ(offer->type, 2);
    EXPECT_EQ(offer->xid, 0x12345678u);
    EXPECT_EQ(offer->chaddr, kPhone);
    EXPECT_EQ(offer->siaddr, kServer);
    ASSERT_NE(offer->yiaddr, 0u);

    auto ack = Exchange(Packet(3, kPhone).Requested(offer->yiaddr));
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->type, 5);
    EXPECT_EQ(ack->yiaddr, offer->yiaddr);
    EXPECT_EQ(g_acks.load(), 1);

    _DHCP_CLIENT client{};
    ASSERT_EQ(GetDhcpClient("00-1A-2B-3C-4D-5E", &client), 1);
    EXPECT_EQ(client.ip, offer->yiaddr);
    char name[64] = {};
    int len = sizeof name;
    ASSERT_EQ(GetDhcpHostnameByMac("00-1A-2B-3C-4D-5E", name, &len), 0);
    EXPECT_STREQ(name, "phone");

    // Stopping wakes the thread out of its wait on the socket.
    EXPECT_EQ(StopDHCP(), 1);
    EXPECT_TRUE(DebugHas("DHCP Thread End"));
}

// Another program holds the server's port on its address: Windows refuses the
// bind with "address in use", and the start fails with that code.
TEST_F(DhcpServerWinsockTest, AnAddressWhosePortIsTakenFailsTheStartWithItsCode) {
    plat::UdpSocket squatter;
    ASSERT_EQ(squatter.Startup(), 0);
    ASSERT_EQ(squatter.Open(), 0);
    ASSERT_EQ(squatter.Bind(kServer, 67), 0);

    EXPECT_EQ(StartDHCP("127.0.0.1", nullptr), 0);
    EXPECT_TRUE(
        DebugHas("StartDHCP->绑定socket失败:错误码" + std::to_string(plat::kWsaEAddrInUse)));
    EXPECT_FALSE(DebugHas("DHCP Thread Begin"));
}

}  // namespace
