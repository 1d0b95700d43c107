// The decisions of the DHCP server on single messages, without sockets.
#include <gtest/gtest.h>

#include "DhcpPacket.h"
#include "pellion/DhcpMessageHandler.h"

using dhcptest::Ip;
using dhcptest::Mac;
using dhcptest::Packet;
using pellion::DhcpMessageHandler;
using pellion::DhcpOutcome;
using pellion::DhcpSettings;
using pellion::DhcpVerdict;
using pellion::LeaseTable;
using plat::MacAddress;

namespace {

constexpr std::uint8_t kDiscover = 1;
constexpr std::uint8_t kRequest = 3;
constexpr std::uint8_t kDecline = 4;
constexpr std::uint8_t kRelease = 7;

Mac MacOf(std::uint8_t last) {
    return {0x02, 0x00, 0x5e, 0x10, 0x20, last};
}

class DhcpMessageHandlerTest : public ::testing::Test {
protected:
    DhcpOutcome Send(const std::vector<std::uint8_t>& bytes) {
        return DhcpMessageHandler::Handle(bytes.data(), bytes.size(), settings, table, now);
    }
    DhcpOutcome Discover(const Mac& mac, const std::string& host = "phone") {
        return Send(Packet(kDiscover, mac).HostName(host).Bytes());
    }
    DhcpOutcome Request(const Mac& mac, std::uint32_t ip) {
        return Send(Packet(kRequest, mac).Requested(ip).Bytes());
    }
    static std::uint32_t Offered(const DhcpOutcome& o) {
        auto r = dhcptest::Parse(o.reply);
        return r ? r->yiaddr : 0xFFFFFFFFu;
    }
    const pellion::Lease* Entry(const Mac& mac) {
        MacAddress m;
        std::copy(mac.begin(), mac.end(), m.begin());
        return table.Find(m);
    }

    DhcpSettings settings{"192.168.23.1", "192.168.23.1", "HOTSPOT-PC"};
    LeaseTable table;
    pellion::SteadyTime now = pellion::SteadyTime{} + std::chrono::hours(1);
};

TEST_F(DhcpMessageHandlerTest, NewClientsGetConsecutiveAddressesFromTwo) {
    DhcpOutcome first = Discover(MacOf(1));
    EXPECT_EQ(first.verdict, DhcpVerdict::Offer);
    EXPECT_EQ(Offered(first), Ip(192, 168, 23, 2));
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 3));
    ASSERT_EQ(first.debug.size(), 1u);
    EXPECT_EQ(first.debug[0], "DHCP:offer ip 02-00-5E-10-20-01, ip:192.168.23.2\n");
    const pellion::Lease* lease = Entry(MacOf(1));
    ASSERT_NE(lease, nullptr);
    EXPECT_TRUE(lease->bound);
    EXPECT_EQ(lease->octet, 2);
    EXPECT_EQ(lease->Hostname(), "phone");
}

TEST_F(DhcpMessageHandlerTest, ReplyKeepsTheRequestFieldsAndWritesTheOptionsInOrder) {
    settings.dnsList = "114.114.114.114,8.8.8.8";
    DhcpOutcome o = Send(Packet(kDiscover, MacOf(7), 0xCAFEF00D).Bytes());
    auto r = dhcptest::Parse(o.reply);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->op, 2);
    EXPECT_EQ(r->type, 2);
    EXPECT_EQ(r->xid, 0xCAFEF00Du);
    EXPECT_EQ(r->chaddr, MacOf(7));
    EXPECT_EQ(r->siaddr, Ip(192, 168, 23, 1));
    EXPECT_EQ(o.reply[10], 0x80) << "flags stay as received";
    EXPECT_TRUE(r->endThenZero);

    const std::vector<std::uint8_t> server = {192, 168, 23, 1};
    const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> expected = {
        {54, server},
        {1, {255, 255, 255, 0}},
        {3, server},
        {6, {114, 114, 114, 114, 8, 8, 8, 8}},
        {7, server},
        {15, {'m', 's', 'h', 'o', 'm', 'e', '.', 'n', 'e', 't'}},
        {44, server},
        {51, {0x00, 0x02, 0xA3, 0x00}},
        {58, {0x00, 0x01, 0x51, 0x80}},
        {59, {0x00, 0x01, 0x51, 0x80}},
    };
    EXPECT_EQ(r->options, expected);
}

