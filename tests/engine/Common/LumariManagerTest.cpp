// The engine façade on the simulated PC: its state machine and options, whole
// starts and stops with their retries, the clients the monitor finds, the
// re-sharing when the Internet moves, and what survives a restart. Time moves
// only when a test advances the simulated clock.
#include "Common/LumariManager.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "Common/LumariConfig.h"
#include "Common/LumariCore.h"
#include "Dhcp/DhcpManager.h"
#include "Share/ShareManager.h"
#include "pellion/DhcpPacket.h"
#include "pellion/DhcpServer.h"
#include "platform/Platform.h"
#include "platform/text/GuidText.h"
#include "platform/vendor/Osmira.h"
#include "support/EngineBed.h"
#include "support/SimTest.h"

namespace {

using enginebed::Eventually;

using namespace std::chrono_literals;
using enginebed::GuidOf;
using enginebed::RecordingNotify;

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

class LumariManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        enginebed::Prepare(Pc(), Driver());
    }
    void TearDown() override {
        m_engine.reset();
        if (HasFailure()) {
            for (const std::string& line : Log().Lines())
                std::fprintf(stderr, "  log: %s\n", line.c_str());
        }
        SimTest::TearDown();
    }
    virtual bool Driver() const { return true; }

    CLumariManager& Engine() {
        if (!m_engine)
            m_engine = std::make_unique<CLumariManager>(&m_notify);
        return *m_engine;
    }
    void Restart() {
        m_engine.reset();
        m_notify.Clear();
    }
    // Init and a start that succeeds.
    void Run() {
        if (Engine().State() == kStateCreated) {
            int mode = 0;
            ASSERT_EQ(Engine().Init(&mode), 0);
        }
        const int starts = m_notify.Count("started 0");
        ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
        ASSERT_TRUE(Eventually([&] { return m_notify.Count("started 0") > starts; }))
            << ::testing::PrintToString(m_notify.Events());
        ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateRunning; }));
        // The client monitor has made its first round and sleeps.
        ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    }
    void StopAndWait() {
        const int stops = static_cast<int>(m_notify.Events().size());
        ASSERT_EQ(Engine().Stop(), 0);
        ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
        ASSERT_GT(static_cast<int>(m_notify.Events().size()), stops);
    }
    // Lets the client monitor run `n` rounds of one second each.
    void Rounds(int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
            Pc().clock.Advance(1s);
        }
        ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    }
    plat::SimPacketEngine& Peers() { return Pc().nat.Engine(); }

    RecordingNotify m_notify;
    std::unique_ptr<CLumariManager> m_engine;
};

TEST_F(LumariManagerTest, WrongStatesAreRefusedWithTheirNotifications) {
    EXPECT_EQ(Engine().Start(L"Lumari", L"password1", 1), 1700);
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"started 1700"});
    EXPECT_TRUE(Log().Has("E CLumariManager::Start state wrong 0"));
    EXPECT_EQ(Engine().GetStatus(), 1700);
    EXPECT_EQ(Engine().GetWiFiMode(), 1700);
    EXPECT_EQ(Engine().IsDriverShare(), 1700);
    EXPECT_TRUE(Engine().GetHostIp().empty());
    std::uint64_t down = 1, up = 1;
    EXPECT_FALSE(Engine().GetFlow(&down, &up));

    int mode = 3;
    ASSERT_EQ(Engine().Init(&mode), 0);
    EXPECT_EQ(mode, 1) << "the mode this Windows suggests";
    EXPECT_EQ(Engine().Init(&mode), 1700);
    EXPECT_TRUE(DebugHas("Init Error:wrong State 1."));

    m_notify.Clear();
    EXPECT_EQ(Engine().Stop(), 1700);
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"stopped 0"});
    EXPECT_TRUE(Log().Has("I CLumariManager::Stop"));
    EXPECT_TRUE(Log().Has("E CLumariManager::Stop state wrong 1"));
}

TEST_F(LumariManagerTest, OptionsMatchKeysWithoutCaseAndKeepTheValue) {
    EXPECT_TRUE(Engine().SetOption(L"SSID", L"My Net"));
    EXPECT_TRUE(Engine().SetOption(L"Key", L"PassWord9"));
    EXPECT_FALSE(Engine().SetOption(L"colour", L"blue"));
    EXPECT_TRUE(Engine().SetOption(L"AllowPort", L"8080"));
    EXPECT_TRUE(Engine().SetOption(L"allowport", L""));
    EXPECT_TRUE(Engine().SetOption(L"allowport", L"70000"));
    EXPECT_TRUE(Engine().SetOption(L"allowport", L"53"));
    // "wifimode" 1 is the hosted network whatever Windows would choose.
    EXPECT_TRUE(Engine().SetOption(L"WIFIMODE", L"1"));
    Run();
    // The port list went to the driver at the start: 70000 kept its low 16 bits.
    EXPECT_EQ(Peers().HostPorts().ports, (std::vector<std::uint16_t>{4464, 53}));
    EXPECT_TRUE(Engine().SetOption(L"allowport", L"8080"));
    EXPECT_EQ(Peers().HostPorts().ports, (std::vector<std::uint16_t>{4464, 53, 8080}))
        << "while running the whole list goes at once";
    StopAndWait();
}

