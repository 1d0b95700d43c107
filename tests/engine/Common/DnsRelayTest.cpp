// The DNS relay: which datagrams it answers, the bytes of its answers, and the
// relay on a real loopback socket with the simulated PC's resolver.
#include <gtest/gtest.h>

#include "Common/DnsRelay.h"
#include "platform/socket/UdpSocket.h"
#include "platform/text/Ipv4Text.h"
#include "support/DnsWire.h"
#include "support/EngineBed.h"
#include "support/SimTest.h"

#include <chrono>
#include <thread>

#if !defined(_WIN32)
#include <algorithm>
#include <map>

#include <cstdio>
#include <fstream>
#include <future>

#include "platform/linux/LinuxResolver.h"
#include "support/TempDir.h"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

plat::DnsRecord A(const std::string& owner, const char* ip, std::uint32_t ttl = 300) {
    plat::DnsRecord r;
    r.owner = owner;
    r.type = 1;
    r.ttl = ttl;
    plat::Ipv4Text::Parse(ip, &r.address);
    return r;
}

plat::DnsRecord Cname(const std::string& owner, const std::string& target) {
    plat::DnsRecord r;
    r.owner = owner;
    r.type = 5;
    r.ttl = 60;
    r.target = target;
    return r;
}

bool Parses(const Bytes& q, std::string* name = nullptr) {
    std::string ignored;
    return CDnsRelay::ParseQuery(q.data(), q.size(), name ? name : &ignored);
}

Bytes Respond(const Bytes& q, const std::vector<plat::DnsRecord>& records,
              std::size_t capacity = CDnsRelay::kBufferSize) {
    Bytes out(capacity);
    out.resize(CDnsRelay::BuildResponse(q.data(), q.size(), records, out.data(), capacity));
    return out;
}

TEST(DnsRelayMessage, AnswersOnlyPlainSingleAOrAaaaQueries) {
    std::string name;
    EXPECT_TRUE(Parses(dnstest::Query(7, "WWW.Example.COM"), &name));
    EXPECT_EQ(name, "www.example.com") << "the name is looked up in lower case";

    const Bytes header(12, 0);
    EXPECT_FALSE(Parses(header)) << "12 bytes: no question at all";
    Bytes thirteen = header;
    thirteen[5] = 1;
    thirteen.push_back(0);
    EXPECT_FALSE(Parses(thirteen)) << "13 bytes are examined and refused, not read past";

    EXPECT_FALSE(Parses(dnstest::Query(1, "a.test", 1, 0x81))) << "QR set: a response";
    EXPECT_FALSE(Parses(dnstest::Query(1, "a.test", 1, 0x03))) << "TC set";
    std::uint16_t type = 0;
    const Bytes aaaa = dnstest::Query(1, "a.test", 28);
    EXPECT_TRUE(CDnsRelay::ParseQuery(aaaa.data(), aaaa.size(), &name, &type));
    EXPECT_EQ(type, 28);
    const Bytes a = dnstest::Query(1, "a.test", 1);
    EXPECT_TRUE(CDnsRelay::ParseQuery(a.data(), a.size(), &name, &type));
    EXPECT_EQ(type, 1);
    EXPECT_FALSE(Parses(dnstest::Query(1, "a.test", 15))) << "MX";
    EXPECT_FALSE(Parses(dnstest::Query(1, "a.test", 255))) << "ANY";
    Bytes two = dnstest::Query(1, "a.test");
    two[5] = 2;
    EXPECT_FALSE(Parses(two)) << "two questions";
}

// The EDNS record stub resolvers put behind the question (dig, systemd-resolved
// and phones do by default), with an option of `optionBytes` bytes.
Bytes WithOpt(Bytes q, std::size_t optionBytes = 0) {
    q[11] = 1;
    for (std::uint8_t b : {0, 0, 41, 4, 208, 0, 0, 0, 0})
        q.push_back(b);
    q.push_back(static_cast<std::uint8_t>(optionBytes >> 8));
    q.push_back(static_cast<std::uint8_t>(optionBytes));
    q.insert(q.end(), optionBytes, 0xAB);
    return q;
}

