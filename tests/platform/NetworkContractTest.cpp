// One contract for the adapter table and its addressing, run on the simulated
// PC and on Linux (inside a private network namespace with a veth link).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/mount.h>

#include <functional>
#include <string>
#include <vector>

#include "PrivateNetns.h"
#include "TempDir.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxNetwork.h"
#include "platform/linux/LinuxProcessLauncher.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"

namespace {

class NetworkBed {
public:
    virtual ~NetworkBed() = default;
    virtual plat::IpHelper& Net() = 0;
    // A link that is up, without addresses; false when it could not be made.
    virtual bool AddLink(const std::string& name) = 0;
    virtual bool AddNeighbour(const std::string& link, const std::string& ip,
                              const std::vector<plat::BYTE>& mac) = 0;
    virtual bool SetMac(const std::string& link, const std::vector<plat::BYTE>& mac) = 0;
    // A point-to-point tunnel without a hardware address.
    virtual bool AddTunnel(const std::string& name) = 0;
    // Gives `link` the address `ip`/24 and the default route through `gateway`.
    virtual bool SetDefaultRoute(const std::string& link, const std::string& ip,
                                 const std::string& gateway) = 0;
    // The DNS servers the system uses for the link of the default route.
    virtual bool SetUpstreamDns(const std::string& link,
                                const std::vector<std::string>& servers) = 0;
};

std::string MacText(const std::vector<plat::BYTE>& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

class SimBed : public NetworkBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {
        plat::AdapterInfo lo;
        lo.guid = plat::GuidText::FromName("lo");
        lo.name = "lo";
        lo.ifType = plat::kIfTypeLoopback;
        lo.ipv4 = {{"127.0.0.1", "255.0.0.0"}};
        m_pc.network.AddAdapter(lo);
    }
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::IpHelper& Net() override { return m_pc.network; }
    bool AddLink(const std::string& name) override {
        plat::AdapterInfo a;
        a.guid = plat::GuidText::FromName(name);
        a.name = name;
        m_pc.network.AddAdapter(a);
        return true;
    }
    bool AddNeighbour(const std::string& link, const std::string& ip,
                      const std::vector<plat::BYTE>& mac) override {
        plat::AdapterInfo a;
        if (!m_pc.network.FindAdapter(plat::GuidText::FromName(link), &a))
            return false;
        plat::NeighbourRow row;
        row.ifIndex = a.ifIndex;
        row.ip = inet_addr(ip.c_str());
        row.mac = mac;
        m_pc.network.AddNeighbour(row);
        return true;
    }

    bool SetMac(const std::string& link, const std::vector<plat::BYTE>& mac) override {
        return Change(link, [&](plat::AdapterInfo& a) { a.mac = mac; });
    }
    bool AddTunnel(const std::string& name) override {
        plat::AdapterInfo a;
        a.guid = plat::GuidText::FromName(name);
        a.name = name;
        a.ifType = plat::kIfTypeTunnel;
        m_pc.network.AddAdapter(a);
        return true;
    }
    bool SetDefaultRoute(const std::string& link, const std::string& ip,
                         const std::string& gateway) override {
        return Change(link, [&](plat::AdapterInfo& a) {
            a.ipv4 = {{ip, "255.255.255.0"}};
            a.gateway = gateway;
            m_pc.network.SetBestInterface(a.ifIndex);
        });
    }
    bool SetUpstreamDns(const std::string& link, const std::vector<std::string>& servers) override {
        return Change(link, [&](plat::AdapterInfo& a) { a.dns = servers; });
    }

private:
    bool Change(const std::string& link, const std::function<void(plat::AdapterInfo&)>& change) {
        plat::AdapterInfo a;
        if (!m_pc.network.FindAdapter(plat::GuidText::FromName(link), &a))
            return false;
        change(a);
        m_pc.network.AddAdapter(a);
        return true;
    }
    plat::SimPc& m_pc;
};

class LinuxBed : public NetworkBed {
public:
    plat::IpHelper& Net() override { return m_net; }
    bool AddLink(const std::string& name) override {
        return Ok("ip link add " + name + " type veth peer name " + name + "p") &&
               Ok("ip link set " + name + "p up") && Ok("ip link set " + name + " up") &&
               testnet::WaitUntilUp(name);
    }
    bool AddNeighbour(const std::string& link, const std::string& ip,
                      const std::vector<plat::BYTE>& mac) override {
        char text[18];
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]);
        return Ok("ip neigh replace " + ip + " lladdr " + text + " dev " + link + " nud permanent");
    }
    bool SetMac(const std::string& link, const std::vector<plat::BYTE>& mac) override {
        return Ok("ip link set " + link + " address " + MacText(mac));
    }
    bool AddTunnel(const std::string& name) override {
        return Ok("ip tuntap add dev " + name + " mode tun") && Ok("ip link set " + name + " up");
    }
    bool SetDefaultRoute(const std::string& link, const std::string& ip,
                         const std::string& gateway) override {
        return Ok("ip addr add " + ip + "/24 dev " + link) &&
               Ok("ip route add default via " + gateway + " dev " + link);
    }
    // The thread's own mount namespace sees a resolv.conf of the test's; a
    // local stub listed first is no server for the hotspot's clients.
    bool SetUpstreamDns(const std::string&, const std::vector<std::string>& servers) override {
        std::string text = "# written by the test\nnameserver 127.0.0.53\n";
        for (const auto& server : servers)
            text += "nameserver " + server + "\n";
        text += "nameserver 2001:db8::53\n";
        const std::string file = m_dir.File("resolv.conf");
        std::FILE* f = std::fopen(file.c_str(), "w");
        if (f == nullptr)
            return false;
        std::fputs(text.c_str(), f);
        std::fclose(f);
        return mount(file.c_str(), "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
    }

private:
    bool Ok(const std::string& command) {
        const auto r = m_launcher.Run(command);
        return r.started && r.exitCode == 0;
    }
    plat::LinuxNetwork m_net;
    plat::LinuxProcessLauncher m_launcher;
    TempDir m_dir;
};

