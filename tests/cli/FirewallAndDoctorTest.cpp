// The program's own firewall rules and the doctor, in network namespaces:
// a host firewall that drops everything on input still lets DHCP and DNS in
// on the access point's interface while the hole is open, and only then; the
// doctor finds what a start would trip over on a machine set up to fail.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "Doctor.h"
#include "NetNamespace.h"
#include "platform/linux/FirewallHole.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

class HotspotHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        m_hs = std::make_unique<NetNamespace>("hs");
        m_client = std::make_unique<NetNamespace>("cl");
        ASSERT_TRUE(m_hs->Created() && m_client->Created());
        m_lan = nettest::UniqueName("lan");
        ASSERT_EQ(nettest::Run("ip link add " + m_lan + " netns " + m_hs->Name() +
                               " type veth peer name eth0 netns " + m_client->Name()),
                  0);
        ASSERT_EQ(m_hs->Exec("ip addr add 10.66.0.1/24 dev " + m_lan + " && ip link set " + m_lan +
                             " up"),
                  0);
        ASSERT_EQ(m_client->Exec("ip addr add 10.66.0.2/24 dev eth0 && ip link set eth0 up"), 0);
    }
    void TearDown() override {
        m_client.reset();
        m_hs.reset();
    }

    // Loads a ruleset into the hotspot's namespace.
    bool Nft(const std::string& ruleset) {
        m_dir.Write("ruleset.nft", ruleset);
        return nettest::Run("ip netns exec " + m_hs->Name() + " nft -f " +
                            m_dir.File("ruleset.nft")) == 0;
    }

    // Sends one datagram from the client to the hotspot's `port`; whether a
    // socket of the hotspot bound there received it.
    bool Arrives(int port) {
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(static_cast<std::uint16_t>(port));
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        timeval wait{0, 300000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        m_client->Exec("bash -c \"echo probe > /dev/udp/10.66.0.1/" + std::to_string(port) + "\"");
        char buffer[16];
        const bool got = recv(fd, buffer, sizeof buffer, 0) > 0;
        close(fd);
        return got;
    }

    TempDir m_dir;
    std::unique_ptr<NetNamespace> m_hs;
    std::unique_ptr<NetNamespace> m_client;
    std::string m_lan;
};

TEST_F(HotspotHostTest, HoleLetsDhcpAndDnsInPastAHostFirewallUntilClosed) {
    // A host firewall as firewalld or ufw (through iptables-nft) would have it,
    // and a rule a killed run left behind.
    ASSERT_TRUE(
        Nft("table inet hostfw {\n"
            " chain input {\n  type filter hook input priority 0; policy drop;\n"
            "  iifname \"lo\" accept\n }\n}\n"
            "table ip filter {\n"
            " chain INPUT {\n  type filter hook input priority 0; policy drop;\n }\n"
            " chain ufw-before-input {\n }\n}\n"
            "add rule inet hostfw input udp dport 9 accept comment \"lumari-hotspot\"\n"));
    ASSERT_TRUE(m_hs->RunInside([&] {
        EXPECT_FALSE(Arrives(67));
        plat::FirewallHole hole;
        std::vector<std::string> firewalls;
        std::string error;
        ASSERT_TRUE(hole.Firewalls(&firewalls, &error)) << error;
        EXPECT_EQ(firewalls, std::vector<std::string>{"ufw"});

        ASSERT_TRUE(hole.Open(m_lan, &error)) << error;
        EXPECT_TRUE(Arrives(67));
        EXPECT_TRUE(Arrives(53));
        EXPECT_FALSE(Arrives(68));  // only what the hotspot serves

        // Four rules of ours (two per input chain); the leftover is gone.
        EXPECT_EQ(hole.Close(&error), 4) << error;
        EXPECT_FALSE(Arrives(67));
        EXPECT_EQ(hole.Close(&error), 0);
    }));
    // The host's own firewall stays as it was.
    EXPECT_EQ(m_hs->Exec("nft list chain inet hostfw input | grep -q 'policy drop'"), 0);
}

TEST_F(HotspotHostTest, DoctorNamesWhatAStartWouldTripOver) {
    ASSERT_EQ(m_hs->Exec("ip link add wan0 type veth peer name wan0p && ip link set wan0p up && "
                         "ip addr add 192.168.23.7/24 dev wan0 && "
                         "ip link set wan0 up"),
              0);
    ASSERT_TRUE(
        Nft("table inet hostfw {\n chain routed {\n  type filter hook forward priority 0; "
            "policy drop;\n }\n}\n"));
    auto has = [](const std::vector<DoctorFinding>& findings, DoctorFinding::Level level,
                  const std::string& text) {
        for (const DoctorFinding& f : findings)
            if (f.level == level && f.what.find(text) != std::string::npos)
                return true;
        return false;
    };
    using Level = DoctorFinding::Level;
    ASSERT_TRUE(m_hs->RunInside([&] {
        Doctor::Inputs in;
        in.apInterface = m_lan;
        std::vector<DoctorFinding> f = Doctor::Check(in);
        const std::string text = Doctor::Format(f);
        EXPECT_TRUE(Doctor::AnyFailure(f)) << text;
        EXPECT_TRUE(has(f, Level::Ok, m_lan + " is a wired port")) << text;
        EXPECT_TRUE(has(f, Level::Failure, "no default route")) << text;
        EXPECT_TRUE(has(f, Level::Failure, "192.168.23.0/24 is in use on wan0")) << text;
        EXPECT_TRUE(has(f, Level::Warning, "forward chain inet hostfw routed drops")) << text;
        EXPECT_TRUE(has(f, Level::Ok, "nftables is usable")) << text;
        EXPECT_NE(text.find("       fix: connect this PC to the Internet"), std::string::npos);

        // Set right, the same checks pass.
        ASSERT_EQ(nettest::Run("ip route add default dev wan0"), 0);
        in.address = "10.99.0.1";
        f = Doctor::Check(in);
        EXPECT_TRUE(has(f, Level::Ok, "upstream: wan0")) << Doctor::Format(f);
        EXPECT_TRUE(has(f, Level::Ok, "the hotspot subnet 10.99.0.0/24 is free"));

        // The access point on the upstream's own interface, or on none at all.
        in.apInterface = "wan0";
        EXPECT_TRUE(has(Doctor::Check(in), Level::Failure, "wan0 carries this PC's upstream"));
        in.apInterface = "nosuch0";
        EXPECT_TRUE(has(Doctor::Check(in), Level::Failure, "there is no interface nosuch0"));
        in.apInterface.clear();
        f = Doctor::Check(in);
        EXPECT_TRUE(has(f, Level::Failure, "Wi-Fi")) << Doctor::Format(f);
    }));
}

}  // namespace