TEST_F(DhcpMessageHandlerTest, DnsOptionIsLeftOutWhenTheListHoldsNoAddress) {
    settings.dnsList = "";
    auto r = dhcptest::Parse(Discover(MacOf(1)).reply);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->Find(6));
    EXPECT_TRUE(r->Find(7));
}

TEST_F(DhcpMessageHandlerTest, RediscoverWhileBoundTakesNextOctetAndUnboundGetsItsOldOneBack) {
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 2));
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 3)) << "its own bound octet is taken";
    MacAddress m{0x02, 0x00, 0x5e, 0x10, 0x20, 1};
    ASSERT_TRUE(table.Unbind(m));
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 3)) << "released octet offered again";
    // A released octet that another client now holds is not offered again.
    ASSERT_TRUE(table.Unbind(m));
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 2));
    EXPECT_EQ(Request(MacOf(2), Ip(192, 168, 23, 3)).verdict, DhcpVerdict::Ack);
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 2));
}

TEST_F(DhcpMessageHandlerTest, ServerAddressIsNeverHandedOut) {
    settings.serverIp = "10.1.2.3";
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(10, 1, 2, 2));
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(10, 1, 2, 4));
    EXPECT_EQ(Request(MacOf(3), Ip(10, 1, 2, 3)).verdict, DhcpVerdict::Nak);
    EXPECT_EQ(Request(MacOf(3), Ip(10, 1, 2, 255)).verdict, DhcpVerdict::Nak);
    EXPECT_EQ(Request(MacOf(3), Ip(10, 1, 2, 0)).verdict, DhcpVerdict::Nak);
}

Mac Numbered(int i) {
    return {0x02, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
}

TEST_F(DhcpMessageHandlerTest, FullPoolTakesBackTheOldestWaitingOfferButNeverALease) {
    for (int i = 0; i < 253; ++i)
        ASSERT_EQ(Offered(Discover(Numbered(i))),
                  Ip(192, 168, 23, static_cast<std::uint8_t>(i + 2)));
    // Every address is offered, none requested: the first offer gives way.
    EXPECT_EQ(Offered(Discover(MacOf(0xEE))), Ip(192, 168, 23, 2));
    EXPECT_EQ(Entry(Numbered(0))->ip, 0u);
    EXPECT_FALSE(Entry(Numbered(0))->bound);
    EXPECT_EQ(Request(MacOf(0xEE), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Ack);

    // Every address acknowledged: no address, and the entry holds none.
    for (int i = 1; i < 253; ++i)
        ASSERT_EQ(Request(Numbered(i), Ip(192, 168, 23, static_cast<std::uint8_t>(i + 2))).verdict,
                  DhcpVerdict::Ack);
    DhcpOutcome o = Discover(MacOf(0xEF));
    EXPECT_EQ(o.verdict, DhcpVerdict::Offer);
    EXPECT_EQ(Offered(o), 0u);
    EXPECT_FALSE(Entry(MacOf(0xEF))->bound);
    EXPECT_TRUE(table.Consistent());
}

// A starvation tool: DISCOVERs from random MACs that never request.
TEST_F(DhcpMessageHandlerTest, FloodOfRandomMacsKeepsTheTableBoundedAndServesTheNextClient) {
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 10000; ++i) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        Mac mac;
        for (int b = 0; b < 6; ++b)
            mac[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(seed >> (8 * b + 16));
        ASSERT_NE(Offered(Discover(mac)), 0u) << "message " << i;
        now += std::chrono::microseconds(100);
    }
    // 256 entries of well under 200 bytes each.
    EXPECT_LE(table.Size(), LeaseTable::kCapacity);
    EXPECT_TRUE(table.Consistent());
    const std::uint32_t offered = Offered(Discover(MacOf(1), "phone"));
    ASSERT_NE(offered, 0u);
    EXPECT_EQ(Request(MacOf(1), offered).verdict, DhcpVerdict::Ack);
}

TEST_F(DhcpMessageHandlerTest, OfferThatIsNotRequestedEndsAfterItsHold) {
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 2));
    now += DhcpMessageHandler::kOfferHold - std::chrono::seconds(1);
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 3)) << "still held";
    now += std::chrono::seconds(1);
    EXPECT_EQ(Offered(Discover(MacOf(3))), Ip(192, 168, 23, 2));
    EXPECT_EQ(Entry(MacOf(1))->ip, 0u) << "an unused offer leaves no claim behind";
    EXPECT_TRUE(table.Consistent());
}

