#include "LinuxConnectivityMonitor.h"

#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "LinuxAdapters.h"
#include "LinuxRoutes.h"
#include "platform/text/GuidText.h"

namespace plat {

namespace {

constexpr HRESULT kConnectENoConnection = static_cast<HRESULT>(0x80040200u);

bool IsEventInterface(const GUID& iid) {
    return iid == kIidNetworkListManagerEvents || iid == kIidNetworkEvents ||
           iid == kIidNetworkConnectionEvents;
}

int OpenEventSocket() {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0)
        return -errno;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int e = errno;
        ::close(fd);
        return -e;
    }
    return fd;
}

}  // namespace

LinuxConnectivityMonitor::Wake::~Wake() {
    ::close(fd);
}

LinuxConnectivityMonitor::~LinuxConnectivityMonitor() {
    std::unique_lock<std::mutex> lock(m_lock);
    m_sinks.clear();
    Stop(lock);
}

GUID LinuxConnectivityMonitor::ConnectionIdOf(const std::string& name) {
    return GuidText::FromName("nlm-connection:" + name);
}

std::vector<LinuxNlmConnection> LinuxConnectivityMonitor::Current() {
    std::vector<LinuxNlmConnection> out;
    std::vector<AdapterInfo> adapters;
    if (LinuxAdapters::List(&adapters, false) != 0)
        return out;
    const std::map<unsigned, std::string> routes = LinuxRoutes::DefaultRoutes();
    for (const auto& a : adapters) {
        if (a.ifType == kIfTypeLoopback || !a.up)
            continue;
        LinuxNlmConnection c;
        c.connectionId = ConnectionIdOf(a.name);
        c.adapterId = a.guid;
        if (routes.count(a.ifIndex) != 0)
            c.connectivity = kNlmConnectivityIpv4Internet;
        else if (!a.ipv4.empty())
            c.connectivity = kNlmConnectivityIpv4LocalNetwork;
        else
            c.connectivity = kNlmConnectivityIpv4NoTraffic;
        out.push_back(c);
    }
    return out;
}

HRESULT LinuxConnectivityMonitor::Advise(const GUID& iid, std::shared_ptr<NetworkEventSink> sink,
                                         DWORD* cookie) {
    if (!sink || cookie == nullptr)
        return kEPointer;
    if (!IsEventInterface(iid))
        return kConnectENoConnection;
    std::lock_guard<std::mutex> g(m_lock);
    if (!m_thread.joinable()) {
        if (const int e = Start(); e != 0)
            return HresultFromWin32(e == EPERM || e == EACCES ? kErrorAccessDenied
                                                              : kErrorNotEnoughMemory);
    }
    *cookie = m_nextCookie++;
    m_sinks[iid][*cookie] = std::move(sink);
    return kSOk;
}

HRESULT LinuxConnectivityMonitor::Unadvise(const GUID& iid, DWORD cookie) {
    std::unique_lock<std::mutex> lock(m_lock);
    auto it = m_sinks.find(iid);
    if (it == m_sinks.end() || it->second.erase(cookie) == 0)
        return kConnectENoConnection;
    if (it->second.empty())
        m_sinks.erase(it);
    if (m_sinks.empty())
        Stop(lock);
    return kSOk;
}

int LinuxConnectivityMonitor::Start() {
    // Subscribed before the first reading, so no change between them is lost.
    const int socket = OpenEventSocket();
    if (socket < 0)
        return -socket;
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        const int e = errno;
        ::close(socket);
        return e;
    }
    m_last.clear();
    m_lastOverall = 0;
    for (const auto& c : Current()) {
        m_last[c.connectionId] = c.connectivity;
        m_lastOverall |= c.connectivity;
    }
    m_wake = std::make_shared<Wake>(wake);
    try {
        m_thread = std::thread(&LinuxConnectivityMonitor::Run, this, socket, m_wake);
    } catch (const std::system_error&) {
        ::close(socket);
        m_wake.reset();
        return EAGAIN;
    }
    return 0;
}

void LinuxConnectivityMonitor::Stop(std::unique_lock<std::mutex>& lock) {
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake->fd, &one, sizeof one);
    std::thread thread = std::move(m_thread);
    m_wake.reset();
    lock.unlock();
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();  // the last sink left from inside an event
    else
        thread.join();
    lock.lock();
}

void LinuxConnectivityMonitor::Run(int socket, std::shared_ptr<Wake> wake) {
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        pollfd fds[2] = {{wake->fd, POLLIN, 0}, {socket, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if ((fds[0].revents & POLLIN) != 0)
            break;
        if ((fds[1].revents & (POLLIN | POLLERR)) == 0)
            continue;
        // The messages only say that something changed; the state is read
        // again whole (an overrun of the socket is no loss then).
        for (;;) {
            const ssize_t r = ::recv(socket, buffer.data(), buffer.size(), 0);
            if (r > 0 || (r < 0 && (errno == ENOBUFS || errno == EINTR)))
                continue;
            break;
        }
        Check();
    }
    ::close(socket);
}

std::vector<std::shared_ptr<NetworkEventSink>> LinuxConnectivityMonitor::Sinks(const GUID& iid) {
    std::vector<std::shared_ptr<NetworkEventSink>> out;
    std::lock_guard<std::mutex> g(m_lock);
    if (auto it = m_sinks.find(iid); it != m_sinks.end())
        for (const auto& [cookie, sink] : it->second)
            out.push_back(sink);
    return out;
}

void LinuxConnectivityMonitor::Check() {
    std::map<GUID, DWORD> now;
    DWORD overall = 0;
    for (const auto& c : Current()) {
        now[c.connectionId] = c.connectivity;
        overall |= c.connectivity;
    }
    std::vector<std::pair<GUID, DWORD>> changes;
    for (const auto& [id, connectivity] : now) {
        auto before = m_last.find(id);
        if (before == m_last.end() || before->second != connectivity)
            changes.emplace_back(id, connectivity);
    }
    for (const auto& [id, connectivity] : m_last)
        if (now.count(id) == 0)
            changes.emplace_back(id, kNlmConnectivityDisconnected);
    m_last = std::move(now);

    if (!changes.empty())
        for (const auto& sink : Sinks(kIidNetworkConnectionEvents))
            for (const auto& [id, connectivity] : changes)
                sink->NetworkConnectionConnectivityChanged(id, connectivity);
    if (overall != m_lastOverall) {
        m_lastOverall = overall;
        for (const auto& sink : Sinks(kIidNetworkListManagerEvents))
            sink->ConnectivityChanged(overall);
    }
}

}  // namespace plat
