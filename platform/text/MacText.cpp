#include "MacText.h"

#include <cstdio>

namespace plat {

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

bool MacText::Parse(const char* text, MacAddress* out) {
    if (text == nullptr || out == nullptr)
        return false;
    MacAddress mac{};
    const char* p = text;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) {
            if (*p != '-')
                return false;
            ++p;
        }
        int value = HexDigit(*p);
        if (value < 0)
            return false;
        ++p;
        const int low = HexDigit(*p);
        if (low >= 0) {
            value = value * 16 + low;
            ++p;
        }
        mac[i] = static_cast<std::uint8_t>(value);
    }
    *out = mac;
    return true;
}

std::string MacText::Format(const std::uint8_t* mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

std::wstring MacText::FormatWide(const std::uint8_t* mac) {
    const std::string text = Format(mac);
    return std::wstring(text.begin(), text.end());
}

}  // namespace plat
