#include "Wlan/RalinkApManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/SimTest.h"

namespace {

using namespace std::chrono_literals;
using Mac = std::array<plat::UCHAR, 6>;

constexpr auto kPatience = 30s;

// Records the station events and the threads they arrive on.
class StationRecorder : public CWiFiEventCallback {
public:
    void OnStationJoin(const std::wstring& mac) override { Add(&m_joins, mac); }
    void OnStationLeave(const std::wstring& mac) override { Add(&m_leaves, mac); }

    std::vector<std::wstring> Joins() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_joins;
    }
    std::vector<std::wstring> Leaves() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_leaves;
    }
    std::set<std::thread::id> Threads() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_threads;
    }
    // Lets the poll thread run round after round on the simulated clock until
    // the events have arrived.
    bool WaitFor(std::size_t joins, std::size_t leaves) {
        return plat::SimPc::Current()->clock.AdvanceUntil(
            [&] {
                std::lock_guard<std::mutex> g(m_lock);
                return m_joins.size() >= joins && m_leaves.size() >= leaves;
            },
            kPatience);
    }

private:
    void Add(std::vector<std::wstring>* list, const std::wstring& mac) {
        std::lock_guard<std::mutex> g(m_lock);
        list->push_back(mac);
        m_threads.insert(std::this_thread::get_id());
    }
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_joins;
    std::vector<std::wstring> m_leaves;
    std::set<std::thread::id> m_threads;
};

plat::GUID AdapterGuid(int n) {
    return {0xA0000000u + static_cast<std::uint32_t>(n), 0x3070, 0x11E0, {1, 2, 3, 4, 5, 6, 7, 8}};
}

class RalinkApManagerTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().ralink.InstallLibrary();
    }
    void AddAdapter(int n, bool present = true) {
        plat::SimRalinkAdapter a;
        a.guid = AdapterGuid(n);
        a.present = present;
        Pc().ralink.AddAdapter(a);
    }
    // A manager as the creator hands it out: constructed and initialised once.
    std::unique_ptr<CRalinkApManager> Make() {
        auto m = std::make_unique<CRalinkApManager>(&m_events);
        m->Init();
        return m;
    }
    // Waits until the station table has been read `more` further times.
    bool WaitForPolls(int more) {
        auto polls = [&] {
            return Pc().faults.Calls("RAAP_QueryMacTable") +
                   Pc().faults.Calls("RAAP_QueryMacTableNOT_11N");
        };
        const int target = polls() + more;
        return Pc().clock.AdvanceUntil([&] { return polls() >= target; }, kPatience);
    }
    StationRecorder m_events;
};

// ---- Library and adapters -------------------------------------------------

TEST_F(RalinkApManagerTest, WithoutTheLibraryEverythingAnswersNotSupported) {
    Pc().ralink.RemoveLibrary();
    auto m = Make();

    EXPECT_FALSE(m->IsApiReady());
    EXPECT_TRUE(Log().Has("E Load RAAPAPI.dll failed"));
    EXPECT_EQ(m->Init(), 50);
    EXPECT_EQ(m->StartAp(), 50);
    EXPECT_EQ(m->QueryOpMode(), -1);
    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 0), 1002);
    EXPECT_EQ(m->StopAp(), 50);
    EXPECT_FALSE(m->IsStarted());
    EXPECT_EQ(m->GetMode(), 3);
}

TEST_F(RalinkApManagerTest, LibraryReadyWhenInitialAnswersOneOrAlreadyInitialised) {
    AddAdapter(1);
    for (int answer : {1, -107}) {
        Pc().ralink.SetInitialResult(answer);
        auto m = Make();
        EXPECT_TRUE(m->IsApiReady()) << answer;
        EXPECT_EQ(m->Init(), 0) << answer;
    }
    Pc().ralink.SetInitialResult(0);
    auto m = Make();
    EXPECT_FALSE(m->IsApiReady());
    EXPECT_TRUE(Log().Has("E Init RAAPAPI failed0"));
    EXPECT_EQ(m->Init(), 50);
}

TEST_F(RalinkApManagerTest, LibraryLackingAnEntryPointIsNotUsed) {
    AddAdapter(1);
    Pc().modules.RemoveFunction(L"RAAPAPI.dll", "RAAP_QueryMacTable");
    auto m = Make();

    EXPECT_FALSE(m->IsApiReady());
    EXPECT_TRUE(Log().Has("E RAAPAPI.dll has no RAAP_QueryMacTable"));
    EXPECT_EQ(m->StartAp(), 50);
    EXPECT_EQ(Pc().faults.Calls("RAAP_Initial"), 0);
}

