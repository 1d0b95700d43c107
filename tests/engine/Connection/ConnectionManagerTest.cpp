#include "Connection/ConnectionManager.h"

#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "ConnectionTestSupport.h"
#include "platform/winapi/Win32Api.h"
#include "support/SimTest.h"

namespace {

using conntest::Adapter;
using conntest::Addresses;
using conntest::GuidOf;

std::string Dec(std::uint32_t hr) {
    return std::to_string(static_cast<std::int32_t>(hr));
}

class ConnectionManagerTest : public SimTest {
protected:
    plat::DWORD Add(const plat::AdapterInfo& a) { return Pc().network.AddAdapter(a); }
    // Runs `body` on a thread of its own while the clock moves on, until it ends.
    template <class F>
    auto WithClock(F body) {
        auto done = std::async(std::launch::async, body);
        Pc().clock.AdvanceUntil(
            [&] { return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            std::chrono::minutes(5));
        return done.get();
    }
    // The simulated PC is a Windows one: the first way of setting an address
    // runs netsh, the second calls WMI's EnableStatic.
    void FailBothWays() {
        Pc().faults.FailAlways("CreateProcess", 2);
        Pc().faults.FailAlways("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    }
    void ClearFaults() {
        Pc().faults.Clear("CreateProcess");
        Pc().faults.Clear("EnableStatic");
    }
    CConnectionManager manager;
};

TEST_F(ConnectionManagerTest, MergesTheFolderWithTheAdapterTableAndLogsEachRecord) {
    const plat::DWORD lan = Add(Adapter("LAN", {"10.0.0.5"}));
    Add(Adapter("Wi-Fi", {}, plat::kIfTypeWifi));
    plat::AdapterInfo loopback = Adapter("Loopback", {"127.0.0.1"}, plat::kIfTypeLoopback);
    Add(loopback);

    ASSERT_TRUE(manager.Init());

    const auto list = manager.Connections();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->name(), L"LAN");
    EXPECT_EQ(list[0]->deviceName(), L"LAN adapter");
    EXPECT_EQ(list[0]->status(), plat::kNcsConnected);
    EXPECT_EQ(list[0]->mediaType(), plat::kNcmLan);
    EXPECT_EQ(list[0]->ifIndex(), static_cast<int>(lan));
    EXPECT_EQ(list[0]->ipAddresses(), std::vector<std::string>{"10.0.0.5"});
    EXPECT_EQ(list[0]->mac(), L"00-1C-42-0A-0B-03");
    EXPECT_EQ(list[1]->ifType(), plat::kIfTypeWifi);
    // The quotation mark before the device name is never closed.
    EXPECT_TRUE(Log().Has("I index:" + std::to_string(lan) +
                          " connection:\"LAN\" dev:\"LAN adapter guid:" +
                          plat::GuidText::ToString(GuidOf("LAN")) + " mediatype:3 status:2"));
    // Every properties record went back through netshell.
    EXPECT_EQ(Pc().connections.LiveProperties(), 0);
    EXPECT_EQ(Pc().connections.BadFrees(), 0);
    EXPECT_EQ(Pc().com.LiveObjects(), 0);
}

TEST_F(ConnectionManagerTest, WithoutTheFolderRecordsComeFromTheAdapterTableAlone) {
    struct Case {
        const char* hook;
        std::uint32_t hr;
        std::string line;
    };
    const Case cases[] = {
        {"CoInitializeEx", 0x80004005u, "I CoInitializeEx failed:" + Dec(0x80004005u)},
        {"CoCreateInstance(ConnectionManager)", 0x80040154u,
         "I CoCreateInstance failed:" + Dec(0x80040154u)},
        {"EnumConnections", 0x80070005u, "I EnumConnections failed:" + Dec(0x80070005u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hook);
        Pc().network.AddAdapter(Adapter("LAN", {"10.0.0.5"}));
        Pc().faults.FailNext(c.hook, static_cast<std::int32_t>(c.hr));
        Log().Clear();

        EXPECT_TRUE(manager.RefreshConnections());

        EXPECT_TRUE(Log().Has(c.line));
        const auto list = manager.Connections();
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->name(), L"");
        EXPECT_EQ(list[0]->guid(), GuidOf("LAN"));  // Windows 7: the adapter's GUID
        EXPECT_TRUE(Log().HasMessage(
            "index:" + std::to_string(list[0]->ifIndex()) + " connection:\"\" dev:\" guid:" +
            plat::GuidText::ToString(GuidOf("LAN")) + " mediatype:0 status:0"));
    }
    EXPECT_EQ(Pc().com.LiveObjects(), 0);
}

TEST_F(ConnectionManagerTest, AdapterOnlyRecordsOnXpHaveNoGuidAndStayApart) {
    Pc().os.SetWindows(plat::SimWindows::XpSp2);
    plat::AdapterInfo a = Adapter("A", {"10.0.0.1"});
    plat::AdapterInfo b = Adapter("B", {"10.0.1.1"});
    a.friendlyName.clear();
    b.friendlyName.clear();
    Add(a);
    Add(b);
    Pc().faults.FailNext("CoCreateInstance(ConnectionManager)",
                         static_cast<std::int32_t>(0x80040154u));

    ASSERT_TRUE(manager.RefreshConnections());

    // Two adapters without a name are two records, each with its own addresses.
    const auto list = manager.Connections();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->guid(), plat::GUID_NULL_);
    EXPECT_EQ(list[0]->ipAddresses(), std::vector<std::string>{"10.0.0.1"});
    EXPECT_EQ(list[1]->ipAddresses(), std::vector<std::string>{"10.0.1.1"});
}

TEST_F(ConnectionManagerTest, ComSetUpOutcomesThatDoNotStopTheFolder) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    // A thread already in a single-threaded apartment keeps it.
    ASSERT_EQ(Pc().com.CoInitializeEx(plat::kCoinitApartmentThreaded), plat::kSOk);
    Pc().faults.FailNext("CoInitializeSecurity", static_cast<std::int32_t>(0x80070005u));

