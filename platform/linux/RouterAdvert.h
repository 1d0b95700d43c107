// The two neighbour-discovery messages of a router (RFC 4861): the router
// advertisement it sends, with the source link-layer address, one on-link
// autonomous prefix and the recursive DNS server (RFC 8106), and the router
// solicitation it receives from a host. Only bytes: the socket that moves them
// is RouterAdvertiser's. The ICMPv6 checksum is left 0 (the kernel fills it in
// for a raw ICMPv6 socket).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

class RouterAdvert {
public:
    using Ipv6 = std::array<std::uint8_t, 16>;
    using Mac = std::array<std::uint8_t, 6>;

    static constexpr std::uint8_t kTypeSolicitation = 133;
    static constexpr std::uint8_t kTypeAdvertisement = 134;

    struct Advertisement {
        Mac source{};                         // the router's link-layer address
        Ipv6 prefix{};                        // the /64 handed out for autoconfiguration
        Ipv6 dns{};                           // the recursive DNS server
        std::uint16_t routerLifetime = 1800;  // seconds; 0: no longer a default router
        std::uint32_t validLifetime = 86400;
        std::uint32_t preferredLifetime = 14400;
        std::uint32_t dnsLifetime = 1800;
        std::uint8_t hopLimit = 64;
    };

    // The advertisement's ICMPv6 message.
    static std::vector<std::uint8_t> Build(const Advertisement& a);

    enum class Solicitation {
        Valid,
        TooShort,      // shorter than the 8-byte header
        NotSolicit,    // another ICMPv6 type
        BadCode,       // code other than 0
        BadHopLimit,   // not 255: it did not come from the link itself
        BadOption,     // an option of length 0 or running past the message
        SourceOption,  // a link-layer address option with an unspecified source
    };
    struct SolicitInfo {
        bool hasSource = false;  // carried a source link-layer address option
        Mac source{};
    };
    // Checks a received solicitation as RFC 4861 6.1.1 asks. `hopLimit` is the
    // IPv6 hop limit it arrived with, `fromUnspecified` whether its source
    // address was ::.
    static Solicitation ParseSolicitation(const std::uint8_t* data, std::size_t size, int hopLimit,
                                          bool fromUnspecified, SolicitInfo* info = nullptr);
};

}  // namespace plat
