#include "NatTestBed.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace nettest {

namespace {

constexpr char kUpstreamIp[] = "203.0.113.10";
constexpr char kHotspotIp[] = "192.168.50.1";
constexpr std::uint64_t kEndless = ~0ull;

bool JoinNamespace(const std::string& ns) {
    const int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return ok;
}

class Socket {
public:
    explicit Socket(int fd = -1) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int Fd() const { return m_fd; }

private:
    int m_fd;
};

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    return poll(&p, 1, timeoutMs) == 1 && (p.revents & (events | POLLHUP | POLLERR)) != 0;
}

// A connected TCP socket to ip:port, or -1.
int Connect(const char* ip, std::uint16_t port, int timeoutMs) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    int error = 0;
    socklen_t len = sizeof error;
    if (!WaitFor(fd, POLLOUT, timeoutMs) ||
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

enum class Pumped { Done, Stalled, Closed };

// Sends or receives exactly `n` bytes (or until the connection ends for
// kEndless), counting into `counter`. Stalled: nothing moved for `timeoutMs`
// (or the stop was requested).
Pumped Pump(int fd, bool send, std::uint64_t n, int timeoutMs, std::atomic<std::uint64_t>* counter,
            std::stop_token stop = {}) {
    static thread_local char buffer[64 * 1024];
    if (send)
        std::memset(buffer, 'x', sizeof buffer);
    std::uint64_t done = 0;
    int idle = 0;
    while (done < n) {
        if (stop.stop_requested() || idle >= timeoutMs)
            return Pumped::Stalled;
        if (!WaitFor(fd, send ? POLLOUT : POLLIN, 50)) {
            idle += 50;
            continue;
        }
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, n - done));
        const ssize_t r = send ? ::send(fd, buffer, want, MSG_NOSIGNAL) : recv(fd, buffer, want, 0);
        if (r < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (r <= 0)
            return Pumped::Closed;
        idle = 0;
        done += static_cast<std::uint64_t>(r);
        if (counter != nullptr)
            counter->fetch_add(static_cast<std::uint64_t>(r));
    }
    return Pumped::Done;
}

// The upstream server: a connection says how much it sends and wants back
// (two 64-bit counts; ~0 = until the connection ends), then does it.
void Serve(int fd, std::stop_token stop) {
    Socket s(fd);
    std::uint64_t header[2];
    std::size_t got = 0;
    for (int idle = 0; got < sizeof header;) {
        if (stop.stop_requested() || idle >= 3000)
            return;
        if (!WaitFor(fd, POLLIN, 50)) {
            idle += 50;
            continue;
        }
        const ssize_t r = recv(fd, reinterpret_cast<char*>(header) + got, sizeof header - got, 0);
        if (r <= 0 && !(r < 0 && (errno == EAGAIN || errno == EINTR)))
            return;
        if (r > 0)
            got += static_cast<std::size_t>(r);
    }
    // A stream (~0) runs until the client goes away, stalls and all.
    const int patience = header[0] == kEndless || header[1] == kEndless ? 1 << 30 : 3000;
    if (Pump(fd, false, header[0], patience, nullptr, stop) == Pumped::Done)
        Pump(fd, true, header[1], patience, nullptr, stop);
}

int Listen(const char* ip, std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, ip, &a.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Accepts until stopped; each connection is handed to `each` on a thread of
// its own (threads started here stay in the namespace).
void AcceptLoop(int listener, std::stop_token stop,
                const std::function<void(int, std::stop_token)>& each) {
    Socket l(listener);
    std::vector<std::jthread> workers;
    while (!stop.stop_requested()) {
        if (!WaitFor(listener, POLLIN, 100))
            continue;
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0)
            workers.emplace_back([fd, each](std::stop_token s) { each(fd, s); });
    }
}

std::string Ns(const std::unique_ptr<NetNamespace>& ns) {
    return ns->Name();
}

}  // namespace

NamespaceThread::NamespaceThread(const std::string& ns, std::function<void(std::stop_token)> body)
    : m_thread([ns, body](std::stop_token stop) {
          if (JoinNamespace(ns))
              body(stop);
      }) {}

NamespaceThread::~NamespaceThread() {
    m_thread.request_stop();
}

std::string NatTestBed::ClientMac(int i) {
    return "02-00-00-00-00-0" + std::to_string(i + 1);
}

std::string NatTestBed::ClientIp(int i) {
    return "192.168.50." + std::to_string(i + 2);
}