TEST_F(RalinkApManagerTest, LibraryIsReleasedWithTheManager) {
    auto m = Make();
    EXPECT_EQ(Pc().modules.LoadCount(L"RAAPAPI.dll"), 1);
    EXPECT_TRUE(Pc().ralink.Initialized());
    m.reset();
    EXPECT_EQ(Pc().modules.LoadCount(L"RAAPAPI.dll"), 0);
    EXPECT_FALSE(Pc().ralink.Initialized());
}

TEST_F(RalinkApManagerTest, WlanNotificationsAreTracedUntilTheManagerGoes) {
    auto m = Make();
    EXPECT_EQ(Pc().wlan.Registrations(), 1u);
    const plat::GUID iface = AdapterGuid(9);
    Pc().wlan.Notify(plat::kWlanNotificationSourceMsm, 10, iface, {});
    Pc().wlan.Notify(plat::kWlanNotificationSourceAcm, 21, iface, {});
    Pc().wlan.Notify(plat::kWlanNotificationSourceHnwk, 4097, iface, {});
    ASSERT_TRUE(Pc().wlan.WaitDelivered());
    EXPECT_TRUE(DebugHas("WLAN_NOTIFICATION_SOURCE_MSM code: 10\n"));
    EXPECT_TRUE(DebugHas("WLAN_NOTIFICATION_SOURCE_ACM code: 21\n"));
    EXPECT_TRUE(DebugHas("notify source: 128, code: 4097\n"));

    m.reset();
    EXPECT_EQ(Pc().wlan.Registrations(), 0u);
    EXPECT_EQ(Pc().wlan.OpenHandles(), 0u);
    EXPECT_EQ(Pc().modules.LoadCount(L"wlanapi.dll"), 0);
}

TEST_F(RalinkApManagerTest, WorksWithoutTheWlanLibrary) {
    Pc().wlan.RemoveLibrary();
    AddAdapter(1);
    auto m = Make();
    EXPECT_TRUE(Log().Has("E reg notify failed 50"));
    EXPECT_TRUE(m->IsApiReady());
    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    EXPECT_EQ(m->StopAp(), 0);
}

TEST_F(RalinkApManagerTest, AdapterListGrowsWhenTheLibraryAsksForMoreRoom) {
    // Three adapters, the first two gone: the list grows from one entry to three,
    // the call is repeated with three and the third adapter is selected.
    AddAdapter(1, false);
    AddAdapter(2, false);
    AddAdapter(3, true);
    auto m = Make();

    EXPECT_EQ(m->Init(), 0);
    EXPECT_EQ(Pc().ralink.AdapterQueryCapacities(), (std::vector<int>{1, 3}));

    // A selected adapter that still exists is kept without asking again.
    EXPECT_EQ(m->Init(), 0);
    EXPECT_EQ(Pc().ralink.AdapterQueryCapacities().size(), 2u);

    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    plat::GUID guid{};
    EXPECT_EQ(m->GetAdapterGuid(&guid), 0);
    EXPECT_EQ(guid, AdapterGuid(3));
    EXPECT_EQ(Pc().ralink.SelectedAdapter(), AdapterGuid(3));
    EXPECT_EQ(m->StopAp(), 0);
}

TEST_F(RalinkApManagerTest, VanishedAdapterIsLookedForAgain) {
    AddAdapter(1, false);
    AddAdapter(2, true);
    auto m = Make();
    ASSERT_EQ(m->Init(), 0);

    Pc().ralink.SetAdapterPresent(AdapterGuid(2), false);
    EXPECT_EQ(m->Init(), 1001);
    EXPECT_TRUE(Log().Has("E Find no Ralink usb nic."));
    // The list already has room for both: the second query asks for two again.
    EXPECT_EQ(Pc().ralink.AdapterQueryCapacities(), (std::vector<int>{1, 2, 1, 2}));
    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 0), 1002);
    EXPECT_EQ(m->QueryOpMode(), -1);

    Pc().ralink.SetAdapterPresent(AdapterGuid(1), true);
    EXPECT_EQ(m->Init(), 0);
    EXPECT_EQ(m->QueryOpMode(), 0);
}

