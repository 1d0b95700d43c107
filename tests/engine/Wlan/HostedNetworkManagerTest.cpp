#include "Wlan/HostedNetworkManager.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <stop_token>
#include <thread>

#include "Common/Interruption.h"
#include "Environment/NicDeviceManager.h"
#include "WlanTestSupport.h"
#include "platform/text/TextCodec.h"
#include "platform/vendor/Calvory.h"
#include "support/SimTest.h"

using wlantest::Guid;
using wlantest::Interface;
using wlantest::RecordingCallback;

namespace {

class HostedNetworkTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Wlan().AddInterface(Interface(1, L"Intel Centrino"));
        Wlan().SetHostedNetworkDevice(Guid(99));
    }
    plat::SimWlan& Wlan() { return Pc().wlan; }
    std::unique_ptr<CHostedNetworkManager> Make() {
        return std::make_unique<CHostedNetworkManager>(&m_callback);
    }
    // Runs Init on a thread whose stop was already requested, so that any
    // interruptible sleep inside ends at once with 1000.
    static int InitWithStopRequested(CHostedNetworkManager& manager) {
        std::stop_source stop;
        stop.request_stop();
        CInterruption::Scope scope(stop.get_token());
        return manager.Init();
    }
    RecordingCallback m_callback;
};

TEST_F(HostedNetworkTest, ConstructionOpensAndRegistersDestructionReleasesAll) {
    {
        auto manager = Make();
        EXPECT_TRUE(manager->IsApiReady());
        EXPECT_EQ(manager->GetMode(), 1);
        EXPECT_EQ(Wlan().OpenHandles(), 1u);
        EXPECT_EQ(Wlan().Registrations(), 1u);
        ASSERT_EQ(manager->Init(), 0);
        ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
        plat::GUID guid{};
        ASSERT_EQ(manager->GetAdapterGuid(&guid), 0);
        EXPECT_EQ(manager->GetSsid(), L"Lumari");
        EXPECT_EQ(manager->GetKey(), L"password1");
    }
    EXPECT_EQ(Wlan().Registrations(), 0u);
    EXPECT_EQ(Wlan().OpenHandles(), 0u);
    EXPECT_EQ(Pc().modules.LoadCount(L"wlanapi.dll"), 0);
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
    EXPECT_EQ(Wlan().BadFrees(), 0u);
}

TEST_F(HostedNetworkTest, WithoutTheLibraryTheApiIsNotReadyAndInitAnswers50) {
    Wlan().RemoveLibrary();
    auto manager = Make();
    EXPECT_FALSE(manager->IsApiReady());
    EXPECT_TRUE(Log().Has("E init wlan failed:0"));
    EXPECT_EQ(manager->Init(), 50);
    EXPECT_EQ(manager->Start(L"Lumari", L"password1", 0), 1002);
}

TEST_F(HostedNetworkTest, FailedRegistrationIsRetriedByInit) {
    Pc().faults.FailNext("WlanRegisterNotification", 5);
    auto manager = Make();
    EXPECT_FALSE(manager->IsApiReady());
    EXPECT_TRUE(Log().Has("E register wlan notify failed 5"));
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_TRUE(manager->IsApiReady());
    EXPECT_EQ(Wlan().OpenHandles(), 1u);
    EXPECT_EQ(Wlan().Registrations(), 1u);
}

TEST_F(HostedNetworkTest, NoInterfaceAndNoAdapterToEnableAnswers1001WithoutSleeping) {
    Wlan().ClearInterfaces();
    auto manager = Make();
    EXPECT_EQ(InitWithStopRequested(*manager), 1001);
    EXPECT_TRUE(Log().Has(
        "E EnumWlanInterface find no interface\xEF\xBC\x8C Try EnableAllWirelessAdapter"));
    EXPECT_TRUE(Log().Has("E EnumWlanInterface find no interface"));
}

TEST_F(HostedNetworkTest, NoInterfaceWithAWirelessAdapterSleepsAndAStopEndsItWith1000) {
    Wlan().ClearInterfaces();
    plat::SimDevice adapter;
    adapter.id = "PCI\\VEN_8086&DEV_4238\\1";
    adapter.wireless = true;
    Pc().devices.Add(adapter);
    auto manager = Make();
    EXPECT_EQ(InitWithStopRequested(*manager), 1000);
    EXPECT_EQ(Pc().devices.Calls("EnableDevice").size(), 1u);
}

