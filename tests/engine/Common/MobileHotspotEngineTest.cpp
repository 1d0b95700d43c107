// The engine with the system's mobile hotspot on a simulated Windows 10: which
// access point it chooses, that it starts none of its own sharing, addresses
// or DHCP in that mode, the clients it reports, the client operations it
// refuses, and a stop while the system's start is pending.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Common/LumariManager.h"
#include "Wlan/WiFiCreator.h"
#include "support/EngineBed.h"
#include "support/SimTest.h"

namespace {

using enginebed::Eventually;

using namespace std::chrono_literals;
using enginebed::GuidOf;
namespace tet = plat::tethering;

class MobileHotspotEngineTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        enginebed::Prepare(Pc(), true);
        Pc().os.SetWindows(plat::SimWindows::Ten);
    }
    void TearDown() override {
        m_engine.reset();
        if (HasFailure())
            for (const std::string& line : Log().Lines())
                std::fprintf(stderr, "  log: %s\n", line.c_str());
        SimTest::TearDown();
    }
    // The Wi-Fi card's driver offers no hosted network.
    void WithoutHostedNetwork() {
        plat::SimWlanInterface card;
        ASSERT_TRUE(Pc().wlan.Network().GetInterface(GuidOf("Wi-Fi"), &card));
        card.hostedNetworkCapable = 0;
        ASSERT_TRUE(Pc().wlan.Network().UpdateInterface(card.guid, card));
    }
    CLumariManager& Engine() {
        if (!m_engine)
            m_engine = std::make_unique<CLumariManager>(&m_notify);
        return *m_engine;
    }
    void Start() {
        int mode = 0;
        ASSERT_EQ(Engine().Init(&mode), 0);
        ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    }
    void Run() {
        const int starts = m_notify.Count("started 0");
        Start();
        // State 3 is set just before the start is reported: wait for both.
        ASSERT_TRUE(Eventually([&] {
            return Engine().State() == kStateRunning && m_notify.Count("started 0") > starts;
        })) << ::testing::PrintToString(m_notify.Events());
    }
    void StopAndWait() {
        ASSERT_EQ(Engine().Stop(), 0);
        ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    }
    // One second for the engine's client monitor and the manager's poll.
    void Round() {
        ASSERT_TRUE(Pc().clock.WaitForSleepers(2));
        Pc().clock.Advance(1s);
        ASSERT_TRUE(Pc().clock.WaitForSleepers(2));
    }

    enginebed::RecordingNotify m_notify;
    std::unique_ptr<CLumariManager> m_engine;
};

TEST_F(MobileHotspotEngineTest, CreatorChoosesByWindowsAndTheDriversHostedNetwork) {
    CWiFiEventCallback events;
    CWiFiCreator& creator = *CWiFiCreator::GetInstance();
    struct Case {
        plat::SimWindows windows;
        bool hosted;
        int mode;
    } cases[] = {{plat::SimWindows::Seven, true, 1},
                 {plat::SimWindows::Seven, false, 1},
                 {plat::SimWindows::Ten, true, 1},
                 {plat::SimWindows::Ten, false, 4},
                 {plat::SimWindows::Eleven, false, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.hosted << " " << c.mode);
        Pc().os.SetWindows(c.windows);
        plat::SimWlanInterface card;
        ASSERT_TRUE(Pc().wlan.Network().GetInterface(GuidOf("Wi-Fi"), &card));
        card.hostedNetworkCapable = c.hosted ? 1 : 0;
        ASSERT_TRUE(Pc().wlan.Network().UpdateInterface(card.guid, card));
        creator.Create(0, &events, false);
        EXPECT_EQ(creator.GetMode(), c.mode);
    }
    EXPECT_TRUE(Log().Has("I Hosted network not supported (1002), using the mobile hotspot"));
    // Asked for by number, on any Windows; before Windows 10 it is not supported.
    Pc().os.SetWindows(plat::SimWindows::Seven);
    EXPECT_EQ(creator.Create(4, &events, false), 50);
    EXPECT_EQ(creator.GetMode(), 4);
    creator.Release();
}

