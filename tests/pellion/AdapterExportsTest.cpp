// Adapter addressing and neighbour queries through the exports, on the
// simulated Windows PC: the address goes through netsh, the second way through
// WMI, both answered by the simulated PC as Windows answers them.
#include <gtest/gtest.h>

#include "DhcpPacket.h"
#include "pellion/NetshCommand.h"
#include "pellion/Pellion.h"
#include "pellion/WmiAdapterConfig.h"
#include "platform/common/RegistryStore.h"
#include "platform/text/GuidText.h"
#include "support/SimTest.h"

using dhcptest::Ip;

namespace {

class AdapterExportsTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        plat::AdapterInfo a;
        a.guid = m_guid;
        a.name = "wlan0";
        a.ipv4.push_back({"192.168.1.20", "255.255.255.0"});
        a.gateway = "192.168.1.1";
        a.dns = {"", "8.8.4.4"};
        Pc().network.AddAdapter(a);
    }
    plat::AdapterInfo Adapter() {
        plat::AdapterInfo a;
        EXPECT_TRUE(Pc().network.FindAdapter(m_guid, &a));
        return a;
    }
    const plat::GUID m_guid = plat::GuidText::FromName("wlan0");
    const plat::GUID m_unknown = plat::GuidText::FromName("nothing");
};

