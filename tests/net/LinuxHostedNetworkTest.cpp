// The Linux hosted network beyond the shared contract: the engine's hosted
// network manager driving hostapd through the Native Wi-Fi entry points,
// failures said in plain words, what an earlier run left behind, and the
// wired port's link and stations seen before the start.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "NetNamespace.h"
#include "Wlan/HostedNetworkManager.h"
#include "engine/Wlan/WlanTestSupport.h"
#include "platform/Platform.h"
#include "platform/linux/HostapdAccessPoint.h"
#include "platform/linux/LinkState.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/text/GuidText.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;
using plat::DWORD;

class LinuxHostedNetworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        if (nettest::Run("command -v hostapd wpa_supplicant wpa_cli >/dev/null") != 0)
            GTEST_SKIP() << "needs hostapd and wpa_supplicant";
        m_ap = std::make_unique<NetNamespace>("ap");
        m_station = std::make_unique<NetNamespace>("st");
        ASSERT_TRUE(m_ap->Created() && m_station->Created());
        m_link = nettest::UniqueName("ap");
        ASSERT_EQ(nettest::Run("ip link add " + m_link + " netns " + m_ap->Name() +
                               " type veth peer name eth0 netns " + m_station->Name()),
                  0);
        ASSERT_EQ(m_station->Exec("ip link set eth0 address 02:4c:55:00:00:21 && ip addr add "
                                  "10.77.0.2/24 dev eth0 && ip link set eth0 up"),
                  0);
        m_dir.Write("eap_user", "\"alice\" MD5 \"secret123\"\n");
    }
    void TearDown() override {
        m_station.reset();
        m_ap.reset();
    }

    // Runs `body` in the access point's namespace with the Linux backend
    // installed and its hosted network on the veth.
    void InAp(
        const std::function<void(plat::LinuxBackend&, plat::LinuxHostedNetworkOptions&)>& body) {
        ASSERT_TRUE(m_ap->RunInside([&] {
            plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir.File("registry")));
            auto& backend = static_cast<plat::LinuxBackend&>(plat::Platform::Current());
            plat::LinuxHostedNetworkOptions options;
            options.apInterface = m_link;
            options.runtimeDir = m_dir.File("run");
            options.eapUserFile = m_dir.File("eap_user");
            backend.HostedNetwork().SetOptions(options);
            body(backend, options);
            plat::Platform::Uninstall();
        }));
    }

    void Authenticate() {
        m_dir.Write("wpa.conf", "ctrl_interface=" + m_dir.File("wpa") +
                                    "\nap_scan=0\nnetwork={\n key_mgmt=IEEE8021X\n eap=MD5\n"
                                    " identity=\"alice\"\n password=\"secret123\"\n"
                                    " eapol_flags=0\n}\n");
        ASSERT_EQ(m_station->Exec("wpa_supplicant -B -D wired -i eth0 -c " +
                                  m_dir.File("wpa.conf") + " >/dev/null"),
                  0);
    }

    TempDir m_dir;
    std::unique_ptr<NetNamespace> m_ap;
    std::unique_ptr<NetNamespace> m_station;
    std::string m_link;
};

TEST_F(LinuxHostedNetworkTest, EngineManagerRunsHostapdThroughTheNativeWiFiEntryPoints) {
    InAp([&](plat::LinuxBackend&, plat::LinuxHostedNetworkOptions&) {
        wlantest::RecordingCallback events;
        CHostedNetworkManager manager(&events);
        ASSERT_TRUE(manager.IsApiReady());
        ASSERT_EQ(manager.Init(), 0);
        ASSERT_EQ(manager.Start(L"Lumari Test", L"secret123", 1), 0);
        plat::GUID guid{};
        ASSERT_EQ(manager.GetAdapterGuid(&guid), 0);
        EXPECT_EQ(guid, plat::GuidText::FromName(m_link));
        EXPECT_EQ(manager.GetSsid(), L"Lumari Test");
        ASSERT_TRUE(events.WaitFor(1));

        Authenticate();
        ASSERT_TRUE(events.WaitFor(2));
        EXPECT_EQ(m_station->Exec("wpa_cli -p " + m_dir.File("wpa") + " -i eth0 logoff >/dev/null"),
                  0);
        ASSERT_TRUE(events.WaitFor(3));

        // hostapd dies: the manager hears that the network stopped.
        std::ifstream in(plat::HostapdAccessPoint::PidPath(m_dir.File("run"), m_link));
        pid_t pid = 0;
        in >> pid;
        ASSERT_GT(pid, 1);
        kill(pid, SIGKILL);
        ASSERT_TRUE(events.WaitFor(4));
        EXPECT_EQ(events.What(), (std::vector<std::string>{"started", "join 02-4C-55-00-00-21",
                                                           "leave 02-4C-55-00-00-21", "stopped"}));
        EXPECT_EQ(manager.StopAp(), 0);
    });
}