TEST_F(LumariManagerTest, StartRunsEveryStepAndStopUndoesThem) {
    Run();
    EXPECT_EQ(Engine().GetStatus(), 50);
    EXPECT_EQ(Engine().GetHostIp(), L"192.168.23.1");
    EXPECT_EQ(Engine().GetWiFiMode(), 1);
    EXPECT_EQ(Engine().IsDriverShare(), 1);
    EXPECT_EQ(Engine().GetVirtualAdapterMac(), L"00-1C-42-0A-0B-02");
    EXPECT_TRUE(Peers().Sharing());
    EXPECT_EQ(Peers().PublicAdapter(), GuidOf("WAN"));
    EXPECT_EQ(Peers().PrivateAdapter(), GuidOf("AP"));
    EXPECT_TRUE(m_notify.Has("internet 1"));
    EXPECT_EQ(Pc().services.State("SharedAccess"), 1) << "stopped in driver mode";
    EXPECT_EQ(Pc().services.State("DeviceHealth"), 1);
    // Both device-health services are stopped before either is disabled.
    std::vector<std::string> health;
    for (const auto& call : Pc().services.Log())
        if (call.find("DeviceHealth") != std::string::npos &&
            call.rfind("GetServiceStatus", 0) != 0)
            health.push_back(call);
    EXPECT_EQ(health,
              (std::vector<std::string>{"StopServiceByName(DeviceHealth)",
                                        "StopServiceByName(DeviceHealthPluginMgr)",
                                        "ChangeServiceStartType(DeviceHealth,4)",
                                        "ChangeServiceStartType(DeviceHealthPluginMgr,4)"}));

    const auto lines = Log().Lines();
    const char* order[] = {"I CLumariManager::_WiFiThread Enter..",
                           "I CLumariManager::_DoStartBegin ",
                           "I Init succeed",
                           "I Stop SharedAccess succeed.",
                           "I start dhcp ip: 192.168.23.1 dns: 10.0.0.1,114.114.114.114",
                           "I Connectivity detective start succeed",
                           "I CLumariManager::_DoStartEnd ",
                           "I  _DoStart return 0"};
    int at = 0;
    for (const char* line : order) {
        const int next = Log().IndexOf(line, at);
        ASSERT_GE(next, at) << line;
        at = next;
    }

    StopAndWait();
    EXPECT_EQ(m_notify.Events().back(), "stopped 0");
    EXPECT_FALSE(Peers().Sharing());
    EXPECT_TRUE(DebugHas("[Lumari]DHCP Stopped"));
    EXPECT_TRUE(DebugHas("[Lumari]Share Stopped"));
    EXPECT_TRUE(DebugHas("[Lumari]WiFi Stopped"));
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoStopEnd "));
    // The worker logs its leaving just after it reports the stopped state.
    EXPECT_TRUE(Eventually([&] { return Log().Has("I CLumariManager::_WiFiThread Leave.."); }));
    EXPECT_EQ(Engine().GetStatus(), 1700);

    // Started again after the stop.
    Run();
    StopAndWait();
}

TEST_F(LumariManagerTest, DnsListForTheClientsFollowsTheUpstreamServers) {
    struct Case {
        std::vector<std::string> upstream;
        const char* handedOut;
    };
    const Case cases[] = {
        {{}, "114.114.114.114,8.8.8.8"},
        {{"192.168.1.1", "114.114.114.114"}, "192.168.1.1,114.114.114.114"},
        {{"192.168.1.1", "8.8.4.4"}, "192.168.1.1,8.8.4.4,114.114.114.114"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handedOut);
        plat::AdapterInfo wan;
        ASSERT_TRUE(Pc().network.FindAdapter(GuidOf("WAN"), &wan));
        wan.dns = c.upstream;
        Pc().network.RemoveAdapter(wan.guid);
        Pc().network.AddAdapter(wan);
        Log().Clear();
        Run();
        EXPECT_TRUE(Log().Has(std::string("I start dhcp ip: 192.168.23.1 dns: ") + c.handedOut));
        StopAndWait();
    }
}

