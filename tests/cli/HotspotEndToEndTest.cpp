// lumari-hotspot end to end on the network bed: an upstream namespace with a
// DNS server (dnsmasq) and a web server on 203.0.113.10, the hotspot namespace
// running the program with a veth as its access-point interface, and two
// client namespaces behind a bridge namespace that stands in for the air.
// The clients take leases with udhcpc, resolve through the relay with dig,
// and fetch from the upstream through the hotspot's NAT (the upstream has no
// route back to the clients' subnet). Root only.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
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
    // The program carries out its commands in order: once its answer to
    // "clients" is out, every command sent before it has been done.
    bool AwaitCommands() {
        const std::size_t mark = LineCount();
        Send("clients\n");
        return !WaitLine(
                    [](const std::string& l) {
                        return l.find("\"event\":\"Clients\"") != std::string::npos;
                    },
                    std::chrono::seconds(5), mark)
                    .empty();
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
                             " --host-record=svc.example.test,203.0.113.10,2001:db8:ffff::10 >" +
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
    ASSERT_TRUE(hotspot->AwaitCommands());
    EXPECT_FALSE(Fetch(*m_c1, "", 1));
    EXPECT_TRUE(Fetch(*m_c2, "", 2));
    hotspot->Send("unban 02-4C-E2-00-00-01\n");
    bool restored = false;
    for (int i = 0; i < 4 && !restored; ++i)
        restored = Fetch(*m_c1, "", 1);
    EXPECT_TRUE(restored);

    // 1024 KB/s holds within 10% for a 2 MB download.
    hotspot->Send("limit 02:4c:e2:00:00:01 1024 1024\n");
    ASSERT_TRUE(hotspot->AwaitCommands());
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

namespace {

using Ipv6 = std::array<std::uint8_t, 16>;

// The global IPv6 addresses `ip -6 -o addr` lists for a device of a namespace.
std::vector<Ipv6> GlobalAddresses(const NetNamespace& ns, const std::string& dev,
                                  const std::string& file) {
    ns.Exec("ip -6 -o addr show dev " + dev + " scope global >" + file + " 2>&1");
    std::vector<Ipv6> out;
    std::istringstream lines(ReadFile(file));
    std::string line;
    std::smatch m;
    while (std::getline(lines, line))
        if (std::regex_search(line, m, std::regex("inet6 ([0-9a-f:]+)/"))) {
            Ipv6 a{};
            if (inet_pton(AF_INET6, m[1].str().c_str(), a.data()) == 1)
                out.push_back(a);
        }
    return out;
}

bool InPrefix(const Ipv6& a, const Ipv6& prefix) {
    return std::equal(a.begin(), a.begin() + 8, prefix.begin());
}

std::string Text(const Ipv6& a) {
    char text[INET6_ADDRSTRLEN];
    inet_ntop(AF_INET6, a.data(), text, sizeof text);
    return text;
}

// From inside a client: a router solicitation on eth0 and the RDNSS servers
// of the advertisement that answers it (none when no answer comes).
std::vector<Ipv6> SolicitDnsServers() {
    std::vector<Ipv6> servers;
    const int fd = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (fd < 0)
        return servers;
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ND_ROUTER_ADVERT, &filter);
    const int hops = 255;
    setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
    setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, "eth0", 4);
    setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops);
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "ff02::2", &to.sin6_addr);
    to.sin6_scope_id = if_nametoindex("eth0");
    const std::uint8_t rs[8] = {133, 0, 0, 0, 0, 0, 0, 0};
    sendto(fd, rs, sizeof rs, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{fd, POLLIN, 0};
    std::uint8_t m[1500];
    if (poll(&p, 1, 5000) == 1) {
        const ssize_t n = recv(fd, m, sizeof m, 0);
        for (std::size_t pos = 16; n > 0 && pos + 2 <= static_cast<std::size_t>(n);) {
            const std::size_t length = std::size_t{m[pos + 1]} * 8;
            if (length == 0 || pos + length > static_cast<std::size_t>(n))
                break;
            for (std::size_t at = pos + 8; m[pos] == 25 && at + 16 <= pos + length; at += 16) {
                Ipv6 a{};
                std::copy(m + at, m + at + 16, a.begin());
                servers.push_back(a);
            }
            pos += length;
        }
    }
    close(fd);
    return servers;
}

}  // namespace

