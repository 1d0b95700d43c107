// The connection manager and the connectivity monitor on the Linux backend,
// in a namespace with two veth links, one of them carrying the default route.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Connection/ConnectionManager.h"
#include "Connection/NetworkConnectivity.h"
#include "NetNamespace.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/text/GuidText.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

class UpstreamConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        m_dir = std::make_unique<TempDir>();
        plat::Platform::ResetAll();
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir->File("registry")));
        m_near = std::make_unique<NetNamespace>("un");
        m_far = std::make_unique<NetNamespace>("uf");
        ASSERT_TRUE(m_near->Created() && m_far->Created());
        m_wan = nettest::UniqueName("uw");
        m_ap = nettest::UniqueName("ua");
        for (const auto& [link, peer] : {std::pair{m_wan, "wanpeer"}, std::pair{m_ap, "appeer"}})
            ASSERT_EQ(nettest::Run("ip link add " + link + " netns " + m_near->Name() +
                                   " type veth peer name " + peer + " netns " + m_far->Name()),
                      0);
        ASSERT_EQ(m_far->Exec("ip addr add 10.91.0.254/24 dev wanpeer && ip link set wanpeer up && "
                              "ip link set appeer up"),
                  0);
        ASSERT_EQ(m_near->Exec("ip link set " + m_wan +
                               " address 02:00:00:00:91:01 && ip addr add "
                               "10.91.0.1/24 dev " +
                               m_wan + " && ip link set " + m_wan +
                               " up && ip route add default via 10.91.0.254 && ip link set " +
                               m_ap + " address 02:00:00:00:92:01 && ip link set " + m_ap + " up"),
                  0);
        // The kernel's link watch reports a new carrier after a moment, as a
        // real system does; the tests start once both links are up.
        for (const auto& link : {m_wan, m_ap}) {
            bool up = false;
            for (int i = 0; i < 300 && !up; ++i) {
                up = m_near->Exec("ip link show dev " + link + " | grep -q 'state UP'") == 0;
                if (!up)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_TRUE(up) << link << " did not come up";
        }
    }
    void TearDown() override {
        if (m_dir == nullptr)
            return;
        m_far.reset();
        m_near.reset();
        plat::Platform::ResetAll();
        plat::Platform::Uninstall();
    }
    plat::GUID Wan() const { return plat::GuidText::FromName(m_wan); }
    plat::GUID Ap() const { return plat::GuidText::FromName(m_ap); }
    std::string AddressesOf(const std::string& link) {
        std::vector<plat::AdapterInfo> all;
        plat::Platform::Current().Net().Adapters(&all);
        std::string out;
        for (const auto& a : all)
            if (a.name == link)
                for (const auto& ip : a.ipv4)
                    out += (out.empty() ? "" : " ") + ip.ip + "/" + ip.mask;
        return out;
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_near;
    std::unique_ptr<NetNamespace> m_far;
    std::string m_wan;
    std::string m_ap;
};

TEST_F(UpstreamConnectionTest, TheRoutedLinkIsUpstreamAndTheOtherGetsAFreeHotspotSubnet) {
    ASSERT_TRUE(m_near->RunInside([&] {
        ASSERT_GE(plat::Platform::Current().Com().CoInitializeEx(plat::kCoinitMultithreaded), 0);
        CConnectionManager manager;
        ASSERT_TRUE(manager.Init());

        const auto wan = manager.FindConnection(Wan());
        const auto ap = manager.FindConnection(Ap());
        ASSERT_TRUE(wan && ap);
        EXPECT_EQ(wan->mac(), L"02-00-00-00-91-01");
        EXPECT_EQ(wan->ipAddresses(), std::vector<std::string>{"10.91.0.1"});
        EXPECT_EQ(wan->status(), plat::kNcsConnected);
        EXPECT_EQ(ap->mac(), L"02-00-00-00-92-01");
        EXPECT_TRUE(ap->ipAddresses().empty());

        plat::GUID upstream{};
        std::string dns;
        ASSERT_TRUE(manager.GetBestOutInterface("114.114.114.114", &upstream, &dns));
        EXPECT_EQ(upstream, Wan());

        std::string ip = "192.168.23.1";
        ASSERT_TRUE(manager.SetIp(Ap(), ip, true));
        EXPECT_EQ(ip, "192.168.23.1");
        EXPECT_EQ(AddressesOf(m_ap), "192.168.23.1/255.255.255.0");

        // The upstream takes that subnet too: the hotspot moves to the next one.
        ASSERT_EQ(m_near->Exec("ip addr add 192.168.23.7/24 dev " + m_wan), 0);
        ip = "192.168.23.1";
        ASSERT_TRUE(manager.SetIp(Ap(), ip, true));
        EXPECT_EQ(ip, "192.168.24.1");
        EXPECT_EQ(AddressesOf(m_ap), "192.168.24.1/255.255.255.0");

        manager.EnableDhcp(Ap());
        EXPECT_EQ(AddressesOf(m_ap), "");
    }));
}

TEST_F(UpstreamConnectionTest, LosingAndRegainingTheDefaultRouteIsReported) {
    ASSERT_TRUE(m_near->RunInside([&] {
        ASSERT_GE(plat::Platform::Current().Com().CoInitializeEx(plat::kCoinitMultithreaded), 0);
        std::mutex lock;
        std::condition_variable changed;
        std::vector<std::pair<plat::GUID, plat::DWORD>> reports;
        CNetworkConnectivity monitor;
        ASSERT_TRUE(monitor.Init([&](const plat::GUID& adapter, plat::DWORD internet) {
            std::lock_guard<std::mutex> g(lock);
            reports.emplace_back(adapter, internet);
            changed.notify_all();
        }));
        // The listening thread subscribes on its own; give it the time it takes.
        for (int i = 0; i < 2000 && !monitor.EventsAdvised(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(monitor.EventsAdvised());
        bool wanOnline = false;
        for (const auto& c : monitor.Connections())
            wanOnline = wanOnline || (c.adapterId == Wan() && c.connectedToInternet);
        EXPECT_TRUE(wanOnline);

        auto reportFor = [&](plat::DWORD internet) {
            std::unique_lock<std::mutex> g(lock);
            return changed.wait_for(g, std::chrono::seconds(1), [&] {
                for (const auto& [adapter, flag] : reports)
                    if (adapter == Wan() && flag == internet)
                        return true;
                return false;
            });
        };
        ASSERT_EQ(m_near->Exec("ip route del default"), 0);
        EXPECT_TRUE(reportFor(0)) << "no report within a second of the route's removal";
        ASSERT_EQ(m_near->Exec("ip route add default via 10.91.0.254"), 0);
        EXPECT_TRUE(reportFor(plat::kNlmConnectivityIpv4Internet))
            << "no report within a second of the route's return";
        monitor.Stop();
    }));
}

}  // namespace