TEST_F(LumariManagerTest, UserStopDuringTheInvalidStateWaitEndsTheStartWithTheStopSequence) {
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStart", 5023);
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1)) << "the 5-second wait";
    EXPECT_TRUE(Log().Has("E StartWiFi failed ERROR_INVALID_STATE, wait."));
    EXPECT_FALSE(Engine().SetOption(L"ssid", L"Other")) << "no options while starting";
    ASSERT_EQ(Engine().Stop(), 0);
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"started 1000"});
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoNotifyStop: user stop"));
    EXPECT_TRUE(Log().Has("I CLumariManager::_StartWiFi thread_interrupted"));
    EXPECT_TRUE(Log().Has("I  _DoStart return 1000"));
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoStopBegin "));
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoStopEnd "));
    EXPECT_TRUE(DebugHas("[Lumari]Share Stopped"));
    EXPECT_FALSE(Peers().Sharing());
}

TEST_F(LumariManagerTest, UserStopWhileTheAddressIsCheckedEndsTheStartAsInterrupted) {
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    // Neither way of setting the address works: the check waits between tries.
    Pc().faults.FailAlways("CreateProcess", 2);
    Pc().faults.FailAlways("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1)) << "the address check's pause";
    ASSERT_EQ(Engine().Stop(), 0);
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"started 1000"})
        << "a stop the user asked for, not an address that could not be set";
    Pc().faults.Clear("CreateProcess");
    Pc().faults.Clear("EnableStatic");
}

TEST_F(LumariManagerTest, InvalidStateIsWaitedOutOnce) {
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStart", 5023);
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    Pc().clock.Advance(5s);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("started 0"); }));
    StopAndWait();
}

TEST_F(LumariManagerTest, HostedNetworkRefusingTwiceFallsBackToTheRalinkAdapter) {
    Pc().ralink.InstallLibrary();
    plat::SimRalinkAdapter ralink;
    ralink.guid = GuidOf("Ralink");
    Pc().ralink.AddAdapter(ralink);
    Pc().network.AddAdapter(enginebed::Adapter("Ralink", {}));
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStart", 1168, 2);
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1)) << "the 2-second wait after re-enabling";
    Pc().clock.Advance(2s);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("started 0"); }));
    EXPECT_TRUE(Log().Has("E StartWiFi failed ret 1168, ReEnable wireless adapter."));
    EXPECT_TRUE(Log().Has("I StartWiFi Using RalinkAP."));
    EXPECT_TRUE(Pc().ralink.ApRunning());
    EXPECT_EQ(Peers().PrivateAdapter(), GuidOf("Ralink"));
    StopAndWait();
    EXPECT_FALSE(Pc().ralink.ApRunning());
}

TEST_F(LumariManagerTest, AccessPointThatNeverStartsFailsTheStartAndLeavesItRepeatable) {
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    Pc().faults.FailAlways("WlanHostedNetworkForceStart", 1168);
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    Pc().clock.Advance(2s);
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"started 1168"});
    EXPECT_TRUE(Log().Has("E StartWiFi failed return 1168 mode: 1"));
    EXPECT_TRUE(Log().Has("I WiFi has not start."));
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoStopEnd "));
    EXPECT_FALSE(Peers().Sharing());

    Pc().faults.Clear("WlanHostedNetworkForceStart");
    Run();
    StopAndWait();
}

TEST_F(LumariManagerTest, AccessPointStoppedFromOutsideEndsTheRun) {
    Run();
    m_notify.Clear();
    Pc().wlan.ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle,
                                       plat::kWlanHostedNetworkReasonUserAction);
    ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }));
    EXPECT_EQ(m_notify.Events(), (std::vector<std::string>{"stopped 1", "stopped 0"}));
    EXPECT_TRUE(Log().Has("I CLumariManager::_DoNotifyStop"));
}