TEST(DnsRelayMessage, QueriesWithAnEdnsRecordAreAnsweredWithoutIt) {
    std::string name;
    const Bytes plain = dnstest::Query(9, "Www.Example.Test");
    const Bytes edns = WithOpt(plain, 12);  // a cookie option
    ASSERT_TRUE(Parses(edns, &name));
    EXPECT_EQ(name, "www.example.test");

    const Bytes r = Respond(edns, {A("www.example.test", "198.51.100.9")});
    EXPECT_EQ(r, Respond(plain, {A("www.example.test", "198.51.100.9")}))
        << "the answer is the one to the same query without EDNS";
    auto parsed = dnstest::Parse(r);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->ar, 0);
    ASSERT_EQ(parsed->an, 1);
    EXPECT_EQ(parsed->answers[0].data, (Bytes{198, 51, 100, 9}));

    // Anything else behind the question is still refused.
    Bytes uncounted = WithOpt(plain);
    uncounted[11] = 0;
    EXPECT_FALSE(Parses(uncounted)) << "a record ARCOUNT does not count";
    Bytes notOpt = WithOpt(plain);
    notOpt[plain.size() + 2] = 1;
    EXPECT_FALSE(Parses(notOpt)) << "an A record in the additional section";
    Bytes named = WithOpt(plain);
    named[plain.size()] = 1;
    EXPECT_FALSE(Parses(named)) << "an OPT record must have the root name";
    Bytes trailing = WithOpt(plain, 4);
    trailing.push_back(0);
    EXPECT_FALSE(Parses(trailing)) << "bytes behind the record";
    Bytes shortRecord = WithOpt(plain, 4);
    shortRecord.pop_back();
    EXPECT_FALSE(Parses(shortRecord)) << "RDATA cut short";
    Bytes answered = WithOpt(plain);
    answered[7] = 1;
    EXPECT_FALSE(Parses(answered)) << "an answer count in a query";
    Bytes mx = WithOpt(dnstest::Query(1, "a.test", 15));
    EXPECT_FALSE(Parses(mx));
}

TEST(DnsRelayMessage, MalformedNamesAreRefusedWithoutReadingPastTheDatagram) {
    Bytes past = dnstest::Query(1, "abc.test");
    past[12] = 60;  // the first label claims more bytes than there are
    EXPECT_FALSE(Parses(past));

    Bytes pointer = {0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0xC0, 0x0C, 0, 1, 0, 1};
    EXPECT_FALSE(Parses(pointer)) << "a compression pointer in the question";

    Bytes root = dnstest::Query(1, "");
    EXPECT_FALSE(Parses(root)) << "the root name";

    Bytes dotted = dnstest::Query(1, "ab.test");
    dotted[14] = '.';  // "a.b" as one label would read as two names
    EXPECT_FALSE(Parses(dotted));
    Bytes nul = dnstest::Query(1, "ab.test");
    nul[14] = 0;
    EXPECT_FALSE(Parses(nul));

    std::string longName;
    for (int i = 0; i < 5; ++i)
        longName += std::string(60, 'x') + ".";
    longName += "test";
    EXPECT_FALSE(Parses(dnstest::Query(1, longName))) << "longer than a DNS name may be";
}