TEST_F(HostedNetworkTest, EnumerationFailuresAreReturned) {
    auto manager = Make();
    Pc().faults.FailNext("WlanEnumInterfaces", 6);
    EXPECT_EQ(manager->Init(), 6);
    EXPECT_TRUE(Log().Has("E EnumWlanInterface failed: ERROR_INVALID_HANDLE"));
    Pc().faults.FailNext("WlanEnumInterfaces", 1062);
    EXPECT_EQ(manager->Init(), 1062);
    EXPECT_TRUE(Log().Has("E EnumWlanInterface failed:1062"));
}

TEST_F(HostedNetworkTest, HardRadioOffOnTheFirstInterfaceMovesOnToTheSecond) {
    plat::SimWlanInterface first = Interface(1, L"Intel Centrino");
    first.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOn, plat::kDot11RadioStateOff}};
    Wlan().UpdateInterface(Guid(1), first);
    Wlan().AddInterface(Interface(2, L"Realtek USB"));
    auto manager = Make();
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_TRUE(Log().Has("E Interface hard radio off:Intel Centrino"));
    EXPECT_TRUE(Log().Has("I Interface <Realtek USB> support hostednetwork"));
}

TEST_F(HostedNetworkTest, InitAnswersTheCodeOfTheLastInterfaceExamined) {
    plat::SimWlanInterface first = Interface(1, L"Intel Centrino");
    first.hostedNetworkCapable = 0;
    Wlan().UpdateInterface(Guid(1), first);
    plat::SimWlanInterface second = Interface(2, L"Realtek USB");
    second.hostedNetworkCapable = 2;
    Wlan().AddInterface(second);
    auto manager = Make();
    EXPECT_EQ(manager->Init(), 1002);
    EXPECT_TRUE(Log().Has("E Interface <Realtek USB> do not support hostednetwork"));
    // Not initialised: Start refuses before touching SSID or key.
    EXPECT_EQ(manager->Start(L"Lumari", L"password1", 0), 1002);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkSetProperty"), 0);

    plat::SimWlanInterface hardOff = Interface(3, L"Broadcom");
    hardOff.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOn, plat::kDot11RadioStateOff}};
    Wlan().AddInterface(hardOff);
    EXPECT_EQ(manager->Init(), 1003);
}

TEST_F(HostedNetworkTest, SoftRadioIsTurnedOnAndAStuckOneAnswers1004) {
    plat::SimWlanInterface off = Interface(1, L"Intel Centrino");
    off.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOff, plat::kDot11RadioStateOn}};
    Wlan().UpdateInterface(Guid(1), off);
    auto manager = Make();
    EXPECT_EQ(manager->Init(), 0);
    EXPECT_TRUE(Log().Has("I Interface soft radio off:Intel Centrino"));
    plat::SimWlanInterface now;
    ASSERT_TRUE(Wlan().GetInterface(Guid(1), &now));
    EXPECT_EQ(now.phys[0].software, plat::kDot11RadioStateOn);

    off.softRadioSetError = 5;
    Wlan().UpdateInterface(Guid(1), off);
    EXPECT_EQ(manager->Init(), 1004);
    EXPECT_TRUE(Log().Has("E Turn on soft radio failed, interfaceIntel Centrino return :5"));
}

TEST_F(HostedNetworkTest, SystemsWithoutTheHostedNetworkAreNotInitialised) {
    Pc().os.SetWindows(plat::SimWindows::SevenStarter);
    auto starter = Make();
    EXPECT_EQ(starter->Init(), 1002);
    EXPECT_TRUE(Log().Has("E Windows Starter Edition"));

    Pc().os.SetWindows(plat::SimWindows::Vista);
    auto vista = Make();
    EXPECT_EQ(vista->Init(), 1002);
    EXPECT_TRUE(Log().Has("E Windows version is not 7 or greater"));
    EXPECT_EQ(vista->Start(L"Lumari", L"password1", 0), 1002);
}

TEST_F(HostedNetworkTest, StartPushesSettingsEnablesTheVirtualAdapterAndReportsTheStart) {
    Wlan().SetHostedNetworkEnabled(false);
    ASSERT_TRUE(Wlan().WaitDelivered());
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
    EXPECT_TRUE(manager->IsStarted());
    EXPECT_TRUE(Wlan().HostedNetworkEnabled());
    EXPECT_EQ(Wlan().HostedNetworkState(), plat::kWlanHostedNetworkActive);
    const auto settings = Wlan().HostedNetworkSettings();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(settings.hostedNetworkSSID.ucSSID),
                          settings.hostedNetworkSSID.uSSIDLength),
              "Lumari");
    EXPECT_EQ(settings.dwMaxNumberOfPeers, 31u);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkInitSettings"), 1);
    EXPECT_TRUE(Log().Has("I ssid is Lumari length:6"));
    EXPECT_TRUE(Log().Has("I StartHN succeed reason: 0"));
    const auto enabled = Pc().devices.Calls("EnableDevice");
    ASSERT_EQ(enabled.size(), 1u);
    EXPECT_EQ(enabled[0], CNicDeviceManager::VirtualWifiAdapterId());

    // unavailable -> idle on enabling, then idle -> active on the start.
    ASSERT_TRUE(m_callback.WaitFor(2));
    EXPECT_EQ(m_callback.What(), (std::vector<std::string>{"available", "started"}));
}

