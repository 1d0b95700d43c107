// One contract for the NAT driver as the engine drives it (through
// CShareDriver), run on the simulated PC and on Linux, where the driver shares
// the hotspot namespace's upstream with two client namespaces through
// nftables and tc.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "NatTestBed.h"
#include "Share/ShareDriver.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"
#include "support/TempDir.h"

namespace {

using nettest::NatTestBed;

// What the contract needs of a machine with clients.
class Bed {
public:
    virtual ~Bed() = default;
    virtual std::string Mac(int client) { return NatTestBed::ClientMac(client); }
    virtual bool Reaches(int client) = 0;
    virtual NatTestBed::Moved Move(int client, std::uint64_t up, std::uint64_t down) = 0;
    // A download of the client's that keeps running; whether it still moves
    // bytes (after a second for the change to act).
    virtual void StartStream(int client) = 0;
    virtual bool StreamFlows(int client) = 0;
    virtual double DownloadRate(int client) = 0;  // bytes per second
    virtual bool HostPortOpen(int client, std::uint16_t port) = 0;
    // The client gives itself another address of the hotspot network.
    virtual bool SetAddress(int client, const std::string& ip) = 0;
    // What of the driver's work is left on the hotspot host ("" = nothing).
    virtual std::string Traces() = 0;
};

class SimBed : public Bed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {
        for (const char* name : {"wan0", "br0"}) {
            plat::AdapterInfo a;
            a.guid = plat::GuidText::FromName(name);
            a.name = name;
            m_pc.network.AddAdapter(a);
        }
        m_pc.nat.AddDevice("SOLVANEWFP");
        m_pc.nat.AddDevice("SOLVANE");
        for (int i = 0; i < 2; ++i)
            Engine().AddPeer(Mac(i), NatTestBed::ClientIp(i));
    }
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::SimPacketEngine& Engine() { return m_pc.nat.Engine(); }
    bool Reaches(int client) override { return Engine().CanReach(Mac(client)); }
    NatTestBed::Moved Move(int client, std::uint64_t up, std::uint64_t down) override {
        const auto m = Engine().Traffic(Mac(client), up, down);
        return NatTestBed::Moved{m.up, m.down, m.up == up && m.down == down};
    }
    void StartStream(int) override {}
    bool StreamFlows(int client) override {
        return Engine().Traffic(Mac(client), 0, 1 << 20, 0.5).down > 0;
    }
    double DownloadRate(int client) override {
        return static_cast<double>(Engine().Traffic(Mac(client), 0, 1ull << 40, 2.0).down) / 2.0;
    }
    bool HostPortOpen(int, std::uint16_t port) override {
        const auto p = Engine().HostPorts();
        if (!p.restricted)
            return true;
        for (auto allowed : p.ports)
            if (allowed == port)
                return true;
        return false;
    }
    bool SetAddress(int client, const std::string& ip) override {
        return Engine().AddPeer(Mac(client), ip);
    }
    std::string Traces() override {
        std::string t;
        if (Engine().Sharing())
            t += "sharing ";
        if (Engine().HostPorts().restricted)
            t += "ports ";
        if (!Engine().Policy(Mac(0)).allowed || Engine().Policy(Mac(0)).downKBps != 0)
            t += "policy ";
        return t;
    }

private:
    plat::SimPc& m_pc;
};

