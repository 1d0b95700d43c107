// lumari-hotspot end to end on the network bed: an upstream namespace with a
// DNS server (dnsmasq) and a web server on 203.0.113.10, the hotspot namespace
// running the program with a veth as its access-point interface, and two
// client namespaces behind a bridge namespace that stands in for the air.
// The clients take leases with udhcpc, resolve through the relay with dig,
// and fetch from the upstream through the hotspot's NAT (the upstream has no
// route back to the clients' subnet). Root only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "NamespaceResolvConf.h"
#include "NetNamespace.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using nettest::NetNamespace;

constexpr const char* kMac1 = "02-4C-E2-00-00-01";
constexpr const char* kMac2 = "02-4C-E2-00-00-02";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using nettest::NamespaceResolvConf;

// lumari-hotspot running in a namespace: its standard input is a pipe of the
// test, its event lines are collected, its diagnostics go to a file.
class Hotspot {
public:
    Hotspot(const std::string& ns, const std::vector<std::string>& args,
            const std::string& runtimeDir, const std::string& errFile) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            dup2(err, 2);
            setenv("LUMARI_HOTSPOT_RUNTIME_DIR", runtimeDir.c_str(), 1);
#ifdef LUMARI_HOTSPOT_PATH
            std::vector<std::string> all = {"ip", "netns", "exec", ns, LUMARI_HOTSPOT_PATH};
#else
            std::vector<std::string> all = {"false"};
#endif
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (auto& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("ip", argv.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
        m_reader = std::thread([this] { Read(); });
    }
    ~Hotspot() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGKILL);
            Wait(5s);
        }
        if (m_in >= 0)
            close(m_in);
        if (m_reader.joinable())
            m_reader.join();
        if (m_out >= 0)
            close(m_out);
    }

    void Send(const std::string& bytes) {
        if (write(m_in, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            ADD_FAILURE() << "cannot write to lumari-hotspot";
    }
    void CloseInput() {
        close(m_in);
        m_in = -1;
    }
    void Kill(int sig) {
        kill(m_pid, sig);
    }

    // The first event line from index `from` on that matches; empty on timeout.
    std::string WaitLine(const std::function<bool(const std::string&)>& match,
                         std::chrono::milliseconds timeout, std::size_t from = 0) {
        std::unique_lock<std::mutex> lock(m_lock);
        std::string found;
        m_changed.wait_for(lock, timeout, [&] {
            for (std::size_t i = from; i < m_lines.size(); ++i)
                if (match(m_lines[i])) {
                    found = m_lines[i];
                    return true;
                }
            return m_eof;
        });
        return found;
    }
    std::size_t LineCount() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_lines.size();
    }
    std::string Lines() {
        std::lock_guard<std::mutex> g(m_lock);
        std::string all;
        for (const auto& l : m_lines)
            all += l + "\n";
        return all;
    }
    // The exit status, or -1 when it did not end in time.
    int Wait(std::chrono::milliseconds timeout) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!m_exited && std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_exited = true;
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        return m_exited ? m_status : -1;
    }

private:
    void Read() {
        std::string pending;
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(m_out, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t nl;
            std::lock_guard<std::mutex> g(m_lock);
            while ((nl = pending.find('\n')) != std::string::npos) {
                m_lines.push_back(pending.substr(0, nl));
                pending.erase(0, nl + 1);
            }
            m_changed.notify_all();
        }
        std::lock_guard<std::mutex> g(m_lock);
        m_eof = true;
        m_changed.notify_all();
    }

    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    bool m_exited = false;
    int m_status = -1;
    std::thread m_reader;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    bool m_eof = false;
};

bool Has(const std::string& line, const std::string& part) {
    return line.find(part) != std::string::npos;
}

std::uint64_t Field(const std::string& line, const std::string& name) {
    std::smatch m;
    if (std::regex_search(line, m, std::regex("\"" + name + "\":([0-9]+)")))
        return std::stoull(m[1]);
    return 0;
}

class HotspotEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef LUMARI_HOTSPOT_PATH
        GTEST_SKIP() << "lumari-hotspot is not built";
#endif
        std::string why;
        if (!nettest::CanBuildNamespaces(&why))
            GTEST_SKIP() << why;
        for (const char* tool : {"dnsmasq", "dig", "curl", "nft", "tc"})
            if (nettest::Run(std::string("command -v ") + tool + " >/dev/null 2>&1") != 0)
                GTEST_SKIP() << "needs " << tool;
        m_dir = std::make_unique<TempDir>();
        m_up = std::make_unique<NetNamespace>("e2up");
        m_hs = std::make_unique<NetNamespace>("e2hs");
        m_air = std::make_unique<NetNamespace>("e2air");
        m_c1 = std::make_unique<NetNamespace>("e2c1");
        m_c2 = std::make_unique<NetNamespace>("e2c2");
        for (auto* ns : {m_up.get(), m_hs.get(), m_air.get(), m_c1.get(), m_c2.get()})
            ASSERT_TRUE(ns->Created());
        const auto link = [](const std::string& a, const std::string& ns1, const std::string& b,
                             const std::string& ns2, const std::string& extra = "") {
            return nettest::Run("ip link add " + a + " netns " + ns1 + " type veth peer name " + b +
                                " netns " + ns2 + extra);
        };
        ASSERT_EQ(link("wan0", m_hs->Name(), "eth0", m_up->Name()), 0);
        ASSERT_EQ(link("lan0", m_hs->Name(), "hs", m_air->Name()), 0);
        ASSERT_EQ(link("c1", m_air->Name(), "eth0", m_c1->Name(), " address 02:4c:e2:00:00:01"), 0);
        ASSERT_EQ(link("c2", m_air->Name(), "eth0", m_c2->Name(), " address 02:4c:e2:00:00:02"), 0);
        ASSERT_EQ(m_up->Exec("ip addr add 198.51.100.1/24 dev eth0 && ip link set eth0 up && "
                             "ip addr add 203.0.113.10/32 dev lo"),
                  0);
        ASSERT_EQ(m_hs->Exec("ip addr add 198.51.100.2/24 dev wan0 && ip link set wan0 up && "
                             "ip route add default via 198.51.100.1 && "
                             "sysctl -qw net.ipv4.ip_forward=1"),
                  0);
        ASSERT_EQ(m_air->Exec("ip link add br0 type bridge && ip link set br0 up && "
                              "for p in hs c1 c2; do ip link set $p master br0 up; done"),
                  0);
        for (auto* c : {m_c1.get(), m_c2.get()})
            ASSERT_EQ(c->Exec("ip link set eth0 up"), 0);

        std::filesystem::create_directories(m_dir->File("www"));
        m_dir->Write("www/index.html", "hello from upstream\n");
        m_dir->Write("www/big", std::string(2 * 1024 * 1024, 'x'));
        ASSERT_EQ(m_up->Exec("dnsmasq --keep-in-foreground --no-resolv --no-hosts "
                             "--listen-address=198.51.100.1 --bind-interfaces --pid-file=" +
                             m_dir->File("dnsmasq.pid") +
                             " --host-record=svc.example.test,203.0.113.10 >" +
                             m_dir->File("dnsmasq.log") + " 2>&1 &"),
                  0);
        ASSERT_EQ(m_up->Exec("busybox httpd -p 203.0.113.10:8080 -h " + m_dir->File("www")), 0);
        m_resolv = std::make_unique<NamespaceResolvConf>(m_hs->Name(), "nameserver 198.51.100.1\n");

        // udhcpc's script of this test: it sets the lease and notes it in a file.
        m_dir->Write("udhcpc.sh",
                     "#!/bin/sh\n"
                     "case \"$1\" in bound|renew)\n"
                     "  ip addr flush dev $interface\n"
                     "  ip addr add $ip/${mask:-24} dev $interface\n"
                     "  for r in $router; do ip route replace default via $r; break; done\n"
                     "  echo $ip > \"$LEASE_FILE\";;\n"
                     "esac\nexit 0\n");
        std::filesystem::permissions(m_dir->File("udhcpc.sh"), std::filesystem::perms::owner_all);
        m_state = m_dir->File("state");
        m_run = m_dir->File("run");
        for (int i = 0; i < 100 && m_up->Exec("dig @198.51.100.1 +short +time=1 +tries=1 "
                                              "svc.example.test >/dev/null") != 0;
             ++i)
            std::this_thread::sleep_for(20ms);
    }

    void TearDown() override {
        m_c1.reset();
        m_c2.reset();
        m_air.reset();
        m_hs.reset();
        m_up.reset();
        m_resolv.reset();
    }

    std::unique_ptr<Hotspot> Start(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--ap-interface", "lan0",        "--address",
                                         "192.168.77.1",   "--dns-relay", "--state-dir",
                                         m_state};
        args.insert(args.end(), extra.begin(), extra.end());
        return std::make_unique<Hotspot>(m_hs->Name(), args, m_run, m_dir->File("hotspot.err"));
    }

    // A lease from the hotspot for the client namespace; its address or empty.
    std::string Lease(const NetNamespace& client, const std::string& hostName) {
        const std::string file = m_dir->File("lease-" + client.Name());
        std::filesystem::remove(file);
        // A refused client is offered 0.0.0.0 and refused again without end:
        // udhcpc's own tries never run out then.
        client.Exec("LEASE_FILE=" + file +
                    " timeout 8 busybox udhcpc -i eth0 -n -q -t 5 -T 1 -x hostname:" + hostName +
                    " -s " + m_dir->File("udhcpc.sh") + " >/dev/null 2>&1");
        std::string ip = ReadFile(file);
        while (!ip.empty() && (ip.back() == '\n' || ip.back() == ' '))
            ip.pop_back();
        return ip;
    }

    bool Fetch(const NetNamespace& client, const std::string& path, int seconds,
               std::string* body = nullptr) {
        const std::string out = m_dir->File("fetch-" + client.Name());
        const int rc = client.Exec("curl -s -m " + std::to_string(seconds) + " -o " + out +
                                   " http://203.0.113.10:8080/" + path);
        if (body != nullptr)
            *body = ReadFile(out);
        return rc == 0;
    }

    // Nothing of the hotspot is left in its namespace.
    void ExpectNothingLeft() {
        const std::string tables = m_dir->File("tables");
        m_hs->Exec("nft list tables >" + tables + " 2>&1; tc qdisc show | grep -v noqueue >>" +
                   tables + "; ip -4 addr show dev lan0 | grep inet >>" + tables + "; ls " + m_run +
                   " >>" + tables + " 2>/dev/null");
        EXPECT_EQ(ReadFile(tables), "");
        EXPECT_NE(nettest::Run("pgrep -f '^hostapd .*" + m_run + "' >/dev/null"), 0);
    }

    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<NetNamespace> m_up, m_hs, m_air, m_c1, m_c2;
    std::unique_ptr<NamespaceResolvConf> m_resolv;
    std::string m_state, m_run;
};

