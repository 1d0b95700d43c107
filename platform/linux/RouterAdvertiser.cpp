#include "RouterAdvertiser.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

namespace {

int Fail(int fd) {
    const int e = errno != 0 ? errno : EINVAL;
    if (fd >= 0)
        close(fd);
    return e;
}

}  // namespace

RouterAdvertiser::~RouterAdvertiser() {
    Stop();
}

int RouterAdvertiser::Start(const std::string& iface, const RouterAdvert::Advertisement& ad) {
    return Start(iface, ad, Timing{});
}

int RouterAdvertiser::Start(const std::string& iface, const RouterAdvert::Advertisement& ad,
                            const Timing& timing) {
    if (m_fd >= 0)
        return EBUSY;
    const unsigned index = if_nametoindex(iface.c_str());
    if (index == 0)
        return ENODEV;
    const int fd = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (fd < 0)
        return Fail(-1);
    const int hops = 255;
    const int on = 1, off = 0;
    const int ifindex = static_cast<int>(index);
    icmp6_filter filter;
    ICMP6_FILTER_SETBLOCKALL(&filter);
    ICMP6_FILTER_SETPASS(ND_ROUTER_SOLICIT, &filter);
    ipv6_mreq group{};
    inet_pton(AF_INET6, "ff02::2", &group.ipv6mr_multiaddr);  // all routers
    group.ipv6mr_interface = index;
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, iface.c_str(),
                   static_cast<socklen_t>(iface.size())) != 0 ||
        setsockopt(fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &hops, sizeof hops) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, &ifindex, sizeof ifindex) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &off, sizeof off) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_RECVHOPLIMIT, &on, sizeof on) != 0 ||
        setsockopt(fd, IPPROTO_IPV6, IPV6_JOIN_GROUP, &group, sizeof group) != 0)
        return Fail(fd);
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return Fail(fd);
    m_fd = fd;
    m_wake = wake;
    m_index = index;
    m_ad = ad;
    m_timing = timing;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_solicited = false;
        m_sent = 0;
        m_refused = 0;
    }
    m_receiver = std::thread(&RouterAdvertiser::ReceiveLoop, this);
    m_sender = std::jthread([this](std::stop_token stop) { SendLoop(stop); });
    return 0;
}

void RouterAdvertiser::Stop() {
    if (m_fd < 0)
        return;
    const std::uint64_t one = 1;
    if (write(m_wake, &one, sizeof one) < 0) {
        // The counter cannot overflow from one write; nothing else can fail here.
    }
    if (m_receiver.joinable())
        m_receiver.join();
    if (m_sender.joinable()) {
        m_sender.request_stop();
        m_sender.join();
    }
    if (Sent() > 0) {
        RouterAdvert::Advertisement last = m_ad;
        last.routerLifetime = 0;
        last.preferredLifetime = 0;
        last.dnsLifetime = 0;
        SendNow(last);
    }
    close(m_fd);
    close(m_wake);
    m_fd = m_wake = -1;
}

std::uint64_t RouterAdvertiser::Sent() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_sent;
}

std::uint64_t RouterAdvertiser::Refused() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_refused;
}

std::chrono::milliseconds RouterAdvertiser::Between(std::chrono::milliseconds low,
                                                    std::chrono::milliseconds high) {
    if (high <= low)
        return low;
    std::uniform_int_distribution<long long> pick(low.count(), high.count());
    return std::chrono::milliseconds(pick(m_random));
}

bool RouterAdvertiser::SendNow(const RouterAdvert::Advertisement& ad) {
    const std::vector<std::uint8_t> bytes = RouterAdvert::Build(ad);
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "ff02::1", &to.sin6_addr);  // all nodes
    to.sin6_scope_id = m_index;
    const ssize_t n = sendto(m_fd, bytes.data(), bytes.size(), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n != static_cast<ssize_t>(bytes.size()))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    ++m_sent;
    return true;
}

void RouterAdvertiser::SendLoop(std::stop_token stop) {
    using Steady = Clock::Steady;
    Steady next = m_clock.Now();
    Steady last = Steady::min();
    int initial = m_timing.initialCount;
    std::unique_lock<std::mutex> lock(m_lock);
    while (!stop.stop_requested()) {
        m_clock.WaitUntil(lock, m_cv, stop, next, [this] { return m_solicited; });
        if (stop.stop_requested())
            break;
        const Steady now = m_clock.Now();
        if (m_solicited) {
            m_solicited = false;
            // An answer replaces the next unsolicited advertisement when it
            // comes sooner; consecutive advertisements stay apart.
            Steady answer = now + Between(std::chrono::milliseconds(0), m_timing.maxResponseDelay);
            if (last != Steady::min() && answer < last + m_timing.minDelayBetween)
                answer = last + m_timing.minDelayBetween;
            if (answer < next)
                next = answer;
            continue;
        }
        if (now < next)
            continue;
        lock.unlock();
        const bool sent = SendNow(m_ad);
        lock.lock();
        if (!sent) {
            next = now + m_timing.retryDelay;
            continue;
        }
        last = now;
        std::chrono::milliseconds interval = Between(m_timing.minInterval, m_timing.maxInterval);
        if (initial > 0) {
            --initial;
            if (interval > m_timing.initialInterval)
                interval = m_timing.initialInterval;
        }
        next = now + interval;
    }
}

void RouterAdvertiser::ReceiveLoop() {
    std::uint8_t buffer[1500];
    alignas(cmsghdr) std::uint8_t control[CMSG_SPACE(sizeof(int))];
    for (;;) {
        pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_wake, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if ((fds[0].revents & POLLIN) == 0) {
            if (fds[0].revents != 0)
                return;
            continue;
        }
        sockaddr_in6 from{};
        iovec io{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &io;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(m_fd, &msg, MSG_DONTWAIT);
        if (n < 0)
            continue;
        int hopLimit = -1;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == IPPROTO_IPV6 && c->cmsg_type == IPV6_HOPLIMIT &&
                c->cmsg_len >= CMSG_LEN(sizeof(int)))
                std::memcpy(&hopLimit, CMSG_DATA(c), sizeof hopLimit);
        const bool unspecified = IN6_IS_ADDR_UNSPECIFIED(&from.sin6_addr);
        const bool truncated = (msg.msg_flags & MSG_TRUNC) != 0;
        const auto result = RouterAdvert::ParseSolicitation(buffer, static_cast<std::size_t>(n),
                                                            hopLimit, unspecified);
        std::lock_guard<std::mutex> g(m_lock);
        if (truncated || result != RouterAdvert::Solicitation::Valid) {
            ++m_refused;
            continue;
        }
        m_solicited = true;
        m_cv.notify_all();
    }
}

}  // namespace plat