TEST_F(LumariManagerTest, InternetMovingToAnotherConnectionMovesTheSharing) {
    Pc().network.AddAdapter(enginebed::Adapter("LTE", {"10.9.0.2"}, "10.9.0.1", {"10.9.0.1"}));
    Run();
    m_notify.Clear();
    // The monitor's thread has subscribed to the events.
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));

    // The shared connection loses the Internet and nobody else has it.
    Pc().nlm.SetConnectivity(GuidOf("LTE"), 0);
    Pc().nlm.SetConnectivity(GuidOf("WAN"), 0);
    Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("WAN")), 0);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("internet 0"); }));
    EXPECT_TRUE(Log().Has("W Wan adapterWAN is disconnect from internet."));

    // It comes back: same connection, nothing to move.
    Pc().nlm.SetConnectivity(GuidOf("WAN"), enginebed::kIpv4Internet);
    Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("WAN")),
                                                enginebed::kIpv4Internet);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("internet 1"); }));
    EXPECT_TRUE(Log().Has("I Connection WAN connect to internet."));
    EXPECT_TRUE(Log().Has("I public guid not change, abort reshare."));
    EXPECT_EQ(Peers().PublicAdapter(), GuidOf("WAN"));

    // It goes again while LTE has the Internet: the sharing moves there.
    m_notify.Clear();
    Pc().nlm.SetConnectivity(GuidOf("LTE"), enginebed::kIpv4Internet);
    Pc().nlm.SetConnectivity(GuidOf("WAN"), 0);
    Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("WAN")), 0);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("internet 1"); }));
    EXPECT_TRUE(
        Log().Has("I Get new wan adapter succeed: " + plat::GuidText::ToString(GuidOf("LTE"))));
    EXPECT_TRUE(Log().Has("I Begin Reshare."));
    EXPECT_EQ(Peers().PublicAdapter(), GuidOf("LTE"));
    EXPECT_TRUE(Peers().Sharing());
    StopAndWait();
}

// The access point is stopped from outside while the system is delivering a
// connectivity event that would move the sharing: the run ends (the stop waits
// for the event, which gives way to the stop), and nothing is shared again.
TEST_F(LumariManagerTest, AccessPointStoppedFromOutsideDuringAConnectivityEventEndsTheRun) {
    Pc().network.AddAdapter(enginebed::Adapter("LTE", {"10.9.0.2"}, "10.9.0.1", {"10.9.0.1"}));
    Run();
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));
    Pc().nlm.SetConnectivity(GuidOf("LTE"), enginebed::kIpv4Internet);
    Pc().nlm.SetConnectivity(GuidOf("WAN"), 0);
    Pc().nlm.HoldDeliveries();
    std::thread system([&] {
        Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("WAN")), 0);
    });
    ASSERT_TRUE(Eventually([&] { return Pc().nlm.HeldDeliveries() == 1; }));

    Pc().wlan.ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle,
                                       plat::kWlanHostedNetworkReasonUserAction);
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("CLumariManager::_DoStopBegin "); }));
    Pc().nlm.ReleaseDeliveries();
    const bool ended = Eventually([&] { return Engine().State() == kStateStopped; });
    if (!ended)
        Pc().nlm.ReleaseDeliveries();
    system.join();

    ASSERT_TRUE(ended);
    EXPECT_FALSE(Log().Has("I Begin Reshare."));
    EXPECT_FALSE(Peers().Sharing());
    Run();
    StopAndWait();
}

TEST_F(LumariManagerTest, ReshareThatFailsReportsNoInternetAndIsTriedAgain) {
    Pc().network.AddAdapter(enginebed::Adapter("LTE", {"10.9.0.2"}, "10.9.0.1", {"10.9.0.1"}));
    Run();
    ASSERT_TRUE(Eventually([&] { return Log().HasMessage("Start connectivity ListenProc 1"); }));
    m_notify.Clear();

    // The Internet moves to LTE but the driver refuses to share it.
    Pc().faults.FailNext("NatShare", 5);
    Pc().nlm.SetConnectivity(GuidOf("LTE"), enginebed::kIpv4Internet);
    Pc().nlm.SetConnectivity(GuidOf("WAN"), 0);
    Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("WAN")), 0);
    ASSERT_TRUE(Eventually([&] { return !m_notify.Events().empty(); }));
    EXPECT_EQ(m_notify.Events(), std::vector<std::string>{"internet 0"}) << "nothing is shared";
    EXPECT_FALSE(Peers().Sharing());

    // The next event for LTE shares it.
    Pc().nlm.RaiseConnectionConnectivityChanged(plat::SimNlm::ConnectionIdOf(GuidOf("LTE")),
                                                enginebed::kIpv4Internet);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("internet 1"); }));
    EXPECT_EQ(Peers().PublicAdapter(), GuidOf("LTE"));
    EXPECT_TRUE(Peers().Sharing());
    StopAndWait();
}