TEST_F(HostedNetworkTest, SsidEncodingDecidesTheBytesAndWhatIsRefused) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);

    EXPECT_EQ(manager->Start(L"Lumari", L"password1", 2), 1005);
    EXPECT_TRUE(Log().Has("E wrong ssid encoding:2"));
    EXPECT_TRUE(Log().Has("E set ssid failed"));
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkSetProperty"), 0);

    // 10 CJK characters are 30 bytes of UTF-8; 11 are 33 and do not fit.
    const std::wstring ten(10, L'\x70ED');
    ASSERT_EQ(manager->Start(ten, L"password1", 1), 0);
    auto settings = Wlan().HostedNetworkSettings();
    EXPECT_EQ(settings.hostedNetworkSSID.uSSIDLength, 30u);
    EXPECT_EQ(settings.hostedNetworkSSID.ucSSID[0], 0xE7);
    const std::wstring eleven(11, L'\x70ED');
    EXPECT_EQ(manager->Start(eleven, L"password1", 1), 1005);
    EXPECT_TRUE(Log().Has("E convert ssid to utf-8 error:" + plat::TextCodec::WideToUtf8(eleven) +
                          " error:122"));
    EXPECT_EQ(Wlan().HostedNetworkSettings().hostedNetworkSSID.uSSIDLength, 30u);

    // The ANSI code page, Simplified Chinese by default: two bytes per CJK
    // character, and nothing for a script GBK does not carry.
    ASSERT_EQ(manager->Start(ten, L"password1", 0), 0);
    settings = Wlan().HostedNetworkSettings();
    EXPECT_EQ(settings.hostedNetworkSSID.uSSIDLength, 20u);
    EXPECT_EQ(settings.hostedNetworkSSID.ucSSID[0], 0xC8);
    EXPECT_EQ(settings.hostedNetworkSSID.ucSSID[1], 0xC8);
    EXPECT_EQ(manager->Start(L"\xD55C\xAD6D", L"password1", 0), 1005);

    // Western: one byte per character, nothing for CJK.
    Pc().os.SetCodePage(1252);
    ASSERT_EQ(manager->Start(L"Caf\xE9", L"password1", 0), 0);
    settings = Wlan().HostedNetworkSettings();
    EXPECT_EQ(settings.hostedNetworkSSID.uSSIDLength, 4u);
    EXPECT_EQ(settings.hostedNetworkSSID.ucSSID[3], 0xE9);
    EXPECT_EQ(manager->Start(ten, L"password1", 0), 1005);
    EXPECT_EQ(manager->Start(std::wstring(33, L'x'), L"password1", 0), 1005);
    EXPECT_EQ(Wlan().HostedNetworkSettings().hostedNetworkSSID.uSSIDLength, 4u);
}

TEST_F(HostedNetworkTest, RejectedKeyStopsTheStartWith1006) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    EXPECT_EQ(manager->Start(L"Lumari", L"short", 0), 1006);
    EXPECT_TRUE(Log().Has("E SetKey failed:87"));
    EXPECT_TRUE(Log().Has("E set key failed"));
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkForceStart"), 0);
    EXPECT_FALSE(manager->IsStarted());
}

TEST_F(HostedNetworkTest, HostedNetworkStateChangesMapToTheEngineEvents) {
    auto manager = Make();
    // idle -> active -> idle -> unavailable -> idle -> active -> unavailable
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkActive, 0);
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle, 0);
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkUnavailable, 0);
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkIdle, 0);
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkActive, 0);
    Wlan().ChangeHostedNetworkState(plat::kWlanHostedNetworkUnavailable, 0);
    ASSERT_TRUE(m_callback.WaitFor(7));
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(m_callback.What(),
              (std::vector<std::string>{"started", "stopped", "notavailable", "available",
                                        "started", "stopped", "notavailable"}));
    EXPECT_TRUE(DebugHas("[Lumari] CHostedNetworkManager::OnHostedNetworkStarted"));
    EXPECT_TRUE(DebugHas("[Lumari] CHostedNetworkManager::OnHostedNetworkNotAvailable"));
    EXPECT_TRUE(Log().Has("I CHostedNetworkManager::OnHostedNetworkAvailable"));
}