TEST_F(MobileHotspotEngineTest, RunsWithoutTheEnginesOwnSharingAddressesOrDhcp) {
    WithoutHostedNetwork();
    Run();
    EXPECT_EQ(m_notify.Events(), (std::vector<std::string>{"internet 1", "started 0"}));
    EXPECT_EQ(Engine().GetWiFiMode(), 4);
    EXPECT_EQ(Engine().IsDriverShare(), 0);
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOn);
    EXPECT_EQ(Pc().hotspot.Config().ssid, L"Lumari");
    // Neither the NAT driver, nor ICS, nor an address, nor the DHCP server.
    EXPECT_EQ(Pc().faults.Calls("CreateFileA"), 0);
    EXPECT_EQ(Pc().services.State("solvanewfp"), 1);
    EXPECT_EQ(Pc().faults.Calls("EnableSharing"), 0);
    EXPECT_FALSE(Pc().nat.Engine().Sharing());
    EXPECT_EQ(Pc().faults.Calls("SetStaticAddress"), 0);
    EXPECT_FALSE(Log().HasMessage("start dhcp ip: 192.168.23.1 dns: 10.0.0.1,114.114.114.114"));
    EXPECT_TRUE(
        Log().Has("I Mobile hotspot: Windows shares the connection and gives out the "
                  "addresses"));

    // Clients come from the system's list, with the address and name it knows.
    ASSERT_TRUE(Pc().hotspot.AddClient(L"a4:45:19:00:00:01", {L"192.168.137.20", L"phone"}));
    Round();
    Round();
    ASSERT_TRUE(m_notify.Has("join A4-45-19-00-00-01"));
    const ClientInfo joined = m_notify.Last(L"A4-45-19-00-00-01");
    EXPECT_EQ(joined.ip, L"192.168.137.20");
    EXPECT_EQ(joined.name, L"phone");

    // What the engine cannot do in this mode is refused, not pretended.
    EXPECT_EQ(Engine().ClientControl(), 1011);
    EXPECT_FALSE(Engine().SetSpeedLimit(L"A4-45-19-00-00-01", 100, 100));
    EXPECT_FALSE(Engine().BanClient(L"A4-45-19-00-00-01"));
    EXPECT_TRUE(
        Log().Has("W BanClient refused: the mobile hotspot has no per-client control (1011)"));
    std::vector<ClientInfo> banned;
    Engine().GetBannedClients(banned);
    EXPECT_TRUE(banned.empty());

    ASSERT_TRUE(Pc().hotspot.RemoveClient(L"a4:45:19:00:00:01"));
    Round();
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("leave A4-45-19-00-00-01"); }));

    StopAndWait();
    EXPECT_EQ(m_notify.Events().back(), "stopped 0");
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOff);
    EXPECT_TRUE(Pc().hotspot.NoConnectionsTimeoutEnabled());
    EXPECT_EQ(Pc().faults.Calls("EnableDHCP"), 0) << "no address of its own to give back";
}

TEST_F(MobileHotspotEngineTest, HostedNetworkTheDriverRefusesToStartGivesWayToTheMobileHotspot) {
    Pc().faults.FailAlways("WlanHostedNetworkForceStart", 1);
    Start();
    // The engine's pause before it re-enables the adapter and tries again.
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    Pc().clock.Advance(2s);
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateRunning; }))
        << ::testing::PrintToString(m_notify.Events());
    EXPECT_TRUE(Log().Has("I StartWiFi Using mobile hotspot."));
    EXPECT_EQ(Engine().GetWiFiMode(), 4);
    EXPECT_FALSE(Pc().nat.Engine().Sharing());
    EXPECT_EQ(Pc().services.State("solvanewfp"), 1) << "the driver opened at first is closed again";
    EXPECT_TRUE(Log().Has("I DeInitShare."));
    EXPECT_EQ(Pc().faults.Calls("SetStaticAddress"), 0);
    StopAndWait();
    Pc().faults.Clear("WlanHostedNetworkForceStart");
}

TEST_F(MobileHotspotEngineTest, UserStopWhileTheSystemsStartIsPendingEndsTheStartAsInterrupted) {
    WithoutHostedNetwork();
    Pc().hotspot.HoldOperations(1);
    Start();
    ASSERT_TRUE(Eventually([&] { return Pc().faults.Calls("StartTetheringAsync") == 1; }));
    ASSERT_TRUE(Eventually([&] { return Pc().hotspot.PendingOperations() == 1; }));
    ASSERT_EQ(Engine().Stop(), 0);
    ASSERT_TRUE(Eventually(
        [&] { return Log().Has("I CMobileHotspotManager::StartAp thread_interrupted"); }));
    Pc().hotspot.ReleaseOperations();
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"started 1000"});
    EXPECT_EQ(Pc().hotspot.OperationalState(), tet::kStateOff);
    EXPECT_TRUE(Pc().hotspot.NoConnectionsTimeoutEnabled());
}

}  // namespace
