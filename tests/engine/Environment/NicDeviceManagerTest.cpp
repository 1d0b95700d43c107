#include "Environment/NicDeviceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SimTest.h"

namespace {

using Ids = std::vector<std::string>;

const char kVirtual7[] = "{5d624f94-8850-40c3-a3fa-a4fd2080baf3}\\vwifimp";
const char kVirtual8[] = "{5d624f94-8850-40c3-a3fa-a4fd2080baf3}\\vwifimp_sap";

plat::SimDevice Device(const std::string& id, bool wireless, bool enabled) {
    plat::SimDevice d;
    d.id = id;
    d.wireless = wireless;
    d.enabled = enabled;
    return d;
}

class NicDeviceManagerTest : public SimTest {
protected:
    CNicDeviceManager& Manager() { return *CNicDeviceManager::GetInstance(); }
};

TEST_F(NicDeviceManagerTest, ReadsEveryIdUpToTheEmptyString) {
    Pc().devices.Add(Device("PCI\\VEN_8086&DEV_1502\\1", false, true));
    Pc().devices.Add(Device("USB\\VID_148F&PID_3070\\2", true, true));
    Pc().devices.Add(Device("PCI\\VEN_168C&DEV_002B\\3", true, false));

    ASSERT_TRUE(Manager().GetAllAdapters());

    EXPECT_EQ(Manager().Adapters(), (Ids{"PCI\\VEN_8086&DEV_1502\\1", "USB\\VID_148F&PID_3070\\2",
                                         "PCI\\VEN_168C&DEV_002B\\3"}));
    EXPECT_EQ(Manager().GetWirelessAdapterCount(), 2);
}

TEST_F(NicDeviceManagerTest, ListLargerThanTheFirstBufferIsReadFromTheSecondCall) {
    // Sixty 100-character ids need more than the 5200 bytes of the first call.
    Ids expected;
    for (int i = 0; i < 60; ++i) {
        std::string id = "ROOT\\NET\\" + std::to_string(1000 + i);
        id.resize(100, 'x');
        expected.push_back(id);
        Pc().devices.Add(Device(id, i % 2 == 0, true));
    }

    ASSERT_TRUE(Manager().GetAllAdapters());

    EXPECT_EQ(Pc().faults.Calls("EnumDevice"), 2);
    EXPECT_EQ(Manager().Adapters(), expected);
    EXPECT_EQ(Manager().GetWirelessAdapterCount(), 30);
}

TEST_F(NicDeviceManagerTest, EnumerationFailureIsReportedAndLogged) {
    Pc().devices.Add(Device("PCI\\1", true, true));
    Pc().faults.FailNext("EnumDevice", 5);

    EXPECT_FALSE(Manager().GetAllAdapters());
    EXPECT_TRUE(Log().Has("E EnumDevice failed, return 5"));
    EXPECT_TRUE(Manager().Adapters().empty());
}

TEST_F(NicDeviceManagerTest, RepeatedEnumerationDoesNotListDevicesTwice) {
    Pc().devices.Add(Device("PCI\\1", true, true));
    Pc().devices.Add(Device("PCI\\2", false, true));

    ASSERT_TRUE(Manager().GetAllAdapters());
    ASSERT_TRUE(Manager().GetAllAdapters());
    EXPECT_TRUE(Manager().HasWirelessAdapter());

    EXPECT_EQ(Manager().Adapters(), (Ids{"PCI\\1", "PCI\\2"}));
    EXPECT_EQ(Manager().GetWirelessAdapterCount(), 1);
}

TEST_F(NicDeviceManagerTest, EnablesEveryWirelessAdapterAndOnlyThose) {
    Pc().devices.Add(Device("PCI\\WIRED", false, false));
    Pc().devices.Add(Device("PCI\\WIFI-ON", true, true));
    plat::SimDevice off = Device("USB\\WIFI-OFF", true, false);
    off.needRestart = true;
    Pc().devices.Add(off);

    EXPECT_TRUE(Manager().EnableAllWirelessAdapter());

    // The already enabled adapter is passed as well; the wired one never.
    EXPECT_EQ(Pc().devices.Calls("EnableDevice"), (Ids{"PCI\\WIFI-ON", "USB\\WIFI-OFF"}));
    EXPECT_FALSE(Log().HasMessage("WirlessAdapter: PCI\\WIFI-ON is disable"));
    EXPECT_TRUE(Log().Has("I WirlessAdapter: USB\\WIFI-OFF is disable"));
    EXPECT_TRUE(Log().Has("I WirlessAdapter: PCI\\WIFI-ON Enabled succeed."));
    EXPECT_TRUE(Log().Has("I WirlessAdapter: USB\\WIFI-OFF Enabled succeed need restart."));
    plat::SimDevice now;
    ASSERT_TRUE(Pc().devices.Find("USB\\WIFI-OFF", &now));
    EXPECT_TRUE(now.enabled);
}

TEST_F(NicDeviceManagerTest, EnableFailureIsLoggedAndTheWalkGoesOn) {
    Pc().devices.Add(Device("PCI\\A", true, false));
    Pc().devices.Add(Device("PCI\\B", true, false));
    Pc().faults.FailNext("EnableDevice", 0);

    EXPECT_TRUE(Manager().EnableAllWirelessAdapter());

    EXPECT_TRUE(Log().Has("I WirlessAdapter: PCI\\A Enabled failed."));
    EXPECT_TRUE(Log().Has("I WirlessAdapter: PCI\\B Enabled succeed."));
}

// The class installer refuses a 32-bit process on 64-bit Windows whatever
// its rights, and any process without administrator rights: the devices stay
// as they were and the log names the cause, which no retry changes.
TEST_F(NicDeviceManagerTest, ARefusingProcessLeavesDevicesAloneAndSaysWhy) {
    Pc().devices.Add(Device("PCI\\WIFI", true, false));
    Pc().os.SetWow64Process(true);
    EXPECT_TRUE(Manager().EnableAllWirelessAdapter());
    Manager().RemoveVirtualAdapter();
    plat::SimDevice now;
    ASSERT_TRUE(Pc().devices.Find("PCI\\WIFI", &now));
    EXPECT_FALSE(now.enabled);
    EXPECT_TRUE(Log().Has("I WirlessAdapter: PCI\\WIFI Enabled failed."));
    EXPECT_TRUE(Log().HasMessage(
        "Device change refused (ERROR_IN_WOW64): a 32-bit program cannot enable, disable or "
        "remove devices on 64-bit Windows; use the 64-bit build."));

    Pc().os.SetWow64Process(false);
    Pc().os.SetElevated(false);
    EXPECT_TRUE(Manager().ReEnableWirelessAdapters());
    ASSERT_TRUE(Pc().devices.Find("PCI\\WIFI", &now));
    EXPECT_FALSE(now.enabled);
    EXPECT_TRUE(
        Log().HasMessage("Device change refused: changing devices needs administrator rights."));

    Pc().os.SetElevated(true);
    EXPECT_TRUE(Manager().EnableAllWirelessAdapter());
    ASSERT_TRUE(Pc().devices.Find("PCI\\WIFI", &now));
    EXPECT_TRUE(now.enabled);
}

TEST_F(NicDeviceManagerTest, NoDevicesMeansNothingToEnable) {
    EXPECT_FALSE(Manager().EnableAllWirelessAdapter());
    EXPECT_TRUE(Log().Has("E Find no network adapter device"));
    EXPECT_FALSE(Manager().ReEnableWirelessAdapters());
    EXPECT_TRUE(Log().Has("E Find no adapters"));

    Pc().faults.FailNext("EnumDevice", 5);
    EXPECT_FALSE(Manager().EnableAllWirelessAdapter());
    EXPECT_TRUE(Log().Has("E GetAllAdapters() failed"));
    EXPECT_TRUE(Pc().devices.Calls("EnableDevice").empty());
}

TEST_F(NicDeviceManagerTest, ReEnableDisablesThenEnablesEachWirelessAdapter) {
    Pc().devices.Add(Device("PCI\\WIFI", true, true));
    Pc().devices.Add(Device("PCI\\WIRED", false, true));
    Pc().faults.FailNext("DisableDevice", 0);

    EXPECT_TRUE(Manager().ReEnableWirelessAdapters());

    EXPECT_EQ(Pc().devices.Calls("DisableDevice"), (Ids{"PCI\\WIFI"}));
    EXPECT_EQ(Pc().devices.Calls("EnableDevice"), (Ids{"PCI\\WIFI"}));
    const int disable = Log().IndexOf("I WirlessAdapter: PCI\\WIFI disable failed.");
    const int enable = Log().IndexOf("I WirlessAdapter: PCI\\WIFI Enabled succeed.");
    ASSERT_GE(disable, 0);
    EXPECT_GT(enable, disable);
}

TEST_F(NicDeviceManagerTest, VirtualAdapterIdFollowsTheWindowsVersion) {
    Pc().os.SetWindows(plat::SimWindows::Eight);
    Pc().devices.Add(Device(kVirtual8, true, false));
    Manager().EnableVirtualWifiAdapter();
    EXPECT_EQ(Pc().devices.Calls("EnableDevice"), (Ids{kVirtual8}));
    EXPECT_TRUE(
        Log().Has(std::string("I VirtualWifiAdapter <") + kVirtual8 + "> is already enabled"));

    Pc().os.SetWindows(plat::SimWindows::Seven);
    Manager().EnableVirtualWifiAdapter();
    // Windows 7 has no "vwifimp_sap" device; the short id is asked for and fails.
    EXPECT_EQ(Pc().devices.Calls("EnableDevice"), (Ids{kVirtual8, kVirtual7}));
    EXPECT_TRUE(Log().Has(std::string("I VirtualWifiAdapter <") + kVirtual7 + "> enable failed:0"));
}

TEST_F(NicDeviceManagerTest, EnabledVirtualAdapterIsLeftAlone) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    Pc().devices.Add(Device(kVirtual7, true, true));