class NetworkContract : public ::testing::TestWithParam<std::string> {
protected:
    void OnBed(const std::function<void(NetworkBed&)>& body) {
        std::string why;
        if (!testnet::OnBed<NetworkBed, SimBed, LinuxBed>(GetParam(), body, &why))
            GTEST_SKIP() << "no private network namespace: " << why;
    }
};

const plat::AdapterInfo* Find(const std::vector<plat::AdapterInfo>& all, const std::string& name) {
    for (const auto& a : all)
        if (a.name == name)
            return &a;
    return nullptr;
}

TEST_P(NetworkContract, StaticAddressesReplaceEachOtherAndGoAgain) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        plat::IpHelper& net = bed.Net();
        const plat::GUID guid = plat::GuidText::FromName("lumnet0");
        std::vector<plat::AdapterInfo> all;
        ASSERT_EQ(net.Adapters(&all), 0u);
        const plat::AdapterInfo* a = Find(all, "lumnet0");
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->guid, guid);
        EXPECT_NE(a->ifIndex, 0u);
        EXPECT_TRUE(a->ipv4.empty());

        ASSERT_EQ(net.SetStaticAddress(guid, "10.77.0.1", "255.255.255.0", nullptr), 0u);
        ASSERT_EQ(net.SetStaticAddress(guid, "10.78.0.1", "255.255.0.0", ""), 0u);
        ASSERT_EQ(net.Adapters(&all), 0u);
        a = Find(all, "lumnet0");
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(a->ipv4.size(), 1u) << "the new address replaces the old one";
        EXPECT_EQ(a->ipv4[0].ip, "10.78.0.1");
        EXPECT_EQ(a->ipv4[0].mask, "255.255.0.0");

        ASSERT_EQ(net.SetStaticAddress(guid, "10.79.0.1", nullptr, nullptr), 0u);
        ASSERT_EQ(net.Adapters(&all), 0u);
        ASSERT_EQ(Find(all, "lumnet0")->ipv4.size(), 1u);
        EXPECT_EQ(Find(all, "lumnet0")->ipv4[0].mask, "255.255.255.0") << "a /24 by default";

        ASSERT_EQ(net.SetStaticAddress(guid, nullptr, nullptr, nullptr), 0u);
        ASSERT_EQ(net.Adapters(&all), 0u);
        EXPECT_TRUE(Find(all, "lumnet0")->ipv4.empty());
    });
}

