#include "Ipv4Text.h"

#include <cstdio>
#include <cstring>

namespace plat {

bool Ipv4Text::Parse(const std::string& text, std::uint32_t* out) {
    std::uint8_t bytes[4] = {};
    std::size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        unsigned value = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        bytes[part] = static_cast<std::uint8_t>(value);
    }
    if (pos != text.size())
        return false;
    if (out != nullptr)
        *out = FromBytes(bytes);
    return true;
}

std::string Ipv4Text::Format(std::uint32_t ip) {
    std::uint8_t b[4];
    ToBytes(ip, b);
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    return text;
}

std::vector<std::uint32_t> Ipv4Text::ParseList(const std::string& text) {
    std::vector<std::uint32_t> list;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        const auto first = item.find_first_not_of(' ');
        const auto last = item.find_last_not_of(' ');
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        std::uint32_t ip = 0;
        if (Parse(item, &ip))
            list.push_back(ip);
        start = end + 1;
    }
    return list;
}

std::uint32_t Ipv4Text::FromBytes(const std::uint8_t* bytes) {
    std::uint32_t ip;
    std::memcpy(&ip, bytes, 4);
    return ip;
}

void Ipv4Text::ToBytes(std::uint32_t ip, std::uint8_t* bytes) {
    std::memcpy(bytes, &ip, 4);
}

}  // namespace plat