TEST_F(AdapterExportsTest, StaticAddressIsSetReadBackAndRemoved) {
    ASSERT_EQ(SetInterfaceIp(&m_guid, "192.168.137.1", "255.255.255.0", nullptr), 1);
    std::uint32_t ip = 0, mask = 0, gateway = 1;
    ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
    EXPECT_EQ(ip, Ip(192, 168, 137, 1));
    EXPECT_EQ(mask, Ip(255, 255, 255, 0));
    EXPECT_EQ(gateway, 0u);

    ASSERT_EQ(SetInterfaceIp(&m_guid, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
    EXPECT_EQ(ip, 0u);
    EXPECT_TRUE(Adapter().ipv4.empty());

    const std::uint32_t numeric = Ip(10, 0, 0, 7), numericMask = Ip(255, 0, 0, 0),
                        numericGateway = Ip(10, 0, 0, 1);
    ASSERT_EQ(SetInterfaceIpAddress(&m_guid, &numeric, &numericMask, &numericGateway), 1);
    ASSERT_EQ(GetInterfaceIp(&m_guid, &ip, &mask, &gateway), 1);
    EXPECT_EQ(ip, numeric);
    EXPECT_EQ(mask, numericMask);
    EXPECT_EQ(gateway, numericGateway);
}

TEST_F(AdapterExportsTest, AddressOperationsRefuseBadArguments) {
    EXPECT_EQ(SetInterfaceIp(nullptr, "192.168.137.1", "255.255.255.0", nullptr), 0);
    EXPECT_EQ(SetInterfaceIp(&m_unknown, "192.168.137.1", "255.255.255.0", nullptr), 0);
    EXPECT_EQ(SetInterfaceIp(&m_guid, "192.168.137", "255.255.255.0", nullptr), 0);
    EXPECT_EQ(Adapter().ipv4.at(0).ip, "192.168.1.20") << "a refused call changes nothing";
    std::uint32_t ip = 0;
    EXPECT_EQ(GetInterfaceIp(&m_unknown, &ip, nullptr, nullptr), 0);
    EXPECT_EQ(GetInterfaceIp(nullptr, &ip, nullptr, nullptr), 0);
    // The command interpreter cannot be started.
    Pc().faults.FailNext("CreateProcess", 2);
    EXPECT_EQ(SetInterfaceIp(&m_guid, "192.168.137.1", "255.255.255.0", nullptr), 0);
    // The connection is gone from the adapter table: netsh refuses its name.
    Pc().network.RemoveAdapter(m_guid);
    EXPECT_EQ(SetInterfaceIp(&m_guid, "192.168.137.1", "255.255.255.0", nullptr), 0);
}

TEST_F(AdapterExportsTest, OnWindowsTheFirstWayRunsNetshAndTheSecondWmi) {
    ASSERT_EQ(SetInterfaceIp(&m_guid, "192.168.137.1", "255.255.255.0", nullptr), 1);
    ASSERT_EQ(SetInterfaceDns(&m_guid, "114.114.114.114"), 1);
    EXPECT_EQ(Pc().processes.History(),
              (std::vector<std::string>{
                  "cmd.exe /c netsh interface ip set address \"wlan0\" static 192.168.137.1 "
                  "255.255.255.0",
                  "cmd.exe /c netsh interface ip set dnsservers  \"wlan0\" static "
                  "114.114.114.114 "}));
    ASSERT_EQ(SetInterfaceIp2(&m_guid, "192.168.137.2", nullptr, nullptr), 1);
    EXPECT_EQ(Pc().adapterConfig.WmiAddress(plat::GuidText::ToString(m_guid)), "192.168.137.2");
    EXPECT_EQ(Pc().processes.History().size(), 2u);
}

TEST_F(AdapterExportsTest, SecondWaySetsTheAdapterTableAsWell) {
    EXPECT_EQ(SetInterfaceIp2(nullptr, "192.168.137.1", nullptr, nullptr), 0);
    ASSERT_EQ(SetInterfaceIp2(&m_guid, "192.168.137.1", nullptr, "192.168.137.254"), 1);
    EXPECT_EQ(Adapter().ipv4.at(0).ip, "192.168.137.1");
    EXPECT_EQ(Adapter().ipv4.at(0).mask, "255.255.255.0");
    EXPECT_EQ(Adapter().gateway, "192.168.137.254");
    ASSERT_EQ(SetInterfaceIp2(&m_guid, nullptr, nullptr, nullptr), 1);
    EXPECT_TRUE(Adapter().ipv4.empty());
    Pc().faults.FailNext("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_EQ(SetInterfaceIp2(&m_guid, "192.168.137.1", nullptr, nullptr), 0);
    EXPECT_EQ(SetInterfaceIp2(&m_unknown, "192.168.137.1", nullptr, nullptr), 0);
}

// The Windows build's WMI calls, against the simulated PC's configuration.
TEST_F(AdapterExportsTest, WmiConfigurationReportsWhatItAnswered) {
    const std::string settingId = plat::GuidText::ToString(m_guid);
    ASSERT_TRUE(
        pellion::WmiAdapterConfig::SetAddress(m_guid, "192.168.137.1", nullptr, "192.168.137.254"));
    EXPECT_EQ(Pc().adapterConfig.WmiAddress(settingId), "192.168.137.1");
    ASSERT_TRUE(pellion::WmiAdapterConfig::SetAddress(m_guid, nullptr, nullptr, nullptr));
    EXPECT_EQ(Pc().adapterConfig.WmiAddress(settingId), "");
    Pc().faults.FailNext("EnableStatic", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_FALSE(pellion::WmiAdapterConfig::SetAddress(m_guid, "192.168.137.1", nullptr, nullptr));
    Pc().faults.FailNext("SetGateways", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_FALSE(
        pellion::WmiAdapterConfig::SetAddress(m_guid, "192.168.137.1", nullptr, "192.168.137.254"));
    Pc().faults.FailNext("EnableDHCP", static_cast<std::int64_t>(plat::kEFail));
    EXPECT_FALSE(pellion::WmiAdapterConfig::SetAddress(m_guid, nullptr, nullptr, nullptr));
}

TEST_F(AdapterExportsTest, DnsServersAreSetAndTheFirstOneRead) {
    std::uint32_t dns = 0;
    ASSERT_EQ(GetInterfaceDns(&m_guid, &dns), 1);
    EXPECT_EQ(dns, Ip(8, 8, 4, 4)) << "empty entries are skipped";
    ASSERT_EQ(SetInterfaceDns(&m_guid, "114.114.114.114,8.8.8.8"), 1);
    EXPECT_EQ(Adapter().dns, (std::vector<std::string>{"114.114.114.114", "8.8.8.8"}));
    ASSERT_EQ(GetInterfaceDns(&m_guid, &dns), 1);
    EXPECT_EQ(dns, Ip(114, 114, 114, 114));
    EXPECT_EQ(SetInterfaceDns(&m_guid, "none"), 0);
    EXPECT_EQ(GetInterfaceDns(&m_unknown, &dns), 0);
}

TEST_F(AdapterExportsTest, NeighbourQueries) {
    Pc().network.AddNeighbour({10, Ip(192, 168, 23, 9), {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}});
    Pc().network.AddNeighbour({10, Ip(192, 168, 23, 4), {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}});
    EXPECT_EQ(GetIpByMac("00-1a-2b-3c-4d-5e"), Ip(192, 168, 23, 4))
        << "first row of the sorted table";
    EXPECT_EQ(GetIpByMac("00-1A-2B-3C-4D-5F"), 0u);
    EXPECT_EQ(GetIpByMac(nullptr), 0u);
    Pc().faults.FailNext("GetIpNetTable", 122);
    EXPECT_EQ(GetIpByMac("00-1A-2B-3C-4D-5E"), 0u);

    Pc().network.SetPingable(Ip(192, 168, 23, 4), true);
    EXPECT_EQ(Ping(Ip(192, 168, 23, 4), 100), 1);
    EXPECT_EQ(Ping(Ip(192, 168, 23, 5), 100), 0);
}

// A client that left keeps an invalid row for its former address, and a
// missing host of the hotspot's own subnet gets a reply from the system
// itself ("destination host unreachable"): neither is an answer of the client.
TEST_F(AdapterExportsTest, FormerAddressesAndTheSystemsOwnRepliesAreNoAnswers) {
    plat::AdapterInfo ap;
    ap.guid = plat::GuidText::FromName("hotspot");
    ap.ipv4.push_back({"192.168.137.1", "255.255.255.0"});
    Pc().network.AddAdapter(ap);
    plat::NeighbourRow gone{10, Ip(192, 168, 137, 7), {0x02, 0x11, 0x22, 0x33, 0x44, 0x55}};
    gone.type = plat::kNeighbourInvalid;
    Pc().network.AddNeighbour(gone);
    EXPECT_EQ(GetIpByMac("02-11-22-33-44-55"), 0u);
    plat::NeighbourRow now{10, Ip(192, 168, 137, 9), {0x02, 0x11, 0x22, 0x33, 0x44, 0x55}};
    Pc().network.AddNeighbour(now);
    EXPECT_EQ(GetIpByMac("02-11-22-33-44-55"), Ip(192, 168, 137, 9));

    EXPECT_EQ(Ping(Ip(192, 168, 137, 7), 100), 0);
    Pc().network.SetPingable(Ip(192, 168, 137, 9), true);
    EXPECT_EQ(Ping(Ip(192, 168, 137, 9), 100), 1);
}

TEST_F(AdapterExportsTest, HostnameReportsLengthAndCopiesOnlyWhenItFits) {
    Pc().network.SetReverseName(Ip(192, 168, 23, 4), "android-1234");
    char name[32] = "untouched";
    int len = 12;  // the name's length: too short for the terminator
    ASSERT_EQ(GetHostname("192.168.23.4", name, &len), 1);
    EXPECT_EQ(len, 12);
    EXPECT_STREQ(name, "untouched");
    len = 13;
    ASSERT_EQ(GetHostname("192.168.23.4", name, &len), 1);
    EXPECT_EQ(len, 12);
    EXPECT_STREQ(name, "android-1234");
    EXPECT_EQ(GetHostname("192.168.23.5", name, &len), 0);
    EXPECT_EQ(GetHostname("192.168.23.4", name, nullptr), 0);
    EXPECT_EQ(GetHostname("not an address", name, &len), 0);
}

// The Windows build's command lines, run against the simulated PC's registry
// and its netsh.
class NetshCommandTest : public AdapterExportsTest {
protected:
    void SetUp() override {
        AdapterExportsTest::SetUp();
        plat::AdapterInfo a = Adapter();
        a.friendlyName = L"Wireless Network Connection 2";
        Pc().network.AddAdapter(a);
    }
    std::vector<std::string> History() { return Pc().processes.History(); }
};

TEST_F(NetshCommandTest, AddressCommandsNameTheConnection) {
    EXPECT_TRUE(pellion::NetshCommand::SetAddress(m_guid, "192.168.137.1", "255.255.255.0",
                                                  "192.168.137.254"));
    EXPECT_TRUE(pellion::NetshCommand::SetAddress(m_guid, nullptr, nullptr, nullptr));
    EXPECT_TRUE(pellion::NetshCommand::SetDnsServers(m_guid, {"114.114.114.114", "8.8.8.8"}));
    EXPECT_EQ(History(), (std::vector<std::string>{
                             "cmd.exe /c netsh interface ip set address \"Wireless Network "
                             "Connection 2\" static 192.168.137.1 255.255.255.0 192.168.137.254",
                             "cmd.exe /c netsh interface ip set address \"Wireless Network "
                             "Connection 2\" dhcp",
                             "cmd.exe /c netsh interface ip set dnsservers  \"Wireless Network "
                             "Connection 2\" static 114.114.114.114 ",
                             "cmd.exe /c netsh interface ip add dnsservers \"Wireless Network "
                             "Connection 2\" 8.8.8.8 index=2",
                         }));
    EXPECT_TRUE(Adapter().ipv4.empty());
    EXPECT_EQ(Adapter().dns, (std::vector<std::string>{"114.114.114.114", "8.8.8.8"}));
    ASSERT_TRUE(pellion::NetshCommand::SetAddress(m_guid, "192.168.137.1", "255.255.255.0",
                                                  "192.168.137.254"));
    EXPECT_EQ(Adapter().ipv4.at(0).ip, "192.168.137.1");
    EXPECT_EQ(Adapter().gateway, "192.168.137.254");
    // netsh refuses a mask with holes, and the address stays.
    EXPECT_FALSE(pellion::NetshCommand::SetAddress(m_guid, "10.0.0.1", "255.0.255.0", nullptr));
    EXPECT_EQ(Adapter().ipv4.at(0).ip, "192.168.137.1");
}

TEST_F(NetshCommandTest, TheSimulatedNetshAnswersAsWindowsDoes) {
    auto run = [&](const std::string& line) { return Pc().processes.Run(line); };
    plat::ProcessResult r = run("cmd.exe /c netsh interface ip set address \"Nowhere\" dhcp");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, "The filename, directory name, or volume label syntax is incorrect.\r\n");
    r =
        run("cmd.exe /c netsh interface ip set address \"wireless network connection 2\" static "
            "10.0.0.300 255.0.0.0");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output,
              "Invalid address parameter (10.0.0.300). It should be a valid IPv4 "
              "address.\r\n");
    r =
        run("cmd.exe /c netsh interface ip set address \"Wireless Network Connection 2\" static "
            "10.0.0.3");
    EXPECT_EQ(r.exitCode, 1u);
    r = run("cmd.exe /c netsh interface ip show config");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, "The following command was not found: interface ip show config.\r\n");
    r = run("cmd.exe /c ipconfig /all");
    EXPECT_EQ(r.exitCode, 1u);
    r =
        run("cmd.exe /c netsh interface ip add dnsservers \"Wireless Network Connection 2\" "
            "1.1.1.1 index=1");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(Adapter().dns, (std::vector<std::string>{"1.1.1.1", "", "8.8.4.4"}));
    r =
        run("cmd.exe /c netsh interface ip add dnsservers \"Wireless Network Connection 2\" "
            "8.8.4.4");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.output, "The object already exists.\r\n");
}

TEST_F(NetshCommandTest, NothingRunsForUnknownAdaptersOrTextThatIsNoAddress) {
    EXPECT_FALSE(pellion::NetshCommand::SetAddress(m_unknown, "192.168.137.1", nullptr, nullptr));
    EXPECT_FALSE(
        pellion::NetshCommand::SetAddress(m_guid, "1.2.3.4 & del c:\\x", nullptr, nullptr));
    EXPECT_FALSE(pellion::NetshCommand::SetAddress(m_guid, "1.2.3.4", "255.0.0.0\" x", nullptr));
    EXPECT_FALSE(pellion::NetshCommand::SetDnsServers(m_guid, {"8.8.8.8 & x"}));
    EXPECT_TRUE(History().empty());
}

}  // namespace
