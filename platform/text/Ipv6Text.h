// IPv6 addresses as text (RFC 4291 2.2: eight groups of up to four hex digits,
// one "::" for a run of zero groups; no embedded IPv4 form, no zone).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace plat {

class Ipv6Text {
public:
    static bool Parse(const std::string& text, std::array<std::uint8_t, 16>* out);
};

}  // namespace plat
