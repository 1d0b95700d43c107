// The DHCP server, started through the exports inside a hotspot namespace,
// hands out leases to real DHCP clients (busybox udhcpc and ISC dhclient) in a
// client namespace joined to it by a veth pair.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "NetNamespace.h"
#include "pellion/Pellion.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxBackend.h"
#include "platform/winapi/DebugOutput.h"
#include "support/EngineBed.h"
#include "support/TempDir.h"

namespace {

using nettest::NetNamespace;

// Whether the server has logged this line (it logs from its own thread).
bool Logged(const char* text) {
    return plat::DebugOutput::Instance().Contains(text);
}

std::map<std::string, std::string> ReadValues(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

void WriteScript(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
    nettest::Run("chmod 755 " + path);
}

class DhcpClientsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        m_dir = std::make_unique<TempDir>();
        plat::Platform::ResetAll();
        plat::Platform::Install(std::make_unique<plat::LinuxBackend>(m_dir->File("registry")));
        plat::DebugOutput::Instance().Clear();
        plat::DebugOutput::Instance().StartCapture();

        m_hotspot = std::make_unique<NetNamespace>("hs");
        m_client = std::make_unique<NetNamespace>("cl");
        ASSERT_TRUE(m_hotspot->Created() && m_client->Created());
        m_link = nettest::UniqueName("lan");
        ASSERT_EQ(nettest::Run("ip link add " + m_link + " netns " + m_hotspot->Name() +
                               " type veth peer name eth0 netns " + m_client->Name()),
                  0);
        ASSERT_EQ(m_hotspot->Exec("ip addr add 192.168.77.1/24 dev " + m_link + " && ip link set " +
                                  m_link + " up"),
                  0);
        ASSERT_EQ(m_client->Exec("ip link set eth0 up"), 0);
    }

    void TearDown() override {
        if (m_dir == nullptr)
            return;
        StopDHCP();
        m_client.reset();
        m_hotspot.reset();
        plat::Platform::ResetAll();
        plat::Platform::Uninstall();
        plat::DebugOutput::Instance().StopCapture();
        plat::DebugOutput::Instance().Clear();
    }

    void SetClientMac(const std::string& mac) {
        ASSERT_EQ(m_client->Exec("ip link set eth0 down && ip link set eth0 address " + mac +
                                 " && ip link set eth0 up"),
                  0);
    }

    // busybox udhcpc in its own UTS namespace named `host`; the values of the
    // lease it got, empty when it got none.
    std::map<std::string, std::string> Udhcpc(const std::string& host, int seconds = 20) {
        const std::string out = m_dir->File("udhcpc-" + host);
        const std::string script = m_dir->File("udhcpc-" + host + ".sh");
        WriteScript(script,
                    "#!/bin/sh\n[ \"$1\" = bound ] || exit 0\n{ echo ip=$ip; echo "
                    "subnet=$subnet; echo router=$router; echo dns=$dns; } > " +
                        out + "\n");
        m_client->Exec("hostname=" + host +
                       "; unshare -u sh -c \"hostname $hostname && "
                       "timeout " +
                       std::to_string(seconds) +
                       " busybox udhcpc -i eth0 -f -q -n -t 3 -T 1 -A 1 -s " + script +
                       " -x hostname:\\$(hostname)\" >/dev/null 2>&1");
        return ReadValues(out);
    }

    // ISC dhclient, once, in its own UTS namespace named `host`; it sends that
    // name as option 12.
    std::map<std::string, std::string> Dhclient(const std::string& host) {
        const std::string out = m_dir->File("dhclient-" + host);
        const std::string script = m_dir->File("dhclient-" + host + ".sh");
        const std::string conf = m_dir->File("dhclient-" + host + ".conf");
        WriteScript(script,
                    "#!/bin/sh\ncase \"$reason\" in BOUND|REBOOT)\n{ echo "
                    "ip=$new_ip_address; echo subnet=$new_subnet_mask; echo "
                    "router=$new_routers; echo dns=$new_domain_name_servers; } > " +
                        out + ";;\nesac\nexit 0\n");
        std::ofstream(conf) << "send host-name = gethostname();\n"
                               "request subnet-mask, routers, domain-name-servers;\n"
                               "timeout 15;\nretry 1;\n";
        m_client->Exec("unshare -u sh -c \"hostname " + host + " && dhclient -1 -4 -cf " + conf +
                       " -lf " + m_dir->File("dhclient.leases") + " -pf " +
                       m_dir->File("dhclient.pid") + " -sf " + script + " eth0\" >/dev/null 2>&1");
        return ReadValues(out);
    }

