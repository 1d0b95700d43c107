// Dotted IPv4 text and addresses in network byte order (the bytes of the
// address in memory order a.b.c.d), without the socket library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

class Ipv4Text {
public:
    // Exactly four decimal parts 0..255 joined by dots; false otherwise.
    static bool Parse(const std::string& text, std::uint32_t* out);
    static std::string Format(std::uint32_t ip);
    // A comma-separated list; entries that are not addresses are left out.
    static std::vector<std::uint32_t> ParseList(const std::string& text);
    static std::uint32_t FromBytes(const std::uint8_t* bytes);
    static void ToBytes(std::uint32_t ip, std::uint8_t* bytes);
};

}  // namespace plat