TEST(DnsRelayMessage, ResponseKeepsTheQueryAndAppendsRecordsInResolverOrder) {
    const Bytes q = dnstest::Query(0xBEEF, "www.example.test", 1, 0x01, 0x30);
    const Bytes r =
        Respond(q, {Cname("www.example.test", "edge.cdn.test"),
                    A("edge.cdn.test", "198.51.100.7", 1234), A("edge.cdn.test", "198.51.100.8")});
    ASSERT_GT(r.size(), q.size());
    EXPECT_EQ(r[0], 0xBE);
    EXPECT_EQ(r[1], 0xEF);
    EXPECT_EQ(r[2], 0x81);
    EXPECT_EQ(r[3], 0xB0) << "recursion available; AD and CD kept";
    EXPECT_TRUE(std::equal(q.begin() + 12, q.end(), r.begin() + 12)) << "question copied as is";

    auto parsed = dnstest::Parse(r);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->qd, 1);
    EXPECT_EQ(parsed->ns, 0);
    EXPECT_EQ(parsed->ar, 0);
    ASSERT_EQ(parsed->an, 3);
    EXPECT_EQ(parsed->answers[0].type, 5);
    EXPECT_EQ(parsed->answers[0].target, "edge.cdn.test");
    EXPECT_EQ(parsed->answers[0].data.size(), std::string("edge.cdn.test").size() + 2);
    EXPECT_EQ(parsed->answers[1].owner, "edge.cdn.test");
    EXPECT_EQ(parsed->answers[1].klass, 1);
    EXPECT_EQ(parsed->answers[1].ttl, 1234u);
    EXPECT_EQ(parsed->answers[1].data, (Bytes{198, 51, 100, 7}));
    EXPECT_EQ(parsed->answers[2].data, (Bytes{198, 51, 100, 8}));

    // The RCODE and opcode bits of the query are not carried over.
    EXPECT_EQ(Respond(dnstest::Query(1, "a.test", 0x01, 0x01, 0x4F), {})[3], 0x80);
}

// An AAAA question is answered with the CNAME chain and the IPv6 addresses;
// an A question with the same records gets exactly the answer it got before
// the resolver knew IPv6 addresses.
TEST(DnsRelayMessage, EachQuestionGetsTheAddressesOfItsOwnType) {
    plat::DnsRecord six;
    six.owner = "edge.cdn.test";
    six.type = 28;
    six.ttl = 77;
    for (std::size_t i = 0; i < 16; ++i)
        six.address6[i] = static_cast<std::uint8_t>(0x20 + i);
    const std::vector<plat::DnsRecord> mixed = {Cname("www.example.test", "edge.cdn.test"),
                                                A("edge.cdn.test", "198.51.100.7"), six};
    const Bytes qa = dnstest::Query(5, "www.example.test", 1);
    EXPECT_EQ(Respond(qa, mixed), Respond(qa, {mixed[0], mixed[1]}));

    const Bytes q6 = dnstest::Query(6, "www.example.test", 28);
    auto parsed = dnstest::Parse(Respond(q6, mixed));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->an, 2);
    EXPECT_EQ(parsed->answers[0].type, 5);
    EXPECT_EQ(parsed->answers[1].type, 28);
    EXPECT_EQ(parsed->answers[1].owner, "edge.cdn.test");
    EXPECT_EQ(parsed->answers[1].ttl, 77u);
    EXPECT_EQ(parsed->answers[1].data, Bytes(six.address6.begin(), six.address6.end()));
}