TEST_P(NetworkContract, BadAddressesAndUnknownAdaptersAreRefused) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        plat::IpHelper& net = bed.Net();
        const plat::GUID guid = plat::GuidText::FromName("lumnet0");
        EXPECT_EQ(net.SetStaticAddress(guid, "10.77.0.300", nullptr, nullptr), 87u);
        EXPECT_EQ(net.SetStaticAddress(guid, "10.77.0.1", "255.0.255.0", nullptr), 87u);
        EXPECT_EQ(net.SetStaticAddress(guid, "10.77.0.1", nullptr, "gateway"), 87u);
        EXPECT_EQ(net.SetStaticAddress(plat::GuidText::FromName("nosuch0"), "10.77.0.1", nullptr,
                                       nullptr),
                  2u);
        std::vector<plat::AdapterInfo> all;
        ASSERT_EQ(net.Adapters(&all), 0u);
        EXPECT_TRUE(Find(all, "lumnet0")->ipv4.empty()) << "nothing was set";
    });
}

TEST_P(NetworkContract, NeighboursListTheirAddressAndHardwareAddress) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        plat::IpHelper& net = bed.Net();
        ASSERT_EQ(net.SetStaticAddress(plat::GuidText::FromName("lumnet0"), "10.77.0.1", nullptr,
                                       nullptr),
                  0u);
        const std::vector<plat::BYTE> mac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x05};
        ASSERT_TRUE(bed.AddNeighbour("lumnet0", "10.77.0.9", mac));
        ASSERT_TRUE(bed.AddNeighbour("lumnet0", "10.77.0.5", mac));
        std::vector<plat::NeighbourRow> rows;
        ASSERT_EQ(net.Neighbours(&rows), 0u);
        std::vector<std::uint32_t> ours;
        for (const auto& r : rows) {
            if (r.ip == inet_addr("10.77.0.5") || r.ip == inet_addr("10.77.0.9")) {
                ours.push_back(r.ip);
                EXPECT_EQ(r.mac, mac);
            }
        }
        EXPECT_EQ(ours,
                  (std::vector<std::uint32_t>{inet_addr("10.77.0.5"), inet_addr("10.77.0.9")}))
            << "sorted by address";
    });
}

TEST_P(NetworkContract, RoutesChooseTheInterfaceOfTheDestinationsSubnet) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        ASSERT_TRUE(bed.AddLink("lumnet1"));
        plat::IpHelper& net = bed.Net();
        ASSERT_EQ(net.SetStaticAddress(plat::GuidText::FromName("lumnet0"), "10.77.0.1", nullptr,
                                       nullptr),
                  0u);
        ASSERT_EQ(net.SetStaticAddress(plat::GuidText::FromName("lumnet1"), "10.88.0.1", nullptr,
                                       nullptr),
                  0u);
        std::vector<plat::AdapterInfo> all;
        ASSERT_EQ(net.Adapters(&all), 0u);
        plat::DWORD index = 0;
        ASSERT_EQ(net.BestInterface(inet_addr("10.88.0.20"), &index), 0u);
        EXPECT_EQ(index, Find(all, "lumnet1")->ifIndex);
        ASSERT_EQ(net.BestInterface(inet_addr("10.77.0.20"), &index), 0u);
        EXPECT_EQ(index, Find(all, "lumnet0")->ifIndex);
        // Neither bed has a default route.
        EXPECT_NE(net.BestInterface(inet_addr("203.0.113.10"), &index), 0u);

        std::uint64_t in = 1, out = 1;
        EXPECT_EQ(net.InterfaceCounters(Find(all, "lumnet0")->ifIndex, &in, &out), 0u);
        EXPECT_NE(net.InterfaceCounters(999999, &in, &out), 0u);
    });
}