TEST_F(DhcpMessageHandlerTest, LeaseEndsUnlessRenewedAndTheClientGetsItBackWhileFree) {
    Discover(MacOf(1));
    ASSERT_EQ(Request(MacOf(1), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Ack);
    Discover(MacOf(2));
    ASSERT_EQ(Request(MacOf(2), Ip(192, 168, 23, 3)).verdict, DhcpVerdict::Ack);
    now += DhcpMessageHandler::kLeaseTime / 2;
    // The first client renews from ciaddr and keeps its address.
    DhcpOutcome renew = Send(Packet(kRequest, MacOf(1)).Ciaddr(Ip(192, 168, 23, 2)).Bytes());
    ASSERT_EQ(renew.verdict, DhcpVerdict::Ack);
    EXPECT_EQ(Offered(renew), Ip(192, 168, 23, 2));
    now += DhcpMessageHandler::kLeaseTime / 2;
    // Only the second lease has ended.
    EXPECT_EQ(Offered(Discover(MacOf(3))), Ip(192, 168, 23, 4)) << "an ended lease is remembered";
    EXPECT_TRUE(Entry(MacOf(1))->bound);
    EXPECT_FALSE(Entry(MacOf(2))->bound);
    EXPECT_EQ(Entry(MacOf(2))->ip, Ip(192, 168, 23, 3));
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 3)) << "old address, still free";
    // Once another client took it, the old address is not offered again.
    EXPECT_EQ(Request(MacOf(4), Ip(192, 168, 23, 3)).verdict, DhcpVerdict::Ack);
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 5));
}

TEST_F(DhcpMessageHandlerTest, ReleaseAndDeclineGiveTheAddressBackWithoutReply) {
    for (int i = 0; i < 253; ++i) {
        Discover(Numbered(i));
        ASSERT_EQ(Request(Numbered(i), Ip(192, 168, 23, static_cast<std::uint8_t>(i + 2))).verdict,
                  DhcpVerdict::Ack);
    }
    EXPECT_EQ(Offered(Discover(MacOf(0xEE))), 0u) << "pool exhausted";
    // Releasing someone else's address, or from another MAC, changes nothing.
    const LeaseTable before = table;
    EXPECT_EQ(Send(Packet(kRelease, Numbered(7)).Ciaddr(Ip(192, 168, 23, 20)).Bytes()).verdict,
              DhcpVerdict::Ignore);
    EXPECT_TRUE(table == before);
    DhcpOutcome release = Send(Packet(kRelease, Numbered(7)).Ciaddr(Ip(192, 168, 23, 9)).Bytes());
    EXPECT_EQ(release.verdict, DhcpVerdict::Release);
    EXPECT_TRUE(release.reply.empty());
    EXPECT_FALSE(Entry(Numbered(7))->bound);
    EXPECT_EQ(Offered(Discover(MacOf(0xEE))), Ip(192, 168, 23, 9)) << "the next new client";
    ASSERT_EQ(Request(MacOf(0xEE), Ip(192, 168, 23, 9)).verdict, DhcpVerdict::Ack);

    // A declined address goes back to the pool, but not to the client that declined it.
    DhcpOutcome decline =
        Send(Packet(kDecline, Numbered(8)).Requested(Ip(192, 168, 23, 10)).Bytes());
    EXPECT_EQ(decline.verdict, DhcpVerdict::Decline);
    EXPECT_TRUE(decline.reply.empty());
    EXPECT_EQ(Offered(Discover(Numbered(8))), 0u);
    EXPECT_EQ(Offered(Discover(MacOf(0xEF))), Ip(192, 168, 23, 10));
    EXPECT_TRUE(table.Consistent());
}

