// One contract for the service library, run on the simulated PC and on Linux
// under systemd (skipped where systemd does not run or we are not root), plus
// how the Linux library reads systemd's answers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/linux/LinuxProcessLauncher.h"
#include "platform/linux/LinuxServices.h"
#include "platform/sim/SimPc.h"

namespace {

constexpr char kUnit[] = "lumari-contract";

class ServiceBed {
public:
    virtual ~ServiceBed() = default;
    virtual plat::Calvory& Services() = 0;
};

class SimBed : public ServiceBed {
public:
    SimBed() : m_pc(plat::SimPc::Install()) {
        plat::SimService s;
        s.state = 1;
        m_pc.services.Set(kUnit, s);
    }
    ~SimBed() override { plat::Platform::Uninstall(); }
    plat::Calvory& Services() override { return m_pc.services; }

private:
    plat::SimPc& m_pc;
};

// A runtime unit that sleeps; removed again afterwards.
class SystemdBed : public ServiceBed {
public:
    static bool Available() {
        struct stat st;
        return geteuid() == 0 && stat("/run/systemd/system", &st) == 0;
    }
    SystemdBed() : m_services(&m_launcher) {
        std::ofstream(Path()) << "[Unit]\nDescription=Lumari contract test\n[Service]\n"
                                 "ExecStart=/bin/sleep infinity\n[Install]\n"
                                 "WantedBy=multi-user.target\n";
        m_launcher.Run("systemctl daemon-reload");
    }
    ~SystemdBed() override {
        m_launcher.Run(std::string("systemctl stop ") + kUnit);
        m_launcher.Run(std::string("systemctl disable ") + kUnit);
        std::remove(Path().c_str());
        m_launcher.Run("systemctl daemon-reload");
    }
    plat::Calvory& Services() override { return m_services; }

private:
    static std::string Path() { return std::string("/run/systemd/system/") + kUnit + ".service"; }
    plat::LinuxProcessLauncher m_launcher;
    plat::LinuxServices m_services;
};

class ServicesContract : public ::testing::TestWithParam<std::string> {
protected:
    void OnBed(const std::function<void(ServiceBed&)>& body) {
        if (GetParam() == "sim") {
            SimBed bed;
            body(bed);
            return;
        }
        if (!SystemdBed::Available())
            GTEST_SKIP() << "systemd is not running here, or not root";
        SystemdBed bed;
        body(bed);
    }
    // Waits for a state a queued job leads to.
    static bool WaitForState(plat::Calvory& s, int state) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (s.GetServiceStatus(kUnit) != state) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
};

TEST_P(ServicesContract, StartStopAndState) {
    OnBed([](ServiceBed& bed) {
        plat::Calvory& s = bed.Services();
        EXPECT_EQ(s.GetServiceStatus(kUnit), 1);
        EXPECT_NE(s.StartServiceByNameEx(kUnit), 0);
        EXPECT_EQ(s.GetServiceStatus(kUnit), 4);
        EXPECT_NE(s.StopServiceByName(kUnit), 0);
        EXPECT_EQ(s.GetServiceStatus(kUnit), 1);
        EXPECT_NE(s.StartServiceByName(kUnit), 0);
        EXPECT_TRUE(WaitForState(s, 4));
        EXPECT_NE(s.StopServiceByName(kUnit), 0);
    });
}

TEST_P(ServicesContract, UnknownServiceCannotBeOpenedOrStarted) {
    OnBed([](ServiceBed& bed) {
        plat::Calvory& s = bed.Services();
        EXPECT_EQ(s.GetServiceStatus("lumari-no-such-service"), 0);
        EXPECT_EQ(s.StartServiceByNameEx("lumari-no-such-service"), 0);
        EXPECT_EQ(s.StopServiceByName("lumari-no-such-service"), 0);
    });
}

TEST_P(ServicesContract, DisablingSucceeds) {
    OnBed([](ServiceBed& bed) { EXPECT_EQ(bed.Services().ChangeServiceStartType(kUnit, 4), 1); });
}

INSTANTIATE_TEST_SUITE_P(Backends, ServicesContract, ::testing::Values("sim", "linux"),
                         [](const auto& p) { return p.param; });

// systemctl as a script: answers by command line, records what was run.
class ScriptedSystemctl : public plat::ProcessLauncher {
public:
    plat::ProcessResult Run(const std::string& commandLine) override {
        commands.push_back(commandLine);
        plat::ProcessResult r;
        r.started = true;
        r.exitCode = exitCode;
        r.output = output;
        return r;
    }
    std::vector<std::string> commands;
    std::string output;
    plat::DWORD exitCode = 0;
};

TEST(LinuxServices, UnitStatesMapToServiceStates) {
    ScriptedSystemctl systemctl;
    plat::LinuxServices services(&systemctl);
    struct Case {
        const char* show;
        int state;
    } cases[] = {
        {"LoadState=loaded\nActiveState=active\nFreezerState=running\n", 4},
        {"LoadState=loaded\nActiveState=reloading\nFreezerState=running\n", 4},
        {"LoadState=loaded\nActiveState=inactive\nFreezerState=running\n", 1},
        {"LoadState=loaded\nActiveState=failed\n", 1},
        {"LoadState=masked\nActiveState=inactive\n", 1},
        {"LoadState=loaded\nActiveState=activating\n", 2},
        {"LoadState=loaded\nActiveState=deactivating\n", 3},
        {"LoadState=loaded\nActiveState=active\nFreezerState=frozen\n", 7},
        {"LoadState=loaded\nActiveState=active\nFreezerState=freezing\n", 6},
        {"LoadState=loaded\nActiveState=active\nFreezerState=thawing\n", 5},
        {"LoadState=not-found\nActiveState=inactive\n", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        systemctl.output = c.show;
        EXPECT_EQ(services.GetServiceStatus("hostapd"), c.state) << c.show;
    }
    EXPECT_EQ(systemctl.commands.back(),
              "systemctl show --property=LoadState,ActiveState,FreezerState hostapd.service");

    // Windows' sharing service, absent here, is stopped rather than unknown,
    // so the engine's stop of it ends at once; a unit of that name is read.
    systemctl.output = "LoadState=not-found\nActiveState=inactive\n";
    EXPECT_EQ(services.GetServiceStatus("SharedAccess"), 1);
    systemctl.output = "LoadState=loaded\nActiveState=active\n";
    EXPECT_EQ(services.GetServiceStatus("SharedAccess"), 4);
    EXPECT_EQ(systemctl.commands.back(),
              "systemctl show --property=LoadState,ActiveState,FreezerState SharedAccess.service");

    // systemctl itself failing (no systemd) leaves nothing to open.
    systemctl.output = "LoadState=loaded\nActiveState=active\n";
    systemctl.exitCode = 1;
    EXPECT_EQ(services.GetServiceStatus("hostapd"), 0);
    EXPECT_EQ(services.GetServiceStatus("SharedAccess"), 1);
}

TEST(LinuxServices, CommandsForStartStopAndStartType) {
    ScriptedSystemctl systemctl;
    plat::LinuxServices services(&systemctl);

    EXPECT_EQ(services.StartServiceByNameEx("hostapd"), 1);
    EXPECT_EQ(services.StartServiceByName("hostapd"), 1);
    EXPECT_EQ(services.StopServiceByName("dnsmasq.service"), 1);
    EXPECT_EQ(services.ChangeServiceStartType("DeviceHealth", 4), 1);
    EXPECT_EQ(services.ChangeServiceStartType("DeviceHealth", 2), 1);
    EXPECT_EQ(services.ChangeServiceStartType("DeviceHealth", 1), 0);
    EXPECT_EQ(systemctl.commands,
              (std::vector<std::string>{
                  "systemctl start hostapd.service", "systemctl start --no-block hostapd.service",
                  "systemctl stop dnsmasq.service", "systemctl disable DeviceHealth.service",
                  "systemctl enable DeviceHealth.service"}));

    systemctl.exitCode = 5;
    EXPECT_EQ(services.StopServiceByName("hostapd"), 0);
}

TEST(LinuxServices, NamesThatAreNotUnitNamesNeverReachTheCommandLine) {
    ScriptedSystemctl systemctl;
    plat::LinuxServices services(&systemctl);
    for (const char* bad : {"", "--now", "a b", "x;reboot", "\"quoted\"", "../etc"}) {
        EXPECT_EQ(services.GetServiceStatus(bad), 0) << bad;
        EXPECT_EQ(services.StartServiceByNameEx(bad), 0) << bad;
        EXPECT_EQ(services.StopServiceByName(bad), 0) << bad;
        EXPECT_EQ(services.ChangeServiceStartType(bad, 4), 0) << bad;
    }
    EXPECT_EQ(services.GetServiceStatus(nullptr), 0);
    EXPECT_TRUE(systemctl.commands.empty());
}

}  // namespace