    ASSERT_TRUE(manager.RefreshConnections());

    EXPECT_TRUE(Log().Has("I CoInitializeSecurity return 80070005"));
    EXPECT_EQ(manager.Connections().at(0)->name(), L"LAN");

    // The process security is fixed now: a second refresh accepts RPC_E_TOO_LATE silently.
    Log().Clear();
    ASSERT_TRUE(manager.RefreshConnections());
    EXPECT_FALSE(Log().HasMessage("CoInitializeSecurity return 80010119"));
    EXPECT_EQ(manager.Connections().at(0)->name(), L"LAN");
}

TEST_F(ConnectionManagerTest, AConnectionWhosePropertiesFailIsKeptFromTheAdapterTable) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    Add(Adapter("WAN", {"172.16.0.2"}));
    Pc().faults.FailNext("GetProperties", static_cast<std::int32_t>(0x80004005u));
    Pc().faults.FailNext("GetProperties", 0);  // S_OK without a record

    ASSERT_TRUE(manager.RefreshConnections());

    EXPECT_TRUE(Log().Has("I GetProperties failed:" + Dec(0x80004005u)));
    EXPECT_TRUE(Log().Has("I GetProperties failed:0"));
    const auto list = manager.Connections();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->name(), L"");
    EXPECT_EQ(list[0]->ipAddresses(), std::vector<std::string>{"10.0.0.5"});
}

TEST_F(ConnectionManagerTest, WithoutNetshellThePropertiesStayAllocated) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    Pc().connections.RemoveNetshell();

    EXPECT_TRUE(manager.Init());

    EXPECT_TRUE(Log().Has("E NSModInit failed:" + Dec(0x8007007Eu)));
    EXPECT_EQ(manager.Connections().at(0)->name(), L"LAN");
    EXPECT_EQ(Pc().connections.LiveProperties(), 1);
    EXPECT_EQ(Pc().modules.LoadCount(L"netshell.dll"), 0);
}

TEST_F(ConnectionManagerTest, NetshellWithoutTheFunctionIsUnloadedAgain) {
    Pc().modules.RemoveFunction(L"netshell.dll", "NcFreeNetconProperties");

    EXPECT_TRUE(manager.Init());

    EXPECT_TRUE(Log().Has("E NSModInit failed:" + Dec(0x8007007Fu)));
    EXPECT_EQ(Pc().modules.LoadCount(L"netshell.dll"), 0);
}

