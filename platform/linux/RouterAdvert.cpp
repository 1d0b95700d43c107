#include "RouterAdvert.h"

#include <cstring>

namespace plat {

namespace {

constexpr std::uint8_t kOptSourceLinkAddress = 1;
constexpr std::uint8_t kOptPrefixInformation = 3;
constexpr std::uint8_t kOptRdnss = 25;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v >> 16));
    Put16(out, static_cast<std::uint16_t>(v));
}

}  // namespace

std::vector<std::uint8_t> RouterAdvert::Build(const Advertisement& a) {
    std::vector<std::uint8_t> out;
    out.reserve(16 + 8 + 32 + 24);
    out.push_back(kTypeAdvertisement);
    out.push_back(0);  // code
    Put16(out, 0);     // checksum, the kernel's
    out.push_back(a.hopLimit);
    out.push_back(0);  // neither managed nor other configuration: SLAAC and RDNSS
    Put16(out, a.routerLifetime);
    Put32(out, 0);  // reachable time: unspecified
    Put32(out, 0);  // retransmission timer: unspecified

    out.push_back(kOptSourceLinkAddress);
    out.push_back(1);  // 8 bytes
    out.insert(out.end(), a.source.begin(), a.source.end());

    out.push_back(kOptPrefixInformation);
    out.push_back(4);            // 32 bytes
    out.push_back(64);           // prefix length
    out.push_back(0x80 | 0x40);  // on-link, autonomous
    Put32(out, a.validLifetime);
    Put32(out, a.preferredLifetime);
    Put32(out, 0);  // reserved
    std::array<std::uint8_t, 16> prefix = a.prefix;
    std::memset(prefix.data() + 8, 0, 8);  // only the /64 itself
    out.insert(out.end(), prefix.begin(), prefix.end());

    out.push_back(kOptRdnss);
    out.push_back(3);  // 24 bytes: one server
    Put16(out, 0);     // reserved
    Put32(out, a.dnsLifetime);
    out.insert(out.end(), a.dns.begin(), a.dns.end());
    return out;
}

RouterAdvert::Solicitation RouterAdvert::ParseSolicitation(const std::uint8_t* data,
                                                           std::size_t size, int hopLimit,
                                                           bool fromUnspecified,
                                                           SolicitInfo* info) {
    if (data == nullptr || size < 8)
        return Solicitation::TooShort;
    if (data[0] != kTypeSolicitation)
        return Solicitation::NotSolicit;
    if (data[1] != 0)
        return Solicitation::BadCode;
    if (hopLimit != 255)
        return Solicitation::BadHopLimit;
    SolicitInfo found;
    std::size_t pos = 8;
    while (pos < size) {
        if (size - pos < 2 || data[pos + 1] == 0)
            return Solicitation::BadOption;
        const std::size_t length = std::size_t{data[pos + 1]} * 8;
        if (length > size - pos)
            return Solicitation::BadOption;
        if (data[pos] == kOptSourceLinkAddress) {
            if (fromUnspecified)
                return Solicitation::SourceOption;
            // Ethernet's form: 6 address bytes in an 8-byte option; others are
            // another link's and tell the router nothing it can use.
            if (length == 8) {
                found.hasSource = true;
                std::memcpy(found.source.data(), data + pos + 2, 6);
            }
        }
        pos += length;
    }
    if (info != nullptr)
        *info = found;
    return Solicitation::Valid;
}

}  // namespace plat