TEST_F(RalinkApManagerTest, NoAdapterAtAll) {
    auto m = Make();
    EXPECT_EQ(m->Init(), 1001);
    EXPECT_TRUE(Log().Has("E Find no Ralink usb nic."));
    EXPECT_EQ(m->StartAp(), 50);
    EXPECT_EQ(Pc().ralink.ConfigWrites(), 0);
}

// ---- The access-point configuration --------------------------------------

class RalinkConfigTest : public RalinkApManagerTest {
protected:
    void SetUp() override {
        RalinkApManagerTest::SetUp();
        AddAdapter(1);
    }
    // Starts a fresh manager with the options and returns the record written.
    plat::RAAP_AP_CONFIG StartWith(const std::map<std::wstring, std::wstring>& options,
                                   const std::wstring& key = L"12345678") {
        auto m = Make();
        auto copy = options;
        m->SetOptions(copy);
        EXPECT_EQ(m->Start(L"Lumari", key, 0), 0);
        EXPECT_EQ(m->StopAp(), 0);
        return Pc().ralink.WrittenConfig();
    }
};

TEST_F(RalinkConfigTest, SecuredNetworkRecordAndItsLifecycle) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    auto m = Make();

    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);

    EXPECT_TRUE(m->IsStarted());
    EXPECT_EQ(Pc().ralink.OpMode(), 1);
    EXPECT_EQ(m->QueryOpMode(), 1);
    const plat::RAAP_AP_CONFIG c = Pc().ralink.WrittenConfig();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.Ssid), c.SsidLength), "Lumari");
    EXPECT_EQ(c.Ssid[6], 0);
    EXPECT_EQ(c.AuthMode, 7u);
    EXPECT_EQ(c.EncrypType, 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.Key), c.KeyLength), "12345678");
    EXPECT_EQ(c.PhyFlags & 0x0F, 0u);
    EXPECT_EQ(c.BeaconPeriod, 100u);
    EXPECT_EQ(c.StationIdleTime, 60u);
    EXPECT_EQ(c.HideSsid, 0u);
    EXPECT_EQ(c.Frequency, 2412000u);  // first channel of the 2.4 GHz list
    // What the manager does not set stays as the adapter had it.
    EXPECT_EQ(c.PhyFlags & ~0x0Fu, 0x30u);
    EXPECT_EQ(c.CountryRegion, 1u);
    EXPECT_EQ(c.MaxStations, 32u);
    EXPECT_EQ(c.VendorData[0], 0x5A);
    EXPECT_EQ(c.VendorData[407], 0x5A);
    EXPECT_EQ(Pc().ralink.VistaProfile(), "Lumari");
    EXPECT_TRUE(Log().Has("I AP wireless mode is 0"));
    EXPECT_TRUE(Log().Has("I StartAp End"));

    EXPECT_EQ(m->StopAp(), 0);

    EXPECT_FALSE(m->IsStarted());
    EXPECT_EQ(Pc().ralink.OpMode(), 0);
    EXPECT_EQ(Pc().ralink.VistaProfile(), "");
    // The poll thread may leave before or after the wait is announced; it has
    // left by the time StopAp ends.
    EXPECT_GE(Log().IndexOf("I wait for Querymactable thread"), 0);
    const int leave = Log().IndexOf("I CRalinkApManager::_EventProc Leave");
    ASSERT_GE(leave, 0);
    EXPECT_GT(Log().IndexOf("I StopAp End"), leave);
}

TEST_F(RalinkConfigTest, EmptyKeyMakesAnOpenNetwork) {
    plat::RAAP_AP_CONFIG old{};
    Pc().ralink.ReadConfigData(&old);
    std::memcpy(old.Key, "previous-key", 12);
    old.KeyLength = 12;
    old.AuthMode = 7;
    old.EncrypType = 6;
    Pc().ralink.SetStoredConfig(old);

    const plat::RAAP_AP_CONFIG c = StartWith({}, L"");

    EXPECT_EQ(c.AuthMode, 0u);
    EXPECT_EQ(c.EncrypType, 1u);
    EXPECT_EQ(c.KeyLength, 0u);
    for (auto b : c.Key)
        EXPECT_EQ(b, 0);
}