NatTestBed::NatTestBed() {
    if (!CanBuildNamespaces(&m_why))
        return;
    m_up = std::make_unique<NetNamespace>("nup");
    m_hs = std::make_unique<NetNamespace>("nhs");
    for (const char* c : {"nc1", "nc2"})
        m_clients.push_back(std::make_unique<NetNamespace>(c));
    if (!m_up->Created() || !m_hs->Created() || !m_clients[0]->Created() ||
        !m_clients[1]->Created()) {
        m_why = "cannot create namespaces";
        return;
    }
    const std::string up = Ns(m_up), hs = Ns(m_hs);
    std::vector<std::string> steps = {
        "ip link add wan0 netns " + hs + " type veth peer name eth0 netns " + up,
        "ip -n " + up + " addr add 198.51.100.1/24 dev eth0",
        "ip -n " + up + " link set eth0 up",
        "ip -n " + up + " addr add 203.0.113.10/32 dev lo",
        "ip -n " + hs + " addr add 198.51.100.2/24 dev wan0",
        "ip -n " + hs + " link set wan0 up",
        "ip -n " + hs + " route add default via 198.51.100.1",
        "ip -n " + hs + " link add br0 type bridge",
        "ip -n " + hs + " addr add 192.168.50.1/24 dev br0",
        "ip -n " + hs + " link set br0 up",
        "ip netns exec " + hs + " sysctl -qw net.ipv4.ip_forward=0",
    };
    for (int i = 0; i < 2; ++i) {
        const std::string c = Ns(m_clients[static_cast<std::size_t>(i)]);
        const std::string port = "lan" + std::to_string(i + 1);
        steps.push_back("ip link add " + port + " netns " + hs +
                        " type veth peer name eth0 netns " + c);
        steps.push_back("ip -n " + hs + " link set " + port + " master br0 up");
        steps.push_back("ip -n " + c + " link set eth0 address 02:00:00:00:00:0" +
                        std::to_string(i + 1));
        steps.push_back("ip -n " + c + " addr add " + ClientIp(i) + "/24 dev eth0");
        steps.push_back("ip -n " + c + " link set eth0 up");
        steps.push_back("ip -n " + c + " route add default via 192.168.50.1");
    }
    for (const auto& step : steps) {
        if (Run(step + " >/dev/null 2>&1") != 0) {
            m_why = "bed step failed: " + step;
            return;
        }
    }
    // The bridge forwards at once (no listening delay) and without netfilter.
    Run("ip netns exec " + hs +
        " sh -c 'echo 0 > /sys/class/net/br0/bridge/forward_delay' "
        ">/dev/null 2>&1");
    m_servers.push_back(std::make_unique<NamespaceThread>(up, [](std::stop_token stop) {
        const int l = Listen(kUpstreamIp, kTrafficPort);
        if (l >= 0)
            AcceptLoop(l, stop, Serve);
    }));
    for (std::uint16_t port : kHostPorts) {
        m_servers.push_back(std::make_unique<NamespaceThread>(hs, [port](std::stop_token stop) {
            const int l = Listen(kHotspotIp, port);
            if (l >= 0)
                AcceptLoop(l, stop, [](int fd, std::stop_token) { close(fd); });
        }));
    }
    // The listeners are up once a connection from inside their namespaces works.
    bool up1 = false;
    for (int tries = 0; tries < 50 && !up1; ++tries) {
        m_up->RunInside([&] {
            const int fd = Connect(kUpstreamIp, kTrafficPort, 100);
            up1 = fd >= 0;
            if (fd >= 0)
                close(fd);
        });
        if (!up1)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_ready = up1;
    if (!m_ready)
        m_why = "traffic server did not start";
}

NatTestBed::~NatTestBed() {
    m_servers.clear();
}

bool NatTestBed::Ready(std::string* why) const {
    if (!m_ready && why != nullptr)
        *why = m_why;
    return m_ready;
}

NatTestBed::Moved NatTestBed::Move(int i, std::uint64_t up, std::uint64_t down, int timeoutMs) {
    Moved moved;
    std::atomic<std::uint64_t> sent{0}, received{0};
    Client(i).RunInside([&] {
        Socket s(Connect(kUpstreamIp, kTrafficPort, timeoutMs));
        if (s.Fd() < 0)
            return;
        const std::uint64_t header[2] = {up, down};
        if (::send(s.Fd(), header, sizeof header, MSG_NOSIGNAL) != sizeof header)
            return;
        moved.ok = Pump(s.Fd(), true, up, timeoutMs, &sent) == Pumped::Done &&
                   Pump(s.Fd(), false, down, timeoutMs, &received) == Pumped::Done;
    });
    moved.up = sent.load();
    moved.down = received.load();
    return moved;
}

bool NatTestBed::Reaches(int i, int timeoutMs) {
    return Move(i, 16, 16, timeoutMs).ok;
}

bool NatTestBed::HostPortOpen(int i, std::uint16_t port, int timeoutMs) {
    bool open = false;
    Client(i).RunInside([&] {
        const int fd = Connect(kHotspotIp, port, timeoutMs);
        open = fd >= 0;
        if (fd >= 0)
            close(fd);
    });
    return open;
}

NatTestBed::Stream::Stream(const NetNamespace& client, bool download) {
    m_thread =
        std::make_unique<NamespaceThread>(client.Name(), [this, download](std::stop_token stop) {
            Socket s(Connect(kUpstreamIp, kTrafficPort, 1000));
            if (s.Fd() < 0)
                return;
            const std::uint64_t header[2] = {download ? 0 : kEndless, download ? kEndless : 0};
            if (::send(s.Fd(), header, sizeof header, MSG_NOSIGNAL) != sizeof header)
                return;
            m_connected = true;
            // Stalls (a blocked client) do not end the stream; only the stop does.
            Pump(s.Fd(), !download, kEndless, 1 << 30, &m_bytes, stop);
        });
}

std::unique_ptr<NatTestBed::Stream> NatTestBed::StartStream(int i, bool download) {
    return std::make_unique<Stream>(Client(i), download);
}

double NatTestBed::StreamRate(int i, bool download, double seconds) {
    auto stream = StartStream(i, download);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto t0 = std::chrono::steady_clock::now();
    const std::uint64_t b0 = stream->Bytes();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const std::uint64_t b1 = stream->Bytes();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return static_cast<double>(b1 - b0) / elapsed;
}

}  // namespace nettest
