// Reading the kernel's replies: a netlink object over one end of a socket
// pair, the test writing the kernel's datagrams on the other end before the
// request goes out (the first request of an object has sequence 1).
#include <gtest/gtest.h>

#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/linux/Netlink.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// One message: header and `payload` bytes, padded to the alignment.
Bytes Message(std::uint16_t type, std::uint32_t sequence, std::size_t payload = 8) {
    Bytes m(NLMSG_SPACE(payload), 0);
    nlmsghdr h{};
    h.nlmsg_len = static_cast<std::uint32_t>(NLMSG_LENGTH(payload));
    h.nlmsg_type = type;
    h.nlmsg_flags = NLM_F_MULTI;
    h.nlmsg_seq = sequence;
    std::memcpy(m.data(), &h, sizeof h);
    return m;
}

Bytes WithLength(Bytes m, std::uint32_t length) {
    std::memcpy(m.data(), &length, sizeof length);  // nlmsg_len comes first
    return m;
}

class NetlinkReply : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, m_pair), 0);
    }
    void TearDown() override {
        if (m_pair[1] >= 0)
            ::close(m_pair[1]);
    }
    // The object takes the first end over.
    plat::Netlink& Link() {
        if (!m_link) {
            m_link = std::make_unique<plat::Netlink>(NETLINK_ROUTE, m_pair[0]);
            m_pair[0] = -1;
        }
        return *m_link;
    }
    // One datagram of the kernel holding `messages` back to back.
    void Kernel(const std::vector<Bytes>& messages) {
        Bytes datagram;
        for (const Bytes& m : messages)
            datagram.insert(datagram.end(), m.begin(), m.end());
        ASSERT_EQ(send(m_pair[1], datagram.data(), datagram.size(), 0),
                  static_cast<ssize_t>(datagram.size()));
    }
    // Dumps the link table; `seen` counts the messages handed over.
    int DumpLinks(int* seen) {
        ifinfomsg family{};
        plat::NetlinkMessage request(RTM_GETLINK, NLM_F_DUMP, &family, sizeof family);
        *seen = 0;
        return Link().Dump(request, [&](const nlmsghdr& h) {
            EXPECT_EQ(h.nlmsg_type, RTM_NEWLINK);
            ++*seen;
        });
    }

    int m_pair[2] = {-1, -1};
    std::unique_ptr<plat::Netlink> m_link;
};

// A well-formed dump over two datagrams ends at its DONE (messages of another
// request skipped); a malformed message hides where the rest of the reply
// lies, so the reply ends there with EPROTO, at once, with what came before
// handed over, instead of waiting on the socket for an end that never comes.
TEST_F(NetlinkReply, ADumpEndsAtItsDoneOrAtOnceAtAMalformedMessage) {
    Kernel({Message(RTM_NEWLINK, 1), Message(RTM_NEWLINK, 7), Message(RTM_NEWLINK, 1)});
    Kernel({Message(RTM_NEWLINK, 1), Message(NLMSG_DONE, 1, 4)});
    int seen = 0;
    EXPECT_EQ(DumpLinks(&seen), 0);
    EXPECT_EQ(seen, 3);

    // The next request has sequence 2. Its reply runs past the datagram.
    Kernel({Message(RTM_NEWLINK, 2), WithLength(Message(RTM_NEWLINK, 2), 4096)});
    EXPECT_EQ(DumpLinks(&seen), EPROTO);
    EXPECT_EQ(seen, 1);

    // A length shorter than the header itself (0: the same offset again).
    Kernel({Message(RTM_NEWLINK, 3), WithLength(Message(RTM_NEWLINK, 3), 0)});
    EXPECT_EQ(DumpLinks(&seen), EPROTO);
    EXPECT_EQ(seen, 1);

    // An error message too short to hold its code acknowledges nothing.
    Kernel({Message(NLMSG_ERROR, 4, 2)});
    ifinfomsg family{};
    plat::NetlinkMessage change(RTM_SETLINK, 0, &family, sizeof family);
    EXPECT_EQ(Link().Request(change), EPROTO);

    // The requests went out with their sequence numbers and flags.
    Bytes sent(4096);
    for (std::uint32_t sequence = 1; sequence <= 4; ++sequence) {
        const ssize_t n = recv(m_pair[1], sent.data(), sent.size(), MSG_DONTWAIT);
        ASSERT_GE(n, static_cast<ssize_t>(sizeof(nlmsghdr)));
        nlmsghdr h;
        std::memcpy(&h, sent.data(), sizeof h);
        EXPECT_EQ(h.nlmsg_seq, sequence);
        EXPECT_EQ(h.nlmsg_flags & NLM_F_DUMP, sequence < 4 ? NLM_F_DUMP : 0);
        EXPECT_EQ(h.nlmsg_flags & NLM_F_ACK, sequence < 4 ? 0 : NLM_F_ACK);
    }
}

}  // namespace