TEST_F(LinuxHostedNetworkTest, FailedStartsSayWhatWentWrong) {
    InAp([&](plat::LinuxBackend& backend, plat::LinuxHostedNetworkOptions& options) {
        plat::LinuxHostedNetwork& hn = backend.HostedNetwork();
        plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
        s.hostedNetworkSSID.uSSIDLength = 1;
        s.hostedNetworkSSID.ucSSID[0] = 'L';
        plat::WLAN_HOSTED_NETWORK_REASON reason = 0;

        // No name yet.
        EXPECT_EQ(hn.Start(&reason), plat::kErrorInvalidState);
        EXPECT_EQ(reason, plat::kWlanHostedNetworkReasonBadParameters);
        EXPECT_EQ(hn.LastFailure(), "the network has no name");
        hn.SetConnectionSettings(s, &reason);

        // A missing hostapd is found before the interface is handed over.
        std::vector<std::string> notes;
        hn.SetNote([&](const std::string& text) { notes.push_back(text); });
        options.hostapd = "/nonexistent/hostapd";
        hn.SetOptions(options);
        EXPECT_EQ(hn.Start(&reason), plat::kErrorFileNotFound);
        EXPECT_NE(hn.LastFailure().find("hostapd is not installed"), std::string::npos);
        EXPECT_EQ(notes, std::vector<std::string>{
                             m_link + " is a wired port: clients connect to it by cable"});
        EXPECT_FALSE(std::filesystem::exists(options.runtimeDir + "/interface-taken"));
        hn.SetNote({});

        // hostapd itself refuses: its own words reach the failure.
        options.hostapd = "hostapd";
        options.eapUserFile = m_dir.File("missing_eap_user");
        hn.SetOptions(options);
        EXPECT_EQ(hn.Start(&reason), plat::kErrorInvalidState);
        EXPECT_NE(hn.LastFailure().find("hostapd could not start the access point on " + m_link),
                  std::string::npos)
            << hn.LastFailure();
        EXPECT_NE(hn.LastFailure().find("missing_eap_user"), std::string::npos) << hn.LastFailure();
        EXPECT_EQ(hn.Status().state, plat::kWlanHostedNetworkIdle);

        options.apInterface = "nosuchif0";
        hn.SetOptions(options);
        EXPECT_TRUE(hn.Interfaces().empty());
        EXPECT_EQ(hn.Start(&reason), plat::kErrorInvalidState);
        EXPECT_EQ(hn.LastFailure().rfind("there is no interface nosuchif0", 0), 0u)
            << hn.LastFailure();
        // Nothing of the failed runs is left in the runtime folder but hostapd's log.
        for (const auto& e : std::filesystem::directory_iterator(options.runtimeDir))
            EXPECT_NE(e.path().extension(), ".conf") << e.path();
    });
}

