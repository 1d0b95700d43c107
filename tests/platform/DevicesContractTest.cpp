// One contract for the device library, run on the simulated PC and on Linux
// (inside a private network namespace with veth links).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PrivateNetns.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxDevices.h"
#include "platform/linux/LinuxProcessLauncher.h"
#include "platform/sim/SimPc.h"
#include "platform/text/GuidText.h"

namespace {

// Where the contract runs: a device library and a way to add wired devices.
class DeviceBed {
public:
    virtual ~DeviceBed() = default;
    virtual plat::Dunmere& Devices() = 0;
    // A wired network device with its link down.
    virtual bool AddWired(const std::string& name) = 0;
};

class SimBed : public DeviceBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {}
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::Dunmere& Devices() override { return m_pc.devices; }
    bool AddWired(const std::string& name) override {
        plat::SimDevice d;
        d.id = name;
        d.enabled = false;
        d.interfaceGuid = plat::GuidText::FromName(name);
        d.friendlyName = name;
        d.description = "veth";
        d.version[0] = 1;
        m_pc.devices.Add(d);
        return true;
    }

private:
    plat::SimPc& m_pc;
};

class LinuxBed : public DeviceBed {
public:
    plat::Dunmere& Devices() override { return m_devices; }
    bool AddWired(const std::string& name) override {
        const auto r = m_launcher.Run("ip link add " + name + " type veth peer name " + name + "p");
        return r.started && r.exitCode == 0;
    }

private:
    plat::LinuxDevices m_devices;
    plat::LinuxProcessLauncher m_launcher;
};

std::vector<std::string> Split(const std::vector<char>& buffer, plat::DWORD size) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < size && buffer[pos] != 0) {
        out.emplace_back(buffer.data() + pos);
        pos += out.back().size() + 1;
    }
    return out;
}

class DevicesContract : public ::testing::TestWithParam<std::string> {
protected:
    // Runs the contract body on the bed of this parameter.
    void OnBed(const std::function<void(DeviceBed&)>& body) {
        std::string why;
        if (!testnet::OnBed<DeviceBed, SimBed, LinuxBed>(GetParam(), body, &why))
            GTEST_SKIP() << "no private network namespace: " << why;
    }
};

TEST_P(DevicesContract, EnumeratesNetworkDevicesWithTheSizeTheyNeed) {
    OnBed([](DeviceBed& bed) {
        ASSERT_TRUE(bed.AddWired("lum0"));
        ASSERT_TRUE(bed.AddWired("lum1"));
        plat::Dunmere& d = bed.Devices();

        plat::DWORD size = 1;
        std::vector<char> tiny(1);
        ASSERT_EQ(d.EnumDevice(tiny.data(), &size, &plat::kNetClassGuid), 122u);
        ASSERT_GE(size, 11u);  // "lum0\0lum1\0\0" at least

        std::vector<char> buffer(size, 'x');
        ASSERT_EQ(d.EnumDevice(buffer.data(), &size, &plat::kNetClassGuid), 0u);
        ASSERT_GE(size, 2u);
        EXPECT_EQ(buffer[size - 1], 0);
        EXPECT_EQ(buffer[size - 2], 0);
        const auto ids = Split(buffer, size);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), "lum0"), 1);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), "lum1"), 1);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), "lo"), 0);

        // Another device class has no members here.
        const plat::GUID other = {
            0x4D36E968, 0xE325, 0x11CE, {0xBF, 0xC1, 8, 0, 0x2B, 0xE1, 3, 0x18}};
        size = static_cast<plat::DWORD>(buffer.size());
        ASSERT_EQ(d.EnumDevice(buffer.data(), &size, &other), 0u);
        EXPECT_EQ(buffer[0], 0);
    });
}

TEST_P(DevicesContract, EnableAndDisableSwitchTheDevice) {
    OnBed([](DeviceBed& bed) {
        ASSERT_TRUE(bed.AddWired("lum0"));
        plat::Dunmere& d = bed.Devices();
        EXPECT_EQ(d.IsDeviceEnable("lum0"), 0);
        EXPECT_EQ(d.IsWirelessAdapterById("lum0"), 0);

        int needRestart = -1;
        EXPECT_NE(d.EnableDevice("lum0", &needRestart), 0);
        EXPECT_EQ(needRestart, 0);
        EXPECT_NE(d.IsDeviceEnable("lum0"), 0);

        needRestart = -1;
        EXPECT_NE(d.DisableDevice("lum0", &needRestart), 0);
        EXPECT_EQ(needRestart, 0);
        EXPECT_EQ(d.IsDeviceEnable("lum0"), 0);

        EXPECT_EQ(d.EnableDevice("nosuch0", &needRestart), 0);
        EXPECT_EQ(d.DisableDevice("", &needRestart), 0);
        EXPECT_EQ(d.IsDeviceEnable("nosuch0"), 0);
        EXPECT_EQ(d.IsWirelessAdapterById("nosuch0"), 0);
    });
}