TEST_F(RalinkConfigTest, WirelessModeFromOptionsAndDevice) {
    EXPECT_EQ(StartWith({{L"802.11n", L"yes"}}).PhyFlags & 0x0F, 9u);
    EXPECT_TRUE(Log().Has("I AP wireless mode is 9"));

    Pc().ralink.SetChannels({1, 6, 11}, {36, 40});
    const auto an = StartWith({{L"802.11n", L"yes"}, {L"5GH", L"yes"}});
    EXPECT_EQ(an.PhyFlags & 0x0F, 8u);
    EXPECT_EQ(an.Frequency, 5180000u);

    const auto a = StartWith({{L"5GH", L"yes"}, {L"hideSSID", L"yes"}});
    EXPECT_EQ(a.PhyFlags & 0x0F, 2u);
    EXPECT_EQ(a.HideSsid, 1u);

    // Anything but "yes" leaves an option off.
    const auto off = StartWith({{L"802.11n", L"YES"}, {L"hideSSID", L"no"}});
    EXPECT_EQ(off.PhyFlags & 0x0F, 0u);
    EXPECT_EQ(off.HideSsid, 0u);

    Pc().ralink.SetSupports11n(false);
    EXPECT_EQ(StartWith({{L"802.11n", L"yes"}}).PhyFlags & 0x0F, 0u);
}

TEST_F(RalinkConfigTest, OptionsAreNeverSwitchedOff) {
    auto m = Make();
    std::map<std::wstring, std::wstring> on = {{L"802.11n", L"yes"}};
    m->SetOptions(on);
    std::map<std::wstring, std::wstring> none;
    m->SetOptions(none);
    // Missing keys are added with an empty value.
    EXPECT_EQ(none.size(), 3u);
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    EXPECT_EQ(Pc().ralink.WrittenConfig().PhyFlags & 0x0F, 9u);
    m->StopAp();
}

TEST_F(RalinkConfigTest, FiveGigahertzWithoutChannelsKeepsTheFrequency) {
    Pc().ralink.SetChannels({1, 6, 11}, {});
    EXPECT_EQ(StartWith({{L"5GH", L"yes"}}).Frequency, 2437000u);
}

TEST_F(RalinkConfigTest, SsidBytesFollowTheEncoding) {
    auto m = Make();
    ASSERT_EQ(m->Start(L"Caf\u00e9", L"12345678", 1), 0);
    EXPECT_EQ(Pc().ralink.VistaProfile(), "Caf\xc3\xa9");
    EXPECT_EQ(Pc().ralink.WrittenConfig().SsidLength, 5u);
    m->StopAp();

    // Exactly 32 bytes fill the whole field.
    const std::wstring longest(32, L'x');
    ASSERT_EQ(m->Start(longest, L"12345678", 1), 0);
    const auto c = Pc().ralink.WrittenConfig();
    EXPECT_EQ(c.SsidLength, 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.Ssid), 32), std::string(32, 'x'));
    m->StopAp();
}

TEST_F(RalinkConfigTest, SsidOrKeyThatCannotBeUsedIsRefusedBeforeTheAdapterIsTouched) {
    auto m = Make();
    ASSERT_EQ(m->Init(), 0);

    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 7), 1005);
    EXPECT_TRUE(Log().Has("E wrong ssid encoding:7"));

    EXPECT_EQ(m->Start(std::wstring(33, L'x'), L"12345678", 1), 1005);
    EXPECT_TRUE(Log().Has("E convert ssid to utf-8 error:" + std::string(33, 'x') + " error:122"));
    // Sixteen two-byte characters are 32 bytes; one more is too long.
    EXPECT_EQ(m->Start(std::wstring(17, L'\u00e9'), L"12345678", 1), 1005);

    std::wstring badUtf16 = L"ab";
    badUtf16.push_back(static_cast<wchar_t>(0xD800));  // a lone surrogate
    EXPECT_EQ(m->Start(badUtf16, L"12345678", 1), 1005);
    EXPECT_TRUE(Log().Has("E convert ssid to utf-8 error:ab\xef\xbf\xbd error:1113"));

    EXPECT_EQ(m->Start(L"Lumari", std::wstring(65, L'k'), 0), 1006);
    Pc().os.SetCodePage(1252);
    EXPECT_EQ(m->Start(L"Lumari", L"\u4e2d\u6587\u5bc6\u7801", 0), 1006);
    EXPECT_EQ(m->Start(L"\u4e2d\u6587", L"12345678", 0), 1005);

    EXPECT_EQ(Pc().ralink.ConfigWrites(), 0);
    EXPECT_EQ(Pc().ralink.OpMode(), 0);
    EXPECT_FALSE(m->IsStarted());
}