TEST_F(LumariManagerTest, ClientsJoinLeaveAndTimeOutWithTheirTimes) {
    Run();
    Peers().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
    Rounds(1);
    ASSERT_TRUE(m_notify.Has("join A4-45-19-00-00-01"));
    EXPECT_TRUE(Log().Has("I Client Join MAC:A4-45-19-00-00-01 IP:192.168.23.2"));
    EXPECT_EQ(m_notify.Last(L"A4-45-19-00-00-01").joinCount, 1);

    // Traffic shows as an update and in the flow.
    Peers().Traffic("A4-45-19-00-00-01", 10 * 1024, 50 * 1024);
    Rounds(1);
    EXPECT_TRUE(m_notify.Has("update A4-45-19-00-00-01"));
    std::uint64_t down = 0, up = 0;
    ASSERT_TRUE(Engine().GetFlow(&down, &up));
    EXPECT_EQ(down, 50u);
    EXPECT_EQ(up, 10u);

    // After 30 s the station leaves the access point and comes back.
    Rounds(29);
    Pc().wlan.PeerLeave({0xA4, 0x45, 0x19, 0, 0, 1});
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("leave A4-45-19-00-00-01"); }));
    EXPECT_TRUE(Log().Has("I Client Leave MAC:A4-45-19-00-00-01 IP:192.168.23.2"));
    ClientInfo left = m_notify.Last(L"A4-45-19-00-00-01");
    EXPECT_EQ(left.totalOnlineTime, 30);
    EXPECT_EQ(left.downCount, 50);
    Peers().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
    Rounds(1);
    ASSERT_EQ(m_notify.Count("join A4-45-19-00-00-01"), 2);
    ClientInfo back = m_notify.Last(L"A4-45-19-00-00-01");
    EXPECT_EQ(back.joinCount, 2);
    EXPECT_EQ(back.online, 1);
    EXPECT_EQ(back.totalOnlineTime, 30);

    // A client the driver stops reporting leaves after 120 silent seconds.
    Peers().RemovePeer("A4-45-19-00-00-01");
    Rounds(119);
    EXPECT_EQ(m_notify.Count("leave A4-45-19-00-00-01"), 1);
    Rounds(1);
    EXPECT_EQ(m_notify.Count("leave A4-45-19-00-00-01"), 2);
    EXPECT_EQ(m_notify.Last(L"A4-45-19-00-00-01").downCount, 50) << "counted once";
    StopAndWait();
}

// The run's flow only grows: a client that times out and returns (the
// driver forgets it and counts it from zero) adds only what it moves, and a
// stop and start begins the next run's flow at zero, without the counts of a
// client that left before the stop.
TEST_F(LumariManagerTest, FlowOfARunOnlyGrowsAndTheNextRunStartsAtZero) {
    Run();
    auto flow = [&] {
        std::uint64_t down = 0, up = 0;
        EXPECT_TRUE(Engine().GetFlow(&down, &up));
        return std::pair{down, up};
    };
    Peers().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
    Peers().AddPeer("A4-45-19-00-00-02", "192.168.23.3");
    Rounds(1);  // both join
    Peers().Traffic("A4-45-19-00-00-01", 10 * 1024, 50 * 1024);
    Peers().Traffic("A4-45-19-00-00-02", 4 * 1024, 8 * 1024);
    Rounds(1);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{58}, std::uint64_t{14}));

    // The first client goes silent, times out and comes back.
    Peers().RemovePeer("A4-45-19-00-00-01");
    Rounds(120);
    ASSERT_EQ(m_notify.Count("leave A4-45-19-00-00-01"), 1);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{58}, std::uint64_t{14}));
    Peers().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
    Rounds(1);
    Peers().Traffic("A4-45-19-00-00-01", 1024, 2 * 1024);
    Rounds(1);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{60}, std::uint64_t{15}));

    // The second client goes away before the stop; the next run owes it nothing.
    Peers().RemovePeer("A4-45-19-00-00-02");
    StopAndWait();
    Run();
    EXPECT_EQ(flow(), std::pair(std::uint64_t{0}, std::uint64_t{0}));
    Peers().Traffic("A4-45-19-00-00-01", 0, 3 * 1024);
    Rounds(1);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{3}, std::uint64_t{0}));
    StopAndWait();
}