TEST_P(DevicesContract, DeviceIdFromTheInterfaceGuid) {
    OnBed([](DeviceBed& bed) {
        ASSERT_TRUE(bed.AddWired("lum0"));
        plat::Dunmere& d = bed.Devices();
        const plat::GUID guid = plat::GuidText::FromName("lum0");

        char small[2] = {};
        plat::DWORD size = sizeof small;
        EXPECT_EQ(d.GetAdapterDeviceInstanceId(&guid, small, &size), 122u);
        EXPECT_EQ(size, 5u);

        char buffer[200] = {};
        size = sizeof buffer;
        ASSERT_EQ(d.GetAdapterDeviceInstanceId(&guid, buffer, &size), 0u);
        EXPECT_STREQ(buffer, "lum0");

        const plat::GUID unknown = plat::GuidText::FromName("nosuch0");
        size = sizeof buffer;
        EXPECT_NE(d.GetAdapterDeviceInstanceId(&unknown, buffer, &size), 0u);
    });
}

TEST_P(DevicesContract, RemovedDeviceIsGone) {
    OnBed([](DeviceBed& bed) {
        ASSERT_TRUE(bed.AddWired("lum0"));
        ASSERT_TRUE(bed.AddWired("lum1"));
        plat::Dunmere& d = bed.Devices();

        int out = -1;
        EXPECT_EQ(d.RemoveDevice("lum1", &out), 1);
        EXPECT_EQ(d.ReScanDeviceList(), 1);
        EXPECT_EQ(d.RemoveDevice("lum1", &out), 0);

        std::vector<char> buffer(4096);
        plat::DWORD size = static_cast<plat::DWORD>(buffer.size());
        ASSERT_EQ(d.EnumDevice(buffer.data(), &size, &plat::kNetClassGuid), 0u);
        const auto ids = Split(buffer, size);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), "lum1"), 0);
        EXPECT_EQ(std::count(ids.begin(), ids.end(), "lum0"), 1);
    });
}

TEST_P(DevicesContract, DriverDescription) {
    OnBed([](DeviceBed& bed) {
        ASSERT_TRUE(bed.AddWired("lum0"));
        plat::Dunmere& d = bed.Devices();
        char text[1024] = {};
        plat::DWORD size = sizeof text;
        ASSERT_EQ(d.GetDriverFriendlyName("lum0", text, &size), 0u);
        EXPECT_STREQ(text, "lum0");
        size = sizeof text;
        ASSERT_EQ(d.GetDriverDriverDesc("lum0", text, &size), 0u);
        EXPECT_STREQ(text, "veth");
        unsigned v[4] = {9, 9, 9, 9};
        ASSERT_EQ(d.GetDriverVersion("lum0", &v[0], &v[1], &v[2], &v[3]), 0u);
        EXPECT_EQ(v[0], 1u);
        size = sizeof text;
        EXPECT_NE(d.GetDriverFriendlyName("nosuch0", text, &size), 0u);
    });
}

INSTANTIATE_TEST_SUITE_P(Backends, DevicesContract, ::testing::Values("sim", "linux"),
                         [](const auto& p) { return p.param; });

// Linux only: how link state shows as device status, and names that cannot be
// interfaces.
TEST(LinuxDevices, DisabledLinkReportsTheDisabledProblem) {
    std::string why;
    if (!testnet::RunInPrivateNetns(
            [] {
                plat::LinuxProcessLauncher launcher;
                ASSERT_EQ(launcher.Run("ip link add lum0 type veth peer name lum0p").exitCode, 0u);
                plat::LinuxDevices d;
                plat::DWORD problem = 99, status = 0;
                d.GetDeviceProblemCode("lum0", &problem, &status);
                EXPECT_EQ(problem, 22u);
                EXPECT_EQ(status & plat::LinuxDevices::kDnStarted, 0u);
                d.EnableDevice("lum0", nullptr);
                d.GetDeviceProblemCode("lum0", &problem, &status);
                EXPECT_EQ(problem, 0u);
                EXPECT_NE(status & plat::LinuxDevices::kDnStarted, 0u);

                for (const char* bad : {"../lum0", "lum 0", "averyveryverylongname0", "."}) {
                    EXPECT_EQ(d.EnableDevice(bad, nullptr), 0) << bad;
                    EXPECT_EQ(d.IsWirelessAdapterById(bad), 0) << bad;
                }
                EXPECT_EQ(d.EnableDevice(nullptr, nullptr), 0);
            },
            &why))
        GTEST_SKIP() << "no private network namespace: " << why;
}

}  // namespace
