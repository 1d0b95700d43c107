#include "Wlan/AdHocMananger.h"

#include <cstring>
#include <memory>
#include <stop_token>

#include "Common/Interruption.h"
#include "WlanTestSupport.h"
#include "platform/common/RegistryStore.h"
#include "platform/text/GuidText.h"
#include "platform/winapi/LocalMemory.h"
#include "support/SimTest.h"

using wlantest::Guid;
using wlantest::Interface;

namespace {

const std::string kInterfacesKey = "SOFTWARE\\Microsoft\\WZCSVC\\Parameters\\Interfaces\\";

class AdHocTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().wlan.AddInterface(Interface(1, L"Intel PRO/Wireless"));
    }
    plat::SimWlan& Wlan() { return Pc().wlan; }
    std::unique_ptr<CAdHocMananger> Make() { return std::make_unique<CAdHocMananger>(nullptr); }

    // Windows XP without the Native Wi-Fi update: WZC only, with `count`
    // interfaces, each holding the given preferred list.
    void UseXpWithWzcOnly(plat::SimWindows version, int count,
                          const std::vector<plat::BYTE>& list = {}) {
        Pc().os.SetWindows(version);
        Wlan().RemoveLibrary();
        Pc().wzc.Install();
        for (int i = 1; i <= count; ++i) {
            plat::SimWzcInterface iface;
            iface.guidText = plat::GuidText::ToWString(Guid(static_cast<std::uint32_t>(i)));
            iface.preferredList = list;
            Pc().wzc.AddInterface(iface);
        }
    }
    std::vector<plat::WZC_WLAN_CONFIG> WzcList(std::uint32_t n, plat::ULONG* count = nullptr,
                                               plat::ULONG* index = nullptr) {
        plat::SimWzcInterface iface;
        EXPECT_TRUE(Pc().wzc.GetInterface(plat::GuidText::ToWString(Guid(n)), &iface));
        if (iface.preferredList.size() >= 8) {
            if (count != nullptr)
                std::memcpy(count, iface.preferredList.data(), 4);
            if (index != nullptr)
                std::memcpy(index, iface.preferredList.data() + 4, 4);
        }
        return plat::SimWzc::Entries(iface.preferredList);
    }
    static std::string Ssid(const plat::WZC_WLAN_CONFIG& e) {
        return std::string(reinterpret_cast<const char*>(e.Ssid.Ssid), e.Ssid.SsidLength);
    }
};

const std::wstring kProfileOnSeven =
    L"<?xml version=\"1.0\"?><WLANProfile "
    L"xmlns=\"http://www.microsoft.com/networking/WLAN/profile/v1\"><name>Lumari</name>"
    L"<SSIDConfig><SSID><name>Lumari</name></SSID></SSIDConfig>"
    L"<connectionType>IBSS</connectionType><MSM><security><authEncryption>"
    L"<authentication>open</authentication><encryption>none</encryption>"
    L"<useOneX>false</useOneX></authEncryption></security></MSM></WLANProfile>";

TEST_F(AdHocTest, ProfileXmlFollowsVersionAndKey) {
    EXPECT_EQ(CAdHocMananger::BuildProfileXml(L"Lumari", L""), kProfileOnSeven);

    const std::wstring wep = CAdHocMananger::BuildProfileXml(L"Lumari", L"12345ABCDE");
    EXPECT_NE(wep.find(L"<encryption>WEP</encryption><useOneX>false</useOneX></authEncryption>"
                       L"<sharedKey><keyType>networkKey</keyType><protected>false</protected>"
                       L"<keyMaterial>12345ABCDE</keyMaterial></sharedKey></security>"),
              std::wstring::npos);

    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    const std::wstring xp = CAdHocMananger::BuildProfileXml(L"Lumari", L"");
    EXPECT_NE(xp.find(L"><name>Lumari-adhoc</name><SSIDConfig><SSID><name>Lumari</name>"),
              std::wstring::npos);

    // Names and keys with XML's special characters stay well-formed.
    const std::wstring odd = CAdHocMananger::BuildProfileXml(L"Tom & <Jerry>", L"a\"b'c");
    EXPECT_NE(odd.find(L"<name>Tom &amp; &lt;Jerry&gt;</name>"), std::wstring::npos);
    EXPECT_NE(odd.find(L"<keyMaterial>a&quot;b&apos;c</keyMaterial>"), std::wstring::npos);
}

