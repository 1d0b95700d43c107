#include "Wlan/WlanApi.h"

#include <cstring>

#include "WlanTestSupport.h"
#include "platform/text/TextCodec.h"
#include "support/SimTest.h"

using wlantest::Guid;
using wlantest::Interface;

namespace {

class WlanApiTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        Pc().wlan.AddInterface(Interface(1, L"Intel Wireless"));
    }
    plat::SimWlan& Wlan() { return Pc().wlan; }
};

TEST_F(WlanApiTest, OnXpTheHostedNetworkEntriesStayUnboundAndAnswer50WithoutCalling) {
    Pc().os.SetWindows(plat::SimWindows::XpSp3);  // the library itself has every function
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    EXPECT_NE(api.WlanEnumInterfaces, nullptr);
    EXPECT_EQ(api.WlanGetInterfaceCapability, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkInitSettings, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkForceStart, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkStopUsing, nullptr);

    plat::DWORD reason = 7;
    EXPECT_EQ(api.ForceStartHostedNetwork(&reason), 50u);
    EXPECT_EQ(api.ForceStopHostedNetwork(&reason), 50u);
    EXPECT_EQ(api.EnableHostedNetwork(true), 50u);
    EXPECT_EQ(api.SetHostedNetworkSsid("abc"), 50u);
    EXPECT_EQ(api.SetHostedNetworkKey("12345678"), 50u);
    plat::WLAN_HOSTED_NETWORK_STATE state = 9;
    EXPECT_EQ(api.QueryHostedNetworkState(&state), 50u);
    EXPECT_EQ(state, 9u);
    EXPECT_FALSE(api.IsHostedNetworkEnabled());
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkForceStart"), 0);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkSetProperty"), 0);
    EXPECT_TRUE(Log().Has("E pointer 0 is NULL"));
    // XP clients ask for version 1 of the interface.
    EXPECT_EQ(Wlan().OpenHandles(), 1u);
}

TEST_F(WlanApiTest, VistaBindsTheCapabilityQueryButNoHostedNetwork) {
    Pc().os.SetWindows(plat::SimWindows::Vista);
    Wlan().SetVersion(plat::SimWlanVersion::Vista);
    WlanApi api;
    ASSERT_TRUE(api.Load());
    EXPECT_NE(api.WlanGetInterfaceCapability, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkForceStart, nullptr);
}

TEST_F(WlanApiTest, SevenLibraryMissingAHostedFunctionLogsItAndStillLoads) {
    Pc().modules.RemoveFunction(L"wlanapi.dll", "WlanHostedNetworkForceStop");
    WlanApi api;
    ASSERT_TRUE(api.Load());
    EXPECT_NE(api.WlanHostedNetworkForceStart, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkForceStop, nullptr);
    EXPECT_TRUE(Log().Has("E pointer 0 is NULL"));
    ASSERT_EQ(api.OpenHandle(), 0u);
    plat::DWORD reason = 0;
    EXPECT_EQ(api.ForceStopHostedNetwork(&reason), 50u);
    EXPECT_EQ(api.ForceStartHostedNetwork(&reason), 0u);
}

TEST_F(WlanApiTest, MissingLibraryFailsTheLoad) {
    Wlan().RemoveLibrary();
    WlanApi api;
    EXPECT_FALSE(api.Load());
    EXPECT_TRUE(Log().Has("E load wlanapi.dll failed error:126"));
    EXPECT_EQ(api.OpenHandle(), 50u);
    EXPECT_TRUE(api.IsHardRadioOn(Guid(1)));
    EXPECT_FALSE(api.IsAutoConfEnabled(Guid(1)));
    EXPECT_EQ(api.ReasonCodeToString(1), L"unknow");
}