TEST_F(LumariManagerTest, BansLimitsAndCountersSurviveARestartAndApplyBeforeAJoin) {
    Run();
    Peers().AddPeer("A4-45-19-00-00-01", "192.168.23.2");
    Peers().AddPeer("A4-45-19-00-00-02", "192.168.23.3");
    Rounds(1);
    ASSERT_TRUE(Engine().BanClient(L"A4-45-19-00-00-01"));
    ASSERT_TRUE(Engine().SetSpeedLimit(L"A4-45-19-00-00-02", 256, 64));
    ASSERT_TRUE(Engine().SetClientNickName(L"A4-45-19-00-00-02", L"O'Brien's phone"));
    EXPECT_FALSE(Peers().CanReach("A4-45-19-00-00-01"));
    Peers().Traffic("A4-45-19-00-00-02", 0, 100 * 1024, 10);
    Rounds(10);
    StopAndWait();

    // A new process, as after the program was restarted: only the files
    // beside the program remain; nobody is around yet.
    Restart();
    plat::Platform::ResetAll();
    Peers().RemovePeer("A4-45-19-00-00-01");
    Peers().RemovePeer("A4-45-19-00-00-02");
    CLumariConfig::GetInstance()->Load();
    EXPECT_EQ(CLumariConfig::GetInstance()->GetDns(), "10.0.0.1,114.114.114.114")
        << "the settings file holds what the last run handed out";
    Run();
    EXPECT_FALSE(Peers().Policy("A4-45-19-00-00-01").allowed)
        << "blocked in the driver before it joins";
    EXPECT_EQ(Peers().Policy("A4-45-19-00-00-02").downKBps, 256u);
    std::vector<ClientInfo> banned;
    Engine().GetBannedClients(banned);
    ASSERT_EQ(banned.size(), 1u);
    EXPECT_EQ(banned[0].mac, L"A4-45-19-00-00-01");
    ClientInfo two;
    ASSERT_TRUE(Engine().GetClient(L"a4-45-19-00-00-02", two));
    EXPECT_EQ(two.nickName, L"O'Brien's phone");
    EXPECT_EQ(two.speedLimitedUp, 64);
    EXPECT_EQ(two.joinCount, 1);
    EXPECT_EQ(two.downCount, 100);
    EXPECT_GE(two.totalOnlineTime, 10);

    ASSERT_TRUE(Engine().UnbanClient(L"A4-45-19-00-00-01"));
    EXPECT_TRUE(Peers().Policy("A4-45-19-00-00-01").allowed);
    StopAndWait();
}

TEST_F(LumariManagerTest, RelayThatCannotBindIsRetriedOnceAndTheStartGoesOn) {
    if (!enginebed::RefusesForeignAddress())
        GTEST_SKIP() << "this system binds an address that is on none of its adapters";
    ASSERT_TRUE(Engine().SetOption(L"allowdnsproxy", L"TRUE"));
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
    // 192.168.23.1 is on no adapter of this machine: the relay cannot bind it.
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1)) << "the 1.5-second retry";
    Pc().clock.Advance(1500ms);
    ASSERT_TRUE(Eventually([&] { return m_notify.Has("started 0"); }));
    EXPECT_TRUE(Log().Has("E StartDns failed ret 10049"));
    EXPECT_TRUE(Log().Has("I start dhcp ip: 192.168.23.1 dns: 10.0.0.1,114.114.114.114"));
    StopAndWait();
}

TEST_F(LumariManagerTest, StopRightAfterStartNeverLeavesTheEngineStopping) {
    int mode = 0;
    ASSERT_EQ(Engine().Init(&mode), 0);
    for (int i = 0; i < 20; ++i) {
        m_notify.Clear();
        ASSERT_EQ(Engine().Start(L"Lumari", L"password1", 1), 0);
        ASSERT_EQ(Engine().Stop(), 0);
        ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }))
            << "state " << Engine().State();
        // Either the start was cut short or it finished and was stopped.
        EXPECT_EQ(m_notify.Count("started 1000") + m_notify.Count("started 0"), 1)
            << ::testing::PrintToString(m_notify.Events());
    }
}

// The user's stop meets the worker's own end (the access point stopped from
// outside): whichever comes first, the engine ends stopped and starts again.
// A start made on hearing the stop, while the worker is still reporting it,
// starts the next run instead of being refused with 1700.
TEST_F(LumariManagerTest, AStartMadeOnHearingTheStopStartsTheNextRun) {
    // Reports a stop and then dwells in the report (as a slow listener does).
    class DwellingNotify : public RecordingNotify {
    public:
        void NetworkStopped(int code) override {
            RecordingNotify::NetworkStopped(code);
            std::unique_lock<std::mutex> lock(m_lock);
            m_reporting = true;
            m_changed.notify_all();
            m_changed.wait_for(lock, 200ms);
            m_reporting = false;
        }
        bool WaitReporting() {
            std::unique_lock<std::mutex> lock(m_lock);
            return m_changed.wait_for(lock, 20s, [this] { return m_reporting; });
        }

    private:
        std::mutex m_lock;
        std::condition_variable m_changed;
        bool m_reporting = false;
    };
    DwellingNotify notify;
    CLumariManager engine(&notify);
    int mode = 0;
    ASSERT_EQ(engine.Init(&mode), 0);
    ASSERT_EQ(engine.Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Eventually([&] { return engine.State() == kStateRunning; }));
    ASSERT_EQ(engine.Stop(), 0);
    ASSERT_TRUE(notify.WaitReporting());

    EXPECT_EQ(engine.Start(L"Lumari", L"password1", 1), 0);

    ASSERT_TRUE(Eventually([&] { return notify.Count("started 0") == 2; }))
        << ::testing::PrintToString(notify.Events());
    EXPECT_FALSE(notify.Has("started 1700"));
    ASSERT_EQ(engine.Stop(), 0);
    ASSERT_TRUE(Eventually([&] { return engine.State() == kStateStopped; }));
}