TEST_P(NetworkContract, AdaptersCarryTheirTypeHardwareAddressAndState) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        const std::vector<plat::BYTE> mac = {0x02, 0x00, 0x00, 0x00, 0xaa, 0x01};
        ASSERT_TRUE(bed.SetMac("lumnet0", mac));
        ASSERT_TRUE(bed.AddTunnel("lumtun0"));
        std::vector<plat::AdapterInfo> all;
        ASSERT_EQ(bed.Net().Adapters(&all), 0u);

        const plat::AdapterInfo* ethernet = Find(all, "lumnet0");
        ASSERT_NE(ethernet, nullptr);
        EXPECT_EQ(ethernet->ifType, plat::kIfTypeEthernet);
        EXPECT_EQ(ethernet->mac, mac);
        EXPECT_TRUE(ethernet->up);
        const plat::AdapterInfo* tunnel = Find(all, "lumtun0");
        ASSERT_NE(tunnel, nullptr);
        EXPECT_EQ(tunnel->ifType, plat::kIfTypeTunnel);
        EXPECT_TRUE(tunnel->mac.empty());
        const plat::AdapterInfo* lo = Find(all, "lo");
        ASSERT_NE(lo, nullptr);
        EXPECT_EQ(lo->ifType, plat::kIfTypeLoopback);
        EXPECT_TRUE(lo->dns.empty());
    });
}

TEST_P(NetworkContract, TheUpstreamLinkCarriesItsGatewayAndDnsServers) {
    OnBed([](NetworkBed& bed) {
        ASSERT_TRUE(bed.AddLink("lumnet0"));
        ASSERT_TRUE(bed.AddLink("lumnet1"));
        ASSERT_TRUE(bed.SetDefaultRoute("lumnet0", "10.77.0.1", "10.77.0.254"));
        const std::vector<std::string> servers = {"192.0.2.53", "198.51.100.53"};
        ASSERT_TRUE(bed.SetUpstreamDns("lumnet0", servers));
        plat::IpHelper& net = bed.Net();
        std::vector<plat::AdapterInfo> all;
        ASSERT_EQ(net.Adapters(&all), 0u);

        const plat::AdapterInfo* upstream = Find(all, "lumnet0");
        const plat::AdapterInfo* other = Find(all, "lumnet1");
        ASSERT_NE(upstream, nullptr);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(upstream->gateway, "10.77.0.254");
        EXPECT_EQ(upstream->dns, servers);
        EXPECT_TRUE(other->gateway.empty());
        EXPECT_TRUE(other->dns.empty());

        std::vector<std::string> found = {"stale"};
        ASSERT_EQ(net.DnsServers(upstream->ifIndex, &found), 0u);
        EXPECT_EQ(found, servers);
        ASSERT_EQ(net.DnsServers(other->ifIndex, &found), 0u);
        EXPECT_TRUE(found.empty());
        EXPECT_NE(net.DnsServers(999999, &found), 0u);

        plat::DWORD index = 0;
        ASSERT_EQ(net.BestInterface(inet_addr("203.0.113.10"), &index), 0u);
        EXPECT_EQ(index, upstream->ifIndex);
    });
}

INSTANTIATE_TEST_SUITE_P(Backends, NetworkContract, ::testing::Values("sim", "linux"),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

}  // namespace
