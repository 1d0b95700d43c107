// The clients' IPv6 router: the advertisement and solicitation bytes, the
// kept prefix, the upstream check, and the advertiser on a real link driven
// by the simulated clock.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <vector>

#include "PrivateNetns.h"
#include "platform/linux/ClientIpv6.h"
#include "platform/linux/RouterAdvert.h"
#include "platform/linux/RouterAdvertiser.h"
#include "platform/sim/SimClock.h"
#include "support/TempDir.h"

namespace {

using plat::RouterAdvert;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}

// The options of an advertisement by type, each with its bytes; fails the
// test when they do not tile the message exactly.
std::map<int, Bytes> Options(const Bytes& m) {
    std::map<int, Bytes> out;
    std::size_t pos = 16;
    while (pos < m.size()) {
        EXPECT_GE(m.size() - pos, 2u);
        const std::size_t length = std::size_t{m[pos + 1]} * 8;
        EXPECT_GT(length, 0u);
        EXPECT_LE(length, m.size() - pos);
        if (length == 0 || length > m.size() - pos)
            break;
        out[m[pos]] =
            Bytes(m.begin() + static_cast<long>(pos), m.begin() + static_cast<long>(pos + length));
        pos += length;
    }
    EXPECT_EQ(pos, m.size());
    return out;
}

RouterAdvert::Advertisement Sample() {
    RouterAdvert::Advertisement a;
    a.source = {0x02, 0x11, 0x22, 0x33, 0x44, 0x55};
    inet_pton(AF_INET6, "fd12:3456:789a::", a.prefix.data());
    a.prefix[15] = 7;  // host bits that must not reach the option
    inet_pton(AF_INET6, "fd12:3456:789a::1", a.dns.data());
    return a;
}

TEST(RouterAdvert, AdvertisementCarriesTheSlaacPrefixAndTheDnsServer) {
    RouterAdvert::Advertisement a = Sample();
    a.routerLifetime = 1800;
    a.dnsLifetime = 1200;
    const Bytes m = RouterAdvert::Build(a);
    ASSERT_GE(m.size(), 16u);
    EXPECT_EQ(m[0], 134);
    EXPECT_EQ(m[1], 0);
    EXPECT_EQ(m[5] & 0xC0, 0) << "no DHCPv6: addresses by SLAAC, DNS by RDNSS";
    EXPECT_EQ((m[6] << 8) | m[7], 1800);
    auto options = Options(m);
    ASSERT_EQ(options.count(1), 1u);
    EXPECT_EQ(Bytes(options[1].begin() + 2, options[1].end()),
              Bytes(a.source.begin(), a.source.end()));
    ASSERT_EQ(options[3].size(), 32u);
    const Bytes& prefix = options[3];
    EXPECT_EQ(prefix[2], 64);
    EXPECT_EQ(prefix[3] & 0xC0, 0xC0) << "on-link and autonomous";
    EXPECT_GE(Get32(&prefix[4]), Get32(&prefix[8])) << "valid at least as long as preferred";
    RouterAdvert::Ipv6 expected{};
    inet_pton(AF_INET6, "fd12:3456:789a::", expected.data());
    EXPECT_EQ(Bytes(prefix.begin() + 16, prefix.end()), Bytes(expected.begin(), expected.end()));
    ASSERT_EQ(options[25].size(), 24u);
    EXPECT_EQ(Get32(&options[25][4]), 1200u);
    EXPECT_EQ(Bytes(options[25].begin() + 8, options[25].end()), Bytes(a.dns.begin(), a.dns.end()));
}

