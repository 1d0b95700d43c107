// The access point as the system's mobile hotspot, on a simulated Windows 10
// whose operations complete on threads of their own: what the manager asks
// the system, how it reads refusals and statuses, the clients it reports,
// and what a stop during a pending operation leaves behind.
#include "Wlan/MobileHotspotManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Common/Interruption.h"
#include "WlanTestSupport.h"
#include "support/EngineBed.h"
#include "support/SimTest.h"

namespace {

using enginebed::Eventually;

using namespace std::chrono_literals;
namespace tet = plat::tethering;

class MobileHotspotManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().os.SetWindows(plat::SimWindows::Ten);
        Pc().network.AddAdapter(enginebed::Adapter("WAN", {"10.0.0.5"}, "10.0.0.1"));
    }
    void TearDown() override {
        m_manager.reset();
        SimTest::TearDown();
    }
    CMobileHotspotManager& Manager() {
        if (!m_manager)
            m_manager = std::make_unique<CMobileHotspotManager>(&m_events);
        return *m_manager;
    }
    plat::SimMobileHotspot& Hotspot() { return Pc().hotspot; }
    // One round of the client poll.
    void Round() {
        ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
        Pc().clock.Advance(1s);
        ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    }

    wlantest::RecordingCallback m_events;
    std::unique_ptr<CMobileHotspotManager> m_manager;
};

TEST_F(MobileHotspotManagerTest, StartConfiguresTheSystemAndStopRestoresItsTimeout) {
    ASSERT_EQ(Manager().Init(), 0);
    EXPECT_EQ(Manager().GetMode(), 4);
    EXPECT_TRUE(Log().Has("I Mobile hotspot shares WAN"));

    ASSERT_EQ(Manager().Start(L"Lumari \u70ed\u70b9", L"password1", 0), 0);
    EXPECT_TRUE(Manager().IsStarted());
    EXPECT_EQ(Hotspot().OperationalState(), tet::kStateOn);
    EXPECT_EQ(Hotspot().Config().ssid, L"Lumari \u70ed\u70b9");
    EXPECT_EQ(Hotspot().Config().passphrase, L"password1");
    EXPECT_FALSE(Hotspot().NoConnectionsTimeoutEnabled());
    EXPECT_TRUE(Log().Has("I No-connections timeout disabled"));
    ASSERT_TRUE(m_events.WaitFor(1));
    EXPECT_EQ(m_events.What().front(), "started");
    plat::GUID guid = enginebed::GuidOf("x");
    EXPECT_EQ(Manager().GetAdapterGuid(&guid), 0);
    EXPECT_EQ(guid, plat::GUID_NULL_) << "the system names no adapter";

    ASSERT_EQ(Manager().StopAp(), 0);
    EXPECT_FALSE(Manager().IsStarted());
    EXPECT_EQ(Hotspot().OperationalState(), tet::kStateOff);
    EXPECT_TRUE(Hotspot().NoConnectionsTimeoutEnabled()) << "the user's setting is back";
    EXPECT_TRUE(Log().Has("I StopTethering succeed"));

    // The configuration is the system's: a later manager reads it back.
    m_manager.reset();
    ASSERT_EQ(Manager().Init(), 0);
    EXPECT_EQ(Manager().GetSsid(), L"Lumari \u70ed\u70b9");
    EXPECT_EQ(Manager().GetKey(), L"password1");
}

TEST_F(MobileHotspotManagerTest, NameAndPassPhraseTheSystemWouldRefuseAreNotSent) {
    ASSERT_EQ(Manager().Init(), 0);
    EXPECT_EQ(Manager().Start(L"", L"password1", 1), 1005);
    // 11 three-byte characters: 33 bytes of UTF-8.
    EXPECT_EQ(Manager().Start(std::wstring(11, L'\u70ed'), L"password1", 1), 1005);
    EXPECT_TRUE(Log().Has("E ssid must be 1 to 32 bytes: 33"));
    EXPECT_EQ(Manager().Start(L"Lumari", L"short", 1), 1006);
    EXPECT_EQ(Manager().Start(L"Lumari", std::wstring(64, L'k'), 1), 1006);
    EXPECT_TRUE(Log().Has("E key must be 8 to 63 characters: 64"));
    EXPECT_EQ(Pc().faults.Calls("ConfigureAccessPointAsync"), 0);
    EXPECT_EQ(Pc().faults.Calls("StartTetheringAsync"), 0);

    // The system's own refusal of a configuration fails the start as an SSID failure.
    Pc().faults.FailNext("ConfigureAccessPointResult",
                         static_cast<std::int64_t>(plat::kEInvalidArg));
    EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 1005);
    EXPECT_TRUE(Log().Has("E ConfigureAccessPoint failed: 0x80070057"));
    EXPECT_EQ(Pc().faults.Calls("StartTetheringAsync"), 0);
}