TEST_F(AdHocTest, StartOnSevenWritesTheProfileAndConnectsStopRemovesIt) {
    auto manager = Make();
    ASSERT_TRUE(manager->IsApiReady());
    EXPECT_EQ(manager->GetMode(), 2);
    ASSERT_EQ(manager->Init(), 0);
    EXPECT_TRUE(Log().Has("I adhoc if is :" + plat::GuidText::ToString(Guid(1))));
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    EXPECT_TRUE(manager->IsStarted());
    EXPECT_TRUE(Log().Has("I auto conf is on."));
    EXPECT_TRUE(Log().Has("I Ad hoc start succeed.0"));

    const auto profiles = Wlan().Profiles(Guid(1));
    ASSERT_EQ(profiles.size(), 1u);
    EXPECT_EQ(profiles.begin()->first, L"Lumari");
    EXPECT_EQ(profiles.begin()->second, kProfileOnSeven);
    const auto connects = Wlan().Connects();
    ASSERT_EQ(connects.size(), 1u);
    EXPECT_EQ(connects[0].iface, Guid(1));
    EXPECT_EQ(connects[0].mode, plat::kWlanConnectionModeProfile);
    EXPECT_EQ(connects[0].profile, L"Lumari");
    EXPECT_FALSE(connects[0].hasSsid);
    EXPECT_FALSE(connects[0].hasBssidList);
    EXPECT_EQ(connects[0].bssType, plat::kDot11BssTypeIndependent);
    EXPECT_EQ(connects[0].flags, 0u);
    plat::SimWlanInterface iface;
    ASSERT_TRUE(Wlan().GetInterface(Guid(1), &iface));
    EXPECT_EQ(iface.bssType, plat::kDot11BssTypeAny);
    EXPECT_EQ(Wlan().Disconnects().size(), 1u);  // disconnected before the profile is written
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_TRUE(Log().Has("I acm_connection_complete."));

    EXPECT_EQ(manager->StopAp(), 0);
    EXPECT_FALSE(manager->IsStarted());
    EXPECT_TRUE(Wlan().Profiles(Guid(1)).empty());
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_TRUE(Log().Has("I acm_disconnected."));
    manager.reset();
    EXPECT_EQ(Wlan().OpenHandles(), 0u);
    EXPECT_EQ(Wlan().Registrations(), 0u);
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(AdHocTest, XpWithTheNativeWifiUpdateNamesTheProfileWithTheAdhocSuffix) {
    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    Wlan().SetVersion(plat::SimWlanVersion::Xp);
    Pc().wzc.Install();
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    EXPECT_EQ(Wlan().Profiles(Guid(1)).count(L"Lumari-adhoc"), 1u);
    ASSERT_EQ(Wlan().Connects().size(), 1u);
    EXPECT_EQ(Wlan().Connects()[0].profile, L"Lumari-adhoc");
    EXPECT_EQ(manager->StopAp(), 0);
    EXPECT_EQ(Wlan().DeletedProfiles().back(), L"Lumari-adhoc");
}

TEST_F(AdHocTest, AutoConfigurationIsSwitchedOnWhenOff) {
    plat::SimWlanInterface off = Interface(1, L"Intel PRO/Wireless");
    off.autoConf = false;
    Wlan().UpdateInterface(Guid(1), off);
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WlanSetInterface#1", 5);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);  // the start goes on
    EXPECT_TRUE(Log().Has("W auto conf is off."));
    EXPECT_TRUE(Log().Has("E Enable auto conf failed ret5"));
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    plat::SimWlanInterface now;
    ASSERT_TRUE(Wlan().GetInterface(Guid(1), &now));
    EXPECT_TRUE(now.autoConf);
}

TEST_F(AdHocTest, ProfileFailureWithoutWzcFailsWith1008) {
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WlanSetProfile", 1206);
    EXPECT_EQ(manager->Start(L"Lumari", L"", 0), 1008);
    EXPECT_FALSE(manager->IsStarted());
    EXPECT_TRUE(Log().Has("E SetProfile failed 1206"));
    EXPECT_TRUE(Log().Has("E Connect failed 1008"));
    EXPECT_TRUE(Log().Has("E WZC failed 1008"));
    EXPECT_TRUE(Log().Has("E Ad hoc start failed.1008"));
    EXPECT_TRUE(Wlan().Connects().empty());
}

TEST_F(AdHocTest, ConnectFailureFallsBackToTheWzcList) {
    Pc().os.SetWindows(plat::SimWindows::XpSp3);
    Wlan().SetVersion(plat::SimWlanVersion::Xp);
    Pc().wzc.Install();
    plat::SimWzcInterface wzc;
    wzc.guidText = plat::GuidText::ToWString(Guid(1));
    Pc().wzc.AddInterface(wzc);
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WlanConnect", 5);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    EXPECT_TRUE(Log().Has("E Start Adhoc failed..ret5"));
    EXPECT_TRUE(Log().Has("I WZC succeed "));
    EXPECT_TRUE(Wlan().Profiles(Guid(1)).empty());  // the unused profile was deleted
    const auto list = WzcList(1);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(Ssid(list[0]), "Lumari");
}

// The preferred list sits at a different place of the interface record
// before and from XP service pack 3; both must come out the same.
class AdHocWzcListTest : public AdHocTest,
                         public ::testing::WithParamInterface<plat::SimWindows> {};

TEST_P(AdHocWzcListTest, AdHocEntryGoesFirstWithItsHexKey) {
    const auto policy = plat::SimWzc::Entry("Office", plat::kWzcCtlPolicy);
    const auto home = plat::SimWzc::Entry("Home", 0);
    const auto cafe = plat::SimWzc::Entry("Cafe", 0x11);
    UseXpWithWzcOnly(GetParam(), 1, plat::SimWzc::MakeList({policy, home, cafe}, 2));
    const std::size_t blocks = plat::LocalAllocOutstanding();
    {
        auto manager = Make();
        ASSERT_EQ(manager->Init(), 0);
        ASSERT_EQ(manager->Start(L"Lumari", L"0A1B2C3D4E", 0), 0);
        EXPECT_TRUE(manager->IsStarted());
    }
    EXPECT_EQ(plat::LocalAllocOutstanding(), blocks);

    plat::ULONG count = 0;
    plat::ULONG index = 0;
    const auto list = WzcList(1, &count, &index);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(index, 3u);
    const plat::WZC_WLAN_CONFIG& adhoc = list[0];
    EXPECT_EQ(adhoc.Length, 712u);
    EXPECT_EQ(adhoc.dwCtlFlags, 3u);
    EXPECT_EQ(Ssid(adhoc), "Lumari");
    EXPECT_EQ(adhoc.Privacy, plat::kWzcPrivacyWepEnabled);
    EXPECT_EQ(adhoc.InfrastructureMode, plat::kWzcInfrastructureIbss);
    EXPECT_EQ(adhoc.KeyIndex, 0u);
    EXPECT_EQ(adhoc.KeyLength, 5u);
    const plat::UCHAR key[5] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    EXPECT_EQ(std::memcmp(adhoc.KeyMaterial, key, 5), 0);
    EXPECT_EQ(adhoc.KeyMaterial[5], 0);
    // The old entries follow unchanged, policy entries marked volatile.
    EXPECT_EQ(Ssid(list[1]), "Office");
    EXPECT_EQ(list[1].dwCtlFlags, plat::kWzcCtlPolicy | plat::kWzcCtlVolatile);
    EXPECT_EQ(std::memcmp(&list[2], &home, sizeof home), 0);
    EXPECT_EQ(std::memcmp(&list[3], &cafe, sizeof cafe), 0);
}

INSTANTIATE_TEST_SUITE_P(ServicePacks, AdHocWzcListTest,
                         ::testing::Values(plat::SimWindows::XpSp2, plat::SimWindows::XpSp3),
                         [](const ::testing::TestParamInfo<plat::SimWindows>& param) {
                             return param.param == plat::SimWindows::XpSp2 ? "XpSp2" : "XpSp3";
                         });

TEST_F(AdHocTest, WzcEntryWithoutKeyIsOpenAndAnEmptyListGetsOneEntry) {
    UseXpWithWzcOnly(plat::SimWindows::XpSp2, 1);
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    plat::ULONG count = 0;
    plat::ULONG index = 0;
    const auto list = WzcList(1, &count, &index);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(list[0].dwCtlFlags, 0u);
    EXPECT_EQ(list[0].Privacy, plat::kWzcPrivacyWepDisabled);
    EXPECT_EQ(list[0].KeyLength, 0u);
}

TEST_F(AdHocTest, WzcRefusesAKeyThatIsNotTenHexDigits) {
    UseXpWithWzcOnly(plat::SimWindows::XpSp3, 1);
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    EXPECT_EQ(manager->Start(L"Lumari", L"password", 0), 1008);
    EXPECT_EQ(manager->Start(L"Lumari", L"0A1B2C3D4G", 0), 1008);
    EXPECT_EQ(Pc().faults.Calls("WZCSetInterface"), 0);
    EXPECT_TRUE(WzcList(1).empty());
    ASSERT_EQ(manager->Start(L"Lumari", L"0a1b2c3d4e", 0), 0);
    EXPECT_EQ(WzcList(1)[0].KeyMaterial[4], 0x4E);
}

TEST_F(AdHocTest, WzcFailuresAreLoggedAndFailTheStart) {
    UseXpWithWzcOnly(plat::SimWindows::XpSp3, 1);
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    Pc().faults.FailNext("WZCQueryInterface", 2);
    EXPECT_EQ(manager->Start(L"Lumari", L"", 0), 1008);
    EXPECT_TRUE(Log().Has("E QueryInterface failed 2"));
    const std::size_t blocks = plat::LocalAllocOutstanding();
    Pc().faults.FailNext("WZCSetInterface", 87);
    EXPECT_EQ(manager->Start(L"Lumari", L"", 0), 1008);
    EXPECT_TRUE(Log().Has("E SetInterface failed 87"));
    EXPECT_EQ(plat::LocalAllocOutstanding(), blocks);
}

TEST_F(AdHocTest, WzcInitTakesThePresetAdapterOrTheFirst) {
    UseXpWithWzcOnly(plat::SimWindows::XpSp2, 3);
    auto first = Make();
    ASSERT_EQ(first->Init(), 0);
    plat::GUID chosen{};
    first->GetAdapterGuid(&chosen);
    EXPECT_EQ(chosen, Guid(1));
    EXPECT_TRUE(Log().Has("I adhoc wzc if: " + plat::GuidText::ToString(Guid(1))));

    auto second = Make();
    second->SetAdapterGuid(Guid(2));
    ASSERT_EQ(second->Init(), 0);
    second->GetAdapterGuid(&chosen);
    EXPECT_EQ(chosen, Guid(2));
    ASSERT_EQ(second->Start(L"Lumari", L"", 0), 0);
    EXPECT_EQ(WzcList(2).size(), 1u);
    EXPECT_TRUE(WzcList(1).empty());

    auto missing = Make();
    missing->SetAdapterGuid(Guid(9));
    EXPECT_EQ(missing->Init(), 1002);
    EXPECT_EQ(missing->Start(L"Lumari", L"", 0), 1002);
}

TEST_F(AdHocTest, WzcInitReportsNoInterfaceAndEnumerationFailures) {
    UseXpWithWzcOnly(plat::SimWindows::XpSp2, 0);
    auto manager = Make();
    EXPECT_EQ(manager->Init(), 1001);
    Pc().faults.FailNext("WZCEnumInterfaces", 1062);
    EXPECT_EQ(manager->Init(), 1062);
    EXPECT_TRUE(Log().Has("E WZCEnumInterface failed 1062"));
}

TEST_F(AdHocTest, WithoutEitherLibraryTheApiIsNotReady) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    Wlan().RemoveLibrary();
    auto manager = Make();
    EXPECT_FALSE(manager->IsApiReady());
    EXPECT_TRUE(Log().Has("E WlanApi init failed."));
    EXPECT_TRUE(Log().Has("E WzcApi init failed."));
    EXPECT_TRUE(Log().Has("E Adhoc init failed."));
    EXPECT_EQ(manager->Init(), 50);
}