class LinuxBed : public Bed {
public:
    explicit LinuxBed(NatTestBed& bed) : m_bed(bed) {}
    bool Reaches(int client) override { return m_bed.Reaches(client); }
    NatTestBed::Moved Move(int client, std::uint64_t up, std::uint64_t down) override {
        return m_bed.Move(client, up, down);
    }
    void StartStream(int client) override {
        m_stream = m_bed.StartStream(client);
        for (int i = 0; i < 100 && m_stream->Bytes() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Real time: a stopped client must stop within a second.
    bool StreamFlows(int) override {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const auto before = m_stream->Bytes();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return m_stream->Bytes() > before;
    }
    double DownloadRate(int client) override { return m_bed.StreamRate(client, true, 1.5); }
    bool HostPortOpen(int client, std::uint16_t port) override {
        return m_bed.HostPortOpen(client, port);
    }
    bool SetAddress(int client, const std::string& ip) override {
        const std::string n = m_bed.Client(client).Name();
        return nettest::Run("ip -n " + n + " addr flush dev eth0 && ip -n " + n + " addr add " +
                            ip + "/24 dev eth0 && ip -n " + n +
                            " route add default via 192.168.50.1") == 0;
    }
    std::string Traces() override {
        std::string t;
        if (m_bed.Hotspot().Exec("nft list tables | grep -q lumari") == 0)
            t += "table ";
        if (m_bed.Hotspot().Exec("tc qdisc show | grep -q \"htb 4c4d:\"") == 0)
            t += "qdisc ";
        if (m_bed.Hotspot().Exec("test $(cat /proc/sys/net/ipv4/ip_forward) = 1") == 0)
            t += "forwarding ";
        return t;
    }

private:
    NatTestBed& m_bed;
    std::unique_ptr<NatTestBed::Stream> m_stream;
};

class NatContract : public ::testing::TestWithParam<std::string> {
protected:
    // Runs `body` on the bed of the parameter, with the driver of that bed
    // installed: on Linux inside the hotspot namespace.
    void OnBed(const std::function<void(Bed&)>& body) {
        plat::Platform::ResetAll();
        if (GetParam() == "sim") {
            SimBed bed;
            body(bed);
            return;
        }
        NatTestBed net;
        std::string why;
        if (!net.Ready(&why))
            GTEST_SKIP() << why;
        TempDir dir;
        net.Hotspot().RunInside([&] {
            plat::Platform::Install(std::make_unique<plat::LinuxBackend>(dir.File("registry")));
            {
                LinuxBed bed(net);
                body(bed);
            }
            // The program's exit: the driver goes with the backend.
            plat::Platform::Uninstall();
        });
        EXPECT_EQ(LinuxBed(net).Traces(), "") << "after the driver went away";
    }
    static std::uint64_t Kb(std::uint64_t bytes) { return bytes / 1024; }
    // The peer record of a client, or null.
    static const plat::PEER_INFO* Find(const std::vector<plat::PEER_INFO>& peers,
                                       const std::string& macText) {
        plat::MacAddress mac;
        plat::MacText::Parse(macText.c_str(), &mac);
        for (const auto& p : peers)
            if (std::memcmp(p.mac, mac.data(), 6) == 0)
                return &p;
        return nullptr;
    }
    static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

    const plat::GUID m_public = plat::GuidText::FromName("wan0");
    const plat::GUID m_private = plat::GuidText::FromName("br0");
};

TEST_P(NatContract, SharingCarriesAClientAndCountsWhatItMoves) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        EXPECT_FALSE(bed.Reaches(0));
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        EXPECT_TRUE(bed.Reaches(0));
        EXPECT_TRUE(bed.Reaches(1));

        std::vector<plat::PEER_INFO> before;
        ASSERT_TRUE(driver.GetPeers(before));
        const std::uint64_t up = 3 << 20, down = 5 << 20;
        ASSERT_TRUE(bed.Move(0, up, down).ok);
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        const plat::PEER_INFO* p = Find(peers, bed.Mac(0));
        const plat::PEER_INFO* b = Find(before, bed.Mac(0));
        ASSERT_NE(p, nullptr);
        const std::uint64_t upKb = p->upKb - (b != nullptr ? b->upKb : 0);
        const std::uint64_t downKb = p->downKb - (b != nullptr ? b->downKb : 0);
        EXPECT_NEAR(static_cast<double>(upKb), static_cast<double>(Kb(up)), Kb(up) * 0.05);
        EXPECT_NEAR(static_cast<double>(downKb), static_cast<double>(Kb(down)), Kb(down) * 0.05);
        EXPECT_EQ(p->ip, 0x0232A8C0u);  // 192.168.50.2

        ASSERT_TRUE(driver.DisableShare());
        EXPECT_EQ(bed.Traces(), "");
        EXPECT_FALSE(bed.Reaches(0));
    });
}

TEST_P(NatContract, AStoppedClientIsCutWithinASecondAndAllowedAgainLater) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        bed.StartStream(0);
        ASSERT_TRUE(bed.StreamFlows(0));

        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 0, 0, 0));
        EXPECT_FALSE(bed.StreamFlows(0)) << "an established download goes on";
        EXPECT_FALSE(bed.Reaches(0));
        EXPECT_TRUE(bed.Reaches(1));

        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 1, 0, 0));
        EXPECT_TRUE(bed.Reaches(0));
        ASSERT_TRUE(driver.DisableShare());
    });
}

TEST_P(NatContract, ADownloadLimitHoldsWhileTheOtherClientIsUnlimited) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Reaches(0));  // the driver learns the client's address
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 1, 1024, 0));

        const double limited = bed.DownloadRate(0);
        EXPECT_GT(limited, 1024 * 1024 * 0.9);
        EXPECT_LT(limited, 1024 * 1024 * 1.1);
        EXPECT_GT(bed.DownloadRate(1), 1024 * 1024 * 4.0);
        ASSERT_TRUE(driver.DisableShare());
        EXPECT_EQ(bed.Traces(), "");
    });
}

TEST_P(NatContract, DeletingAPeerForgetsIt) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Move(0, 100000, 100000).ok);
        ASSERT_TRUE(bed.Move(1, 1000, 1000).ok);
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_NE(Find(peers, bed.Mac(0)), nullptr);

        ASSERT_TRUE(driver.DeletePeers(Wide(bed.Mac(0))));
        peers.clear();
        ASSERT_TRUE(driver.GetPeers(peers));
        EXPECT_EQ(Find(peers, bed.Mac(0)), nullptr);
        EXPECT_NE(Find(peers, bed.Mac(1)), nullptr);

        // Seen again, it starts from zero.
        ASSERT_TRUE(bed.Move(0, 2048, 0).ok);
        peers.clear();
        ASSERT_TRUE(driver.GetPeers(peers));
        const plat::PEER_INFO* p = Find(peers, bed.Mac(0));
        ASSERT_NE(p, nullptr);
        EXPECT_LT(std::uint64_t{p->upKb}, 20u);
        ASSERT_TRUE(driver.DisableShare());
    });
}

