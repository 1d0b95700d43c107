// A netlink socket, by default a route socket (NETLINK_ROUTE) for the kernel's
// address, route, neighbour and queue tables; generic netlink (NETLINK_GENERIC)
// for families such as nl80211; NETLINK_NETFILTER for nf_tables. Requests
// acknowledged by the kernel, and dumps.
#pragma once

#include <linux/netlink.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace plat {

// A netlink request under construction: header, family record, attributes.
class NetlinkMessage {
public:
    NetlinkMessage(std::uint16_t type, std::uint16_t flags, const void* family,
                   std::size_t familySize);
    void AddAttribute(std::uint16_t type, const void* data, std::size_t size);
    // A nested attribute: the attributes added until EndNested(offset) go
    // inside it.
    std::size_t BeginNested(std::uint16_t type);
    void EndNested(std::size_t offset);
    nlmsghdr* Header() { return reinterpret_cast<nlmsghdr*>(m_buffer.data()); }

private:
    std::vector<std::uint8_t> m_buffer;
};

class Netlink {
public:
    // How long a reply may keep the caller waiting between two datagrams.
    static constexpr int kReceiveTimeoutSeconds = 5;

    explicit Netlink(int protocol = NETLINK_ROUTE);
    // Takes over `fd`, an open socket already joined to what answers it (one
    // end of a SOCK_SEQPACKET pair standing in for the kernel); it gets the
    // same receive bound as a socket of its own.
    Netlink(int protocol, int fd);
    virtual ~Netlink();
    Netlink(const Netlink&) = delete;
    Netlink& operator=(const Netlink&) = delete;

    // 0 or an errno value.
    int Open();
    // Sends the request with NLM_F_ACK and waits for the kernel's answer.
    // (Virtual: a test stands in for the kernel.)
    virtual int Request(NetlinkMessage& message);
    // Sends the dump request and hands every answered message to `each`.
    virtual int Dump(NetlinkMessage& message, const std::function<void(const nlmsghdr&)>& each);

    // Walks the attributes that follow a family record of `familySize` bytes.
    static void Attributes(
        const nlmsghdr& message, std::size_t familySize,
        const std::function<void(std::uint16_t type, const void* data, std::size_t size)>& each);
    // Walks the attributes nested in `data` (the flag bits of each type are
    // cleared).
    static void Nested(
        const void* data, std::size_t size,
        const std::function<void(std::uint16_t type, const void* data, std::size_t size)>& each);

private:
    static void BoundReceive(int fd);
    int Send(NetlinkMessage& message);
    int m_protocol;
    int m_fd = -1;
    std::uint32_t m_sequence = 0;
};

}  // namespace plat