TEST_F(DhcpMessageHandlerTest, MessagesForAnotherServerChangeNothing) {
    Discover(MacOf(1));
    Request(MacOf(1), Ip(192, 168, 23, 2));
    Discover(MacOf(2));
    const LeaseTable before = table;
    const std::uint32_t other = Ip(192, 168, 23, 99);
    const std::uint8_t* o = reinterpret_cast<const std::uint8_t*>(&other);
    const std::vector<std::uint8_t> id(o, o + 4);
    for (const auto& p : {Packet(kRequest, MacOf(2)).Requested(Ip(192, 168, 23, 3)).Option(54, id),
                          Packet(kRequest, MacOf(3)).Requested(Ip(10, 0, 0, 5)).Option(54, id),
                          Packet(kRelease, MacOf(1)).Ciaddr(Ip(192, 168, 23, 2)).Option(54, id)}) {
        DhcpOutcome out = Send(p.Bytes());
        EXPECT_EQ(out.verdict, DhcpVerdict::Ignore);
        EXPECT_TRUE(out.reply.empty());
        EXPECT_TRUE(out.debug.empty());
    }
    now += std::chrono::seconds(1);
    EXPECT_TRUE(table == before);
    // Naming this server is fine.
    const std::uint32_t self = Ip(192, 168, 23, 1);
    const std::uint8_t* s = reinterpret_cast<const std::uint8_t*>(&self);
    EXPECT_EQ(Send(Packet(kRequest, MacOf(2))
                       .Requested(Ip(192, 168, 23, 3))
                       .Option(54, std::vector<std::uint8_t>(s, s + 4))
                       .Bytes())
                  .verdict,
              DhcpVerdict::Ack);
}

TEST_F(DhcpMessageHandlerTest, RelayedMessagesAreAnsweredToTheRelayFromItsNetworkOnly) {
    DhcpOutcome direct = Discover(MacOf(1));
    EXPECT_EQ(direct.destination, 0xFFFFFFFFu);
    EXPECT_EQ(direct.port, 68);

    DhcpOutcome relayed = Send(Packet(kDiscover, MacOf(2)).Giaddr(Ip(192, 168, 23, 250)).Bytes());
    EXPECT_EQ(relayed.destination, Ip(192, 168, 23, 250));
    EXPECT_EQ(relayed.port, 67);
    auto r = dhcptest::Parse(relayed.reply);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->yiaddr, Ip(192, 168, 23, 3));
    EXPECT_EQ(r->giaddr, Ip(192, 168, 23, 250)) << "giaddr stays as received";
    DhcpOutcome ack =
        Send(Packet(kRequest, MacOf(2)).Giaddr(Ip(192, 168, 23, 250)).Requested(r->yiaddr).Bytes());
    EXPECT_EQ(ack.verdict, DhcpVerdict::Ack);
    EXPECT_EQ(ack.destination, Ip(192, 168, 23, 250));

    const LeaseTable before = table;
    DhcpOutcome foreign = Send(Packet(kDiscover, MacOf(3)).Giaddr(Ip(10, 9, 8, 1)).Bytes());
    EXPECT_EQ(foreign.verdict, DhcpVerdict::Ignore);
    EXPECT_TRUE(foreign.reply.empty());
    EXPECT_TRUE(table == before);
}