TEST_F(MobileHotspotManagerTest, EveryCapabilityRefusalHasItsCodeAndReason) {
    struct Case {
        std::int32_t capability;
        int code;
        const char* reason;
    };
    const Case cases[] = {
        {1, 1002, "disabled by group policy"},
        {2, 1001, "no Wi-Fi adapter can carry it"},
        {3, 1002, "disabled by the network operator"},
        {4, 1002, "not offered by this account's services"},
        {5, 1002, "an app it needs is not installed"},
        {6, 1002, "disabled for an unknown cause"},
        {7, 1002, "disabled by the system capability (the program may not control Wi-Fi)"},
        {42, 1002, "refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.capability);
        Hotspot().SetCapability(c.capability);
        EXPECT_EQ(Manager().Init(), c.code);
        EXPECT_TRUE(Log().Has("E Mobile hotspot refused for WAN: " + std::string(c.reason) +
                              " (capability " + std::to_string(c.capability) + ")"));
        EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 1002) << "not initialised";
    }
    EXPECT_EQ(Pc().faults.Calls("CreateFromConnectionProfile"), 0);

    // A PC without a radio that can carry it: the system itself refuses.
    Hotspot().SetCapability(std::nullopt);
    Hotspot().SetRadio(plat::SimHotspotRadio::None);
    EXPECT_EQ(Manager().Init(), 1001);
}

TEST_F(MobileHotspotManagerTest, WithoutTheRuntimeOrAnInternetProfileTheModeIsRefused) {
    // Nothing reaches the Internet: nothing to share.
    Pc().nlm.SetConnectivity(enginebed::GuidOf("WAN"), 0x20);
    EXPECT_EQ(Manager().Init(), 1002);
    EXPECT_TRUE(Log().Has("E Mobile hotspot: no connection reaches the Internet"));
    EXPECT_EQ(Pc().faults.Calls("GetTetheringCapabilityFromConnectionProfile"), 0);

    // Windows 8.1 has no such runtime class: the mode is not supported.
    Pc().os.SetWindows(plat::SimWindows::EightOne);
    EXPECT_EQ(Manager().Init(), 50);
    EXPECT_TRUE(Log().Has("E Mobile hotspot not supported: 0x80040154"));
    EXPECT_FALSE(Manager().IsStarted());
}

TEST_F(MobileHotspotManagerTest, EveryFailedStartStatusHasItsCodeAndLeavesTheTimeoutAsItWas) {
    struct Case {
        std::int32_t status;
        int code;
        const char* reason;
    };
    const Case cases[] = {
        {1, 1002, "unknown failure"},
        {2, 1002, "the mobile broadband device is off"},
        {3, 1004, "Wi-Fi is turned off"},
        {4, 1002, "the operator's entitlement check timed out"},
        {5, 1002, "no cellular entitlement for tethering"},
        {6, 5023, "another operation is in progress"},
        {7, 1002, "Bluetooth is turned off"},
        {8, 1002, "the shared connection has limited connectivity"},
        {10, 1002, "the radio cannot use the band"},
        {11, 1002, "the band interferes with the shared connection"},
    };
    ASSERT_EQ(Manager().Init(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Pc().faults.FailNext("StartTetheringResult", c.status);
        EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), c.code);
        EXPECT_TRUE(Log().Has("E StartTethering failed: " + std::string(c.reason) + " (status " +
                              std::to_string(c.status) + ")"));
        EXPECT_FALSE(Manager().IsStarted());
        EXPECT_EQ(Hotspot().OperationalState(), tet::kStateOff);
        EXPECT_TRUE(Hotspot().NoConnectionsTimeoutEnabled());
    }
    // "Already on" is a hotspot that is up.
    Pc().faults.FailNext("StartTetheringResult", tet::kStatusAlreadyOn);
    EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_EQ(Manager().StopAp(), 0);

    // Wi-Fi switched off in the system, without a scripted status.
    Hotspot().SetRadio(plat::SimHotspotRadio::Off);
    EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 1004);
    // A call the system refuses outright.
    Hotspot().SetRadio(plat::SimHotspotRadio::Capable);
    Pc().faults.FailNext("StartTetheringAsync", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 1002);
    EXPECT_TRUE(Log().Has("E StartTetheringAsync failed: 0x80004005"));
}

