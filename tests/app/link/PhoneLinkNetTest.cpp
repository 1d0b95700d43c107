// The phone link on the network test bed: a hotspot host runs the link on
// the Linux backend, with its bridge toward the hotspot's clients and an
// upstream link; a phone host and an intruder host hang on the bridge, and an
// upstream host on the other side. Root only; skipped otherwise.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "NetNamespace.h"
#include "PhoneClient.h"
#include "VelWfssClientConnect.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kHotspotIp = "192.168.61.1";
constexpr const char* kUpstreamIp = "198.51.100.2";
constexpr const char* kPhoneIp = "192.168.61.20";
constexpr const char* kPhoneMac = "02-00-00-00-61-20";

// A command and its answer's status; -1 when there was no answer (or no
// connection at all).
std::int64_t Command(const nettest::NetNamespace& from, const char* fromIp, const char* toIp,
                     std::uint16_t port, const std::string& json) {
    std::int64_t result = -1;
    from.RunInside([&] {
        PhoneClient c;
        if (!c.Connect(port, fromIp, toIp))
            return;
        std::uint32_t type = 0;
        std::uint32_t status = 0;
        if (c.Send(PhoneClient::Command(json)) && c.ReadReply(&type, &status) && type == 32)
            result = status;
    });
    return result;
}

}  // namespace

TEST(PhoneLinkNetBed, TheAuthorisedPhoneIsObeyedAndNobodyWhoTakesItsPlace) {
    std::string why;
    if (!nettest::CanBuildNamespaces(&why))
        GTEST_SKIP() << why;
    nettest::NetNamespace hs("plhs"), up("plup"), phone("plph"), intruder("plin");
    ASSERT_TRUE(hs.Created() && up.Created() && phone.Created() && intruder.Created());
    const std::string H = hs.Name(), U = up.Name(), P = phone.Name(), I = intruder.Name();
    auto run = [](const std::string& command) { ASSERT_EQ(nettest::Run(command), 0) << command; };
    run("ip link add wan0 netns " + H + " type veth peer name eth0 netns " + U);
    run("ip -n " + U + " addr add 198.51.100.1/24 dev eth0 && ip -n " + U + " link set eth0 up");
    run("ip -n " + H + " addr add " + kUpstreamIp + "/24 dev wan0 && ip -n " + H +
        " link set wan0 up");
    run("ip -n " + H + " link add br0 type bridge && ip -n " + H + " addr add " + kHotspotIp +
        "/24 dev br0 && ip -n " + H + " link set br0 up");
    struct Client {
        const std::string& ns;
        const char* port;
        const char* mac;
        const char* ip;
    };
    for (const Client& c : {Client{P, "lan-ph", "02:00:00:00:61:20", kPhoneIp},
                            Client{I, "lan-in", "02:00:00:00:61:66", "192.168.61.66"}}) {
        run(std::string("ip link add ") + c.port + " netns " + H +
            " type veth peer name eth0 netns " + c.ns);
        run("ip -n " + H + " link set " + c.port + " master br0 up");
        run("ip -n " + c.ns + " link set eth0 address " + c.mac + " && ip -n " + c.ns +
            " addr add " + c.ip + "/24 dev eth0 && ip -n " + c.ns + " link set eth0 up");
    }

    run("ip -n " + U + " route add 192.168.61.0/24 via " + kUpstreamIp);

    TempDir dir;
    auto link = std::make_unique<VelWfssClientConnect>();
    bool listening = false;
    // Made and opened inside the hotspot host: the backend, the link's
    // socket and thread, and its neighbour queries are that host's.
    ASSERT_TRUE(hs.RunInside([&] {
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(dir.File("registry")));
        listening = link->Listen(inet_addr(kHotspotIp), 0);
    }));
    ASSERT_TRUE(listening);
    const std::uint16_t port = link->Port();
    link->RegisterIdentity(inet_addr(kPhoneIp), kPhoneMac);
    link->SetAuthorisedId(kPhoneMac);

    // The authorised phone is obeyed, from its own hardware.
    EXPECT_EQ(Command(phone, kPhoneIp, kHotspotIp, port, R"({"command":"cancel"})"), 0);
    // The intruder on its own address is a stranger.
    EXPECT_EQ(Command(intruder, "192.168.61.66", kHotspotIp, port, R"({"command":"cancel"})"), 1);

    // The phone leaves; the intruder takes its address (and asks anew for
    // the hotspot's hardware address, which tells the hotspot its own).
    run("ip -n " + P + " link set eth0 down");
    run("ip -n " + I + " addr flush dev eth0 && ip -n " + I + " addr add " + kPhoneIp +
        "/24 dev eth0 && ip -n " + I + " neigh flush all");
    EXPECT_EQ(Command(intruder, kPhoneIp, kHotspotIp, port, R"({"command":"shutdown","data":"1"})"),
              1);

    // On the upstream side's address the link is not there at all; an
    // upstream host that routes to the hotspot's address is a stranger.
    EXPECT_EQ(Command(up, "198.51.100.1", kUpstreamIp, port, R"({"command":"cancel"})"), -1);
    EXPECT_EQ(Command(up, "198.51.100.1", kHotspotIp, port, R"({"command":"cancel"})"), 1);

    link.reset();
    plat::Platform::Uninstall();
}
