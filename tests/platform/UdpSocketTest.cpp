// The UDP socket on loopback, the same test on Linux and (under Wine) on
// Windows: what the DHCP server and the DNS relay rely on reads the same on
// both systems, errors included, as Winsock codes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "platform/socket/SocketError.h"
#include "platform/socket/UdpSocket.h"
#include "platform/text/Ipv4Text.h"

namespace {

std::uint32_t Ip(const char* text) {
    std::uint32_t ip = 0;
    EXPECT_TRUE(plat::Ipv4Text::Parse(text, &ip)) << text;
    return ip;
}

// Wine binds an address that no interface carries to the wildcard address,
// where Windows and Linux refuse it.
bool UnderWine() {
#if defined(_WIN32)
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

// An open socket bound to a free loopback port.
void OpenOnLoopback(plat::UdpSocket& socket) {
    ASSERT_EQ(socket.Startup(), 0);
    ASSERT_EQ(socket.Open(), 0);
    ASSERT_TRUE(socket.IsOpen());
    ASSERT_EQ(socket.Bind(Ip("127.0.0.1"), 0), 0);
    ASSERT_NE(socket.LocalPort(), 0);
}

TEST(UdpSocket, DatagramsArriveWithTheirSenderAndAnEmptyQueueWouldBlock) {
    plat::UdpSocket server, client;
    OpenOnLoopback(server);
    OpenOnLoopback(client);

    char buffer[64];
    std::size_t received = 99;
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, &received), plat::kWsaEWouldBlock);
    EXPECT_EQ(server.Wait(0), plat::UdpSocket::WaitResult::TimedOut);

    const std::string hello = "hello";
    ASSERT_EQ(client.SendTo(hello.data(), hello.size(), Ip("127.0.0.1"), server.LocalPort()), 0);
    ASSERT_EQ(client.SendTo("bye", 3, Ip("127.0.0.1"), server.LocalPort()), 0);
    ASSERT_EQ(server.Wait(5000), plat::UdpSocket::WaitResult::Readable);
    std::uint32_t fromIp = 0;
    std::uint16_t fromPort = 0;
    ASSERT_EQ(server.Receive(buffer, sizeof buffer, &received, &fromIp, &fromPort), 0);
    EXPECT_EQ(std::string(buffer, received), hello);
    EXPECT_EQ(plat::Ipv4Text::Format(fromIp), "127.0.0.1");
    EXPECT_EQ(fromPort, client.LocalPort());

    // The second datagram was queued before the first was taken: a wait after
    // the first read still sees it (the read signal is not lost by the reset).
    ASSERT_EQ(server.Wait(5000), plat::UdpSocket::WaitResult::Readable);
    // A datagram longer than the buffer is cut to the buffer, not an error.
    char small[2];
    ASSERT_EQ(server.Receive(small, sizeof small, &received), 0);
    EXPECT_EQ(received, sizeof small);
    EXPECT_EQ(std::memcmp(small, "by", 2), 0);
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, &received), plat::kWsaEWouldBlock);
}

TEST(UdpSocket, WakeEndsAWaitFromAnotherThreadAndIsKeptForTheNextWait) {
    plat::UdpSocket socket;
    OpenOnLoopback(socket);

    socket.Wake();  // before the wait: the next wait returns at once
    EXPECT_EQ(socket.Wait(-1), plat::UdpSocket::WaitResult::Woken);
    EXPECT_EQ(socket.Wait(0), plat::UdpSocket::WaitResult::TimedOut);

    std::thread waker([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        socket.Wake();
    });
    EXPECT_EQ(socket.Wait(-1), plat::UdpSocket::WaitResult::Woken);
    waker.join();
}

TEST(UdpSocket, BindErrorsAreWinsockCodes) {
    plat::UdpSocket first, second, stranger;
    OpenOnLoopback(first);
    ASSERT_EQ(second.Startup(), 0);
    ASSERT_EQ(second.Open(), 0);
    EXPECT_EQ(second.Bind(Ip("127.0.0.1"), first.LocalPort()), plat::kWsaEAddrInUse);

    // An address no interface of this machine carries (TEST-NET-1).
    ASSERT_EQ(stranger.Startup(), 0);
    ASSERT_EQ(stranger.Open(), 0);
    if (!UnderWine()) {
        EXPECT_EQ(stranger.Bind(Ip("192.0.2.77"), 0), plat::kWsaEAddrNotAvail);
    }

    // Closed, the socket says so; a second Close does nothing.
    first.Close();
    EXPECT_FALSE(first.IsOpen());
    first.Close();
    EXPECT_FALSE(first.IsOpen());
}

}  // namespace