TEST_F(ConnectionManagerTest, UnreadableAdapterTableFailsTheRefreshButKeepsTheFolder) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    Pc().faults.FailNext("GetAdaptersAddresses", 8);

    EXPECT_FALSE(manager.Init());

    const auto list = manager.Connections();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->name(), L"LAN");
    EXPECT_EQ(list[0]->ifIndex(), CNetConProperty::kNoIndex);
}

TEST_F(ConnectionManagerTest, BestInterfaceComesFirstAndBringsItsDnsServers) {
    plat::AdapterInfo wan = Adapter("WAN", {"192.168.1.20"});
    wan.dns = {"192.168.1.1", "8.8.8.8"};
    wan.gateway = "192.168.1.1";
    Add(Adapter("Tunnel", {"10.8.0.2"}, plat::kIfTypeTunnel));
    const plat::DWORD index = Add(wan);
    Pc().network.SetBestInterface(index);

    plat::GUID guid{};
    std::string dns = "stale";
    // The list is empty: the lookup reads it first.
    ASSERT_TRUE(manager.GetBestOutInterface("1.2.3.4", &guid, &dns));

    EXPECT_EQ(guid, GuidOf("WAN"));
    EXPECT_EQ(dns, "192.168.1.1,8.8.8.8");
    EXPECT_TRUE(Log().Has("I GetBestInterface to 1.2.3.4"));
    EXPECT_TRUE(Log().Has("I Best interface index: " + std::to_string(index)));
}

TEST_F(ConnectionManagerTest, WithoutARouteConnectedTunnelsThenDialUpThenPppoeAreChosen) {
    plat::AdapterInfo pppoe = Adapter("PPPoE", {"100.64.0.9"}, plat::kIfTypePpp);
    plat::AdapterInfo dialup = Adapter("Modem", {"100.64.1.9"}, plat::kIfTypePpp);
    plat::AdapterInfo vpn = Adapter("VPN", {"10.8.0.2"}, plat::kIfTypeTunnel);
    Add(Adapter("LAN", {"10.0.0.5"}));
    Add(pppoe);
    Add(dialup);
    Add(vpn);
    Pc().connections.SetMediaType(pppoe.guid, plat::kNcmPppoe);
    Pc().connections.SetMediaType(dialup.guid, plat::kNcmPhone);
    Pc().faults.FailAlways("GetBestInterface", 1231);
    plat::SetLastError(0);  // the log shows the thread's last error as it stands

    plat::GUID guid{};
    std::string dns;
    ASSERT_TRUE(manager.GetBestOutInterface("8.8.8.8", &guid, &dns));
    EXPECT_EQ(guid, vpn.guid);
    EXPECT_TRUE(Log().Has("E GetBestInterface failed return: 1231 error: 0"));
    EXPECT_TRUE(
        Log().Has("E GetBestInterface failed return: 1231 error: 0 out address:114.114.114.114"));
    EXPECT_EQ(dns, "");

    Pc().connections.SetStatus(vpn.guid, plat::kNcsDisconnected);
    manager.RefreshConnections();
    ASSERT_TRUE(manager.GetBestOutInterface("8.8.8.8", &guid, &dns));
    EXPECT_EQ(guid, dialup.guid);

    Pc().connections.SetStatus(dialup.guid, plat::kNcsDisconnected);
    manager.RefreshConnections();
    ASSERT_TRUE(manager.GetBestOutInterface("8.8.8.8", &guid, &dns));
    EXPECT_EQ(guid, pppoe.guid);

    // Nothing connected that qualifies: false, outputs untouched.
    Pc().connections.SetStatus(pppoe.guid, plat::kNcsMediaDisconnected);
    manager.RefreshConnections();
    guid = plat::GUID_NULL_;
    dns = "keep";
    EXPECT_FALSE(manager.GetBestOutInterface("8.8.8.8", &guid, &dns));
    EXPECT_EQ(guid, plat::GUID_NULL_);
    EXPECT_EQ(dns, "keep");
    Pc().faults.Clear("GetBestInterface");
}

TEST_F(ConnectionManagerTest, ARouteToNoKnownRecordFallsThroughToTheTunnel) {
    Add(Adapter("VPN", {"10.8.0.2"}, plat::kIfTypeTunnel));
    Pc().network.SetBestInterface(999);

    plat::GUID guid{};
    std::string dns;
    ASSERT_TRUE(manager.GetBestOutInterface("8.8.8.8", &guid, &dns));
    EXPECT_EQ(guid, GuidOf("VPN"));
}