    Manager().EnableVirtualWifiAdapter();

    EXPECT_TRUE(Pc().devices.Calls("EnableDevice").empty());
    EXPECT_TRUE(
        Log().Has(std::string("I VirtualWifiAdapter <") + kVirtual7 + "> is already enabled"));
}

TEST_F(NicDeviceManagerTest, DeviceIdByGuidAndItsFailure) {
    const plat::GUID guid = {0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
    plat::SimDevice d = Device("PCI\\WIFI", true, false);
    d.interfaceGuid = guid;
    Pc().devices.Add(d);

    EXPECT_EQ(Manager().GetDeviceIdByGuid(guid), "PCI\\WIFI");
    EXPECT_TRUE(
        Log().Has("I Interface guid:{11223344-5566-7788-0102-030405060708} devId: PCI\\WIFI"));
    Manager().EnableDevice(guid);
    EXPECT_TRUE(Log().Has("I Enable device succeed ."));

    // An unknown interface yields an empty id, and that empty id is what the
    // device library is then asked to enable or disable.
    const plat::GUID unknown = {0x99, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
    EXPECT_EQ(Manager().GetDeviceIdByGuid(unknown), "");
    EXPECT_TRUE(Log().Has("I GetAdapterDeviceInstanceId failed: 2"));
    Manager().EnableDevice(unknown);
    Manager().DisableDevice(unknown);
    EXPECT_EQ(Pc().devices.Calls("EnableDevice"), (Ids{"PCI\\WIFI", ""}));
    EXPECT_EQ(Pc().devices.Calls("DisableDevice"), (Ids{""}));
    EXPECT_TRUE(Log().Has("E Enable device failed return0"));
    EXPECT_TRUE(Log().Has("E Disable device failed return0"));
}

TEST_F(NicDeviceManagerTest, RemoveVirtualAdapterRescansAfterwards) {
    Pc().os.SetWindows(plat::SimWindows::Seven);
    Pc().devices.Add(Device(kVirtual7, true, true));

    Manager().RemoveVirtualAdapter();

    EXPECT_FALSE(Pc().devices.Find(kVirtual7, nullptr));
    EXPECT_TRUE(Log().Has("I RemoveVirtualAdapter succeed.return 1"));
    EXPECT_TRUE(Log().Has("I RescanDeviceList succeed.return 1"));
}

TEST_F(NicDeviceManagerTest, WirelessAdapterInfosDescribeEachWirelessDevice) {
    plat::SimDevice d = Device("USB\\RT3070", true, true);
    d.friendlyName = "Ralink 802.11n USB";
    d.description = "802.11n Wireless LAN Card";
    d.manufacturer = "Ralink Technology";
    // 2013-06-15 12:00 UTC; noon keeps the local date the same in every zone
    // within eleven hours of UTC.
    const std::uint64_t ticks = (1371297600ull * 10000000ull) + 116444736000000000ull;
    d.driverDate = {static_cast<plat::DWORD>(ticks), static_cast<plat::DWORD>(ticks >> 32)};
    d.version[0] = 5;
    d.version[1] = 1;
    d.version[2] = 22;
    d.version[3] = 0;
    d.problem = 22;
    d.status = 0x1802400;
    Pc().devices.Add(d);
    Pc().devices.Add(Device("PCI\\WIRED", false, true));
    ASSERT_TRUE(Manager().GetAllAdapters());

    const auto infos = Manager().GetWirelessAdapterInfos();

    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].deviceId, "USB\\RT3070");
    EXPECT_EQ(infos[0].friendlyName, "Ralink 802.11n USB");
    EXPECT_EQ(infos[0].driverDesc, "802.11n Wireless LAN Card");
    EXPECT_EQ(infos[0].manufacturer, "Ralink Technology");
    EXPECT_EQ(infos[0].driverDate, "2013-06-15");
    EXPECT_EQ(infos[0].driverVersion, "5.1.22.0");
    EXPECT_EQ(infos[0].problemCode, 22u);
    EXPECT_EQ(infos[0].status, 0x1802400u);
    EXPECT_EQ(infos[0].present, 1);
    EXPECT_EQ(infos[0].enabled, 1);
}

}  // namespace
