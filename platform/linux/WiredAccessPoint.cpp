#include "WiredAccessPoint.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "LinkState.h"
#include "Netlink.h"

namespace plat {

namespace {

constexpr int kUsableStates =
    NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT | NUD_NOARP;

void Signal(int fd) {
    const std::uint64_t one = 1;
    ssize_t n;
    do {
        n = write(fd, &one, sizeof one);
    } while (n < 0 && errno == EINTR);
}

// A device address: not all zero, not a group address.
bool DeviceMac(const MacAddress& mac) {
    if ((mac[0] & 1) != 0)
        return false;
    for (std::uint8_t b : mac)
        if (b != 0)
            return true;
    return false;
}

}  // namespace

WiredAccessPoint::~WiredAccessPoint() {
    Stop();
}

bool WiredAccessPoint::ParseNeighbour(const nlmsghdr& message, NeighbourEntry* out) {
    if (message.nlmsg_type != RTM_NEWNEIGH && message.nlmsg_type != RTM_DELNEIGH)
        return false;
    if (message.nlmsg_len < NLMSG_LENGTH(sizeof(ndmsg)))
        return false;
    ndmsg nd{};
    std::memcpy(&nd, NLMSG_DATA(&message), sizeof nd);
    *out = NeighbourEntry{};
    out->ifindex = nd.ndm_ifindex;
    out->family = nd.ndm_family;
    out->deleted = message.nlmsg_type == RTM_DELNEIGH;
    Netlink::Attributes(message, sizeof(ndmsg),
                        [&](std::uint16_t type, const void* data, std::size_t size) {
                            if (type == NDA_DST)
                                out->address.assign(static_cast<const char*>(data), size);
                            else if (type == NDA_LLADDR && size == 6) {
                                std::memcpy(out->mac.data(), data, 6);
                                out->hasMac = true;
                            }
                        });
    out->usable = (nd.ndm_state & kUsableStates) != 0 && out->hasMac && DeviceMac(out->mac) &&
                  !out->address.empty();
    return true;
}

DWORD WiredAccessPoint::Start(const AccessPointSettings& settings, AccessPointEvents* events,
                              std::string* failure) {
    if (m_thread.joinable())
        return kErrorInvalidState;
    m_settings = settings;
    m_events = events;
    m_ended = false;
    m_stations.clear();
    m_ifindex = static_cast<int>(if_nametoindex(settings.interface.c_str()));
    if (m_ifindex == 0) {
        *failure = "there is no interface " + settings.interface;
        return kErrorInvalidState;
    }
    // Listening before the link is touched and the table read, so that no
    // change falls between the two.
    m_monitor = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = RTMGRP_LINK | RTMGRP_NEIGH;
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_monitor < 0 || m_stopFd < 0 ||
        bind(m_monitor, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        *failure = std::string("cannot watch the interface's neighbours: ") + std::strerror(errno);
        Stop();
        return kErrorNotEnoughMemory;
    }
    if (const int e = LinkState::EnsureUp(settings.interface, LinkRecord(settings), &m_broughtUp)) {
        *failure = "cannot set " + settings.interface + " up: " + std::strerror(e);
        Stop();
        return e == EPERM || e == EACCES ? kErrorAccessDenied : kErrorInvalidState;
    }
    m_thread = std::jthread([this](std::stop_token stop) { Run(stop); });
    return 0;
}

void WiredAccessPoint::Stop() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        Signal(m_stopFd);
        m_thread.join();
    }
    if (m_monitor >= 0)
        close(m_monitor);
    if (m_stopFd >= 0)
        close(m_stopFd);
    m_monitor = m_stopFd = -1;
    // Only the link this run brought up, and only if it is still the same one.
    LinkState::Restore(m_settings.interface, LinkRecord(m_settings), m_broughtUp);
    m_broughtUp = false;
    std::lock_guard<std::mutex> g(m_lock);
    m_stations.clear();
}

std::vector<MacAddress> WiredAccessPoint::Stations() {
    std::lock_guard<std::mutex> g(m_lock);
    std::vector<MacAddress> out;
    for (const auto& [mac, addresses] : m_stations)
        out.push_back(mac);
    return out;
}

AccessPointInfo WiredAccessPoint::Info() {
    AccessPointInfo info;
    LinkState::Read(m_settings.interface, nullptr, &info.bssid);
    return info;
}

