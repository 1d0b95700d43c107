// Reading set elements from nf_tables dump messages, as the kernel lays
// them out.
#include <gtest/gtest.h>

#include <endian.h>
#include <linux/netfilter/nf_tables.h>
#include <linux/netfilter/nfnetlink.h>

#include <cstring>
#include <vector>

#include "platform/linux/NftSetReader.h"

namespace {

using plat::NetlinkMessage;
using plat::NftSetReader;

constexpr std::uint16_t kNewSetElem = (NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_NEWSETELEM;

void Be64(NetlinkMessage& m, std::uint16_t type, std::uint64_t value) {
    const std::uint64_t be = htobe64(value);
    m.AddAttribute(type, &be, sizeof be);
}

void Counter(NetlinkMessage& m, std::uint64_t bytes) {
    m.AddAttribute(NFTA_EXPR_NAME, "counter", 8);
    const auto data = m.BeginNested(NFTA_EXPR_DATA);
    Be64(m, NFTA_COUNTER_BYTES, bytes);
    Be64(m, NFTA_COUNTER_PACKETS, 3);
    m.EndNested(data);
}

void Key(NetlinkMessage& m, const std::vector<std::uint8_t>& key) {
    const auto k = m.BeginNested(NFTA_SET_ELEM_KEY);
    m.AddAttribute(NFTA_DATA_VALUE, key.data(), key.size());
    m.EndNested(k);
}

std::vector<NftSetReader::Element> Parse(NetlinkMessage& m) {
    std::vector<NftSetReader::Element> out;
    NftSetReader::ParseMessage(*m.Header(), &out);
    return out;
}

TEST(NftSetReaderTest, KeysExpiryAndCountersInBothExpressionForms) {
    nfgenmsg g{};
    NetlinkMessage m(kNewSetElem, 0, &g, sizeof g);
    const auto list = m.BeginNested(NFTA_SET_ELEM_LIST_ELEMENTS);

    // A concatenated key (MAC padded to 8 bytes, then an address) with expiry.
    auto e = m.BeginNested(NFTA_LIST_ELEM);
    Key(m, {2, 0, 0, 0, 0, 1, 0, 0, 192, 168, 50, 2});
    Be64(m, NFTA_SET_ELEM_EXPIRATION, 299988);
    m.EndNested(e);

    // A counter as the single expression.
    e = m.BeginNested(NFTA_LIST_ELEM);
    Key(m, {2, 0, 0, 0, 0, 2});
    auto x = m.BeginNested(NFTA_SET_ELEM_EXPR);
    Counter(m, 123456);
    m.EndNested(x);
    m.EndNested(e);

    // A counter in the expression list, after an expression of another kind.
    e = m.BeginNested(NFTA_LIST_ELEM);
    Key(m, {192, 168, 50, 9});
    x = m.BeginNested(NFTA_SET_ELEM_EXPRESSIONS);
    auto item = m.BeginNested(NFTA_LIST_ELEM);
    m.AddAttribute(NFTA_EXPR_NAME, "quota", 6);
    m.EndNested(item);
    item = m.BeginNested(NFTA_LIST_ELEM);
    Counter(m, 777);
    m.EndNested(item);
    m.EndNested(x);
    m.EndNested(e);

    // An element without a key is no element.
    e = m.BeginNested(NFTA_LIST_ELEM);
    Be64(m, NFTA_SET_ELEM_EXPIRATION, 5);
    m.EndNested(e);
    m.EndNested(list);

    const auto elements = Parse(m);
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[0].key.size(), 12u);
    EXPECT_EQ(elements[0].key[11], 2);
    EXPECT_EQ(elements[0].expiresMs, 299988u);
    EXPECT_FALSE(elements[0].hasCounter);
    EXPECT_TRUE(elements[1].hasCounter);
    EXPECT_EQ(elements[1].bytes, 123456u);
    EXPECT_EQ(elements[1].packets, 3u);
    EXPECT_EQ(elements[2].bytes, 777u);
}

TEST(NftSetReaderTest, OtherMessagesAndBrokenLengthsAreIgnored) {
    nfgenmsg g{};
    NetlinkMessage other((NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_NEWSET, 0, &g, sizeof g);
    EXPECT_TRUE(Parse(other).empty());

    NetlinkMessage m(kNewSetElem, 0, &g, sizeof g);
    const auto list = m.BeginNested(NFTA_SET_ELEM_LIST_ELEMENTS);
    const auto e = m.BeginNested(NFTA_LIST_ELEM);
    Key(m, {192, 168, 50, 9});
    m.EndNested(e);
    m.EndNested(list);
    // The element claims more bytes than the message holds.
    auto* bytes = reinterpret_cast<std::uint8_t*>(m.Header());
    const std::size_t elementAt = NLMSG_SPACE(sizeof g) + 4;
    std::uint16_t len;
    std::memcpy(&len, bytes + elementAt, 2);
    len = static_cast<std::uint16_t>(len + 64);
    std::memcpy(bytes + elementAt, &len, 2);
    EXPECT_TRUE(Parse(m).empty());
}

}  // namespace