TEST(DnsRelayMessage, RecordsThatCannotBeWrittenAreLeftOutAndCounted) {
    const Bytes q = dnstest::Query(1, "many.test");
    plat::DnsRecord other = A("many.test", "10.0.0.1");
    other.type = 16;  // TXT: no encoding for its data
    std::vector<plat::DnsRecord> records = {other};
    for (int i = 0; i < 400; ++i)
        records.push_back(A("many.test", "10.0.0.1"));
    const Bytes r = Respond(q, records);
    ASSERT_LE(r.size(), CDnsRelay::kBufferSize);
    auto parsed = dnstest::Parse(r);
    ASSERT_TRUE(parsed) << "ANCOUNT matches the records written";
    EXPECT_EQ(parsed->an, (CDnsRelay::kBufferSize - q.size()) / (11 + 14));
    EXPECT_EQ(parsed->answers[0].type, 1);

    // A CNAME target that is no valid name ends the answer there.
    parsed = dnstest::Parse(
        Respond(q, {A("many.test", "10.0.0.1"), Cname("many.test", std::string(64, 'y') + ".test"),
                    A("other.test", "10.0.0.2")}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->an, 1);

    // A small output buffer is never written past.
    Bytes small(q.size() + 20, 0xEE);
    const std::size_t n =
        CDnsRelay::BuildResponse(q.data(), q.size(), records, small.data(), q.size() + 10);
    EXPECT_EQ(n, q.size());
    EXPECT_EQ(small[q.size() + 10], 0xEE);
}

class DnsRelayTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_EQ(m_relay.StartRelay("127.0.0.1", 0), 0);
        // Winsock of its own: on Windows the relay's stop ends the relay's
        // hold, and the last hold's end closes every socket of the process.
        ASSERT_EQ(m_client.Startup(), 0);
        ASSERT_EQ(m_client.Open(), 0);
        ASSERT_EQ(m_client.Bind(Loopback(), 0), 0);
    }
    void TearDown() override {
        m_relay.Stop();
        SimTest::TearDown();
    }
    static std::uint32_t Loopback() {
        std::uint32_t ip = 0;
        plat::Ipv4Text::Parse("127.0.0.1", &ip);
        return ip;
    }
    void Send(const Bytes& q) {
        ASSERT_EQ(m_client.SendTo(q.data(), q.size(), Loopback(), m_relay.Port()), 0);
    }
    std::optional<dnstest::Response> Receive() {
        if (m_client.Wait(5000) != plat::UdpSocket::WaitResult::Readable)
            return std::nullopt;
        Bytes b(6000);
        std::size_t n = 0;
        if (m_client.Receive(b.data(), b.size(), &n) != 0)
            return std::nullopt;
        b.resize(n);
        return dnstest::Parse(b);
    }

    CDnsRelay m_relay;
    plat::UdpSocket m_client;
};

TEST_F(DnsRelayTest, AnswersOverUdpAndSendsNothingForWhatItCannotResolve) {
    Pc().resolver.Set("www.example.test", {Cname("www.example.test", "host.example.test"),
                                           A("host.example.test", "203.0.113.10")});
    EXPECT_EQ(m_relay.StartRelay("127.0.0.1", 0), -1) << "already running";

    Send(dnstest::Query(1, "nowhere.test"));
    Send(dnstest::Query(2, "WWW.EXAMPLE.TEST"));
    // The lookups run side by side: the failed one has ended before the
    // answer is read, so a datagram it sent would come first.
    while (m_relay.GetStats().unresolved < 1)
        std::this_thread::yield();
    auto r = Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 2) << "the name that did not resolve got no datagram";
    ASSERT_EQ(r->an, 2);
    EXPECT_EQ(r->answers[1].data, (Bytes{203, 0, 113, 10}));
    const auto queries = Pc().resolver.Queries();
    EXPECT_NE(std::find(queries.begin(), queries.end(), "nowhere.test"), queries.end());
    EXPECT_NE(std::find(queries.begin(), queries.end(), "www.example.test"), queries.end());
}

// On the IPv6 address too: a query that arrives there is answered there; an
// AAAA question the resolver has no lookup for gets nothing (and is counted).
TEST_F(DnsRelayTest, AnswersOnItsIpv6AddressFromTheSameLookups) {
    Pc().resolver.Set("www.example.test", {A("www.example.test", "203.0.113.10")});
    plat::UdpSocket client;
    ASSERT_EQ(client.Startup(), 0);
    plat::UdpSocket::Ipv6 loopback{};
    loopback[15] = 1;
    if (client.Open6() != 0 || client.Bind6(loopback, 0) != 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_EQ(m_relay.StartRelay6("::1", 0), 0);
    EXPECT_EQ(m_relay.StartRelay6("::1", 0), -1) << "already listening";
    const Bytes aaaa = dnstest::Query(3, "www.example.test", 28);
    const Bytes a = dnstest::Query(4, "www.example.test");
    ASSERT_EQ(client.SendTo6(aaaa.data(), aaaa.size(), loopback, m_relay.Port6(), 0), 0);
    while (m_relay.GetStats().unresolved < 1)
        std::this_thread::yield();
    ASSERT_EQ(client.SendTo6(a.data(), a.size(), loopback, m_relay.Port6(), 0), 0);
    ASSERT_EQ(client.Wait(5000), plat::UdpSocket::WaitResult::Readable);
    Bytes b(600);
    std::size_t n = 0;
    plat::UdpSocket::Ipv6 from{};
    std::uint16_t port = 0;
    ASSERT_EQ(client.Receive6(b.data(), b.size(), &n, &from, &port, nullptr), 0);
    b.resize(n);
    EXPECT_EQ(from, loopback);
    EXPECT_EQ(port, m_relay.Port6());
    auto r = dnstest::Parse(b);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 4);
    ASSERT_EQ(r->an, 1);
    EXPECT_EQ(r->answers[0].data, (Bytes{203, 0, 113, 10}));
    m_relay.Stop();
    EXPECT_EQ(m_relay.Port6(), 0);
}