TEST_F(AdHocTest, WlanInitTakesThePresetAdapterAndSkipsRadiosThatAreOff) {
    plat::SimWlanInterface first = Interface(1, L"Intel PRO/Wireless");
    first.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOn, plat::kDot11RadioStateOff}};
    Wlan().UpdateInterface(Guid(1), first);
    Wlan().AddInterface(Interface(2, L"Atheros"));
    Wlan().AddInterface(Interface(3, L"Ralink"));

    auto any = Make();
    EXPECT_EQ(any->Init(), 0);
    EXPECT_TRUE(Log().Has("E interface hard radio off:Intel PRO/Wireless"));
    plat::GUID chosen{};
    any->GetAdapterGuid(&chosen);
    EXPECT_EQ(chosen, Guid(2));

    auto preset = Make();
    preset->SetAdapterGuid(Guid(3));
    EXPECT_EQ(preset->Init(), 0);
    preset->GetAdapterGuid(&chosen);
    EXPECT_EQ(chosen, Guid(3));

    auto missing = Make();
    missing->SetAdapterGuid(Guid(9));
    EXPECT_EQ(missing->Init(), 1003);  // the radio problem met on the way is what is left
    EXPECT_EQ(missing->Start(L"Lumari", L"", 0), 1002);

    plat::SimWlanInterface stuck = Interface(2, L"Atheros");
    stuck.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOff, plat::kDot11RadioStateOn}};
    stuck.softRadioSetError = 5;
    Wlan().UpdateInterface(Guid(2), stuck);
    auto soft = Make();
    soft->SetAdapterGuid(Guid(2));
    EXPECT_EQ(soft->Init(), 1004);
    EXPECT_TRUE(Log().Has("E turn on soft radio failed, interfaceAtheros return :5"));
}

