// The DNS relay on the network bed: an upstream namespace runs dnsmasq with
// fixed A and CNAME records, the hotspot namespace runs the relay (its system
// resolver pointed at the upstream), and `dig` in a client namespace asks the
// relay.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "NamespaceResolvConf.h"
#include "NetNamespace.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using nettest::NamespaceResolvConf;

class DnsRelayNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        for (const char* tool : {"dnsmasq", "dig"})
            if (nettest::Run(std::string("command -v ") + tool + " >/dev/null 2>&1") != 0)
                GTEST_SKIP() << "needs " << tool;
        m_dir = std::make_unique<TempDir>();
        m_up = std::make_unique<NetNamespace>("up");
        m_hs = std::make_unique<NetNamespace>("hs");
        m_cl = std::make_unique<NetNamespace>("cl");
        ASSERT_TRUE(m_up->Created() && m_hs->Created() && m_cl->Created());
        const std::string wan = nettest::UniqueName("wan");
        const std::string lan = nettest::UniqueName("lan");
        ASSERT_EQ(nettest::Run("ip link add " + wan + " netns " + m_hs->Name() +
                               " type veth peer name eth0 netns " + m_up->Name()),
                  0);
        ASSERT_EQ(nettest::Run("ip link add " + lan + " netns " + m_hs->Name() +
                               " type veth peer name eth0 netns " + m_cl->Name()),
                  0);
        ASSERT_EQ(m_up->Exec("ip addr add 198.51.100.1/24 dev eth0 && ip link set eth0 up"), 0);
        ASSERT_EQ(m_hs->Exec("ip addr add 198.51.100.2/24 dev " + wan + " && ip link set " + wan +
                             " up && ip addr add 192.168.77.1/24 dev " + lan + " && ip link set " +
                             lan + " up"),
                  0);
        ASSERT_EQ(m_cl->Exec("ip addr add 192.168.77.2/24 dev eth0 && ip link set eth0 up"), 0);

        ASSERT_EQ(m_up->Exec("dnsmasq --keep-in-foreground --no-resolv --no-hosts "
                             "--listen-address=198.51.100.1 --bind-interfaces "
                             "--pid-file=" +
                             m_dir->File("dnsmasq.pid") +
                             " --host-record=www.example.test,203.0.113.10"
                             " --host-record=two.example.test,203.0.113.11"
                             " --cname=alias.example.test,www.example.test"
                             " --cname=deep.example.test,alias.example.test"
                             " --local-ttl=321 >" +
                             m_dir->File("dnsmasq.log") + " 2>&1 &"),
                  0);
        m_resolv = std::make_unique<NamespaceResolvConf>(m_hs->Name(), "nameserver 198.51.100.1\n");
        ASSERT_EQ(nettest::Run("ip netns exec " + m_hs->Name() +
                               " " LUMARI_DNS_RELAY_HOST " 192.168.77.1 53 >" +
                               m_dir->File("relay.out") + " 2>&1 &"),
                  0);
        // Both servers start in a few milliseconds; wait for them, at most 5 s.
        for (int i = 0; i < 500 && !Ready(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(Ready()) << ReadFile(m_dir->File("relay.out"))
                             << ReadFile(m_dir->File("dnsmasq.log"));
    }

    void TearDown() override {
        m_cl.reset();
        m_hs.reset();
        m_up.reset();
        m_resolv.reset();
    }

    bool Ready() {
        return ReadFile(m_dir->File("relay.out")).rfind("ready 53", 0) == 0 &&
               m_up->Exec(
                   "dig @198.51.100.1 +short +time=1 +tries=1 www.example.test "
                   ">/dev/null") == 0;
    }

    // dig in the client namespace against the relay; its output lines.
    std::string Dig(const std::string& args,
                    const std::string& edns = "+noedns +nocookie +noadflag") {
        const std::string out = m_dir->File("dig.out");
        m_cl->Exec("dig @192.168.77.1 " + edns + " +time=2 +tries=1 " + args + " >" + out +
                   " 2>&1");
        return ReadFile(out);
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_up, m_hs, m_cl;
    std::unique_ptr<NamespaceResolvConf> m_resolv;
};

TEST_F(DnsRelayNetTest, DigGetsTheUpstreamRecordsThroughTheRelay) {
    const std::string a = Dig("+noall +answer www.example.test A");
    EXPECT_NE(a.find("www.example.test.\t321\tIN\tA\t203.0.113.10"), std::string::npos) << a;

    // A chain of two CNAMEs and the address, in the server's order and TTLs,
    // for a name asked in capitals.
    const std::string chain = Dig("+noall +answer DEEP.Example.TEST A");
    const auto p1 = chain.find("deep.example.test.\t321\tIN\tCNAME\talias.example.test.");
    const auto p2 = chain.find("alias.example.test.\t321\tIN\tCNAME\twww.example.test.");
    const auto p3 = chain.find("www.example.test.\t321\tIN\tA\t203.0.113.10");
    ASSERT_NE(p1, std::string::npos) << chain;
    EXPECT_LT(p1, p2) << chain;
    EXPECT_LT(p2, p3) << chain;

    const std::string header = Dig("two.example.test A");
    EXPECT_NE(header.find("status: NOERROR"), std::string::npos) << header;
    EXPECT_NE(header.find("flags: qr rd ra;"), std::string::npos) << header;
    EXPECT_NE(header.find("ANSWER: 1,"), std::string::npos) << header;
    EXPECT_NE(header.find("203.0.113.11"), std::string::npos) << header;

    // dig as it asks by default: with an EDNS record and a cookie.
    const std::string edns = Dig("two.example.test A", "");
    EXPECT_NE(edns.find("status: NOERROR"), std::string::npos) << edns;
    EXPECT_NE(edns.find("203.0.113.11"), std::string::npos) << edns;
}

}  // namespace
