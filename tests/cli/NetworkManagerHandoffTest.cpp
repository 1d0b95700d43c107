// Handing the access point's interface to and from NetworkManager over D-Bus,
// against a stand-in NetworkManager on a private bus (NetworkManager itself
// does not run here): its device's "Managed" property is what changes.
#include "platform/linux/NetworkManagerHandoff.h"

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/linux/ChildProcess.h"
#include "platform/sim/SimClock.h"
#include "support/TempDir.h"

namespace {

constexpr const char* kDevicePath = "/org/freedesktop/NetworkManager/Devices/3";

// A private message bus and a NetworkManager on it that knows one device.
class FakeNetworkManager {
public:
    explicit FakeNetworkManager(const TempDir& dir) : m_address("unix:path=" + dir.File("bus")) {
        m_daemon.Start("dbus-daemon",
                       {"--session", "--nofork", "--nopidfile", "--address=" + m_address}, "");
        for (int i = 0; i < 200 && !std::filesystem::exists(dir.File("bus")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~FakeNetworkManager() {
        Leave();
        m_daemon.Stop();
    }

    const std::string& Address() const { return m_address; }

    // Takes the NetworkManager name and serves until Leave.
    bool Serve(const std::string& device, bool managed) {
        m_device = device;
        m_managed = managed;
        if (sd_bus_new(&m_bus) < 0 || sd_bus_set_address(m_bus, m_address.c_str()) < 0 ||
            sd_bus_set_bus_client(m_bus, 1) < 0 || sd_bus_start(m_bus) < 0)
            return false;
        static const sd_bus_vtable kManager[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("GetDeviceByIpIface", "s", "o", &FakeNetworkManager::GetDevice, 0),
            SD_BUS_VTABLE_END};
        static const sd_bus_vtable kDevice[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_WRITABLE_PROPERTY("Managed", "b", &FakeNetworkManager::GetManaged,
                                     &FakeNetworkManager::SetManaged, 0, 0),
            SD_BUS_VTABLE_END};
        if (sd_bus_add_object_vtable(m_bus, nullptr, "/org/freedesktop/NetworkManager",
                                     "org.freedesktop.NetworkManager", kManager, this) < 0 ||
            sd_bus_add_object_vtable(m_bus, nullptr, kDevicePath,
                                     "org.freedesktop.NetworkManager.Device", kDevice, this) < 0 ||
            sd_bus_request_name(m_bus, "org.freedesktop.NetworkManager", 0) < 0)
            return false;
        m_thread = std::thread([this] {
            while (!m_leave) {
                if (sd_bus_process(m_bus, nullptr) > 0)
                    continue;
                sd_bus_wait(m_bus, 50'000);
            }
        });
        return true;
    }
    void Leave() {
        m_leave = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_bus != nullptr)
            sd_bus_flush_close_unref(m_bus);
        m_bus = nullptr;
    }
    bool Managed() const { return m_managed; }
    // NetworkManager sees another device (an interface made meanwhile).
    void SetDevice(const std::string& device) {
        std::lock_guard<std::mutex> g(m_deviceLock);
        m_device = device;
    }

private:
    static int GetDevice(sd_bus_message* m, void* self, sd_bus_error*) {
        const char* iface = nullptr;
        sd_bus_message_read(m, "s", &iface);
        auto* nm = static_cast<FakeNetworkManager*>(self);
        std::lock_guard<std::mutex> g(nm->m_deviceLock);
        if (iface != nullptr && nm->m_device == iface)
            return sd_bus_reply_method_return(m, "o", kDevicePath);
        return sd_bus_reply_method_errorf(m, "org.freedesktop.NetworkManager.UnknownDevice",
                                          "No device found for the requested iface.");
    }
    static int GetManaged(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply,
                          void* self, sd_bus_error*) {
        return sd_bus_message_append(reply, "b",
                                     static_cast<FakeNetworkManager*>(self)->m_managed ? 1 : 0);
    }
    static int SetManaged(sd_bus*, const char*, const char*, const char*, sd_bus_message* value,
                          void* self, sd_bus_error*) {
        int v = 0;
        const int r = sd_bus_message_read(value, "b", &v);
        static_cast<FakeNetworkManager*>(self)->m_managed = v != 0;
        return r;
    }

    std::string m_address;
    plat::ChildProcess m_daemon;
    sd_bus* m_bus = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_leave{false};
    std::mutex m_deviceLock;
    std::string m_device;
    std::atomic<bool> m_managed{false};
};

class NetworkManagerHandoffTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (plat::ChildProcess::Find("dbus-daemon").empty())
            GTEST_SKIP() << "needs dbus-daemon";
        m_nm = std::make_unique<FakeNetworkManager>(m_dir);
    }
    std::string Record() const { return m_dir.File("run/nm-unmanaged"); }

    TempDir m_dir;
    std::unique_ptr<FakeNetworkManager> m_nm;
};

TEST_F(NetworkManagerHandoffTest, TakesAManagedInterfaceAndGivesItBack) {
    ASSERT_TRUE(m_nm->Serve("wlan0", true));
    plat::NetworkManagerHandoff handoff(Record(), m_nm->Address());
    ASSERT_TRUE(handoff.Running());
    std::string diagnostic;
    ASSERT_TRUE(handoff.Take("wlan0", &diagnostic)) << diagnostic;
    EXPECT_FALSE(m_nm->Managed());
    std::string recorded;
    std::getline(std::ifstream(Record()), recorded);
    EXPECT_EQ(recorded, "wlan0");

    handoff.GiveBack(&diagnostic);
    EXPECT_TRUE(m_nm->Managed());
    EXPECT_EQ(diagnostic, "NetworkManager manages wlan0 again");
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

TEST_F(NetworkManagerHandoffTest, LeavesAloneWhatItDoesNotManageOrKnow) {
    ASSERT_TRUE(m_nm->Serve("wlan0", false));
    plat::NetworkManagerHandoff handoff(Record(), m_nm->Address());
    std::string diagnostic;
    EXPECT_FALSE(handoff.Take("wlan0", &diagnostic));
    EXPECT_FALSE(handoff.Take("eth7", &diagnostic));
    bool managed = true;
    EXPECT_EQ(handoff.Managed("eth7", &managed), ENODEV);
    EXPECT_FALSE(std::filesystem::exists(Record()));
    handoff.GiveBack(&diagnostic);
    EXPECT_FALSE(m_nm->Managed());
}

TEST_F(NetworkManagerHandoffTest, GivesBackWhatAKilledRunTook) {
    ASSERT_TRUE(m_nm->Serve("wlan0", false));  // taken by the run that was killed
    std::filesystem::create_directories(m_dir.File("run"));
    std::ofstream(Record()) << "wlan0\n";
    plat::NetworkManagerHandoff handoff(Record(), m_nm->Address());
    std::string diagnostic;
    handoff.GiveBackLeftover(&diagnostic);
    EXPECT_TRUE(m_nm->Managed());
    EXPECT_FALSE(std::filesystem::exists(Record()));
}

// An interface just made is known to NetworkManager a moment later; the wait
// for it sleeps on the program's clock, not in real time.
TEST_F(NetworkManagerHandoffTest, WaitsOnTheClockForANewInterfaceToBeSeen) {
    ASSERT_TRUE(m_nm->Serve("wlan0", true));
    plat::NetworkManagerHandoff handoff(Record(), m_nm->Address());
    plat::SimClock clock;
    std::atomic<int> seen{-1};
    std::thread waiter([&] {
        seen = handoff.WaitForDevice("lumari-ap0", clock, std::chrono::seconds(2)) ? 1 : 0;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.Advance(std::chrono::milliseconds(500));
    EXPECT_EQ(seen, -1);  // still waiting
    m_nm->SetDevice("lumari-ap0");
    EXPECT_TRUE(clock.AdvanceUntil([&] { return seen != -1; }, std::chrono::seconds(1)));
    waiter.join();
    EXPECT_EQ(seen, 1);
    std::string diagnostic;
    EXPECT_TRUE(handoff.Take("lumari-ap0", &diagnostic)) << diagnostic;

    // Never seen: the wait gives up after its limit of clock time.
    const auto before = clock.Elapsed();
    std::thread never([&] {
        seen = handoff.WaitForDevice("lumari-ap1", clock, std::chrono::seconds(2)) ? 1 : 0;
    });
    ASSERT_TRUE(clock.WaitForSleepers(1));
    EXPECT_TRUE(clock.AdvanceUntil([&] { return seen == 0; }, std::chrono::seconds(5)));
    never.join();
    EXPECT_GE(clock.Elapsed() - before, std::chrono::seconds(2));
    EXPECT_LT(clock.Elapsed() - before, std::chrono::seconds(3));
    handoff.GiveBack(&diagnostic);
}

TEST_F(NetworkManagerHandoffTest, WithoutNetworkManagerNothingHappens) {
    plat::NetworkManagerHandoff handoff(Record(), m_nm->Address());  // nobody owns the name
    EXPECT_FALSE(handoff.Running());
    std::string diagnostic;
    EXPECT_FALSE(handoff.Take("wlan0", &diagnostic));
    EXPECT_TRUE(diagnostic.empty());
    plat::NetworkManagerHandoff noBus(Record(), "unix:path=" + m_dir.File("nobus"));
    EXPECT_FALSE(noBus.Running());
    EXPECT_FALSE(noBus.Take("wlan0", &diagnostic));
}

}  // namespace