TEST_F(WlanApiTest, SecondLoadKeepsTheBindingAndUnloadReleasesEverything) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    const auto firstEnum = api.WlanEnumInterfaces;
    const auto module = api.hModule;
    ASSERT_TRUE(api.Load());
    EXPECT_EQ(api.hModule, module);
    EXPECT_EQ(api.WlanEnumInterfaces, firstEnum);
    EXPECT_EQ(Pc().modules.LoadCount(L"wlanapi.dll"), 1);

    ASSERT_EQ(api.OpenHandle(), 0u);
    api.Unload();
    EXPECT_EQ(Pc().modules.LoadCount(L"wlanapi.dll"), 0);
    EXPECT_EQ(Wlan().OpenHandles(), 0u);
    EXPECT_EQ(api.hClient, nullptr);
    EXPECT_EQ(api.WlanOpenHandle, nullptr);
    EXPECT_EQ(api.WlanHostedNetworkStopUsing, nullptr);
}

TEST_F(WlanApiTest, BindingReleasesLibraryAndHandleWhenDestroyed) {
    {
        WlanApi api;
        ASSERT_TRUE(api.Load());
        ASSERT_EQ(api.OpenHandle(), 0u);
    }
    EXPECT_EQ(Pc().modules.LoadCount(L"wlanapi.dll"), 0);
    EXPECT_EQ(Wlan().OpenHandles(), 0u);
}

TEST_F(WlanApiTest, OpenHandleClosesTheOpenOneFirst) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    const plat::HANDLE first = api.hClient;
    ASSERT_EQ(api.OpenHandle(), 0u);
    EXPECT_NE(api.hClient, first);
    EXPECT_EQ(Wlan().OpenHandles(), 1u);
    EXPECT_EQ(Pc().faults.Calls("WlanCloseHandle"), 1);
    std::vector<plat::WLAN_INTERFACE_INFO> list;
    EXPECT_EQ(api.EnumInterfaces(&list), 0u);
}

TEST_F(WlanApiTest, EnumInterfacesCopiesEveryEntryAndFreesTheList) {
    Wlan().AddInterface(Interface(2, L"Atheros AR9285"));
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    std::vector<plat::WLAN_INTERFACE_INFO> list;
    ASSERT_EQ(api.EnumInterfaces(&list), 0u);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].InterfaceGuid, Guid(2));
    EXPECT_EQ(plat::TextCodec::FromWchars(list[1].strInterfaceDescription, 256), L"Atheros AR9285");
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(WlanApiTest, RadioQueriesLookAtEveryPhyAndErrTowardsOn) {
    plat::SimWlanInterface two = Interface(2, L"Dual band");
    two.phys = {plat::SimWlanPhy{},
                plat::SimWlanPhy{plat::kDot11RadioStateOff, plat::kDot11RadioStateOn}};
    Wlan().AddInterface(two);
    plat::SimWlanInterface hardOff = Interface(3, L"Switched off");
    hardOff.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOn, plat::kDot11RadioStateOff}};
    Wlan().AddInterface(hardOff);
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);

    EXPECT_FALSE(api.IsSoftRadioOn(Guid(2)));
    EXPECT_TRUE(api.IsHardRadioOn(Guid(2)));
    EXPECT_FALSE(api.IsHardRadioOn(Guid(3)));
    EXPECT_TRUE(api.IsSoftRadioOn(Guid(3)));

    Pc().faults.FailNext("WlanQueryInterface", 1168);
    EXPECT_TRUE(api.IsHardRadioOn(Guid(3)));
    EXPECT_TRUE(Log().Has("E WlanApi::IsHardRadioOn failed..return:1168"));
    Pc().faults.FailNext("WlanQueryInterface", 5);
    EXPECT_TRUE(api.IsSoftRadioOn(Guid(2)));
    EXPECT_TRUE(Log().Has("E WlanApi::IsSoftRadioOn failed..return:5"));
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(WlanApiTest, TurnOnSoftRadioSetsEveryPhyAndAnswersTheLastCall) {
    plat::SimWlanInterface two = Interface(2, L"Dual band");
    two.phys = {plat::SimWlanPhy{plat::kDot11RadioStateOff, plat::kDot11RadioStateOn},
                plat::SimWlanPhy{plat::kDot11RadioStateOff, plat::kDot11RadioStateOn}};
    Wlan().AddInterface(two);
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    ASSERT_EQ(api.TurnOnSoftRadio(Guid(2)), 0u);
    EXPECT_TRUE(api.IsSoftRadioOn(Guid(2)));
    const auto sets = Wlan().Sets();
    ASSERT_EQ(sets.size(), 2u);
    plat::WLAN_PHY_RADIO_STATE second{};
    ASSERT_EQ(sets[1].data.size(), sizeof second);
    std::memcpy(&second, sets[1].data.data(), sizeof second);
    EXPECT_EQ(second.dwPhyIndex, 1u);
    EXPECT_EQ(second.dot11SoftwareRadioState, plat::kDot11RadioStateOn);

    Pc().faults.FailNext("WlanSetInterface#4", 0);  // the first PHY succeeds...
    Pc().faults.FailNext("WlanSetInterface#4", 5);  // ...the last one decides
    EXPECT_EQ(api.TurnOnSoftRadio(Guid(2)), 5u);
}