// Blocks and limits belong to the device, not to the address it had: a
// device that gets a stopped or limited client's old address is neither cut
// nor held to that limit, and the client keeps its block or limit at its new
// address. The driver learns of the moves at its next peer listing, as the
// engine's once-a-second poll makes it.
TEST_P(NatContract, AStoppedClientsOldAddressServesTheNextDeviceFreely) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Reaches(0));
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 0, 0, 0));
        ASSERT_FALSE(bed.Reaches(0));

        ASSERT_TRUE(bed.SetAddress(0, "192.168.50.9"));
        ASSERT_TRUE(bed.SetAddress(1, NatTestBed::ClientIp(0)));
        bed.Reaches(0);  // each is seen at its new address
        bed.Reaches(1);
        ASSERT_TRUE(driver.GetPeers(peers));
        EXPECT_TRUE(bed.Reaches(1)) << "the old address stays cut for the next device";
        EXPECT_FALSE(bed.Reaches(0)) << "the stopped client got through at its new address";

        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 1, 0, 0));
        EXPECT_TRUE(bed.Reaches(0));
        EXPECT_TRUE(bed.Reaches(1));
        ASSERT_TRUE(driver.DisableShare());
        EXPECT_EQ(bed.Traces(), "");
    });
}

TEST_P(NatContract, ALimitedClientsOldAddressServesTheNextDeviceAtFullSpeed) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Reaches(0));
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 1, 1024, 0));

        ASSERT_TRUE(bed.SetAddress(0, "192.168.50.9"));
        ASSERT_TRUE(bed.SetAddress(1, NatTestBed::ClientIp(0)));
        ASSERT_TRUE(bed.Reaches(0));
        ASSERT_TRUE(bed.Reaches(1));
        ASSERT_TRUE(driver.GetPeers(peers));
        EXPECT_GT(bed.DownloadRate(1), 1024 * 1024 * 4.0) << "held to the other client's limit";
        const double limited = bed.DownloadRate(0);
        EXPECT_GT(limited, 1024 * 1024 * 0.9);
        EXPECT_LT(limited, 1024 * 1024 * 1.1) << "the limit stayed at the old address";
        ASSERT_TRUE(driver.DisableShare());
        EXPECT_EQ(bed.Traces(), "");
    });
}

// A forgotten peer's address, taken by another device, is not cut.
TEST_P(NatContract, AForgottenStoppedPeerLeavesItsAddressFree) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Reaches(0));
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 0, 0, 0));
        ASSERT_TRUE(driver.DeletePeers(Wide(bed.Mac(0))));
        ASSERT_TRUE(bed.SetAddress(0, "192.168.50.9"));
        ASSERT_TRUE(bed.SetAddress(1, NatTestBed::ClientIp(0)));
        EXPECT_TRUE(bed.Reaches(1));
        EXPECT_FALSE(bed.Reaches(0)) << "the block by MAC stays";
        ASSERT_TRUE(driver.DisableShare());
    });
}

TEST_P(NatContract, AllowedPortsCloseTheHostToItsClientsExceptThose) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        EXPECT_TRUE(bed.HostPortOpen(0, 8090));  // no list: the host is open
        ASSERT_TRUE(driver.SetAllowPorts({8089}));
        EXPECT_TRUE(bed.HostPortOpen(0, 8089));
        EXPECT_FALSE(bed.HostPortOpen(0, 8090));
        EXPECT_TRUE(bed.Reaches(0)) << "the shared connection stays open";
        ASSERT_TRUE(driver.SetAllowPorts({}));
        EXPECT_TRUE(bed.HostPortOpen(0, 8090));
        ASSERT_TRUE(driver.DisableShare());
    });
}

TEST_P(NatContract, DisablingRemovesEveryTraceAndAnExitWhileSharingToo) {
    OnBed([&](Bed& bed) {
        CShareDriver driver;
        ASSERT_TRUE(driver.Open());
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        ASSERT_TRUE(bed.Reaches(0));
        std::vector<plat::PEER_INFO> peers;
        ASSERT_TRUE(driver.GetPeers(peers));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(0)), 1, 500, 500));
        ASSERT_TRUE(driver.SetSpeedLimit(Wide(bed.Mac(1)), 0, 0, 0));
        ASSERT_TRUE(driver.SetAllowPorts({8089}));
        EXPECT_NE(bed.Traces(), "");
        ASSERT_TRUE(driver.DisableShare());
        EXPECT_EQ(bed.Traces(), "");

        // Sharing again brings the policies back; the bed checks that the
        // driver's end (the program's exit) removes them.
        ASSERT_TRUE(driver.EnableShare(m_public, m_private));
        EXPECT_FALSE(bed.Reaches(1));
        EXPECT_FALSE(bed.HostPortOpen(0, 8090));
    });
}

INSTANTIATE_TEST_SUITE_P(Backends, NatContract, ::testing::Values("sim", "linux"),
                         [](const auto& p) { return p.param; });

}  // namespace