TEST_F(HostedNetworkTest, ARadioSwitchedOffOrAStoppedServiceEndsTheNetworkAsTheEngineSeesIt) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
    ASSERT_TRUE(m_callback.WaitFor(1));
    // The hardware switch: the active network becomes unavailable.
    plat::SimWlanInterface radio;
    ASSERT_TRUE(Wlan().GetInterface(Guid(1), &radio));
    radio.phys[0].hardware = plat::kDot11RadioStateOff;
    ASSERT_TRUE(Wlan().UpdateInterface(Guid(1), radio));
    ASSERT_TRUE(m_callback.WaitFor(3));
    radio.phys[0].hardware = plat::kDot11RadioStateOn;
    ASSERT_TRUE(Wlan().UpdateInterface(Guid(1), radio));
    ASSERT_EQ(manager->StartAp(), 0);
    // The WLAN service stops: the engine hears of it before its handle dies.
    ASSERT_EQ(plat::calvory::StopServiceByName("WlanSvc"), 1);
    ASSERT_TRUE(m_callback.WaitFor(7));
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(m_callback.What(),
              (std::vector<std::string>{"started", "stopped", "notavailable", "available",
                                        "started", "stopped", "notavailable"}));
    // Every call on the dead handle answers 6, the first one already.
    EXPECT_EQ(manager->StartAp(), 6);
    EXPECT_TRUE(Log().Has("E EnableHN failed:6"));
}

TEST_F(HostedNetworkTest, StationsJoinAndLeaveOnTheNotificationThread) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
    ASSERT_TRUE(m_callback.WaitFor(1));  // started
    Wlan().PeerJoin({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f});
    Wlan().PeerStateChange({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f}, 1, 7);
    Wlan().PeerLeave({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f});
    ASSERT_TRUE(m_callback.WaitFor(3));
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(m_callback.What(), (std::vector<std::string>{"started", "join 0A-1B-2C-3D-4E-5F",
                                                           "leave 0A-1B-2C-3D-4E-5F"}));
    for (const auto& e : m_callback.Events())
        EXPECT_NE(e.thread, std::this_thread::get_id());
    EXPECT_TRUE(DebugHas("[Lumari] StationJoin 0A-1B-2C-3D-4E-5F\n"));
    EXPECT_TRUE(DebugHas("[Lumari] StationLeave 0A-1B-2C-3D-4E-5F\n"));
    EXPECT_TRUE(Log().Has("I CHostedNetworkManager::OnStationJoin 0A-1B-2C-3D-4E-5F"));
    EXPECT_TRUE(
        Log().Has("I CHostedNetworkManager::OnStationStateChange 0A-1B-2C-3D-4E-5F state 7"));
}

TEST_F(HostedNetworkTest, NotificationsOfOtherSourcesOrSizesAreIgnored) {
    auto manager = Make();
    plat::WLAN_HOSTED_NETWORK_STATE_CHANGE change{plat::kWlanHostedNetworkIdle,
                                                  plat::kWlanHostedNetworkActive, 0};
    std::vector<plat::BYTE> twelve(sizeof change);
    std::memcpy(twelve.data(), &change, sizeof change);
    std::vector<plat::BYTE> eight(twelve.begin(), twelve.begin() + 8);
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkStateChange,
                  plat::GUID{}, eight);
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkPeerStateChange,
                  plat::GUID{}, twelve);
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkStateChange,
                  plat::GUID{}, {});
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkRadioStateChange,
                  plat::GUID{}, twelve);
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkStateChange,
                  plat::GUID{}, twelve);
    ASSERT_TRUE(m_callback.WaitFor(1));
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(m_callback.What(), (std::vector<std::string>{"started"}));
}

