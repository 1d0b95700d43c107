// MAC addresses as text: six hexadecimal byte values joined by '-'. Either case
// of digits is read; upper case is written.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace plat {

using MacAddress = std::array<std::uint8_t, 6>;

class MacText {
public:
    // Reads "%2hX-%2hX-%2hX-%2hX-%2hX-%2hX": one or two hexadecimal digits per
    // byte. False for a null or malformed text.
    static bool Parse(const char* text, MacAddress* out);
    // "%02X-%02X-%02X-%02X-%02X-%02X".
    static std::string Format(const std::uint8_t* mac);
    static std::string Format(const MacAddress& mac) { return Format(mac.data()); }
    // The same text as a wide string, as the engine passes MAC texts around.
    static std::wstring FormatWide(const std::uint8_t* mac);
};

}  // namespace plat
