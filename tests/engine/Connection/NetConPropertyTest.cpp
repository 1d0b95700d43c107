#include "Connection/NetConProperty.h"

#include <gtest/gtest.h>

#include "ConnectionTestSupport.h"
#include "support/SimTest.h"

namespace {

using conntest::Adapter;
using conntest::Addresses;

class NetConPropertyTest : public SimTest {};

TEST_F(NetConPropertyTest, MacTextHasSixGroupsForEthernetAndEightOtherwise) {
    EXPECT_EQ(CNetConProperty::FormatMac({0x00, 0x1c, 0x42, 0xab, 0xcd, 0xef}),
              L"00-1C-42-AB-CD-EF");
    EXPECT_EQ(CNetConProperty::FormatMac({0, 0, 0, 0, 0, 0, 0, 0xe0}), L"00-00-00-00-00-00-00-E0");
    // A tunnel without a hardware address, and one longer than the field.
    EXPECT_EQ(CNetConProperty::FormatMac({}), L"00-00-00-00-00-00-00-00");
    EXPECT_EQ(CNetConProperty::FormatMac({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}),
              L"01-02-03-04-05-06-07-08");

    plat::AdapterInfo tunnel = Adapter("Teredo", {}, plat::kIfTypeTunnel);
    tunnel.mac = {0, 0, 0, 0, 0, 0, 0, 0xe0};
    CNetConProperty record(tunnel);
    EXPECT_EQ(record.mac(), L"00-00-00-00-00-00-00-E0");
}

TEST_F(NetConPropertyTest, CheckIpReportsAnAdapterWithoutAddress) {
    const plat::AdapterInfo a = Adapter("AP");
    Pc().network.AddAdapter(a);
    CNetConProperty record(a);

    EXPECT_FALSE(record.CheckIP("192.168.23.1"));
    EXPECT_TRUE(Log().Has("E Get ip failed!!"));

    Pc().network.SetStaticAddress(a.guid, "192.168.23.1", "255.255.255.0", nullptr);
    EXPECT_TRUE(record.CheckIP("192.168.23.1"));
    EXPECT_FALSE(record.CheckIP("192.168.23.10"));
    EXPECT_TRUE(Log().Has("I CheckIP Expected ip:192.168.23.10 Current ip:192.168.23.1"));
}

TEST_F(NetConPropertyTest, AnEmptyAddressAsksBothWaysForAutomaticAddressing) {
    const plat::AdapterInfo a = Adapter("AP", {"192.168.23.1"});
    Pc().network.AddAdapter(a);
    CNetConProperty record(a);

    EXPECT_TRUE(record.SetInterfaceAddress("", "255.255.255.0", "", false));

    EXPECT_EQ(Pc().processes.History(),
              std::vector<std::string>{"cmd.exe /c netsh interface ip set address \"AP\" dhcp"});
    EXPECT_EQ(Pc().faults.Calls("EnableDHCP"), 1);
    EXPECT_TRUE(Addresses(Pc(), "AP").empty());
    EXPECT_TRUE(Log().Has("I set ip succeed:"));
}

TEST_F(NetConPropertyTest, ARetryUsesTheSecondWayOnlyAfterTheFirstFailed) {
    const plat::AdapterInfo a = Adapter("AP");
    Pc().network.AddAdapter(a);
    CNetConProperty record(a);

    EXPECT_TRUE(record.SetInterfaceAddress("192.168.23.1", "255.255.255.0", "", true));
    EXPECT_EQ(Pc().faults.Calls("CreateProcess"), 1);
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 0);

    Pc().faults.FailNext("CreateProcess", 2);
    EXPECT_TRUE(record.SetInterfaceAddress("192.168.23.1", "255.255.255.0", "", true));
    EXPECT_EQ(Pc().faults.Calls("CreateProcess"), 2);
    EXPECT_EQ(Pc().faults.Calls("EnableStatic"), 1);

    Pc().faults.FailNext("CreateProcess", 2);
    Pc().faults.FailNext("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_FALSE(record.SetInterfaceAddress("192.168.23.1", "255.255.255.0", "", true));
    EXPECT_TRUE(Log().Has("E set ip failed:192.168.23.1"));
    EXPECT_TRUE(Log().Has("I set interface  ip 192.168.23.1"));  // a record without a name
}

TEST_F(NetConPropertyTest, FlowIsInKilobytesAndAFailureGoesToTheDebugger) {
    const plat::AdapterInfo a = Adapter("AP", {"192.168.23.1"});
    const plat::DWORD index = Pc().network.AddAdapter(a);
    Pc().network.SetCounters(index, 5 * 1024 + 1023, 2048);
    CNetConProperty record(a);
    record.RefreshAddresses();

    std::uint64_t in = 0, out = 0;
    ASSERT_TRUE(record.GetFlow(in, out));
    EXPECT_EQ(in, 5u);
    EXPECT_EQ(out, 2u);

    Pc().faults.FailNext("GetIfEntry", 1168);
    EXPECT_FALSE(record.GetFlow(in, out));
    EXPECT_TRUE(DebugHas("GetFlow failed 1168\n"));
}

TEST_F(NetConPropertyTest, RefreshKeepsThePreviousValuesWhenTheTableCannotBeRead) {
    plat::AdapterInfo a = Adapter("AP", {"192.168.23.1"});
    Pc().network.AddAdapter(a);
    CNetConProperty record(a);
    a.ipv4 = {{"192.168.24.1", "255.255.255.0"}};
    Pc().network.AddAdapter(a);

    Pc().faults.FailNext("GetAdaptersAddresses", 8);
    record.RefreshAddresses();
    EXPECT_EQ(record.ipAddresses(), std::vector<std::string>{"192.168.23.1"});

    record.RefreshAddresses();
    EXPECT_EQ(record.ipAddresses(), std::vector<std::string>{"192.168.24.1"});
}

}  // namespace