TEST_F(MobileHotspotManagerTest, ClientsJoinAndLeaveOnceASecondInTheEnginesMacForm) {
    ASSERT_EQ(Manager().Init(), 0);
    ASSERT_EQ(Manager().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Hotspot().AddClient(L"a4:45:19:00:00:01", {L"192.168.137.20", L"phone"}));
    ASSERT_TRUE(Hotspot().AddClient(L"A4-45-19-00-00-02"));
    ASSERT_TRUE(Hotspot().AddClient(L"not a mac"));
    Round();
    ASSERT_TRUE(m_events.WaitFor(3));
    EXPECT_EQ(m_events.What(), (std::vector<std::string>{"started", "join A4-45-19-00-00-01",
                                                         "join A4-45-19-00-00-02"}));
    EXPECT_TRUE(Log().Has("W Mobile hotspot client with an unreadable MAC: not a mac"));
    const auto stations = Manager().GetStations();
    ASSERT_EQ(stations.size(), 2u);
    EXPECT_EQ(stations[0].hostNames, (std::vector<std::wstring>{L"192.168.137.20", L"phone"}));

    // A list the system cannot give this round says nothing about who left.
    Pc().faults.FailNext("GetTetheringClients", static_cast<std::int64_t>(plat::kEFail));
    ASSERT_TRUE(Hotspot().RemoveClient(L"a4:45:19:00:00:01"));
    Round();
    EXPECT_EQ(m_events.What().size(), 3u);
    Round();
    ASSERT_TRUE(m_events.WaitFor(4));
    EXPECT_EQ(m_events.What().back(), "leave A4-45-19-00-00-01");
    // Each report comes from the manager's poll thread, not the caller's.
    EXPECT_NE(m_events.Events().back().thread, std::this_thread::get_id());

    // The system serves at most 8.
    for (int i = 3; i <= 9; ++i)
        Hotspot().AddClient(L"A4-45-19-00-00-0" + std::to_wstring(i));
    EXPECT_EQ(Hotspot().Clients().size(), 8u);
    ASSERT_EQ(Manager().StopAp(), 0);
    EXPECT_TRUE(Manager().GetStations().empty());
}

TEST_F(MobileHotspotManagerTest, WithTheTimeoutDisabledTheHotspotOutlivesFiveIdleMinutes) {
    ASSERT_EQ(Manager().Init(), 0);
    ASSERT_EQ(Manager().Start(L"Lumari", L"password1", 1), 0);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    Pc().clock.Advance(6min);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    EXPECT_EQ(Hotspot().OperationalState(), tet::kStateOn);
    EXPECT_EQ(m_events.What(), std::vector<std::string>{"started"});
    ASSERT_EQ(Manager().StopAp(), 0);
}

TEST_F(MobileHotspotManagerTest, WhereTheTimeoutCannotBeDisabledTheSystemsStopIsReported) {
    // Windows 10 1809 has no setting for the timeout.
    Pc().os.SetWindows(plat::SimWindows::Ten1809);
    ASSERT_EQ(Manager().Init(), 0);
    ASSERT_EQ(Manager().Start(L"Lumari", L"password1", 1), 0);
    EXPECT_TRUE(
        Log().Has("W No-connections timeout cannot be disabled (0x80004002): Windows "
                  "stops the hotspot five minutes after the last client leaves"));
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    Pc().clock.Advance(4min);
    ASSERT_TRUE(Pc().clock.WaitForSleepers(1));
    EXPECT_EQ(m_events.What(), std::vector<std::string>{"started"});
    Pc().clock.Advance(1min);
    ASSERT_TRUE(m_events.WaitFor(2));
    EXPECT_EQ(m_events.What().back(), "stopped");
    EXPECT_TRUE(Log().Has("I CMobileHotspotManager::OnHotspotStopped"));
    EXPECT_TRUE(DebugHas("[Lumari] CMobileHotspotManager::OnHotspotStopped"));
    // The engine's stop that follows still succeeds.
    EXPECT_EQ(Manager().StopAp(), 0);
}

TEST_F(MobileHotspotManagerTest, StopWhileTheStartIsPendingCancelsItAndLeavesTheHotspotOff) {
    ASSERT_EQ(Manager().Init(), 0);
    // The configuration completes; the start stays pending.
    Hotspot().HoldOperations(1);
    std::stop_source stop;
    int code = -1;
    std::thread worker([&] {
        CInterruption::Scope scope(stop.get_token());
        code = Manager().Start(L"Lumari", L"password1", 1);
    });
    ASSERT_TRUE(Eventually([&] { return Pc().faults.Calls("StartTetheringAsync") == 1; }));
    ASSERT_TRUE(Eventually([&] { return Hotspot().PendingOperations() == 1; }));
    stop.request_stop();
    ASSERT_TRUE(Eventually(
        [&] { return Log().Has("I CMobileHotspotManager::StartAp thread_interrupted"); }));
    Hotspot().ReleaseOperations();
    worker.join();

    EXPECT_EQ(code, 1000);
    EXPECT_FALSE(Manager().IsStarted());
    EXPECT_EQ(Hotspot().OperationalState(), tet::kStateOff);
    EXPECT_TRUE(Hotspot().NoConnectionsTimeoutEnabled());
    EXPECT_EQ(m_events.What(), std::vector<std::string>{});
    // The manager is not stuck: a later start works.
    EXPECT_EQ(Manager().Start(L"Lumari", L"password1", 1), 0);
    EXPECT_EQ(Manager().StopAp(), 0);
}

}  // namespace