TEST_F(LumariManagerTest, StopMeetingTheWorkersOwnEndLeavesTheEngineStartable) {
    for (int i = 0; i < 25; ++i) {
        Run();
        std::thread outside([&] {
            Pc().wlan.ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle,
                                               plat::kWlanHostedNetworkReasonUserAction);
        });
        // Stops until the engine is stopped (or, wedged, would never be).
        for (int k = 0; k < 2000 && Engine().State() != kStateStopped; ++k) {
            Engine().Stop();
            std::this_thread::yield();
        }
        outside.join();
        ASSERT_TRUE(Eventually([&] { return Engine().State() == kStateStopped; }))
            << "round " << i << " state " << Engine().State();
    }
}

TEST_F(LumariManagerTest, ManyStartsAndStopsLeaveNoThreadBehind) {
    // Counted with no engine, whose last worker may still be on its way out
    // after setting state 5: destroying the engine waits for it.
    Run();
    StopAndWait();
    Restart();
    const int threads = ThreadCount();
    for (int i = 0; i < 30; ++i) {
        Run();
        StopAndWait();
    }
    EXPECT_EQ(m_notify.Count("started 0"), 30);
    EXPECT_EQ(m_notify.Count("stopped 0"), 30);
    Restart();
    EXPECT_LE(ThreadCount(), threads);
}

TEST_F(LumariManagerTest, DestroyingARunningEngineStopsAndSavesEverything) {
    Run();
    Peers().AddPeer("A4-45-19-00-00-07", "192.168.23.7");
    Rounds(5);  // seen from the first round on: 4 seconds online
    Restart();
    EXPECT_FALSE(Peers().Sharing());
    EXPECT_NE(Pc().wlan.HostedNetworkState(), plat::kWlanHostedNetworkActive);
    EXPECT_TRUE(Log().Has("I CLumariManager::~CLumariManager"));
    Run();
    ClientInfo seven;
    ASSERT_TRUE(Engine().GetClient(L"A4-45-19-00-00-07", seven));
    EXPECT_EQ(seven.totalOnlineTime, 4);
    StopAndWait();
}

TEST_F(LumariManagerTest, AnEngineNeverInitialisedLeavesTheSettingsFileAlone) {
    const std::string cfg = CLumariConfig::GetInstance()->GetCfgPath();
    ASSERT_EQ(plat::SetCipherStrVal(cfg.c_str(), "WIFI/ip", "Zentavo", "10.1.2.1"), 0);
    ASSERT_EQ(plat::SetCipherStrVal(cfg.c_str(), "WIFI/dns", "Zentavo", "10.1.2.53"), 0);
    Engine();
    Restart();
    CLumariConfig::GetInstance()->Load();
    EXPECT_EQ(CLumariConfig::GetInstance()->GetIp(), "10.1.2.1");
    EXPECT_EQ(CLumariConfig::GetInstance()->GetDns(), "10.1.2.53");
}

// ICS mode: no driver, clients come from the DHCP server's leases.
class LumariManagerIcsTest : public LumariManagerTest {
protected:
    bool Driver() const override { return false; }
};

TEST_F(LumariManagerIcsTest, SharesThroughIcsAndFindsClientsByTheirLeases) {
    Run();
    EXPECT_EQ(Engine().IsDriverShare(), 0);
    EXPECT_TRUE(Pc().ics.IsPublic(GuidOf("WAN")));
    EXPECT_TRUE(Pc().ics.IsPrivate(GuidOf("AP")));

    // A phone takes a lease: the next round finds it, with the name it sent.
    auto& server = pellion::DhcpServer::Instance();
    const dhcptest::Mac mac = {0xA4, 0x45, 0x19, 0, 0, 9};
    const auto discover = dhcptest::Packet(1, mac).HostName("Redmi-Note").Bytes();
    auto offer = dhcptest::Parse(server.Process(discover.data(), discover.size()));
    ASSERT_TRUE(offer);
    const auto request = dhcptest::Packet(3, mac).Requested(offer->yiaddr).Bytes();
    ASSERT_TRUE(dhcptest::Parse(server.Process(request.data(), request.size())));
    Rounds(1);
    ASSERT_TRUE(m_notify.Has("join A4-45-19-00-00-09"));
    const ClientInfo phone = m_notify.Last(L"A4-45-19-00-00-09");
    EXPECT_EQ(phone.name, L"Redmi-Note");
    EXPECT_EQ(phone.ip, L"192.168.23.2");
    std::uint64_t down = 0, up = 0;
    EXPECT_TRUE(Engine().GetFlow(&down, &up)) << "the adapter's counters in ICS mode";
    StopAndWait();
    EXPECT_FALSE(Pc().ics.IsPublic(GuidOf("WAN")));
}