TEST_F(WlanApiTest, InterfaceSettingsReachTheSystemAndFailuresAreLogged) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    plat::WLAN_INTERFACE_STATE state = 99;
    ASSERT_EQ(api.GetInterfaceState(Guid(1), &state), 0u);
    EXPECT_EQ(state, plat::kWlanInterfaceDisconnected);
    EXPECT_EQ(api.GetInterfaceState(Guid(5), &state), 1168u);  // no such interface

    ASSERT_EQ(api.SetOperationMode(Guid(1), plat::kDot11OperationModeNetworkMonitor), 0u);
    ASSERT_EQ(api.SetBssType(Guid(1)), 0u);
    plat::SimWlanInterface now;
    ASSERT_TRUE(Wlan().GetInterface(Guid(1), &now));
    EXPECT_EQ(now.operationMode, plat::kDot11OperationModeNetworkMonitor);
    EXPECT_EQ(now.bssType, plat::kDot11BssTypeAny);

    Pc().faults.FailNext("WlanSetInterface#12", 5);
    EXPECT_EQ(api.SetOperationMode(Guid(1), plat::kDot11OperationModeExtensibleStation), 5u);
    EXPECT_TRUE(Log().Has("E WlanApi::SetOperationMode failed..return:5"));
    Pc().faults.FailNext("WlanSetInterface#1", 5);
    EXPECT_EQ(api.EnableAutoConf(Guid(1)), 5u);
    EXPECT_TRUE(Log().Has("E WlanApi::EnableAutoConf failed..return:5"));
    Pc().faults.FailNext("WlanQueryInterface#1", 5);
    EXPECT_FALSE(api.IsAutoConfEnabled(Guid(1)));
    EXPECT_TRUE(Log().Has("E WlanApi::IsAutoConfEnabled failed..return:5"));
    EXPECT_TRUE(api.IsAutoConfEnabled(Guid(1)));
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(WlanApiTest, HostedNetworkCapabilityAcceptsOneAndAllBitsSet) {
    plat::SimWlanInterface i = Interface(1, L"Intel Wireless");
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    i.hostedNetworkCapable = -1;
    Wlan().UpdateInterface(Guid(1), i);
    EXPECT_TRUE(api.IsHostedNetworkCapable(Guid(1)));
    EXPECT_TRUE(Log().Has("I Support result-1"));
    i.hostedNetworkCapable = 2;
    Wlan().UpdateInterface(Guid(1), i);
    EXPECT_FALSE(api.IsHostedNetworkCapable(Guid(1)));
    i.hostedNetworkCapable = 1;
    Wlan().UpdateInterface(Guid(1), i);
    EXPECT_TRUE(api.IsHostedNetworkCapable(Guid(1)));
    Pc().faults.FailNext("WlanQueryInterface#15", 87);
    EXPECT_FALSE(api.IsHostedNetworkCapable(Guid(1)));
}

TEST_F(WlanApiTest, SsidOfThirtyTwoBytesFillsTheFieldAndLongerIsRefused) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    const std::string ssid32(32, 'S');
    ASSERT_EQ(api.SetHostedNetworkSsid(ssid32), 0u);
    const auto settings = Wlan().HostedNetworkSettings();
    EXPECT_EQ(settings.hostedNetworkSSID.uSSIDLength, 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(settings.hostedNetworkSSID.ucSSID), 32),
              ssid32);
    EXPECT_EQ(settings.dwMaxNumberOfPeers, 31u);
    std::string back;
    ASSERT_EQ(api.QueryHostedNetworkSsid(&back), 0u);
    EXPECT_EQ(back, ssid32);

    const int calls = Pc().faults.Calls("WlanHostedNetworkSetProperty");
    EXPECT_EQ(api.SetHostedNetworkSsid(std::string(33, 'L')), 87u);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkSetProperty"), calls);
    EXPECT_EQ(Wlan().HostedNetworkSettings().hostedNetworkSSID.uSSIDLength, 32u);
}