TEST_F(DhcpMessageHandlerTest, RequestTakesAnAddressThatWasOnlyOfferedToAnother) {
    EXPECT_EQ(Offered(Discover(MacOf(1))), Ip(192, 168, 23, 2));
    EXPECT_EQ(Request(MacOf(2), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Ack);
    EXPECT_EQ(Entry(MacOf(1))->ip, 0u);
    EXPECT_EQ(Request(MacOf(1), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Nak);
    EXPECT_TRUE(table.Consistent());
}

TEST_F(DhcpMessageHandlerTest, RequestIsAcknowledgedWithTheLeaseForTheCallback) {
    Discover(MacOf(1), "tablet");
    DhcpOutcome o = Request(MacOf(1), Ip(192, 168, 23, 2));
    EXPECT_EQ(o.verdict, DhcpVerdict::Ack);
    auto r = dhcptest::Parse(o.reply);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, 5);
    EXPECT_EQ(r->yiaddr, Ip(192, 168, 23, 2));
    ASSERT_TRUE(o.acked);
    EXPECT_EQ(o.acked->ip, Ip(192, 168, 23, 2));
    EXPECT_EQ(o.acked->mac[5], 1);
    EXPECT_STREQ(o.acked->hostname, "tablet");
    EXPECT_EQ(o.debug,
              std::vector<std::string>{"DHCP:ack 02-00-5E-10-20-01, ack ip:192.168.23.2\n"});
}

TEST_F(DhcpMessageHandlerTest, RequestsOutsideTheSubnetOrHeldByAnotherClientAreRefused) {
    Discover(MacOf(1));
    DhcpOutcome foreign = Request(MacOf(1), Ip(10, 0, 0, 5));
    EXPECT_EQ(foreign.verdict, DhcpVerdict::Nak);
    auto r = dhcptest::Parse(foreign.reply);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->type, 6);
    EXPECT_EQ(r->yiaddr, 0u);
    EXPECT_FALSE(foreign.acked);
    EXPECT_EQ(foreign.debug,
              std::vector<std::string>{"DHCP:nak 02-00-5E-10-20-01, req ip:10.0.0.5\n"});
    EXPECT_FALSE(Entry(MacOf(1))->bound) << "a NAK drops the client's address";
    EXPECT_EQ(Entry(MacOf(1))->ip, 0u);

    Discover(MacOf(1));
    Request(MacOf(1), Ip(192, 168, 23, 2));
    EXPECT_EQ(Request(MacOf(2), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Nak);
    MacAddress first{0x02, 0x00, 0x5e, 0x10, 0x20, 1};
    table.Unbind(first);
    EXPECT_EQ(Request(MacOf(2), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Ack);
}

TEST_F(DhcpMessageHandlerTest, RequestWithoutAddressIsRefusedUnlessRenewingFromCiaddr) {
    EXPECT_EQ(Send(Packet(kRequest, MacOf(1)).Bytes()).verdict, DhcpVerdict::Nak);
    // A renewing client names its address in ciaddr and leaves option 50 out.
    Discover(MacOf(1));
    Request(MacOf(1), Ip(192, 168, 23, 2));
    DhcpOutcome renew = Send(Packet(kRequest, MacOf(1)).Ciaddr(Ip(192, 168, 23, 2)).Bytes());
    EXPECT_EQ(renew.verdict, DhcpVerdict::Ack);
    EXPECT_EQ(Offered(renew), Ip(192, 168, 23, 2));
}

TEST_F(DhcpMessageHandlerTest, RequestFromUnknownClientCreatesItsEntry) {
    DhcpOutcome o =
        Send(Packet(kRequest, MacOf(9)).HostName("laptop").Requested(Ip(192, 168, 23, 40)).Bytes());
    EXPECT_EQ(o.verdict, DhcpVerdict::Ack);
    const pellion::Lease* lease = Entry(MacOf(9));
    ASSERT_NE(lease, nullptr);
    EXPECT_EQ(lease->octet, 40);
    EXPECT_EQ(lease->Hostname(), "laptop");
    EXPECT_EQ(Offered(Discover(MacOf(10))), Ip(192, 168, 23, 2));
}

TEST_F(DhcpMessageHandlerTest, BlackListedClientIsOfferedNothingAndRefused) {
    Discover(MacOf(1));
    MacAddress m{0x02, 0x00, 0x5e, 0x10, 0x20, 1};
    table.AddBlack(m);
    DhcpOutcome offer = Discover(MacOf(1));
    EXPECT_EQ(offer.verdict, DhcpVerdict::Offer);
    EXPECT_EQ(Offered(offer), 0u);
    EXPECT_EQ(offer.debug,
              std::vector<std::string>{"DHCP:offer ip 02-00-5E-10-20-01, ip:0.0.0.0\n"});
    EXPECT_TRUE(Entry(MacOf(1))->black) << "the mark survives the DISCOVER";
    EXPECT_FALSE(Entry(MacOf(1))->bound);
    EXPECT_EQ(Request(MacOf(1), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Nak);
    // A client black-listed before it was ever seen.
    table.AddBlack(MacAddress{0x02, 0x00, 0x5e, 0x10, 0x20, 5});
    EXPECT_EQ(Offered(Discover(MacOf(5))), 0u);
    EXPECT_EQ(Offered(Discover(MacOf(6))), Ip(192, 168, 23, 2));
}

TEST_F(DhcpMessageHandlerTest, WithTheAllowListOnOnlyListedClientsAreServedUntilTheStop) {
    table.AddAllowed(MacAddress{0x02, 0x00, 0x5e, 0x10, 0x20, 1});
    EXPECT_EQ(Offered(Discover(MacOf(2))), Ip(192, 168, 23, 2));  // the list is off
    table.SetAllowOnly(true);
    EXPECT_EQ(Offered(Discover(MacOf(2))), 0u);  // its earlier offer is dropped too
    EXPECT_FALSE(Entry(MacOf(2))->bound);
    EXPECT_EQ(Request(MacOf(2), Ip(192, 168, 23, 2)).verdict, DhcpVerdict::Nak);
    EXPECT_EQ(Offered(Discover(MacOf(3))), 0u);
    EXPECT_EQ(Entry(MacOf(3)), nullptr) << "an unlisted DISCOVER leaves no entry";
    const std::uint32_t ip = Offered(Discover(MacOf(1)));
    EXPECT_EQ(ip, Ip(192, 168, 23, 2));
    EXPECT_EQ(Request(MacOf(1), ip).verdict, DhcpVerdict::Ack);
    // A black-list mark wins over the allow list.
    table.AddBlack(MacAddress{0x02, 0x00, 0x5e, 0x10, 0x20, 1});
    EXPECT_EQ(Request(MacOf(1), ip).verdict, DhcpVerdict::Nak);
    // The stop empties the table with both lists.
    table.Clear();
    EXPECT_EQ(Offered(Discover(MacOf(3))), Ip(192, 168, 23, 2));
}

TEST_F(DhcpMessageHandlerTest, OwnComputerNameIsRefusedWhateverItsCase) {
    DhcpOutcome o = Send(Packet(kDiscover, MacOf(1)).HostName("hotspot-pc").Bytes());
    EXPECT_EQ(o.verdict, DhcpVerdict::Ignore);
    EXPECT_TRUE(o.reply.empty());
    EXPECT_EQ(o.debug, std::vector<std::string>{"Refuse local"});
    EXPECT_EQ(table.Size(), 0u);
    EXPECT_EQ(Discover(MacOf(1), "hotspot-pc2").verdict, DhcpVerdict::Offer);
}

TEST_F(DhcpMessageHandlerTest, HostNameIsCutTo39Bytes) {
    const std::string longName(60, 'x');
    Discover(MacOf(1), longName);
    EXPECT_EQ(Entry(MacOf(1))->Hostname(), std::string(39, 'x'));
}

TEST_F(DhcpMessageHandlerTest, OtherMessageTypesGetNoReply) {
    Discover(MacOf(1));
    const LeaseTable before = table;
    DhcpOutcome o = Send(Packet(kRelease, MacOf(1)).Bytes());
    EXPECT_EQ(o.verdict, DhcpVerdict::Ignore);
    EXPECT_TRUE(o.reply.empty());
    EXPECT_TRUE(table == before);
}

// Damaged datagrams: none gets a reply, none changes the table.
struct Damage {
    const char* name;
    std::vector<std::uint8_t> (*make)();
};

std::vector<std::uint8_t> Discover1() {
    return Packet(kDiscover, MacOf(1)).HostName("a").Bytes();
}

const Damage kDamages[] = {
    {"Empty", [] { return std::vector<std::uint8_t>(); }},
    {"HeaderOnly", [] { return std::vector<std::uint8_t>(236, 0); }},
    {"NoTypeValue",
     [] {
         auto b = Discover1();
         b.resize(242);
         return b;
     }},
    {"WrongCookie",
     [] {
         auto b = Discover1();
         b[239] = 0;
         return b;
     }},
    {"TypeNotFirst",
     [] {
         auto b = Discover1();
         b[240] = 12;
         return b;
     }},
    {"BootReply",
     [] {
         auto b = Discover1();
         b[0] = 2;
         return b;
     }},
    {"OptionRunsPastEnd",
     [] {
         auto b = Packet(kDiscover, MacOf(1)).Bytes();
         b.pop_back();  // end option
         b.push_back(12);
         b.push_back(20);
         b.push_back('a');
         return b;
     }},
    {"OptionLengthMissing",
     [] {
         auto b = Packet(kDiscover, MacOf(1)).Bytes();
         b.back() = 50;
         return b;
     }},
};

class DamagedDatagramTest : public DhcpMessageHandlerTest,
                            public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedDatagramTest, GetsNoReplyAndLeavesTheTable) {
    Discover(MacOf(1));
    Discover(MacOf(2));
    const LeaseTable before = table;
    DhcpOutcome o = Send(GetParam().make());
    EXPECT_EQ(o.verdict, DhcpVerdict::Ignore);
    EXPECT_TRUE(o.reply.empty());
    EXPECT_TRUE(o.debug.empty());
    EXPECT_TRUE(table == before);
}

INSTANTIATE_TEST_SUITE_P(Malformed, DamagedDatagramTest, ::testing::ValuesIn(kDamages),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(DhcpMessageHandlerTest, OptionsAfterTheEndAreNotRead) {
    auto b = Packet(kDiscover, MacOf(1)).Bytes();
    b.push_back(12);
    b.push_back(200);  // would run past the end if it were read
    EXPECT_EQ(Send(b).verdict, DhcpVerdict::Offer);
}

}  // namespace