TEST_F(AdHocTest, WlanInitWithoutInterfacesTriesTheAdapters) {
    Wlan().ClearInterfaces();
    auto manager = Make();
    std::stop_source stop;
    stop.request_stop();
    CInterruption::Scope scope(stop.get_token());
    EXPECT_EQ(manager->Init(), 1001);  // no adapter to enable, so no sleep
    EXPECT_TRUE(Log().Has("E EnumWlanInterface find no interface"));
    EXPECT_TRUE(Log().Has("I Try EnableAllWirelessAdapter"));
    EXPECT_TRUE(Log().Has("E EnumWlanInterface find no interface:"));

    plat::SimDevice adapter;
    adapter.id = "USB\\VID_148F&PID_3070\\1";
    adapter.wireless = true;
    Pc().devices.Add(adapter);
    EXPECT_EQ(manager->Init(), 1000);
}

TEST_F(AdHocTest, ControlFlagsAreSetWithTheServiceStoppedAndStartedAgain) {
    const std::string key = kInterfacesKey + plat::GuidText::ToString(Guid(1));
    Pc().registry.CreateKey(plat::RegRoot::LocalMachine, key);
    Pc().registry.SetValue(plat::RegRoot::LocalMachine, key, "ControlFlags",
                           plat::RegistryStore::Dword(0x0001));
    Pc().services.Set("WzcSvc", plat::SimService{4, 2, true, true});
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    plat::RegValue value;
    ASSERT_EQ(Pc().registry.QueryValue(plat::RegRoot::LocalMachine, key, "ControlFlags", &value),
              0);
    EXPECT_EQ(value.type, plat::kRegDword);
    ASSERT_EQ(value.data.size(), 4u);
    plat::DWORD flags = 0;
    std::memcpy(&flags, value.data.data(), 4);
    EXPECT_EQ(flags, 0x8001u);
    EXPECT_EQ(Pc().services.Log(), (std::vector<std::string>{"StopServiceByName(WzcSvc)",
                                                             "StartServiceByName(WzcSvc)"}));
    EXPECT_TRUE(Log().Has("I Not Use wzc."));
    EXPECT_TRUE(Log().Has("I Set ControlFlags succeed."));
    EXPECT_FALSE(Log().Has("E Enable use wzc failed."));

    // Already managed by WZC: nothing to do.
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    EXPECT_EQ(Pc().services.Log().size(), 2u);
}