TEST_F(LinuxHostedNetworkTest, HostapdLeftByAKilledRunIsEndedBeforeTheStart) {
    InAp([&](plat::LinuxBackend& backend, plat::LinuxHostedNetworkOptions& options) {
        // An earlier run's hostapd still serves the port: its configuration and
        // process id are where a run keeps them.
        std::filesystem::create_directories(options.runtimeDir);
        const std::string config = plat::HostapdAccessPoint::ConfigPath(options.runtimeDir, m_link);
        {
            std::ofstream(config) << "interface=" << m_link << "\ndriver=wired\nctrl_interface="
                                  << plat::HostapdAccessPoint::ControlDir(options.runtimeDir)
                                  << "\n";
        }
        // Not a child of this process: hostapd goes to the background itself.
        const std::string pidPath = plat::HostapdAccessPoint::PidPath(options.runtimeDir, m_link);
        ASSERT_EQ(nettest::Run("hostapd -B -P " + pidPath + " " + config + " >/dev/null"), 0);
        pid_t old = 0;
        // The background process writes its id a moment after the start returned.
        for (int i = 0; i < 200 && old <= 1; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            std::ifstream(pidPath) >> old;
        }
        ASSERT_GT(old, 1);
        const std::string socket =
            plat::HostapdAccessPoint::ControlDir(options.runtimeDir) + "/" + m_link;
        ASSERT_EQ(access(socket.c_str(), F_OK), 0);

        plat::LinuxHostedNetwork& hn = backend.HostedNetwork();
        plat::WLAN_HOSTED_NETWORK_CONNECTION_SETTINGS s{};
        s.hostedNetworkSSID.uSSIDLength = 1;
        s.hostedNetworkSSID.ucSSID[0] = 'L';
        plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
        hn.SetConnectionSettings(s, &reason);
        ASSERT_EQ(hn.Start(&reason), 0u) << hn.LastFailure();
        std::string stat;
        std::getline(std::ifstream("/proc/" + std::to_string(old) + "/stat"), stat);
        EXPECT_TRUE(stat.empty() || stat.find(") Z") != std::string::npos) << stat;
        EXPECT_EQ(hn.Status().state, plat::kWlanHostedNetworkActive);
        EXPECT_EQ(hn.Stop(&reason), 0u);
        // A stop leaves neither configuration nor process id behind.
        EXPECT_FALSE(std::filesystem::exists(config));
        EXPECT_FALSE(
            std::filesystem::exists(plat::HostapdAccessPoint::PidPath(options.runtimeDir, m_link)));
    });
}

TEST_F(LinuxHostedNetworkTest, WiredPortComesUpWithTheDevicesAlreadySeenAndGoesDownAgain) {
    InAp([&](plat::LinuxBackend& backend, plat::LinuxHostedNetworkOptions& options) {
        options.eapUserFile.clear();
        backend.HostedNetwork().SetOptions(options);
        // A device was seen on the port before the start.
        ASSERT_EQ(nettest::Run("ip addr add 10.77.0.1/24 dev " + m_link + " && ip link set " +
                               m_link + " up"),
                  0);
        m_station->Exec("busybox ping -c 1 -W 1 10.77.0.1 >/dev/null");
        ASSERT_EQ(nettest::Run("ip link set " + m_link + " down"), 0);
        ASSERT_EQ(nettest::Run("ip neigh replace 10.77.0.2 lladdr 02:4c:55:00:00:21 nud "
                               "permanent dev " +
                               m_link),
                  0);

        wlantest::RecordingCallback events;
        CHostedNetworkManager manager(&events);
        ASSERT_EQ(manager.Init(), 0);
        ASSERT_EQ(manager.Start(L"Lumari", L"secret123", 1), 0);
        bool up = false;
        ASSERT_TRUE(plat::LinkState::Read(m_link, &up));
        EXPECT_TRUE(up);
        ASSERT_TRUE(events.WaitFor(2));
        EXPECT_EQ(events.What(), (std::vector<std::string>{"started", "join 02-4C-55-00-00-21"}));
        EXPECT_EQ(manager.StopAp(), 0);
        ASSERT_TRUE(plat::LinkState::Read(m_link, &up));
        EXPECT_FALSE(up);

        // A run killed while it had the port up: the next run still knows the
        // port was down before, and sets it down at its stop.
        plat::WLAN_HOSTED_NETWORK_REASON reason = 0;
        plat::LinuxHostedNetwork& hn = backend.HostedNetwork();
        ASSERT_EQ(hn.SetEnabled(true, &reason), 0u);
        ASSERT_EQ(hn.Start(&reason), 0u) << hn.LastFailure();
        const std::string record = options.runtimeDir + "/link-" + m_link + ".down";
        ASSERT_TRUE(std::filesystem::exists(record));
        const std::string kept = options.runtimeDir + "/kept";
        std::filesystem::copy_file(record, kept);
        ASSERT_EQ(hn.Stop(&reason), 0u);
        ASSERT_EQ(nettest::Run("ip link set " + m_link + " up"), 0);
        std::filesystem::rename(kept, record);
        ASSERT_EQ(hn.Start(&reason), 0u);
        ASSERT_EQ(hn.Stop(&reason), 0u);
        ASSERT_TRUE(plat::LinkState::Read(m_link, &up));
        EXPECT_FALSE(up);
        EXPECT_FALSE(std::filesystem::exists(record));
    });
}

}  // namespace
