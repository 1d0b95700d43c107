#include "DhcpServer.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "DhcpMessageHandler.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/Ipv4Text.h"
#include "platform/winapi/Win32Api.h"

namespace pellion {

using plat::Ipv4Text;

namespace {

constexpr std::uint16_t kServerPort = 67;
constexpr int kWsaEInval = 10022;
constexpr int kReceiveBuffer = 1 << 20;
// Datagrams handled in a row before the thread looks at its stop request again.
constexpr int kBurst = 64;

void Debug(const char* format, int code) {
    char text[160];
    std::snprintf(text, sizeof text, format, code);
    plat::OutputDebugStringA(text);
}

// The kernel name of the adapter that carries `ip`; empty when none does.
std::string AdapterCarrying(const std::string& ip) {
    std::vector<plat::AdapterInfo> adapters;
    if (plat::Platform::Current().Net().Adapters(&adapters) != 0)
        return {};
    for (const auto& a : adapters) {
        for (const auto& address : a.ipv4) {
            if (address.ip == ip)
                return a.name;
        }
    }
    return {};
}

}  // namespace

DhcpServer& DhcpServer::Instance() {
    static DhcpServer* server = [] {
        auto* s = new DhcpServer();
        plat::Platform::RegisterReset([s] { s->Reset(); });
        return s;
    }();
    return *server;
}

int DhcpServer::Start(const char* serverIp, PELLION_ACK_CALLBACK onAck) {
    plat::OutputDebugStringA("Enter StartDHCP");
    // From the acknowledgement callback the server thread would have to replace
    // the socket it is using and wait for itself: refused.
    if (OnServerThread())
        return 0;
    std::lock_guard<std::mutex> control(m_control);
    std::uint32_t ip = 0;
    if (serverIp == nullptr || !Ipv4Text::Parse(serverIp, &ip)) {
        Debug("StartDHCP->绑定socket失败:错误码%d", kWsaEInval);
        return 0;
    }
    if (m_socket)
        StopLocked();
    {
        std::lock_guard<std::recursive_mutex> g(m_lock);
        if (m_dnsList.empty())
            m_dnsList = serverIp;
        m_serverIp = serverIp;
        m_callback = onAck;
        m_computerNameRead = {};
    }
    auto socket = std::make_unique<plat::UdpSocket>();
    if (socket->Startup() != 0) {
        plat::OutputDebugStringA("StartDHCP->初始化socket失败!");
        return 0;
    }
    int e = socket->Open();
    if (e == 0)
        e = socket->EnableBroadcast();
    // Room for a burst of DISCOVERs (a flood, a crowd arriving at once) while
    // the thread is busy or not scheduled; a smaller buffer the system grants
    // is no reason to fail.
    if (e == 0)
        socket->SetReceiveBuffer(kReceiveBuffer);
    if (e != 0) {
        Debug("StartDHCP->设置socket失败:错误码%d", e);
        return 0;
    }
    m_socket = std::move(socket);
    e = BindSocket(serverIp);
    if (e != 0 && e != plat::kWsaEAddrNotAvail) {
        Debug("StartDHCP->绑定socket失败:错误码%d", e);
        m_socket.reset();
        return 0;
    }
    m_bound = e == 0;
    try {
        m_thread = std::jthread(
            [this, ip = std::string(serverIp)](std::stop_token stop) { Run(stop, ip); });
    } catch (const std::system_error&) {
        // No thread could be started: nothing would ever answer.
        m_socket.reset();
        m_bound = false;
        return 0;
    }
    return 1;
}

int DhcpServer::BindSocket(const std::string& ip) {
    std::uint32_t address = 0;
    Ipv4Text::Parse(ip, &address);
    const std::string ifname = AdapterCarrying(ip);
    if (ifname.empty())
        return plat::kWsaEAddrNotAvail;
    return m_socket->BindService(address, kServerPort, ifname);
}

void DhcpServer::Run(std::stop_token stop, std::string serverIp) {
    m_serverThread = std::this_thread::get_id();
    // Cleared on every way out, before the thread can be joined.
    struct Leave {
        std::atomic<std::thread::id>& id;
        ~Leave() { id = std::thread::id(); }
    } leave{m_serverThread};
    plat::OutputDebugStringA("DHCP Thread Begin");
    while (!m_bound) {
        const int e = BindSocket(serverIp);
        if (e == 0)
            break;
        if (e != plat::kWsaEAddrNotAvail || stop.stop_requested() ||
            m_socket->Wait(1) == plat::UdpSocket::WaitResult::Woken || stop.stop_requested()) {
            Debug("StartDHCP->绑定socket失败:错误码%d", e);
            plat::OutputDebugStringA("DHCP Thread End");
            return;
        }
    }
    m_bound = true;
    plat::OutputDebugStringA("DHCP Thread start svc");

    std::vector<std::uint8_t> buffer(DhcpMessageHandler::kBufferSize);
    while (!stop.stop_requested()) {
        const auto r = m_socket->Wait(-1);
        if (r == plat::UdpSocket::WaitResult::Woken)
            continue;
        if (r != plat::UdpSocket::WaitResult::Readable)
            break;
        // Under load datagrams queue up: take what is there before waiting
        // again, which saves a wait per datagram.
        for (int i = 0; i < kBurst && !stop.stop_requested(); ++i) {
            std::fill(buffer.begin(), buffer.end(), 0);
            std::size_t received = 0;
            if (m_socket->Receive(buffer.data(), buffer.size(), &received) != 0)
                break;
            Destination to;
            const std::vector<std::uint8_t> reply = Process(buffer.data(), received, &to);
            if (!reply.empty())
                Send(reply, to, stop);
        }
    }
    plat::OutputDebugStringA("DHCP Thread End");
}

std::chrono::steady_clock::time_point DhcpServer::Now() {
    return plat::Platform::Current().Time().Now();
}

std::vector<std::uint8_t> DhcpServer::Process(const std::uint8_t* data, std::size_t size,
                                              Destination* to) {
    const auto now = Now();
    std::lock_guard<std::recursive_mutex> g(m_lock);
    // The computer's name is read again at most once a second: under load the
    // system call per message cost as much as deciding on the message.
    if (m_computerNameRead == std::chrono::steady_clock::time_point{} ||
        now - m_computerNameRead >= std::chrono::seconds(1) || now < m_computerNameRead) {
        m_computerName = plat::GetComputerNameA();
        m_computerNameRead = now;
    }
    const DhcpSettings settings{m_serverIp, m_dnsList, m_computerName};
    DhcpOutcome outcome = DhcpMessageHandler::Handle(data, size, settings, m_table, now);
    if (to != nullptr)
        *to = Destination{outcome.destination, outcome.port};
    for (const auto& line : outcome.debug)
        plat::OutputDebugStringA(line.c_str());
    if (outcome.acked && m_callback != nullptr)
        m_callback(&*outcome.acked);
    return std::move(outcome.reply);
}

void DhcpServer::Send(const std::vector<std::uint8_t>& reply, const Destination& to,
                      const std::stop_token& stop) {
    for (;;) {
        const int e = m_socket->SendTo(reply.data(), reply.size(), to.ip, to.port);
        if (e == 0)
            return;
        if (e != plat::kWsaEWouldBlock) {
            Debug("_Send->sendto()函数失败!错误码:%d", e);
            return;
        }
        // The send buffer is full: wait a moment, unless the server is stopping.
        if (stop.stop_requested() || m_socket->Wait(1) == plat::UdpSocket::WaitResult::Woken)
            return;
    }
}

bool DhcpServer::OnServerThread() const {
    return m_serverThread.load() == std::this_thread::get_id();
}

int DhcpServer::Stop() {
    if (OnServerThread()) {
        // Called from the acknowledgement callback, which holds the library's
        // lock: the thread cannot wait for itself, nor for another thread's
        // Stop that is waiting for it. It ends once the callback returns; the
        // next start or stop collects it.
        m_thread.request_stop();
        m_socket->Wake();
        std::lock_guard<std::recursive_mutex> g(m_lock);
        m_table.Clear();
        return 1;
    }
    std::lock_guard<std::mutex> control(m_control);
    StopLocked();
    return 1;
}

void DhcpServer::StopLocked() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_socket->Wake();
        m_thread.join();
    }
    m_thread = std::jthread();
    m_socket.reset();
    m_bound = false;
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_table.Clear();
}

int DhcpServer::SetDns(const char* dnsList) {
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_dnsList = dnsList != nullptr ? dnsList : "";
    return m_dnsList.empty() ? 0 : 1;
}

void DhcpServer::Reset() {
    Stop();
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_dnsList.clear();
    m_serverIp.clear();
    m_callback = nullptr;
}

}  // namespace pellion