TEST_F(AdHocTest, ControlFlagsStayWhenTheServiceWillNotStop) {
    const std::string key = kInterfacesKey + plat::GuidText::ToString(Guid(1));
    Pc().registry.CreateKey(plat::RegRoot::LocalMachine, key);
    Pc().registry.SetValue(plat::RegRoot::LocalMachine, key, "ControlFlags",
                           plat::RegistryStore::Dword(0));
    Pc().services.Set("WzcSvc", plat::SimService{4, 2, true, false});
    auto manager = Make();
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);  // logged, the start goes on
    EXPECT_TRUE(Log().Has("E Enable use wzc failed."));
    plat::RegValue value;
    ASSERT_EQ(Pc().registry.QueryValue(plat::RegRoot::LocalMachine, key, "ControlFlags", &value),
              0);
    EXPECT_EQ(value.data, plat::RegistryStore::Dword(0).data);
    EXPECT_EQ(Pc().services.Log(), (std::vector<std::string>{"StopServiceByName(WzcSvc)"}));
}

TEST_F(AdHocTest, NotificationsOnlyLog) {
    auto manager = Make();
    Wlan().SetConnectReason(0x28002);
    ASSERT_EQ(manager->Init(), 0);
    ASSERT_EQ(manager->Start(L"Lumari", L"", 0), 0);
    Wlan().Notify(plat::kWlanNotificationSourceHnwk, plat::kWlanHostedNetworkStateChange,
                  plat::GUID{}, std::vector<plat::BYTE>(12));
    Wlan().Notify(plat::kWlanNotificationSourceMsm, 7, Guid(1), {});
    ASSERT_TRUE(Wlan().WaitDelivered());
    EXPECT_TRUE(Log().Has("W acm_connection_complete failed."));
    EXPECT_TRUE(DebugHas("[Lumari] notify source: 128, code: 4096\n"));
    EXPECT_FALSE(DebugHas("[Lumari] notify source: 16, code: 7\n"));
}

}  // namespace