TEST_F(DnsRelayTest, ASlowLookupDoesNotHoldUpOtherClients) {
    Pc().resolver.Set("slow.test", {A("slow.test", "10.1.1.1")});
    Pc().resolver.Set("fast.test", {A("fast.test", "10.2.2.2")});
    Pc().resolver.Hold("slow.test");
    Send(dnstest::Query(10, "slow.test"));
    Send(dnstest::Query(11, "fast.test"));
    auto fast = Receive();
    Pc().resolver.Release("slow.test");
    ASSERT_TRUE(fast);
    EXPECT_EQ(fast->id, 11);
    auto slow = Receive();
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->id, 10);
}

TEST_F(DnsRelayTest, StopsWhileALookupIsUnderwayAndStartsAgain) {
    Pc().resolver.Set("slow.test", {A("slow.test", "10.1.1.1")});
    Pc().resolver.Hold("slow.test");
    Send(dnstest::Query(10, "slow.test"));
    while (Pc().resolver.Queries().empty())
        std::this_thread::yield();
    // The lookup is let go only once the stop is under way (it has marked the
    // relay stopped and waits for its threads), so the stop always meets a
    // lookup in progress.
    std::thread release([&] {
        while (m_relay.IsRunning())
            std::this_thread::yield();
        Pc().resolver.Release("slow.test");
    });
    m_relay.Stop();
    release.join();
    EXPECT_FALSE(m_relay.IsRunning());

    if (enginebed::RefusesForeignAddress()) {
        EXPECT_EQ(m_relay.StartRelay("192.0.2.77", 0), plat::kWsaEAddrNotAvail)
            << "an address that is on no adapter";
    }
    ASSERT_EQ(m_relay.StartRelay("127.0.0.1", 0), 0);
    Send(dnstest::Query(12, "slow.test"));
    auto r = Receive();
    if (r && r->id == 10)
        r = Receive();  // the lookup under way at the stop may still have been answered
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 12);
}

#if !defined(_WIN32)

// An upstream name server the test plays on loopback: it records the queries
// that reach it and answers them when the test says so.
class FakeUpstream {
public:
    struct Asked {
        Bytes query;
        std::uint32_t ip = 0;
        std::uint16_t port = 0;
    };