TEST_F(RalinkConfigTest, WindowsXpHandsTheAdapterBetweenWzcAndTheAccessPoint) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    plat::SimService wzc;
    wzc.state = 1;
    Pc().services.Set("WzcSvc", wzc);
    auto m = Make();

    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    EXPECT_EQ(Pc().ralink.ZeroConfigStops(), 1);
    EXPECT_TRUE(Log().Has("I m_raApApi.pStopXpZeroConfig"));
    EXPECT_EQ(Pc().ralink.VistaProfile(), "");

    EXPECT_EQ(m->StopAp(), 0);
    EXPECT_TRUE(Log().Has("I Start wzc service"));
    EXPECT_EQ(Pc().services.State("WzcSvc"), 4);

    // WZC no longer controls the adapter: nothing to stop.
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    EXPECT_TRUE(Log().Has("W m_raApApi.pIsZeroConfig return false"));
    EXPECT_EQ(Pc().ralink.ZeroConfigStops(), 1);
    m->StopAp();
}

TEST_F(RalinkConfigTest, RefusedConfigurationFailsTheStart) {
    Pc().ralink.SetWriteResult(0);
    auto m = Make();

    EXPECT_EQ(m->Start(L"Lumari", L"12345678", 0), 1007);

    EXPECT_TRUE(Log().Has("E StartAp failed 0"));
    EXPECT_FALSE(m->IsStarted());
    EXPECT_FALSE(Log().HasMessage("StartAp End"));
}

TEST_F(RalinkConfigTest, OperationModeFailuresAreLoggedAndTheWorkGoesOn) {
    auto m = Make();
    Pc().faults.FailNext("RAAP_SetOPMode", -3);
    m->Start(L"Lumari", L"12345678", 0);
    EXPECT_TRUE(Log().Has("E m_raApApi.pSetOPMode failed return -3"));
    EXPECT_EQ(Pc().ralink.ConfigWrites(), 1);

    Pc().faults.FailNext("RAAP_SetOPMode", -4);
    EXPECT_EQ(m->StopAp(), 0);
    EXPECT_TRUE(Log().Has("E m_raApApi.pSetOPMode failed return -4"));
    EXPECT_TRUE(Log().Has("I StopAp End"));
}

// ---- Stations -------------------------------------------------------------

class RalinkStationTest : public RalinkApManagerTest {
protected:
    void SetUp() override {
        RalinkApManagerTest::SetUp();
        AddAdapter(1);
    }
    static plat::SimRalinkStation Station(plat::UCHAR last, plat::UCHAR associated = 1) {
        plat::SimRalinkStation s;
        s.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last};
        s.associated = associated;
        return s;
    }
};

TEST_F(RalinkStationTest, JoinsAndLeavesArriveOnThePollThreadOnce) {
    Pc().ralink.AddStation(Station(0x01));
    Pc().ralink.AddStation(Station(0x02, 0));  // listed but not associated
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);

    ASSERT_TRUE(m_events.WaitFor(1, 0));
    EXPECT_EQ(m_events.Joins(), (std::vector<std::wstring>{L"00-1A-2B-3C-4D-01"}));
    EXPECT_TRUE(m_events.Threads().count(std::this_thread::get_id()) == 0);

    // The first station goes, the unassociated one vanishes unnoticed, a third
    // one arrives with its entry listed twice.
    Pc().ralink.RemoveStation(Station(0x01).mac);
    Pc().ralink.RemoveStation(Station(0x02).mac);
    Pc().ralink.AddStation(Station(0xAB));
    Pc().ralink.AddStation(Station(0xAB));
    ASSERT_TRUE(m_events.WaitFor(2, 1));
    ASSERT_TRUE(WaitForPolls(2));

    EXPECT_EQ(m_events.Joins(),
              (std::vector<std::wstring>{L"00-1A-2B-3C-4D-01", L"00-1A-2B-3C-4D-AB"}));
    EXPECT_EQ(m_events.Leaves(), (std::vector<std::wstring>{L"00-1A-2B-3C-4D-01"}));
    EXPECT_TRUE(m_events.Threads().count(std::this_thread::get_id()) == 0);
    EXPECT_TRUE(DebugHas("client11n 00-1A-2B-3C-4D-02 1 0\n"));
    EXPECT_TRUE(DebugHas("client 2\n"));

    EXPECT_EQ(m->StopAp(), 0);
    const std::size_t leaves = m_events.Leaves().size();
    EXPECT_EQ(leaves, 1u);
}