    std::string Hostname(const char* mac) {
        char name[64] = {};
        int len = sizeof name;
        return GetDhcpHostnameByMac(mac, name, &len) == 0 ? name : "?";
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_hotspot;
    std::unique_ptr<NetNamespace> m_client;
    std::string m_link;
};

TEST_F(DhcpClientsTest, RealClientsGetConsecutiveAddressesAndTheBlackListedNone) {
    int started = 0;
    ASSERT_TRUE(m_hotspot->RunInside([&] {
        SetDNS("114.114.114.114,8.8.8.8");
        started = StartDHCP("192.168.77.1", nullptr);
    }));
    ASSERT_EQ(started, 1);
    ASSERT_TRUE(enginebed::Eventually([] { return Logged("DHCP Thread start svc"); }));

    SetClientMac("02:00:00:00:77:01");
    auto first = Udhcpc("c1");
    EXPECT_EQ(first["ip"], "192.168.77.2");
    EXPECT_EQ(first["subnet"], "255.255.255.0");
    EXPECT_EQ(first["router"], "192.168.77.1");
    EXPECT_EQ(first["dns"], "114.114.114.114 8.8.8.8");
    EXPECT_TRUE(plat::DebugOutput::Instance().Contains(
        "DHCP:ack 02-00-00-00-77-01, ack ip:192.168.77.2\n"));

    SetClientMac("02:00:00:00:77:02");
    auto second = Dhclient("c2");
    EXPECT_EQ(second["ip"], "192.168.77.3");
    EXPECT_EQ(second["subnet"], "255.255.255.0");
    EXPECT_EQ(second["router"], "192.168.77.1");
    EXPECT_EQ(second["dns"], "114.114.114.114 8.8.8.8");

    AddBlackList("02-00-00-00-77-03");
    SetClientMac("02:00:00:00:77:03");
    auto banned = Udhcpc("c3", 5);
    EXPECT_TRUE(banned.empty()) << "got " << banned["ip"];
    EXPECT_TRUE(
        plat::DebugOutput::Instance().Contains("DHCP:offer ip 02-00-00-00-77-03, ip:0.0.0.0\n"));

    // The table holds the two leases with the names the clients sent.
    std::vector<_DHCP_CLIENT> records(8);
    int bytes = static_cast<int>(records.size() * sizeof(_DHCP_CLIENT));
    EXPECT_EQ(GetAllDhcpClients(records.data(), &bytes), 2);
    EXPECT_EQ(Hostname("02-00-00-00-77-01"), "c1");
    EXPECT_EQ(Hostname("02-00-00-00-77-02"), "c2");
    EXPECT_FALSE(plat::DebugOutput::Instance().Contains("Refuse local"));

    EXPECT_EQ(StopDHCP(), 1);
    EXPECT_TRUE(plat::DebugOutput::Instance().Contains("DHCP Thread End"));
}

TEST_F(DhcpClientsTest, ServerBindsOnceItsAddressAppears) {
    ASSERT_EQ(m_hotspot->Exec("ip addr flush dev " + m_link), 0);
    int started = 0;
    ASSERT_TRUE(m_hotspot->RunInside([&] { started = StartDHCP("192.168.77.1", nullptr); }));
    ASSERT_EQ(started, 1);
    // The server's thread logs its start on its own time (late on a loaded
    // machine); once it has, it must keep waiting for the address.
    ASSERT_TRUE(enginebed::Eventually([] { return Logged("DHCP Thread Begin"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(plat::DebugOutput::Instance().Contains("DHCP Thread start svc"));

    ASSERT_EQ(m_hotspot->Exec("ip addr add 192.168.77.1/24 dev " + m_link), 0);
    ASSERT_TRUE(enginebed::Eventually([] { return Logged("DHCP Thread start svc"); }));

    SetClientMac("02:00:00:00:78:01");
    EXPECT_EQ(Udhcpc("late")["ip"], "192.168.77.2");
}

std::atomic<int> g_restartFromCallback{-1};

// The acknowledgement callback runs on the server thread: it may stop the
// server (the thread ends once the callback returns) but not restart it.
TEST_F(DhcpClientsTest, CallbackMayStopTheServerButNotRestartIt) {
    g_restartFromCallback = -1;
    int started = 0;
    ASSERT_TRUE(m_hotspot->RunInside([&] {
        started = StartDHCP("192.168.77.1", [](_DHCP_CLIENT*) {
            g_restartFromCallback = StartDHCP("192.168.77.1", nullptr);
            StopDHCP();
        });
    }));
    ASSERT_EQ(started, 1);
    ASSERT_TRUE(enginebed::Eventually([] { return Logged("DHCP Thread start svc"); }));

    SetClientMac("02:00:00:00:79:01");
    EXPECT_EQ(Udhcpc("cb")["ip"], "192.168.77.2") << "the ACK still goes out";
    EXPECT_EQ(g_restartFromCallback, 0);
    EXPECT_TRUE(enginebed::Eventually([] { return Logged("DHCP Thread End"); }));
    _DHCP_CLIENT c{};
    EXPECT_EQ(GetDhcpClient("02-00-00-00-79-01", &c), 0) << "the stop emptied the table";

    // The next start collects the ended thread and serves again.
    ASSERT_TRUE(m_hotspot->RunInside([&] { started = StartDHCP("192.168.77.1", nullptr); }));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(StopDHCP(), 1);
}

}  // namespace