TEST_F(WlanApiTest, KeyIsAPersistentPassPhraseWithItsTerminator) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    ASSERT_EQ(api.SetHostedNetworkKey("secret-key"), 0u);
    const auto key = Wlan().SecondaryKey();
    ASSERT_EQ(key.size(), 11u);
    EXPECT_EQ(key.back(), 0);
    EXPECT_TRUE(Wlan().SecondaryKeyIsPassPhrase());
    EXPECT_TRUE(Wlan().SecondaryKeyPersistent());
    std::string back;
    ASSERT_EQ(api.QueryHostedNetworkKey(&back), 0u);
    EXPECT_EQ(back, "secret-key");
    EXPECT_EQ(api.SetHostedNetworkKey("short"), 87u);  // the system wants 8 to 63 characters
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
}

TEST_F(WlanApiTest, EnablingInitialisesTheSettingsOnlyAfterTheEnableSucceeded) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    Pc().faults.FailNext("WlanHostedNetworkSetProperty", 5);
    EXPECT_EQ(api.EnableHostedNetwork(false), 5u);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkInitSettings"), 0);
    EXPECT_TRUE(api.IsHostedNetworkEnabled());
    EXPECT_EQ(api.EnableHostedNetwork(false), 0u);
    EXPECT_EQ(Pc().faults.Calls("WlanHostedNetworkInitSettings"), 1);
    EXPECT_FALSE(api.IsHostedNetworkEnabled());
}

TEST_F(WlanApiTest, HostedNetworkStatusGivesStateDeviceAndPeersWithoutLeaking) {
    Wlan().SetHostedNetworkDevice(Guid(77));
    WlanApi api;
    ASSERT_TRUE(api.Load());
    ASSERT_EQ(api.OpenHandle(), 0u);
    plat::DWORD reason = 0;
    ASSERT_EQ(api.ForceStartHostedNetwork(&reason), 0u);
    Wlan().PeerJoin({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
    Wlan().PeerJoin({0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    plat::WLAN_HOSTED_NETWORK_STATE state = 0;
    ASSERT_EQ(api.QueryHostedNetworkState(&state), 0u);
    EXPECT_EQ(state, plat::kWlanHostedNetworkActive);
    plat::GUID device{};
    ASSERT_EQ(api.GetHostedNetworkIfGuid(&device), 0u);
    EXPECT_EQ(device, Guid(77));
    std::vector<plat::WLAN_HOSTED_NETWORK_PEER_STATE> peers;
    ASSERT_EQ(api.QueryHostedNetworkPeers(&peers), 0u);
    ASSERT_EQ(peers.size(), 2u);
    EXPECT_EQ(peers[1].PeerMacAddress[0], 0xAA);
    EXPECT_EQ(peers[1].PeerAuthState, plat::kWlanHostedNetworkPeerStateAuthenticated);
    Wlan().SetStationProfile(L"<WLANProfile/>");
    std::wstring profile;
    ASSERT_EQ(api.QueryStationProfile(&profile), 0u);
    EXPECT_EQ(profile, L"<WLANProfile/>");
    EXPECT_EQ(Wlan().OutstandingAllocations(), 0u);
    EXPECT_EQ(Wlan().BadFrees(), 0u);
}

TEST_F(WlanApiTest, ReasonTextComesFromTheSystemOrIsUnknow) {
    WlanApi api;
    ASSERT_TRUE(api.Load());
    EXPECT_EQ(api.ReasonCodeToString(0), L"The operation was successful.");
    Pc().faults.FailNext("WlanReasonCodeToString", 87);
    EXPECT_EQ(api.ReasonCodeToString(0), L"unknow");
}

}  // namespace