TEST_F(HostedNetworkTest, InvalidHandleOnStartReopensOnceAndKeepsTheNotifications) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStart", 6);
    ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
    EXPECT_TRUE(Log().Has("E StartHN return ERROR_INVALID_HANDLE, reopen handle."));
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkForceStart"), 2);
    EXPECT_EQ(Pc().faults.Calls("WlanOpenHandle"), 2);
    EXPECT_EQ(Wlan().OpenHandles(), 1u);
    // Registered again on the new handle: stations still reach the engine.
    Wlan().PeerJoin({1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(m_callback.WaitFor(2));
    EXPECT_EQ(m_callback.What().back(), "join 01-02-03-04-05-06");

    Pc().faults.FailNext("WlanHostedNetworkForceStart", 6, 2);
    EXPECT_EQ(manager->StartAp(), 6);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkForceStart"), 4);
    EXPECT_EQ(Pc().faults.Calls("WlanOpenHandle"), 3);
    EXPECT_TRUE(Log().Has("E StartHN failed return:6 reason:1"));
    EXPECT_FALSE(manager->IsStarted());
}

TEST_F(HostedNetworkTest, StartFailuresAreReturnedAsTheSystemAnswers) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStart", 5023);
    EXPECT_EQ(manager->Start(L"Lumari", L"password1", 0), 5023);
    EXPECT_FALSE(manager->IsStarted());
    EXPECT_TRUE(Log().Has("E StartHN failed return:5023 reason:1"));

    Wlan().SetHostedNetworkEnabled(false);
    Pc().faults.FailNext("WlanHostedNetworkSetProperty#3", 5);
    const int starts = Pc().faults.Calls("WlanHostedNetworkForceStart");
    EXPECT_EQ(manager->StartAp(), 5);
    EXPECT_TRUE(Log().Has("E EnableHN failed:5"));
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkForceStart"), starts);

    ASSERT_EQ(manager->StartAp(), 0);
    EXPECT_EQ(manager->StartAp(), 0);
    EXPECT_TRUE(Log().Has("E HN already started, state:2"));
}

TEST_F(HostedNetworkTest, StopAnswersTheDisableResultEvenWhenTheForceStopFailed) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"password1", 0), 0);
    Pc().faults.FailNext("WlanHostedNetworkForceStop", 5023);
    EXPECT_EQ(manager->StopAp(), 0);
    EXPECT_TRUE(Log().Has("E StopHN failed return: 5023 reason:1"));
    EXPECT_TRUE(Log().Has("I DisableHN succeed."));
    EXPECT_TRUE(manager->IsStarted());  // only a successful force stop clears it
    EXPECT_FALSE(Wlan().HostedNetworkEnabled());

    ASSERT_EQ(manager->StartAp(), 0);
    Pc().faults.FailNext("WlanHostedNetworkSetProperty#3", 5);
    EXPECT_EQ(manager->StopAp(), 5);
    EXPECT_TRUE(Log().Has("I StopHN succeed reason: 0"));
    EXPECT_TRUE(Log().Has("E DisableHN failed return: 5"));
    EXPECT_FALSE(manager->IsStarted());
}

TEST_F(HostedNetworkTest, AdapterGuidAndSettingsComeFromTheSystem) {
    auto manager = Make();
    plat::GUID guid{};
    ASSERT_EQ(manager->GetAdapterGuid(&guid), 0);
    EXPECT_EQ(guid, Guid(99));
    EXPECT_TRUE(Log().Has("I GetHNIfGuid succeed."));
    Pc().faults.FailNext("WlanHostedNetworkQueryStatus", 1062);
    EXPECT_EQ(manager->GetAdapterGuid(&guid), 1062);
    EXPECT_TRUE(Log().Has("E GetHNIfGuid failed return:1062"));

    Wlan().SetHostedNetworkSettings("Configured", 31);
    EXPECT_EQ(manager->GetSsid(), L"Configured");
    Pc().faults.FailNext("WlanHostedNetworkQueryProperty#0", 5);
    EXPECT_EQ(manager->GetSsid(), L"");
    EXPECT_EQ(manager->GetKey(), L"");  // no key set yet
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(HostedNetworkTest, ManagerDestroyedWhileNotificationsArriveDoesNotCrash) {
    std::atomic<bool> done{false};
    std::jthread stations([this, &done] {
        std::uint8_t n = 0;
        while (!done) {
            Wlan().PeerJoin({0x02, 0, 0, 0, 0, n});
            Wlan().PeerLeave({0x02, 0, 0, 0, 0, n});
            Wlan().ChangeHostedNetworkState(
                n % 2 ? plat::kWlanHostedNetworkActive : plat::kWlanHostedNetworkIdle, 0);
            ++n;
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 50; ++i) {
        auto manager = Make();
        std::this_thread::yield();
    }
    RecordingCallback* none = nullptr;
    for (int i = 0; i < 20; ++i)
        CHostedNetworkManager manager(none);
    done = true;
    stations.join();
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(Wlan().Registrations(), 0u);
    // Nothing reaches the engine once the managers are gone.
    const std::size_t seen = m_callback.Events().size();
    Wlan().PeerJoin({0x02, 1, 1, 1, 1, 1});
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_EQ(m_callback.Events().size(), seen);
}

}  // namespace