    bool Open(const char* ip = "127.0.0.1", std::uint16_t port = 0) {
        std::uint32_t address = 0;
        plat::Ipv4Text::Parse(ip, &address);
        return m_socket.Open() == 0 && m_socket.Bind(address, port) == 0;
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_socket.LocalPort()); }
    // Reads queries until `count` names have been asked (false when none comes
    // for five seconds); with `count` 0, those that are there.
    bool WaitForNames(std::size_t count) {
        while (count == 0 || m_asked.size() < count) {
            if (m_socket.Wait(count == 0 ? 0 : 5000) != plat::UdpSocket::WaitResult::Readable)
                return count == 0;
            Asked a;
            a.query.resize(600);
            std::size_t n = 0;
            if (m_socket.Receive(a.query.data(), a.query.size(), &n, &a.ip, &a.port) != 0)
                continue;
            a.query.resize(n);
            std::string name;
            if (!CDnsRelay::ParseQuery(a.query.data(), a.query.size(), &name))
                return false;
            ++m_times[name];
            m_asked[name] = a;
        }
        return true;
    }
    // Answers `name` with one A record: 10.0.<i / 256>.<i % 256>.
    void Answer(const std::string& name, std::uint32_t i) {
        const Asked& a = m_asked.at(name);
        Bytes r = a.query;
        r[2] = 0x81;
        r[3] = 0x80;
        r[7] = 1;  // ANCOUNT
        const Bytes record = {0xC0,
                              0x0C,
                              0,
                              1,
                              0,
                              1,
                              0,
                              0,
                              1,
                              44,
                              0,
                              4,
                              10,
                              0,
                              static_cast<std::uint8_t>(i >> 8),
                              static_cast<std::uint8_t>(i)};
        r.insert(r.end(), record.begin(), record.end());
        m_socket.SendTo(r.data(), r.size(), a.ip, a.port);
    }
    std::size_t TimesAsked(const std::string& name) const {
        auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second;
    }

private:
    plat::UdpSocket m_socket;
    std::map<std::string, Asked> m_asked;
    std::map<std::string, std::size_t> m_times;
};

// The relay over the Linux resolver's asynchronous lookups: 500 questions in
// flight to an upstream that stays silent, two clients' questions for each
// name sharing one upstream lookup; the queue bound holds (what is beyond it
// is dropped, not queued), and once the upstream answers every waiting query
// gets its own answer and new questions are answered again.
TEST_F(DnsRelayTest, HoldsItsBoundWhileTheUpstreamIsSilentAndAnswersOnceItSpeaks) {
    m_relay.Stop();
    FakeUpstream upstream;
    ASSERT_TRUE(upstream.Open());
    // A first timeout far beyond the test's run: the upstream's silence ends
    // when the test answers, never by a retry.
    plat::LinuxResolver resolver(
        {.servers = upstream.Address(), .timeoutMs = 600000, .resolvConf = {}});
    CDnsRelay relay(&resolver);
    ASSERT_EQ(relay.StartRelay("127.0.0.1", 0), 0);
    auto name = [](std::uint32_t i) { return "h" + std::to_string(i) + ".example.test"; };
    auto sendAndWait = [&](std::uint16_t id, const std::string& n, std::uint64_t seen) {
        const Bytes q = dnstest::Query(id, n);
        ASSERT_EQ(m_client.SendTo(q.data(), q.size(), Loopback(), relay.Port()), 0);
        // Paced by the relay and the upstream, so no datagram is lost in a
        // socket's buffer.
        while (relay.GetStats().queries < seen)
            std::this_thread::yield();
        ASSERT_TRUE(upstream.WaitForNames(0));
    };

    // 500 questions for 250 names, then 20 for names of their own: 512 wait,
    // the last 8 are dropped.
    constexpr std::uint32_t kNames = 250;
    std::uint64_t sent = 0;
    for (std::uint32_t i = 0; i < 2 * kNames; ++i)
        sendAndWait(static_cast<std::uint16_t>(i), name(i % kNames), ++sent);
    for (std::uint32_t i = kNames; i < kNames + 20; ++i)
        sendAndWait(static_cast<std::uint16_t>(1000 + i), name(i), ++sent);
    const std::size_t waiting = CDnsRelay::kMaxPending - 2 * kNames;  // 12
    ASSERT_TRUE(upstream.WaitForNames(kNames + waiting));
    // A query is counted when it arrives and dropped a moment later: wait
    // for the relay to be done with the last one.
    for (int i = 0; i < 20000 && relay.GetStats().dropped < 20 - waiting; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(relay.GetStats().dropped, 20 - waiting);
    EXPECT_EQ(relay.GetStats().answered, 0u);
    for (std::uint32_t i = 0; i < kNames + waiting; ++i)
        EXPECT_EQ(upstream.TimesAsked(name(i)), 1u) << name(i);
    EXPECT_EQ(upstream.TimesAsked(name(kNames + waiting)), 0u) << "dropped, not queued";

    // The upstream answers, a batch at a time; each query gets the answer of
    // its own name under its own identifier.
    std::map<std::uint16_t, std::uint32_t> expected;  // id -> the name's number
    for (std::uint32_t i = 0; i < 2 * kNames; ++i)
        expected[static_cast<std::uint16_t>(i)] = i % kNames;
    for (std::uint32_t i = kNames; i < kNames + waiting; ++i)
        expected[static_cast<std::uint16_t>(1000 + i)] = i;
    for (std::uint32_t from = 0; from < kNames + waiting; from += 25) {
        std::size_t answers = 0;
        for (std::uint32_t i = from; i < std::min<std::uint32_t>(from + 25, kNames + waiting);
             ++i) {
            upstream.Answer(name(i), i);
            answers += i < kNames ? 2 : 1;
        }
        for (; answers > 0; --answers) {
            auto r = Receive();
            ASSERT_TRUE(r);
            auto it = expected.find(r->id);
            ASSERT_NE(it, expected.end()) << r->id;
            ASSERT_EQ(r->an, 1);
            EXPECT_EQ(r->answers[0].owner, name(it->second));
            EXPECT_EQ(r->answers[0].data, (Bytes{10, 0, static_cast<std::uint8_t>(it->second >> 8),
                                                 static_cast<std::uint8_t>(it->second)}));
            expected.erase(it);
        }
    }
    EXPECT_TRUE(expected.empty());

    // Room again: a new question goes upstream and is answered.
    const std::uint32_t fresh = kNames + 20;
    sendAndWait(4000, name(fresh), ++sent);
    ASSERT_TRUE(upstream.WaitForNames(kNames + waiting + 1));
    ASSERT_EQ(upstream.TimesAsked(name(fresh)), 1u) << "the dropped names never went upstream";
    upstream.Answer(name(fresh), fresh);
    auto r = Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 4000);
    relay.Stop();
    const CDnsRelay::Stats stats = relay.GetStats();
    EXPECT_EQ(stats.queries, sent);
    EXPECT_EQ(stats.answered, CDnsRelay::kMaxPending + 1);
    EXPECT_EQ(stats.dropped, 20 - waiting);
    EXPECT_EQ(stats.unresolved, 0u);
}

