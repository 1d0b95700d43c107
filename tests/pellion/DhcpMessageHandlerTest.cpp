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
constexpr std::uint8_t kRelease = 7;

Mac MacOf(std::uint8_t last) {
    return {0x02, 0x00, 0x5e, 0x10, 0x20, last};
}

class DhcpMessageHandlerTest : public ::testing::Test {
protected:
    DhcpOutcome Send(const std::vector<std::uint8_t>& bytes) {
        return DhcpMessageHandler::Handle(bytes.data(), bytes.size(), settings, table);
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

TEST_F(DhcpMessageHandlerTest, FullPoolOffersNoAddress) {
    for (int i = 0; i < 253; ++i) {
        const Mac mac = {
            0x02, 0, 0, 0, static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        ASSERT_EQ(Offered(Discover(mac)), Ip(192, 168, 23, static_cast<std::uint8_t>(i + 2)));
    }
    DhcpOutcome o = Discover(MacOf(0xEE));
    EXPECT_EQ(o.verdict, DhcpVerdict::Offer);
    EXPECT_EQ(Offered(o), 0u);
    EXPECT_FALSE(Entry(MacOf(0xEE))->bound);
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
