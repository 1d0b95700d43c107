#include "NftSetReader.h"

#include <endian.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nf_tables.h>
#include <linux/netfilter/nfnetlink.h>

#include <cstring>

namespace plat {

namespace {

constexpr std::uint16_t kNewSetElem = (NFNL_SUBSYS_NFTABLES << 8) | NFT_MSG_NEWSETELEM;

std::uint64_t Be64(const void* data, std::size_t size) {
    if (size < 8)
        return 0;
    std::uint64_t v;
    std::memcpy(&v, data, 8);
    return be64toh(v);
}

// A counter expression (name "counter", its data the byte and packet counts).
void ReadExpression(const void* data, std::size_t size, NftSetReader::Element* e) {
    std::string name;
    const void* body = nullptr;
    std::size_t bodySize = 0;
    Netlink::Nested(data, size, [&](std::uint16_t type, const void* d, std::size_t n) {
        if (type == NFTA_EXPR_NAME)
            name.assign(static_cast<const char*>(d), strnlen(static_cast<const char*>(d), n));
        else if (type == NFTA_EXPR_DATA) {
            body = d;
            bodySize = n;
        }
    });
    if (name != "counter" || body == nullptr)
        return;
    e->hasCounter = true;
    Netlink::Nested(body, bodySize, [&](std::uint16_t type, const void* d, std::size_t n) {
        if (type == NFTA_COUNTER_BYTES)
            e->bytes = Be64(d, n);
        else if (type == NFTA_COUNTER_PACKETS)
            e->packets = Be64(d, n);
    });
}

void ReadElement(const void* data, std::size_t size, std::vector<NftSetReader::Element>* out) {
    NftSetReader::Element e;
    bool keyed = false;
    Netlink::Nested(data, size, [&](std::uint16_t type, const void* d, std::size_t n) {
        switch (type) {
            case NFTA_SET_ELEM_KEY:
                Netlink::Nested(d, n, [&](std::uint16_t t, const void* v, std::size_t len) {
                    if (t == NFTA_DATA_VALUE) {
                        const auto* b = static_cast<const std::uint8_t*>(v);
                        e.key.assign(b, b + len);
                        keyed = true;
                    }
                });
                break;
            case NFTA_SET_ELEM_EXPIRATION:
                e.expiresMs = Be64(d, n);
                break;
            case NFTA_SET_ELEM_EXPR:
                ReadExpression(d, n, &e);
                break;
            case NFTA_SET_ELEM_EXPRESSIONS:
                Netlink::Nested(d, n, [&](std::uint16_t t, const void* v, std::size_t len) {
                    if (t == NFTA_LIST_ELEM)
                        ReadExpression(v, len, &e);
                });
                break;
            default:
                break;
        }
    });
    if (keyed)
        out->push_back(std::move(e));
}

}  // namespace

void NftSetReader::ParseMessage(const nlmsghdr& message, std::vector<Element>* out) {
    if (message.nlmsg_type != kNewSetElem || message.nlmsg_len < NLMSG_LENGTH(sizeof(nfgenmsg)))
        return;
    Netlink::Attributes(
        message, sizeof(nfgenmsg), [&](std::uint16_t type, const void* data, std::size_t size) {
            if ((type & NLA_TYPE_MASK) != NFTA_SET_ELEM_LIST_ELEMENTS)
                return;
            Netlink::Nested(data, size, [&](std::uint16_t t, const void* d, std::size_t n) {
                if (t == NFTA_LIST_ELEM)
                    ReadElement(d, n, out);
            });
        });
}

int NftSetReader::Read(const std::string& table, const std::string& set, std::vector<Element>* out,
                       std::uint8_t family) {
    out->clear();
    nfgenmsg g{};
    g.nfgen_family = family;
    g.version = NFNETLINK_V0;
    NetlinkMessage m(kNewSetElem - NFT_MSG_NEWSETELEM + NFT_MSG_GETSETELEM, NLM_F_DUMP, &g,
                     sizeof g);
    m.AddAttribute(NFTA_SET_ELEM_LIST_TABLE, table.c_str(), table.size() + 1);
    m.AddAttribute(NFTA_SET_ELEM_LIST_SET, set.c_str(), set.size() + 1);
    return m_netlink.Dump(m, [&](const nlmsghdr& h) { ParseMessage(h, out); });
}

}  // namespace plat
