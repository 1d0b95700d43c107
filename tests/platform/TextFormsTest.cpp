// The MAC and IPv4 text forms every part of the program shares.
#include <gtest/gtest.h>

#include <array>

#include "platform/text/Ipv4Text.h"
#include "platform/text/Ipv6Text.h"
#include "platform/text/MacText.h"

using plat::Ipv4Text;
using plat::MacAddress;
using plat::MacText;

TEST(MacText, WritesUpperCaseAndReadsOneOrTwoDigitsInEitherCase) {
    const MacAddress mac = {0x00, 0x1a, 0x2B, 0xc3, 0x04, 0xFF};
    EXPECT_EQ(MacText::Format(mac), "00-1A-2B-C3-04-FF");
    EXPECT_EQ(MacText::FormatWide(mac.data()), L"00-1A-2B-C3-04-FF");
    MacAddress parsed{};
    ASSERT_TRUE(MacText::Parse("00-1a-2B-c3-4-ff", &parsed));
    EXPECT_EQ(parsed, mac);
}

TEST(MacText, RefusesMalformedTextAndLeavesTheOutputAlone) {
    const MacAddress untouched = {1, 2, 3, 4, 5, 6};
    for (const char* bad : {"", "00-1A-2B-C3-04", "00:1A:2B:C3:04:FF", "001-1A-2B-C3-04-FF",
                            "00-1A-2B-C3-04-", "G0-1A-2B-C3-04-FF", "-1A-2B-C3-04-FF"}) {
        MacAddress out = untouched;
        EXPECT_FALSE(MacText::Parse(bad, &out)) << bad;
        EXPECT_EQ(out, untouched) << bad;
    }
    MacAddress out{};
    EXPECT_FALSE(MacText::Parse(nullptr, &out));
}

TEST(Ipv4Text, ParsesExactlyFourDecimalPartsInNetworkOrder) {
    std::uint32_t ip = 0;
    ASSERT_TRUE(Ipv4Text::Parse("192.168.137.1", &ip));
    std::uint8_t bytes[4];
    Ipv4Text::ToBytes(ip, bytes);
    EXPECT_EQ(bytes[0], 192);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_EQ(Ipv4Text::Format(ip), "192.168.137.1");
    EXPECT_EQ(Ipv4Text::FromBytes(bytes), ip);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..3.4",
                            "0001.2.3.4", "1.2.3.-4", "a.b.c.d"})
        EXPECT_FALSE(Ipv4Text::Parse(bad, nullptr)) << bad;
}

TEST(Ipv4Text, ListKeepsTheAddressesAndSkipsTheRest) {
    const auto list = Ipv4Text::ParseList(" 8.8.8.8 ,bogus,, 1.1.1.1,300.1.1.1");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Ipv4Text::Format(list[0]), "8.8.8.8");
    EXPECT_EQ(Ipv4Text::Format(list[1]), "1.1.1.1");
    EXPECT_TRUE(Ipv4Text::ParseList("").empty());
}

TEST(Ipv6TextTest, ParsesTheTextFormsAndRefusesTheRest) {
    std::array<std::uint8_t, 16> a{};
    ASSERT_TRUE(plat::Ipv6Text::Parse("fd12:3456:789a::1", &a));
    EXPECT_EQ(a[0], 0xfd);
    EXPECT_EQ(a[5], 0x9a);
    EXPECT_EQ(a[15], 1);
    EXPECT_EQ(a[14], 0);
    ASSERT_TRUE(plat::Ipv6Text::Parse("::", &a));
    EXPECT_EQ(a, (std::array<std::uint8_t, 16>{}));
    ASSERT_TRUE(plat::Ipv6Text::Parse("1:2:3:4:5:6:7:FFFF", &a));
    EXPECT_EQ(a[1], 1);
    EXPECT_EQ(a[14], 0xff);
    ASSERT_TRUE(plat::Ipv6Text::Parse("::2:1", &a));
    EXPECT_EQ(a[13], 2);
    EXPECT_EQ(a[15], 1);
    for (const char* bad :
         {"", ":", ":::", "1::2::3", "1:2:3:4:5:6:7", "1:2:3:4:5:6:7:8:9", "1:2:3:4::5:6:7:8",
          "12345::", "fe80::1%eth0", "::ffff:1.2.3.4", "g::1", "1:", ":1"})
        EXPECT_FALSE(plat::Ipv6Text::Parse(bad, &a)) << bad;
}