TEST_F(RalinkStationTest, StationThatAssociatesLaterJoinsThen) {
    Pc().ralink.AddStation(Station(0x05, 0));
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_TRUE(WaitForPolls(1));
    EXPECT_TRUE(m_events.Joins().empty());

    Pc().ralink.SetStationAssociated(Station(0x05).mac, 1);
    ASSERT_TRUE(m_events.WaitFor(1, 0));
    EXPECT_EQ(m_events.Joins(), (std::vector<std::wstring>{L"00-1A-2B-3C-4D-05"}));
    m->StopAp();
}

TEST_F(RalinkStationTest, OlderModelsUseTheTableWithout11n) {
    Pc().ralink.SetDeviceModel(2);
    Pc().ralink.AddStation(Station(0x07));
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);

    ASSERT_TRUE(m_events.WaitFor(1, 0));
    ASSERT_TRUE(WaitForPolls(1));
    EXPECT_EQ(m_events.Joins(), (std::vector<std::wstring>{L"00-1A-2B-3C-4D-07"}));
    EXPECT_TRUE(DebugHas("clientnot11n 00-1A-2B-3C-4D-07 1 1\n"));
    EXPECT_EQ(Pc().faults.Calls("RAAP_QueryMacTable"), 0);
    m->StopAp();
}

TEST_F(RalinkStationTest, UnreadableTableIsNotTakenForEveryoneLeaving) {
    Pc().ralink.AddStation(Station(0x09));
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_TRUE(m_events.WaitFor(1, 0));

    Pc().faults.FailAlways("RAAP_QueryMacTable", -1);
    const int before = Pc().faults.Calls("RAAP_QueryMacTable");
    ASSERT_TRUE(WaitForPolls(2));
    ASSERT_GE(Pc().faults.Calls("RAAP_QueryMacTable"), before + 2);
    Pc().faults.Clear("RAAP_QueryMacTable");
    ASSERT_TRUE(WaitForPolls(2));

    EXPECT_TRUE(m_events.Leaves().empty());
    EXPECT_EQ(m_events.Joins().size(), 1u);
    m->StopAp();
}

TEST_F(RalinkStationTest, MissingDeviceIsReportedAndPollingGoesOn) {
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    Pc().ralink.SetAdapterPresent(AdapterGuid(1), false);
    Pc().faults.ResetCalls();
    // The device model query fails without a device; wait for two more polls of it.
    Pc().clock.AdvanceUntil([&] { return Pc().faults.Calls("RAAP_GetCurrentDeviceModel") >= 2; },
                            kPatience);
    EXPECT_GE(Pc().faults.Calls("RAAP_GetCurrentDeviceModel"), 2);
    EXPECT_TRUE(DebugHas("Device is not Exist."));
    EXPECT_EQ(m->StopAp(), 0);
}

TEST_F(RalinkStationTest, DestroyingARunningManagerEndsItsPollThread) {
    Pc().ralink.AddStation(Station(0x0C));
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_TRUE(m_events.WaitFor(1, 0));

    m.reset();

    EXPECT_TRUE(Log().Has("I CRalinkApManager::_EventProc Leave"));
    const int polls = Pc().faults.Calls("RAAP_QueryMacTable");
    Pc().ralink.RemoveStation(Station(0x0C).mac);
    EXPECT_EQ(Pc().faults.Calls("RAAP_QueryMacTable"), polls);
    EXPECT_TRUE(m_events.Leaves().empty());
}

TEST_F(RalinkStationTest, SecondStartReplacesThePollThread) {
    Pc().ralink.AddStation(Station(0x0D));
    auto m = Make();
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_TRUE(m_events.WaitFor(1, 0));
    ASSERT_EQ(m->Start(L"Lumari", L"12345678", 0), 0);
    ASSERT_TRUE(m_events.WaitFor(2, 0));
    ASSERT_TRUE(WaitForPolls(2));

    // The new thread starts with no known stations; the old one is gone.
    EXPECT_EQ(m_events.Joins().size(), 2u);
    EXPECT_TRUE(m_events.Leaves().empty());
    EXPECT_EQ(m->StopAp(), 0);
}

}  // namespace
