// One contract for the adapter table and its addressing, run on the simulated
// PC and on Linux (inside a private network namespace with a veth link).
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <functional>
#include <string>
#include <vector>

#include "PrivateNetns.h"
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
};

class SimBed : public NetworkBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {}
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

private:
    plat::SimPc& m_pc;
};

class LinuxBed : public NetworkBed {
public:
    plat::IpHelper& Net() override { return m_net; }
    bool AddLink(const std::string& name) override {
        return Ok("ip link add " + name + " type veth peer name " + name + "p") &&
               Ok("ip link set " + name + "p up") && Ok("ip link set " + name + " up");
    }
    bool AddNeighbour(const std::string& link, const std::string& ip,
                      const std::vector<plat::BYTE>& mac) override {
        char text[18];
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                      mac[3], mac[4], mac[5]);
        return Ok("ip neigh replace " + ip + " lladdr " + text + " dev " + link + " nud permanent");
    }

private:
    bool Ok(const std::string& command) {
        const auto r = m_launcher.Run(command);
        return r.started && r.exitCode == 0;
    }
    plat::LinuxNetwork m_net;
    plat::LinuxProcessLauncher m_launcher;
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

INSTANTIATE_TEST_SUITE_P(Backends, NetworkContract, ::testing::Values("sim", "linux"),
                         [](const ::testing::TestParamInfo<std::string>& p) { return p.param; });

}  // namespace