// Over the Linux resolver's lookups, whose loop reads the relay's sockets
// itself: a question on each address is answered on that address, a stop
// with a lookup under way ends it, and the relay started again answers.
TEST_F(DnsRelayTest, OverTheLinuxLookupsBothAddressesAreAnsweredAndAStopEndsTheLoop) {
    m_relay.Stop();
    FakeUpstream upstream;
    ASSERT_TRUE(upstream.Open());
    plat::LinuxResolver resolver(
        {.servers = upstream.Address(), .timeoutMs = 600000, .resolvConf = {}});
    CDnsRelay relay(&resolver);
    ASSERT_EQ(relay.StartRelay("127.0.0.1", 0), 0);
    plat::UdpSocket client6;
    plat::UdpSocket::Ipv6 loopback{};
    loopback[15] = 1;
    if (client6.Open6() != 0 || client6.Bind6(loopback, 0) != 0)
        GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_EQ(relay.StartRelay6("::1", 0), 0);

    const Bytes four = dnstest::Query(1, "four.example.test");
    const Bytes six = dnstest::Query(2, "six.example.test");
    ASSERT_EQ(m_client.SendTo(four.data(), four.size(), Loopback(), relay.Port()), 0);
    ASSERT_EQ(client6.SendTo6(six.data(), six.size(), loopback, relay.Port6(), 0), 0);
    ASSERT_TRUE(upstream.WaitForNames(2));
    upstream.Answer("six.example.test", 6);
    upstream.Answer("four.example.test", 4);
    auto r = Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 1);
    ASSERT_EQ(r->an, 1);
    EXPECT_EQ(r->answers[0].data, (Bytes{10, 0, 0, 4}));
    ASSERT_EQ(client6.Wait(5000), plat::UdpSocket::WaitResult::Readable);
    Bytes b(600);
    std::size_t n = 0;
    plat::UdpSocket::Ipv6 from{};
    std::uint16_t port = 0;
    ASSERT_EQ(client6.Receive6(b.data(), b.size(), &n, &from, &port, nullptr), 0);
    b.resize(n);
    EXPECT_EQ(port, relay.Port6());
    auto r6 = dnstest::Parse(b);
    ASSERT_TRUE(r6);
    EXPECT_EQ(r6->id, 2);
    ASSERT_EQ(r6->an, 1);
    EXPECT_EQ(r6->answers[0].data, (Bytes{10, 0, 0, 6}));

    const Bytes held = dnstest::Query(3, "held.example.test");
    ASSERT_EQ(m_client.SendTo(held.data(), held.size(), Loopback(), relay.Port()), 0);
    ASSERT_TRUE(upstream.WaitForNames(3));
    relay.Stop();
    upstream.Answer("held.example.test", 3);  // to lookups that have ended

    ASSERT_EQ(relay.StartRelay("127.0.0.1", 0), 0);
    const Bytes again = dnstest::Query(4, "again.example.test");
    ASSERT_EQ(m_client.SendTo(again.data(), again.size(), Loopback(), relay.Port()), 0);
    ASSERT_TRUE(upstream.WaitForNames(4));
    upstream.Answer("again.example.test", 8);
    r = Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->id, 4) << "nothing of the lookup the stop ended";
    relay.Stop();  // the count follows the send: read it once the loop has ended
    EXPECT_EQ(relay.GetStats().answered, 1u);
}