TEST(RouterAdvert, SolicitationsAreCheckedOneFieldAtATime) {
    using S = RouterAdvert::Solicitation;
    const Bytes plain = {133, 0, 0, 0, 0, 0, 0, 0};
    Bytes withSource = plain;
    withSource.insert(withSource.end(), {1, 1, 0x02, 0xaa, 0xbb, 0xcc, 0xdd, 0xee});
    RouterAdvert::SolicitInfo info;
    EXPECT_EQ(RouterAdvert::ParseSolicitation(plain.data(), plain.size(), 255, true, &info),
              S::Valid);
    EXPECT_FALSE(info.hasSource);
    ASSERT_EQ(
        RouterAdvert::ParseSolicitation(withSource.data(), withSource.size(), 255, false, &info),
        S::Valid);
    EXPECT_TRUE(info.hasSource);
    EXPECT_EQ(info.source[5], 0xee);
    // An unknown option is skipped; one of another link's address size is not a MAC.
    Bytes other = plain;
    other.insert(other.end(), {99, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    other.insert(other.end(), {1, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    EXPECT_EQ(RouterAdvert::ParseSolicitation(other.data(), other.size(), 255, false, &info),
              S::Valid);
    EXPECT_FALSE(info.hasSource);

    EXPECT_EQ(RouterAdvert::ParseSolicitation(plain.data(), 7, 255, false), S::TooShort);
    EXPECT_EQ(RouterAdvert::ParseSolicitation(nullptr, 0, 255, false), S::TooShort);
    Bytes b = plain;
    b[0] = 134;
    EXPECT_EQ(RouterAdvert::ParseSolicitation(b.data(), b.size(), 255, false), S::NotSolicit);
    b = plain;
    b[1] = 1;
    EXPECT_EQ(RouterAdvert::ParseSolicitation(b.data(), b.size(), 255, false), S::BadCode);
    EXPECT_EQ(RouterAdvert::ParseSolicitation(plain.data(), plain.size(), 64, false),
              S::BadHopLimit);
    EXPECT_EQ(RouterAdvert::ParseSolicitation(plain.data(), plain.size(), -1, false),
              S::BadHopLimit);
    b = withSource;
    b[9] = 0;  // zero length would loop forever
    EXPECT_EQ(RouterAdvert::ParseSolicitation(b.data(), b.size(), 255, false), S::BadOption);
    b = withSource;
    b[9] = 2;  // runs past the end
    EXPECT_EQ(RouterAdvert::ParseSolicitation(b.data(), b.size(), 255, false), S::BadOption);
    b = withSource;
    b.push_back(1);  // a lone byte where an option header would start
    EXPECT_EQ(RouterAdvert::ParseSolicitation(b.data(), b.size(), 255, false), S::BadOption);
    EXPECT_EQ(RouterAdvert::ParseSolicitation(withSource.data(), withSource.size(), 255, true),
              S::SourceOption);
}

TEST(ClientIpv6, PrefixIsAUniqueLocalSlash64MadeOnceAndKept) {
    TempDir dir;
    RouterAdvert::Ipv6 first{}, again{}, other{};
    ASSERT_TRUE(plat::ClientIpv6::KeptPrefix(dir.File("ipv6-prefix"), &first));
    EXPECT_EQ(first[0], 0xfd);
    for (int i = 6; i < 16; ++i)
        EXPECT_EQ(first[static_cast<std::size_t>(i)], 0) << "byte " << i;
    ASSERT_TRUE(plat::ClientIpv6::KeptPrefix(dir.File("ipv6-prefix"), &again));
    EXPECT_EQ(again, first);
    RouterAdvert::Ipv6 parsed{};
    ASSERT_TRUE(plat::ClientIpv6::ParsePrefix(plat::ClientIpv6::FormatPrefix(first), &parsed));
    EXPECT_EQ(parsed, first);
    // Each place draws its own 40 bits.
    ASSERT_TRUE(plat::ClientIpv6::KeptPrefix(dir.File("elsewhere"), &other));
    EXPECT_NE(other, first);

    // What is not a unique local /64 is replaced, never handed out.
    for (const char* bad :
         {"2001:db8::/64", "fd00:1:2:3:4::/64", "fd00:1:2::/48", "nonsense", ""}) {
        dir.Write("ipv6-prefix", std::string(bad) + "\n");
        RouterAdvert::Ipv6 p{};
        ASSERT_TRUE(plat::ClientIpv6::KeptPrefix(dir.File("ipv6-prefix"), &p)) << bad;
        EXPECT_EQ(p[0], 0xfd) << bad;
        RouterAdvert::Ipv6 stored{};
        std::string line = dir.Read("ipv6-prefix");
        line.erase(line.find('\n'));
        EXPECT_TRUE(plat::ClientIpv6::ParsePrefix(line, &stored)) << bad;
        EXPECT_EQ(stored, p) << bad;
    }
    EXPECT_FALSE(plat::ClientIpv6::KeptPrefix(dir.File("no/such/folder"), &other));
}

TEST(ClientIpv6, UpstreamNeedsAWorkingDefaultRouteOutOfThePublicInterface) {
    const std::string zero(32, '0');
    const std::string hop = "fe800000000000000000000000000001";
    auto row = [&](const std::string& dest, const char* length, const char* flags,
                   const char* dev) {
        return dest + " " + length + " " + zero + " 00 " + hop + " 00000400 00000001 00000000 " +
               flags + " " + dev + "\n";
    };
    const std::string local = row("fd123456789a00000000000000000000", "40", "00000001", "wan0");
    const std::string reject = row(zero, "00", "00200200", "lo");
    EXPECT_FALSE(plat::ClientIpv6::HasDefaultRoute(local + reject, "wan0"));
    EXPECT_FALSE(plat::ClientIpv6::HasDefaultRoute(reject, "lo"));
    EXPECT_FALSE(plat::ClientIpv6::HasDefaultRoute(row(zero, "00", "00450003", "tun0"), "wan0"));
    EXPECT_FALSE(plat::ClientIpv6::HasDefaultRoute(row(zero, "00", "00450002", "wan0"), "wan0"));
    EXPECT_TRUE(plat::ClientIpv6::HasDefaultRoute(
        local + reject + row(zero, "00", "00450003", "wan0"), "wan0"));
    EXPECT_FALSE(plat::ClientIpv6::HasDefaultRoute("garbage\n\n", "wan0"));
}

int Sh(const std::string& command) {
    return std::system(command.c_str());
}

// A host on the link: receives advertisements, sends solicitations.
class LinkHost {
public:
    explicit LinkHost(const std::string& iface) : m_index(if_nametoindex(iface.c_str())) {
        m_fd = socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
        icmp6_filter filter;
        ICMP6_FILTER_SETBLOCKALL(&filter);
        ICMP6_FILTER_SETPASS(ND_ROUTER_ADVERT, &filter);
        setsockopt(m_fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter);
        setsockopt(m_fd, SOL_SOCKET, SO_BINDTODEVICE, iface.c_str(),
                   static_cast<socklen_t>(iface.size()));
    }
    ~LinkHost() { close(m_fd); }
    // The next advertisement within `ms` of real time, or nothing.
    Bytes Next(int ms) {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, ms) != 1)
            return {};
        std::uint8_t buffer[1500];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        return n > 0 ? Bytes(buffer, buffer + n) : Bytes{};
    }
    void Solicit(int hops) {
        const Bytes rs = {133, 0, 0, 0, 0, 0, 0, 0};
        setsockopt(m_fd, IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof hops);
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        inet_pton(AF_INET6, "ff02::2", &to.sin6_addr);
        to.sin6_scope_id = m_index;
        ASSERT_EQ(
            sendto(m_fd, rs.data(), rs.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(rs.size()));
    }

private:
    unsigned m_index;
    int m_fd;
};

TEST(RouterAdvertiser, AdvertisesAnswersSolicitationsAndWithdrawsOnTheClock) {
    std::string why;
    const bool ran = testnet::RunInPrivateNetns(
        [&] {
            // Link-local addresses usable at once, so no real time passes for DAD.
            ASSERT_EQ(Sh("sysctl -qw net.ipv6.conf.default.accept_dad=0 && "
                         "ip link add rap0 type veth peer name rap0p && ip link set rap0 up && "
                         "ip link set rap0p up"),
                      0);
            ASSERT_TRUE(testnet::WaitUntilUp("rap0p"));
            LinkHost host("rap0p");
            plat::SimClock clock;
            plat::RouterAdvertiser ra(clock);
            const RouterAdvert::Advertisement ad = Sample();
            ASSERT_EQ(ra.Start("rap0", ad), 0);
            const Bytes first = host.Next(5000);
            ASSERT_FALSE(first.empty()) << "the first advertisement goes out at the start";
            Bytes sent = RouterAdvert::Build(ad);
            ASSERT_EQ(first.size(), sent.size());
            sent[2] = first[2];  // the checksum is the kernel's
            sent[3] = first[3];
            EXPECT_EQ(first, sent);

            // A solicitation is answered 3 s after the previous advertisement
            // at the soonest, well before the next unsolicited one (16 s).
            ASSERT_TRUE(clock.WaitForSleepers(1));
            host.Solicit(255);
            Bytes answer;
            const auto start = clock.Elapsed();
            while (answer.empty() && clock.Elapsed() - start < std::chrono::seconds(10)) {
                clock.Advance(std::chrono::milliseconds(250));
                answer = host.Next(100);
            }
            ASSERT_FALSE(answer.empty());
            EXPECT_GE(clock.Elapsed() - start, std::chrono::seconds(3));
            EXPECT_LE(clock.Elapsed() - start, std::chrono::milliseconds(3750));

            // One from beyond the link (hop limit below 255) is refused.
            host.Solicit(64);
            for (int i = 0; i < 50 && ra.Refused() == 0; ++i)
                usleep(20'000);
            EXPECT_EQ(ra.Refused(), 1u);

            // Without solicitations the next comes within the first advertisements' 16 s.
            clock.Advance(std::chrono::seconds(16));
            EXPECT_FALSE(host.Next(2000).empty());

            ra.Stop();
            const Bytes last = host.Next(2000);
            ASSERT_GE(last.size(), 16u);
            EXPECT_EQ((last[6] << 8) | last[7], 0) << "no longer a default router";
            auto options = Options(last);
            ASSERT_EQ(options[25].size(), 24u);
            EXPECT_EQ(Get32(&options[25][4]), 0u) << "the DNS server is withdrawn";
            EXPECT_EQ(Get32(&options[3][8]), 0u) << "the prefix is no longer preferred";
        },
        &why);
    if (!ran)
        GTEST_SKIP() << why;
}

}  // namespace