TEST_F(ConnectionManagerTest, SetIpMovesPastTakenSubnets) {
    Add(Adapter("AP"));
    Add(Adapter("LAN", {"192.168.23.7"}));
    std::string ip = "192.168.23.1";

    ASSERT_TRUE(manager.SetIp(GuidOf("AP"), ip, true));
    EXPECT_EQ(ip, "192.168.24.1");
    EXPECT_EQ(Addresses(Pc(), "AP"), std::vector<std::string>{"192.168.24.1"});
    EXPECT_TRUE(Log().Has("I CConnectionManager::SetIp succeed:192.168.24.1"));

    // A third adapter on the next subnet too.
    Add(Adapter("Docker", {"192.168.24.9"}));
    manager.RefreshConnections();
    ip = "192.168.23.1";
    ASSERT_TRUE(manager.SetIp(GuidOf("AP"), ip, true));
    EXPECT_EQ(ip, "192.168.25.1");
    EXPECT_EQ(Addresses(Pc(), "AP"), std::vector<std::string>{"192.168.25.1"});
}

TEST_F(ConnectionManagerTest, SetIpCarriesPastTheLastSubnetAndStops) {
    Add(Adapter("AP"));
    Add(Adapter("LAN", {"192.168.255.7"}));
    std::string ip = "192.168.255.1";

    ASSERT_TRUE(manager.SetIp(GuidOf("AP"), ip, false));
    EXPECT_EQ(ip, "192.168.0.2");
    EXPECT_TRUE(Log().Has("I No check ip"));
}

TEST_F(ConnectionManagerTest, SetIpOnAnAdapterThatAlreadyCarriesTheAddressSetsNothing) {
    Add(Adapter("AP", {"192.168.23.1"}));
    std::string ip = "192.168.23.1";

    ASSERT_TRUE(manager.SetIp(GuidOf("AP"), ip, true));
    EXPECT_TRUE(Pc().processes.History().empty());
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 0);
    EXPECT_TRUE(Log().Has("I CheckIP Expected ip:192.168.23.1 Current ip:192.168.23.1"));
}

TEST_F(ConnectionManagerTest, WithoutTheCheckAFailedSettingEndsAfterOneAttempt) {
    Add(Adapter("AP"));
    FailBothWays();
    std::string ip = "192.168.23.1";

    EXPECT_FALSE(manager.SetIp(GuidOf("AP"), ip, false));

    // Both ways of setting the address (netsh, then WMI) were tried once, nothing more.
    EXPECT_EQ(Pc().faults.Calls("CreateProcess"), 1);
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 1);
    EXPECT_EQ(ip, "192.168.23.1");
    EXPECT_TRUE(Log().Has("E set ip failed:192.168.23.1"));
    EXPECT_TRUE(Log().Has("I No check ip"));
    EXPECT_EQ(Pc().clock.Elapsed(), std::chrono::nanoseconds(0));
    ClearFaults();
}

TEST_F(ConnectionManagerTest, AnAddressNotConfirmedMovesToTheNextSubnetOnTheNextAttempt) {
    Add(Adapter("AP"));
    manager.RefreshConnections();
    // The first attempt's two settings fail; the second attempt's first one works.
    Pc().faults.FailNext("CreateProcess", 2);
    Pc().faults.FailNext("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    std::string ip = "192.168.23.1";

    const bool ok = WithClock([&] { return manager.SetIp(GuidOf("AP"), ip, true); });

    EXPECT_TRUE(ok);
    EXPECT_EQ(ip, "192.168.24.1");
    EXPECT_EQ(Addresses(Pc(), "AP"), std::vector<std::string>{"192.168.24.1"});
    // Five checks 400 ms apart before the address moved on.
    EXPECT_EQ(Pc().clock.Elapsed(), std::chrono::milliseconds(2000));
    EXPECT_TRUE(Log().Has("E Get ip failed!!"));
    // The second attempt used the second way only after the first failed... and
    // the first succeeded: netsh twice, WMI once.
    EXPECT_EQ(Pc().faults.Calls("CreateProcess"), 2);
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 1);
}