auto Event(const std::string& name) {
    return [name](const std::string& l) { return Has(l, "\"event\":\"" + name + "\""); };
}

// The whole run of a hotspot: leases, names, NAT, counters, ban and unban, a
// speed limit, commands refused, and a stop that leaves nothing behind.
// Real transfers of about 6 MB (4 MB at 1024 KB/s) make it take a few seconds.
TEST_F(HotspotEndToEndTest, ClientsGetLeasesNamesAndTheUpstreamUnderTheUsersControl) {
    auto hotspot = Start({"--ssid", "Lumari E2E", "--key", "secret123"});
    ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
        << hotspot->Lines() << ReadFile(m_dir->File("hotspot.err"));
    ASSERT_TRUE(Has(hotspot->Lines(), "\"event\":\"NetworkStarted\",\"code\":0"));

    const std::string ip1 = Lease(*m_c1, "phone-one");
    const std::string ip2 = Lease(*m_c2, "tablet-two");
    ASSERT_TRUE(ip1.rfind("192.168.77.", 0) == 0) << ip1;
    ASSERT_TRUE(ip2.rfind("192.168.77.", 0) == 0) << ip2;
    EXPECT_NE(ip1, ip2);

    // Each join names the client's MAC and DHCP host name; its address comes
    // with the join or with an update once the client's traffic shows it.
    const std::string macs[] = {kMac1, kMac2}, names[] = {"phone-one", "tablet-two"},
                      ips[] = {ip1, ip2};
    for (int i = 0; i < 2; ++i) {
        const std::string &mac = macs[i], &name = names[i];
        const std::string join = hotspot->WaitLine(
            [&](const std::string& l) {
                return Event("ClientJoin")(l) && Has(l, "\"mac\":\"" + mac + "\"");
            },
            10s);
        EXPECT_TRUE(Has(join, "\"name\":\"" + name + "\"")) << join;
    }

    // Names through the relay, the upstream through NAT, from both clients.
    for (auto* c : {m_c1.get(), m_c2.get()}) {
        const std::string out = m_dir->File("dig");
        c->Exec("dig @192.168.77.1 +short +time=2 +tries=1 svc.example.test >" + out);
        EXPECT_EQ(ReadFile(out), "203.0.113.10\n") << c->Name();
        std::string body;
        EXPECT_TRUE(Fetch(*c, "", 5, &body));
        EXPECT_EQ(body, "hello from upstream\n");
    }

    for (int i = 0; i < 2; ++i) {
        const std::string &mac = macs[i], &ip = ips[i];
        EXPECT_FALSE(hotspot
                         ->WaitLine(
                             [&](const std::string& l) {
                                 return (Event("ClientJoin")(l) || Event("ClientUpdate")(l)) &&
                                        Has(l, "\"mac\":\"" + mac + "\"") &&
                                        Has(l, "\"ip\":\"" + ip + "\"");
                             },
                             5s)
                         .empty())
            << hotspot->Lines();
    }

    // The counters grow by what was moved (kilobytes).
    const auto c1Update = [&](const std::string& l) {
        return Event("ClientUpdate")(l) && Has(l, std::string("\"mac\":\"") + kMac1 + "\"");
    };
    std::size_t mark = hotspot->LineCount();
    const std::uint64_t before = Field(hotspot->WaitLine(c1Update, 3s, mark), "periodDown");
    ASSERT_TRUE(Fetch(*m_c1, "big", 10));
    mark = hotspot->LineCount();
    const std::string grown = hotspot->WaitLine(
        [&](const std::string& l) {
            return c1Update(l) && Field(l, "periodDown") >= before + 2048;
        },
        5s, mark);
    ASSERT_FALSE(grown.empty()) << hotspot->Lines();
    EXPECT_LT(Field(grown, "periodDown"), before + 2048 + 256);
    EXPECT_GT(Field(grown, "periodUp"), 0u);

    // A ban cuts the client within a second and leaves the other alone; unban restores it.
    hotspot->Send("ban 02:4c:e2:00:00:01\n");
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(Fetch(*m_c1, "", 1));
    EXPECT_TRUE(Fetch(*m_c2, "", 2));
    hotspot->Send("unban 02-4C-E2-00-00-01\n");
    bool restored = false;
    for (int i = 0; i < 4 && !restored; ++i)
        restored = Fetch(*m_c1, "", 1);
    EXPECT_TRUE(restored);

    // 1024 KB/s holds within 10% for a 2 MB download.
    hotspot->Send("limit 02:4c:e2:00:00:01 1024 1024\n");
    std::this_thread::sleep_for(200ms);
    // Download measured by curl; upload from the time the client starts
    // sending to the time the upstream's sink has read everything.
    const std::string speed = m_dir->File("speed");
    ASSERT_EQ(m_c1->Exec("curl -s -m 10 -o /dev/null -w %{speed_download} "
                         "http://203.0.113.10:8080/big >" +
                         speed),
              0);
    const double down = std::atof(ReadFile(speed).c_str());
    m_dir->Write("sink.sh", "#!/bin/sh\nwc -c >" + m_dir->File("up.count") + "\ndate +%s.%N >" +
                                m_dir->File("up.end") + "\n");
    std::filesystem::permissions(m_dir->File("sink.sh"), std::filesystem::perms::owner_all);
    ASSERT_EQ(m_up->Exec("busybox nc -l -p 9000 -e " + m_dir->File("sink.sh") + " </dev/null &"),
              0);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(m_c1->Exec("date +%s.%N >" + m_dir->File("up.start") +
                         " && timeout 10 busybox nc 203.0.113.10 9000 <" + m_dir->File("www/big")),
              0);
    for (int i = 0; i < 100 && ReadFile(m_dir->File("up.end")).empty(); ++i)
        std::this_thread::sleep_for(50ms);
    const double seconds = std::atof(ReadFile(m_dir->File("up.end")).c_str()) -
                           std::atof(ReadFile(m_dir->File("up.start")).c_str());
    const double up = seconds > 0 ? 2.0 * 1024 * 1024 / seconds : 0;
    EXPECT_EQ(ReadFile(m_dir->File("up.count")), "2097152\n");
    for (const double rate : {down, up}) {
        EXPECT_GT(rate, 1024.0 * 1024 * 0.9) << down << " " << up;
        EXPECT_LT(rate, 1024.0 * 1024 * 1.1) << down << " " << up;
    }

    // Bad lines answer an error and change nothing; the program lives on.
    mark = hotspot->LineCount();
    hotspot->Send("bogus\n");
    hotspot->Send(std::string(5000, 'A') + "\n");
    hotspot->Send(std::string("ban \x01\xff\x00zz\n", 10));
    hotspot->Send("ban 02:4c:e2:00:00:99\n");
    hotspot->Send("clients\n");
    const std::string clients = hotspot->WaitLine(Event("Clients"), 5s, mark);
    EXPECT_TRUE(Has(clients, kMac1) && Has(clients, kMac2)) << clients;
    std::size_t errors = 0;
    const std::string all = hotspot->Lines();
    for (std::size_t at = all.find("\"event\":\"Error\"", 0); at != std::string::npos;
         at = all.find("\"event\":\"Error\"", at + 1))
        ++errors;
    EXPECT_EQ(errors, 4u) << all;

    // The end of the input does not stop it; `stop` does, and leaves nothing.
    hotspot->Send("stop\n");
    hotspot->CloseInput();
    EXPECT_FALSE(hotspot->WaitLine(Event("NetworkStopped"), 15s).empty());
    EXPECT_EQ(hotspot->Wait(15s), 0) << ReadFile(m_dir->File("hotspot.err"));
    ExpectNothingLeft();
}