// In ICS mode the flow comes from the access point adapter's counters, which
// count from when the adapter came up: a run shows only what it moved, and a
// counter that falls back (a wrap or a new adapter) takes nothing away.
TEST_F(LumariManagerIcsTest, AdapterFlowIsTheRunsOwnAndOnlyGrows) {
    plat::AdapterInfo ap;
    ASSERT_TRUE(Pc().network.FindAdapter(GuidOf("AP"), &ap));
    Pc().network.SetCounters(ap.ifIndex, 900 * 1024, 100 * 1024);
    Run();
    auto flow = [&] {
        std::uint64_t down = 0, up = 0;
        EXPECT_TRUE(Engine().GetFlow(&down, &up));
        return std::pair{down, up};
    };
    EXPECT_EQ(flow(), std::pair(std::uint64_t{0}, std::uint64_t{0})) << "an earlier run's bytes";
    Pc().network.SetCounters(ap.ifIndex, 950 * 1024, 130 * 1024);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{50}, std::uint64_t{30}));
    Pc().network.SetCounters(ap.ifIndex, 5 * 1024, 2 * 1024);
    EXPECT_EQ(flow(), std::pair(std::uint64_t{55}, std::uint64_t{32}));
    StopAndWait();
    Run();
    EXPECT_EQ(flow(), std::pair(std::uint64_t{0}, std::uint64_t{0}));
    StopAndWait();
}

// Without the driver a ban cannot cut a device that has its address: the
// DHCP server refuses it and its lease ends, the ban is kept (and reaches the
// server again at the next start), and the call answers false.
TEST_F(LumariManagerIcsTest, ABanRefusesTheDeviceAddressesAndSaysItWasNotCut) {
    Run();
    auto& server = pellion::DhcpServer::Instance();
    const dhcptest::Mac mac = {0xA4, 0x45, 0x19, 0, 0, 9};
    auto offered = [&] {
        const auto discover = dhcptest::Packet(1, mac).Bytes();
        const auto offer = dhcptest::Parse(server.Process(discover.data(), discover.size()));
        return offer && offer->yiaddr != 0;
    };
    auto lease = [&] {
        const auto discover = dhcptest::Packet(1, mac).Bytes();
        auto offer = dhcptest::Parse(server.Process(discover.data(), discover.size()));
        ASSERT_TRUE(offer);
        const auto request = dhcptest::Packet(3, mac).Requested(offer->yiaddr).Bytes();
        ASSERT_TRUE(dhcptest::Parse(server.Process(request.data(), request.size())));
    };
    lease();
    Rounds(1);
    ASSERT_TRUE(m_notify.Has("join A4-45-19-00-00-09"));

    EXPECT_FALSE(Engine().BanClient(L"A4-45-19-00-00-09")) << "the device was not cut";
    ClientInfo banned;
    ASSERT_TRUE(Engine().GetClient(L"A4-45-19-00-00-09", banned));
    EXPECT_EQ(banned.isBan, 1);
    std::vector<DhcpClientEntry> leases;
    CDhcpManager::GetInstance()->GetAllClients(leases);
    EXPECT_TRUE(leases.empty()) << "its lease ended";
    EXPECT_FALSE(offered()) << "refused by the DHCP server";

    // The next start's server refuses it as well.
    StopAndWait();
    Run();
    EXPECT_FALSE(offered());
    EXPECT_TRUE(Engine().UnbanClient(L"A4-45-19-00-00-09"));
    EXPECT_TRUE(offered());
    StopAndWait();
}

// The handle forwards to its manager.
TEST_F(LumariManagerTest, HandleForwardsEveryCall) {
    RecordingNotify notify;
    CLumariCore core(&notify);
    int mode = 0;
    EXPECT_EQ(core.Init(&mode), 0);
    EXPECT_EQ(core.GetStatus(), 1700);
    core.Start(L"Lumari", L"password1", 1);
    ASSERT_TRUE(Eventually([&] { return notify.Has("started 0"); }));
    EXPECT_EQ(core.GetHostIp(), L"192.168.23.1");
    EXPECT_TRUE(core.SetOption(L"ssid", L"x"));
    EXPECT_FALSE(core.BanClient(L"00-00-00-00-00-01")) << "unknown client";
    core.Stop();
    ASSERT_TRUE(Eventually([&] { return notify.Has("stopped 0"); }));
}

}  // namespace