// With an IPv6 upstream the clients get addresses of the hotspot's own /64 by
// router advertisement, its address as DNS server, names (AAAA) through the
// relay there and the upstream through the masquerade; a ban cuts IPv6 too;
// the stop (and the start after a killed run) leaves nothing; --no-ipv6 keeps
// it all off.
TEST_F(HotspotEndToEndTest, ClientsGetIpv6FromTheHotspotsOwnPrefix) {
    ASSERT_EQ(m_up->Exec("ip -6 addr add 2001:db8:1::1/64 dev eth0 nodad && "
                         "ip -6 addr add 2001:db8:ffff::10/128 dev lo"),
              0);
    ASSERT_EQ(m_hs->Exec("ip -6 addr add 2001:db8:1::2/64 dev wan0 nodad && "
                         "ip -6 route add default via 2001:db8:1::1 dev wan0"),
              0);
    ASSERT_EQ(m_up->Exec("busybox httpd -p [2001:db8:ffff::10]:8080 -h " + m_dir->File("www")), 0);
    const std::string sysctls = m_dir->File("sysctls");
    const auto hostSettings = [&] {
        m_hs->Exec("sysctl -n net.ipv6.conf.all.forwarding net.ipv6.conf.wan0.accept_ra >" +
                   sysctls);
        return ReadFile(sysctls);
    };
    const std::string settingsBefore = hostSettings();
    ASSERT_EQ(settingsBefore, "0\n1\n");

    auto hotspot = Start({"--ssid", "Lumari E2E", "--key", "secret123"});
    ASSERT_EQ(Field(hotspot->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
        << hotspot->Lines() << ReadFile(m_dir->File("hotspot.err"));
    std::string prefixText = ReadFile(m_state + "/ipv6-prefix");
    ASSERT_NE(prefixText.find("/64"), std::string::npos) << prefixText;
    prefixText.erase(prefixText.find('/'));
    Ipv6 prefix{};
    ASSERT_EQ(inet_pton(AF_INET6, prefixText.c_str(), prefix.data()), 1) << prefixText;
    Ipv6 own = prefix;
    own[15] = 1;
    const auto ownList = GlobalAddresses(*m_hs, "lan0", m_dir->File("addr"));
    ASSERT_EQ(ownList.size(), 1u);
    EXPECT_EQ(ownList[0], own);
    EXPECT_EQ(hostSettings(), "1\n2\n") << "forwarding on, the upstream's router still learnt";

    // (The lease first: the test's DHCP script flushes the interface's addresses.)
    ASSERT_FALSE(Lease(*m_c1, "phone-one").empty());

    // Both clients configure an address of the prefix by themselves.
    for (auto* c : {m_c1.get(), m_c2.get()}) {
        std::vector<Ipv6> mine;
        for (int i = 0; i < 100 && mine.empty(); ++i) {
            for (const Ipv6& a : GlobalAddresses(*c, "eth0", m_dir->File("addr")))
                if (InPrefix(a, prefix))
                    mine.push_back(a);
            if (mine.empty())
                std::this_thread::sleep_for(100ms);
        }
        ASSERT_EQ(mine.size(), 1u) << c->Name();
    }
    std::vector<Ipv6> servers;
    ASSERT_TRUE(m_c1->RunInside([&] { servers = SolicitDnsServers(); }));
    ASSERT_EQ(servers.size(), 1u);
    EXPECT_EQ(servers[0], own);

    // Names (AAAA and A) through the relay on its IPv6 address; the upstream
    // through the masquerade (it has no route back to the prefix).
    const std::string ownText = Text(own);
    const std::string dig = m_dir->File("dig6");
    const auto ask = [&](const NetNamespace& c, const std::string& type) {
        std::filesystem::remove(dig);
        c.Exec("dig @" + ownText + " +short +time=2 +tries=1 " + type + " svc.example.test >" +
               dig);
        return ReadFile(dig);
    };
    EXPECT_EQ(ask(*m_c1, "AAAA"), "2001:db8:ffff::10\n");
    EXPECT_EQ(ask(*m_c1, "A"), "203.0.113.10\n");
    const auto ping = [&](const NetNamespace& c) {
        return c.Exec("busybox ping -6 -c 1 -W 2 2001:db8:ffff::10 >/dev/null 2>&1") == 0;
    };
    EXPECT_TRUE(ping(*m_c1));
    EXPECT_TRUE(ping(*m_c2));
    // c2 has no IPv4 address at all: its IPv6 traffic alone makes it a client.
    EXPECT_FALSE(hotspot
                     ->WaitLine(
                         [](const std::string& l) {
                             return Event("ClientJoin")(l) &&
                                    Has(l, std::string("\"mac\":\"") + kMac2 + "\"");
                         },
                         5s)
                     .empty())
        << hotspot->Lines();
    const auto fetch6 = [&](const NetNamespace& c, const std::string& path, int seconds) {
        return c.Exec("curl -sS -m " + std::to_string(seconds) + " -o /dev/null " +
                      "http://[2001:db8:ffff::10]:8080/" + path + " 2>>" +
                      m_dir->File("curl6.err")) == 0;
    };

    // IPv6 download is counted for the client that receives it (a client the
    // driver knows from its IPv4 traffic).
    ASSERT_TRUE(Fetch(*m_c1, "", 5));
    const auto c1Update = [&](const std::string& l) {
        return Event("ClientUpdate")(l) && Has(l, std::string("\"mac\":\"") + kMac1 + "\"");
    };
    const std::uint64_t before =
        Field(hotspot->WaitLine(c1Update, 5s, hotspot->LineCount()), "periodDown");
    ASSERT_TRUE(fetch6(*m_c1, "big", 10)) << ReadFile(m_dir->File("curl6.err"));
    EXPECT_FALSE(hotspot
                     ->WaitLine(
                         [&](const std::string& l) {
                             return c1Update(l) && Field(l, "periodDown") >= before + 2048;
                         },
                         5s, hotspot->LineCount())
                     .empty())
        << hotspot->Lines();

    // A ban cuts the client's IPv6 both ways (the relay's answers too); the
    // other client keeps its own; unban restores it.
    hotspot->Send("ban 02:4c:e2:00:00:01\n");
    ASSERT_TRUE(hotspot->AwaitCommands());
    EXPECT_FALSE(ping(*m_c1));
    EXPECT_FALSE(fetch6(*m_c1, "", 1));
    EXPECT_EQ(ask(*m_c1, "AAAA").find("2001:db8:ffff::10"), std::string::npos);
    EXPECT_TRUE(ping(*m_c2));
    EXPECT_EQ(ask(*m_c2, "AAAA"), "2001:db8:ffff::10\n");
    hotspot->Send("unban 02:4c:e2:00:00:01\n");
    bool restored = false;
    for (int i = 0; i < 4 && !restored; ++i)
        restored = ping(*m_c1);
    EXPECT_TRUE(restored);

    // Limits hold for IPv6 within 10% (2 MB each way at 1024 KB/s).
    hotspot->Send("limit 02:4c:e2:00:00:01 1024 1024\n");
    ASSERT_TRUE(hotspot->AwaitCommands());
    const std::string speed = m_dir->File("speed6");
    ASSERT_EQ(m_c1->Exec("curl -s -m 10 -o /dev/null -w %{speed_download} "
                         "'http://[2001:db8:ffff::10]:8080/big' >" +
                         speed),
              0);
    const double down = std::atof(ReadFile(speed).c_str());
    // Upload: from the time the client starts sending to the time the
    // upstream's sink has read everything.
    m_dir->Write("sink6.sh", "#!/bin/sh\nwc -c >" + m_dir->File("up6.count") + "\ndate +%s.%N >" +
                                 m_dir->File("up6.end") + "\n");
    std::filesystem::permissions(m_dir->File("sink6.sh"), std::filesystem::perms::owner_all);
    ASSERT_EQ(m_up->Exec("busybox nc -l -p 9001 -e " + m_dir->File("sink6.sh") + " </dev/null &"),
              0);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(
        m_c1->Exec("date +%s.%N >" + m_dir->File("up6.start") +
                   " && timeout 10 busybox nc 2001:db8:ffff::10 9001 <" + m_dir->File("www/big")),
        0);
    for (int i = 0; i < 100 && ReadFile(m_dir->File("up6.end")).empty(); ++i)
        std::this_thread::sleep_for(50ms);
    const double seconds = std::atof(ReadFile(m_dir->File("up6.end")).c_str()) -
                           std::atof(ReadFile(m_dir->File("up6.start")).c_str());
    const double up = seconds > 0 ? 2.0 * 1024 * 1024 / seconds : 0;
    EXPECT_EQ(ReadFile(m_dir->File("up6.count")), "2097152\n");
    for (const double rate : {down, up}) {
        EXPECT_GT(rate, 1024.0 * 1024 * 0.9) << down << " " << up;
        EXPECT_LT(rate, 1024.0 * 1024 * 1.1) << down << " " << up;
    }

    // The stop withdraws the router and leaves no address, rule or setting.
    hotspot->Send("stop\n");
    hotspot->CloseInput();
    EXPECT_FALSE(hotspot->WaitLine(Event("NetworkStopped"), 15s).empty());
    EXPECT_EQ(hotspot->Wait(15s), 0) << ReadFile(m_dir->File("hotspot.err"));
    ExpectNothingLeft();
    EXPECT_TRUE(GlobalAddresses(*m_hs, "lan0", m_dir->File("addr")).empty());
    EXPECT_EQ(hostSettings(), settingsBefore);
    const std::string routes = m_dir->File("routes");
    m_c1->Exec("ip -6 route show default >" + routes);
    EXPECT_EQ(ReadFile(routes), "") << "the last advertisement ended the default route";

    // A run that is killed leaves its address and settings; the next start
    // undoes them, and with --no-ipv6 sets nothing up.
    auto killed = Start();
    ASSERT_EQ(Field(killed->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u);
    ASSERT_EQ(GlobalAddresses(*m_hs, "lan0", m_dir->File("addr")).size(), 1u);
    killed->Kill(SIGKILL);
    killed->Wait(5s);
    killed.reset();
    EXPECT_EQ(hostSettings(), "1\n2\n");
    auto without = Start({"--no-ipv6"});
    ASSERT_EQ(Field(without->WaitLine(Event("NetworkStarted"), 30s), "code"), 0u)
        << without->Lines() << ReadFile(m_dir->File("hotspot.err"));
    EXPECT_TRUE(GlobalAddresses(*m_hs, "lan0", m_dir->File("addr")).empty());
    EXPECT_EQ(hostSettings(), settingsBefore);
    servers.clear();
    ASSERT_TRUE(m_c1->RunInside([&] { servers = SolicitDnsServers(); }));
    EXPECT_TRUE(servers.empty()) << "no advertisement without IPv6";
    const std::string tables = m_dir->File("tables6");
    m_hs->Exec("nft list tables >" + tables);
    EXPECT_EQ(ReadFile(tables).find("lumari6"), std::string::npos);
    without->Send("stop\n");
    without->CloseInput();
    EXPECT_EQ(without->Wait(15s), 0);
    ExpectNothingLeft();
    // The prefix stays the same across runs.
    EXPECT_EQ(ReadFile(m_state + "/ipv6-prefix"), prefixText + "/64\n");
}