TEST_F(ConnectionManagerTest, AnAddressNeverConfirmedGivesUpAfterFiveAttempts) {
    Add(Adapter("AP"));
    manager.RefreshConnections();
    FailBothWays();
    std::string ip = "192.168.23.1";

    const bool ok = WithClock([&] { return manager.SetIp(GuidOf("AP"), ip, true); });

    EXPECT_FALSE(ok);
    EXPECT_EQ(ip, "192.168.28.1");
    EXPECT_EQ(Pc().faults.Calls("CreateProcess"), 5);
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 5);
    EXPECT_EQ(Pc().clock.Elapsed(), std::chrono::milliseconds(5 * 5 * 400));
    EXPECT_FALSE(Log().HasMessage("CConnectionManager::SetIp succeed:192.168.28.1"));
    ClearFaults();
}

TEST_F(ConnectionManagerTest, SetIpOnAnUnknownAdapterRefreshesOnceAndFails) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    manager.RefreshConnections();
    const int lists = Pc().faults.Calls("GetAdaptersAddresses");
    std::string ip = "192.168.23.1";

    EXPECT_FALSE(manager.SetIp(GuidOf("Gone"), ip, true));

    EXPECT_EQ(Pc().faults.Calls("GetAdaptersAddresses"), lists + 1);
    EXPECT_TRUE(Log().Has("E can't find interface:" + plat::GuidText::ToString(GuidOf("Gone"))));
}

TEST_F(ConnectionManagerTest, EnableDhcpReturnsTheAdapterToAutomaticAddressing) {
    Add(Adapter("AP", {"192.168.23.1"}));
    manager.RefreshConnections();

    manager.EnableDhcp(GuidOf("Gone"));
    EXPECT_TRUE(
        Log().Has("E EnableDhcp can't find interface:" + plat::GuidText::ToString(GuidOf("Gone"))));
    EXPECT_TRUE(Pc().processes.History().empty());
    EXPECT_EQ(Pc().faults.Calls("EnableDHCP"), 0);

    manager.EnableDhcp(GuidOf("AP"));
    EXPECT_TRUE(Addresses(Pc(), "AP").empty());
    EXPECT_TRUE(Log().Has("I set interface AP ip "));
}

TEST_F(ConnectionManagerTest, GetDnsJoinsTheServersOrLeavesTheStringAlone) {
    plat::AdapterInfo wan = Adapter("WAN", {"192.168.1.20"});
    wan.dns = {"192.168.1.1", "8.8.8.8"};
    Add(wan);
    Add(Adapter("LAN", {"10.0.0.5"}));

    std::string out = "keep";
    ASSERT_TRUE(manager.GetDns(GuidOf("WAN"), out));
    EXPECT_EQ(out, "192.168.1.1,8.8.8.8");

    out = "keep";
    EXPECT_FALSE(manager.GetDns(GuidOf("LAN"), out));
    EXPECT_FALSE(manager.GetDns(GuidOf("Gone"), out));
    Pc().faults.FailNext("GetPerAdapterInfo", 232);
    EXPECT_FALSE(manager.GetDns(GuidOf("WAN"), out));
    EXPECT_EQ(out, "keep");
}

TEST_F(ConnectionManagerTest, RecordsHandedOutOutliveARefresh) {
    Add(Adapter("LAN", {"10.0.0.5"}));
    auto held = manager.FindConnection(GuidOf("LAN"));
    ASSERT_TRUE(held);
    Pc().network.RemoveAdapter(GuidOf("LAN"));

    manager.RefreshConnections();

    EXPECT_FALSE(manager.FindConnection(GuidOf("LAN")));
    EXPECT_EQ(held->name(), L"LAN");
    EXPECT_EQ(held->ipAddresses(), std::vector<std::string>{"10.0.0.5"});
}

TEST_F(ConnectionManagerTest, NamesOfAnyLengthAndScriptArriveWhole) {
    // A name far longer than any buffer, with characters outside the code page
    // and outside the basic plane.
    std::wstring name(5000, L'n');
    name += L"\u00E9\u4E2D\U0001F600";
    plat::AdapterInfo a = Adapter("Odd", {"10.0.0.5"});
    a.friendlyName = name;
    a.description = L"\u05D0";
    Add(a);

    ASSERT_TRUE(manager.RefreshConnections());

    const auto list = manager.Connections();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->name(), name);
    EXPECT_EQ(list[0]->deviceName(), L"\u05D0");
    EXPECT_EQ(list[0]->ipAddresses(), std::vector<std::string>{"10.0.0.5"});
}

}  // namespace