// A new resolver configuration (the hotspot's upstream connection changed)
// takes effect for the next lookups, while the lookups under way still get
// the old server's answer. Needs port 53 on loopback addresses (root).
TEST(DnsLookupsTest, ANewResolverConfigurationServesTheNextLookups) {
    FakeUpstream before, after;
    if (!before.Open("127.0.0.61", 53) || !after.Open("127.0.0.62", 53))
        GTEST_SKIP() << "needs port 53 on 127.0.0.61 and 127.0.0.62";
    TempDir dir;
    const std::string conf = dir.File("resolv.conf");
    auto write = [&](const char* server) {
        std::ofstream(conf + ".new") << "nameserver " << server << "\n";
        return std::rename((conf + ".new").c_str(), conf.c_str()) == 0;
    };
    ASSERT_TRUE(write("127.0.0.61"));
    plat::LinuxResolver resolver({.servers = {}, .timeoutMs = 600000, .resolvConf = conf});
    auto lookups = resolver.OpenLookups();
    auto lookup = [&](const std::string& name) {
        auto done = std::make_shared<std::promise<std::vector<plat::DnsRecord>>>();
        EXPECT_TRUE(lookups->Lookup(name, [done](plat::LONG rc, std::vector<plat::DnsRecord> r) {
            EXPECT_EQ(rc, 0);
            done->set_value(std::move(r));
        }));
        return done->get_future();
    };

    auto first = lookup("one.example.test");
    ASSERT_TRUE(before.WaitForNames(1));
    ASSERT_TRUE(write("127.0.0.62"));
    auto second = lookup("two.example.test");
    ASSERT_TRUE(after.WaitForNames(1));
    after.Answer("two.example.test", 2);
    before.Answer("one.example.test", 1);
    for (auto* f : {&first, &second})
        ASSERT_EQ(f->wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const auto one = first.get(), two = second.get();
    ASSERT_EQ(one.size(), 1u);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(one[0].owner, "one.example.test");
    EXPECT_EQ(two[0].owner, "two.example.test");
    ASSERT_TRUE(before.WaitForNames(0));
    EXPECT_EQ(before.TimesAsked("two.example.test"), 0u);
    lookups.reset();
}

#endif

}  // namespace