void WiredAccessPoint::Apply(const NeighbourEntry& entry, std::vector<MacAddress>* joined,
                             std::vector<MacAddress>* left) {
    if (entry.ifindex != m_ifindex)
        return;
    const std::pair<int, std::string> key{entry.family, entry.address};
    // The address leaves whichever station held it.
    for (auto it = m_stations.begin(); it != m_stations.end();) {
        if (entry.usable && !entry.deleted && it->first == entry.mac) {
            ++it;
            continue;
        }
        if (it->second.erase(key) != 0 && it->second.empty()) {
            left->push_back(it->first);
            it = m_stations.erase(it);
        } else {
            ++it;
        }
    }
    if (entry.usable && !entry.deleted) {
        auto& addresses = m_stations[entry.mac];
        if (addresses.empty())
            joined->push_back(entry.mac);
        addresses.insert(key);
    }
}

bool WiredAccessPoint::Resync(std::vector<MacAddress>* joined, std::vector<MacAddress>* left) {
    ndmsg request{};
    request.ndm_family = AF_UNSPEC;
    NetlinkMessage dump(RTM_GETNEIGH, NLM_F_DUMP, &request, sizeof request);
    std::vector<NeighbourEntry> table;
    Netlink netlink;
    if (netlink.Dump(dump, [&](const nlmsghdr& m) {
            NeighbourEntry e;
            if (ParseNeighbour(m, &e) && e.ifindex == m_ifindex && e.usable)
                table.push_back(e);
        }) != 0)
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    std::map<MacAddress, std::set<std::pair<int, std::string>>> now;
    for (const NeighbourEntry& e : table)
        now[e.mac].insert({e.family, e.address});
    for (const auto& [mac, addresses] : m_stations)
        if (now.count(mac) == 0)
            left->push_back(mac);
    for (const auto& [mac, addresses] : now)
        if (m_stations.count(mac) == 0)
            joined->push_back(mac);
    m_stations = std::move(now);
    return true;
}

void WiredAccessPoint::Report(const std::string& why) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_ended)
            return;
        m_ended = true;
    }
    if (m_events != nullptr)
        m_events->Ended(this, why);
}

bool WiredAccessPoint::Receive() {
    std::vector<std::uint8_t> buffer(65536);
    for (;;) {
        const ssize_t n = recv(m_monitor, buffer.data(), buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            if (errno == ENOBUFS) {
                // Messages were lost: the table is read again.
                std::vector<MacAddress> joined, left;
                Resync(&joined, &left);
                for (const MacAddress& mac : left)
                    m_events->StationLeft(this, mac);
                for (const MacAddress& mac : joined)
                    m_events->StationJoined(this, mac);
                continue;
            }
            Report(std::string("lost the kernel's link messages: ") + std::strerror(errno));
            return false;
        }
        const std::size_t size = static_cast<std::size_t>(n);
        std::vector<MacAddress> joined, left;
        bool ended = false;
        std::string why;
        {
            std::lock_guard<std::mutex> g(m_lock);
            for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
                nlmsghdr h{};
                std::memcpy(&h, buffer.data() + offset, sizeof h);
                if (h.nlmsg_len < sizeof(nlmsghdr) || offset + h.nlmsg_len > size)
                    break;
                const auto* message =
                    static_cast<const nlmsghdr*>(static_cast<const void*>(buffer.data() + offset));
                offset += NLMSG_ALIGN(h.nlmsg_len);
                NeighbourEntry entry;
                if (ParseNeighbour(*message, &entry)) {
                    Apply(entry, &joined, &left);
                } else if ((h.nlmsg_type == RTM_NEWLINK || h.nlmsg_type == RTM_DELLINK) &&
                           h.nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg))) {
                    ifinfomsg link{};
                    std::memcpy(&link, NLMSG_DATA(message), sizeof link);
                    if (link.ifi_index != m_ifindex)
                        continue;
                    if (h.nlmsg_type == RTM_DELLINK) {
                        ended = true;
                        why = m_settings.interface + " went away";
                    } else if ((link.ifi_flags & IFF_UP) == 0) {
                        ended = true;
                        why = m_settings.interface + " was set down";
                    }
                }
            }
        }
        for (const MacAddress& mac : left)
            m_events->StationLeft(this, mac);
        for (const MacAddress& mac : joined)
            m_events->StationJoined(this, mac);
        if (ended) {
            Report(why);
            return false;
        }
    }
}

void WiredAccessPoint::Run(std::stop_token stop) {
    std::vector<MacAddress> joined, left;
    Resync(&joined, &left);
    for (const MacAddress& mac : joined)
        m_events->StationJoined(this, mac);
    while (!stop.stop_requested()) {
        pollfd p[2] = {{m_stopFd, POLLIN, 0}, {m_monitor, POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR)
            break;
        if (stop.stop_requested())
            break;
        if (p[1].revents != 0 && !Receive())
            break;
    }
}

}  // namespace plat
