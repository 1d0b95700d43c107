#include "Netlink.h"

#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

NetlinkMessage::NetlinkMessage(std::uint16_t type, std::uint16_t flags, const void* family,
                               std::size_t familySize)
    : m_buffer(NLMSG_SPACE(familySize), 0) {
    nlmsghdr* h = Header();
    h->nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(familySize));
    h->nlmsg_type = type;
    h->nlmsg_flags = flags;
    std::memcpy(NLMSG_DATA(h), family, familySize);
}

void NetlinkMessage::AddAttribute(std::uint16_t type, const void* data, std::size_t size) {
    const std::size_t offset = NLMSG_ALIGN(Header()->nlmsg_len);
    m_buffer.resize(offset + RTA_SPACE(size), 0);
    auto* attribute = reinterpret_cast<rtattr*>(m_buffer.data() + offset);
    attribute->rta_type = type;
    attribute->rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
    if (size > 0)
        std::memcpy(RTA_DATA(attribute), data, size);
    Header()->nlmsg_len = static_cast<std::uint32_t>(offset + RTA_SPACE(size));
}

std::size_t NetlinkMessage::BeginNested(std::uint16_t type) {
    const std::size_t offset = NLMSG_ALIGN(Header()->nlmsg_len);
    AddAttribute(type, nullptr, 0);
    return offset;
}

void NetlinkMessage::EndNested(std::size_t offset) {
    auto* attribute = reinterpret_cast<rtattr*>(m_buffer.data() + offset);
    attribute->rta_len = static_cast<unsigned short>(Header()->nlmsg_len - offset);
}

Netlink::Netlink(int protocol) : m_protocol(protocol) {}

Netlink::Netlink(int protocol, int fd) : m_protocol(protocol), m_fd(fd) {
    BoundReceive(m_fd);
}

void Netlink::BoundReceive(int fd) {
    // A reply that never completes (a dump cut short) ends the wait instead
    // of holding the caller, and with it the share manager's lock, for ever.
    timeval wait{};
    wait.tv_sec = kReceiveTimeoutSeconds;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}

Netlink::~Netlink() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int Netlink::Open() {
    if (m_fd >= 0)
        return 0;
    m_fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, m_protocol);
    if (m_fd < 0)
        return errno;
    BoundReceive(m_fd);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int e = errno;
        ::close(m_fd);
        m_fd = -1;
        return e;
    }
    return 0;
}

int Netlink::Send(NetlinkMessage& message) {
    if (const int e = Open())
        return e;
    nlmsghdr* h = message.Header();
    h->nlmsg_seq = ++m_sequence;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    ssize_t n;
    do {
        n = sendto(m_fd, h, h->nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel);
    } while (n < 0 && errno == EINTR);
    return n < 0 ? errno : 0;
}

int Netlink::Request(NetlinkMessage& message) {
    message.Header()->nlmsg_flags |= NLM_F_REQUEST | NLM_F_ACK;
    return Dump(message, [](const nlmsghdr&) {});
}

int Netlink::Dump(NetlinkMessage& message, const std::function<void(const nlmsghdr&)>& each) {
    message.Header()->nlmsg_flags |= NLM_F_REQUEST;
    if (const int e = Send(message))
        return e;
    const std::uint32_t sequence = m_sequence;
    const bool dump = (message.Header()->nlmsg_flags & NLM_F_DUMP) == NLM_F_DUMP;
    std::vector<std::uint8_t> buffer(32768);
    for (;;) {
        ssize_t n;
        do {
            n = recv(m_fd, buffer.data(), buffer.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno;
        // Messages follow each other at aligned offsets of the buffer.
        const std::size_t size = static_cast<std::size_t>(n);
        for (std::size_t offset = 0; offset + sizeof(nlmsghdr) <= size;) {
            const auto* h =
                static_cast<const nlmsghdr*>(static_cast<const void*>(buffer.data() + offset));
            // A malformed message hides where the next one starts, possibly
            // the end of the dump: the reply cannot be read further.
            if (h->nlmsg_len < sizeof(nlmsghdr) || offset + h->nlmsg_len > size)
                return EPROTO;
            offset += NLMSG_ALIGN(h->nlmsg_len);
            if (h->nlmsg_seq != sequence)
                continue;
            if (h->nlmsg_type == NLMSG_DONE)
                return 0;
            if (h->nlmsg_type == NLMSG_ERROR) {
                // An error message too short for its code is no acknowledgement.
                if (h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)))
                    return EPROTO;
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
                return -error->error;  // 0 is the acknowledgement
            }
            each(*h);
            if (!dump)
                return 0;
        }
    }
}

void Netlink::Attributes(const nlmsghdr& message, std::size_t familySize,
                         const std::function<void(std::uint16_t, const void*, std::size_t)>& each) {
    const std::size_t start = NLMSG_SPACE(familySize);
    const auto* base = static_cast<const std::uint8_t*>(static_cast<const void*>(&message));
    for (std::size_t offset = start; offset + sizeof(rtattr) <= message.nlmsg_len;) {
        const auto* attribute = static_cast<const rtattr*>(static_cast<const void*>(base + offset));
        if (attribute->rta_len < sizeof(rtattr) || offset + attribute->rta_len > message.nlmsg_len)
            break;
        each(attribute->rta_type, base + offset + RTA_LENGTH(0),
             attribute->rta_len - RTA_LENGTH(0));
        offset += RTA_ALIGN(attribute->rta_len);
    }
}

void Netlink::Nested(const void* data, std::size_t size,
                     const std::function<void(std::uint16_t, const void*, std::size_t)>& each) {
    const auto* base = static_cast<const std::uint8_t*>(data);
    for (std::size_t offset = 0; offset + sizeof(nlattr) <= size;) {
        nlattr attribute;
        std::memcpy(&attribute, base + offset, sizeof attribute);
        if (attribute.nla_len < sizeof(nlattr) || offset + attribute.nla_len > size)
            break;
        each(static_cast<std::uint16_t>(attribute.nla_type & NLA_TYPE_MASK),
             base + offset + NLA_HDRLEN, attribute.nla_len - NLA_HDRLEN);
        offset += NLA_ALIGN(attribute.nla_len);
    }
}

}  // namespace plat