// The deny and allow lists: a denied device gets no lease and moves no packet
// even with an address of its own; while the allow list holds any device, one
// not on it gets no lease; both lists hold in the next run without the file.
TEST_F(HotspotEndToEndTest, DeniedAndUnlistedDevicesStayOutAcrossRestarts) {
    const auto c2Join = [](const std::string& l) {
        return Event("ClientJoin")(l) && Has(l, std::string("\"mac\":\"") + kMac2 + "\"");
    };
    const auto stop = [&](Hotspot& hotspot) {
        hotspot.Send("stop\n");
        EXPECT_EQ(hotspot.Wait(15s), 0) << ReadFile(m_dir->File("hotspot.err"));
    };
    m_dir->Write("deny", "# kept out\n  02:4c:e2:00:00:01   # phone\n\n");
    {
        auto hotspot = Start({"--deny-file", m_dir->File("deny")});
        ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
            << hotspot->Lines() << ReadFile(m_dir->File("hotspot.err"));
        EXPECT_EQ(Lease(*m_c1, "phone-one"), "");
        ASSERT_NE(Lease(*m_c2, "tablet-two"), "");
        EXPECT_TRUE(Fetch(*m_c2, "", 5));
        EXPECT_TRUE(Has(hotspot->WaitLine(c2Join, 5s), "\"new\":true")) << hotspot->Lines();
        ASSERT_EQ(m_c1->Exec("ip addr add 192.168.77.200/24 dev eth0 && "
                             "ip route replace default via 192.168.77.1"),
                  0);
        EXPECT_FALSE(Fetch(*m_c1, "", 2));
        EXPECT_NE(m_c1->Exec("busybox ping -c 2 -W 1 198.51.100.1 >/dev/null 2>&1"), 0);
        hotspot->Send("allow 02:4c:e2:00:00:02\n");
        hotspot->Send("clients\n");
        EXPECT_FALSE(hotspot->WaitLine(Event("Clients"), 5s).empty());
        stop(*hotspot);
    }
    ASSERT_EQ(m_c1->Exec("ip addr flush dev eth0"), 0);
    {
        auto hotspot = Start();
        ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
            << hotspot->Lines() << ReadFile(m_dir->File("hotspot.err"));
        EXPECT_EQ(Lease(*m_c1, "phone-one"), "");
        ASSERT_NE(Lease(*m_c2, "tablet-two"), "");
        EXPECT_TRUE(Fetch(*m_c2, "", 5));
        // Known from the first run.
        EXPECT_TRUE(Has(hotspot->WaitLine(c2Join, 5s), "\"new\":false")) << hotspot->Lines();
        // Off the deny list, but not on the allow list: still no lease.
        hotspot->Send("undeny 02-4C-E2-00-00-01\n");
        EXPECT_EQ(Lease(*m_c1, "phone-one"), "");
        // An empty allow list keeps nobody out.
        hotspot->Send("unallow 02:4c:e2:00:00:02\n");
        EXPECT_NE(Lease(*m_c1, "phone-one"), "");
        EXPECT_TRUE(Fetch(*m_c1, "", 5));
        EXPECT_EQ(hotspot->Lines().find("\"event\":\"Error\""), std::string::npos)
            << hotspot->Lines();
        stop(*hotspot);
        ExpectNothingLeft();
    }
}

// A run killed with SIGKILL leaves its rules and address; the next start
// cleans up and starts, and SIGTERM stops it cleanly.
TEST_F(HotspotEndToEndTest, AfterAKillTheNextStartCleansUpAndStarts) {
    {
        auto hotspot = Start();
        ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
            << ReadFile(m_dir->File("hotspot.err"));
        hotspot->CloseInput();  // the end of the input does not stop it
        ASSERT_FALSE(Lease(*m_c1, "phone-one").empty());
        hotspot->Kill(SIGKILL);
        EXPECT_EQ(hotspot->Wait(5s), 128 + SIGKILL);
    }
    {
        auto hotspot = Start();
        ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
            << hotspot->Lines() << ReadFile(m_dir->File("hotspot.err"));
        EXPECT_FALSE(Lease(*m_c2, "tablet-two").empty());
        EXPECT_TRUE(Fetch(*m_c2, "", 5));
        hotspot->Kill(SIGTERM);
        EXPECT_EQ(hotspot->Wait(15s), 0) << ReadFile(m_dir->File("hotspot.err"));
        ExpectNothingLeft();
    }
}

}  // namespace
