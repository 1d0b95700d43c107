#include "Ipv6Text.h"

#include <vector>

namespace plat {

namespace {

// Groups separated by single colons; false for an empty or over-long group.
bool Groups(const std::string& text, std::vector<std::uint16_t>* out) {
    if (text.empty())
        return true;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = text.find(':', start);
        const std::size_t end = colon == std::string::npos ? text.size() : colon;
        if (end == start || end - start > 4)
            return false;
        std::uint16_t value = 0;
        for (std::size_t i = start; i < end; ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return false;
            value = static_cast<std::uint16_t>(value * 16 + digit);
        }
        out->push_back(value);
        if (colon == std::string::npos)
            return true;
        start = colon + 1;
    }
}

}  // namespace

bool Ipv6Text::Parse(const std::string& text, std::array<std::uint8_t, 16>* out) {
    std::vector<std::uint16_t> head, tail;
    const std::size_t gap = text.find("::");
    if (gap == std::string::npos) {
        if (!Groups(text, &head) || head.size() != 8)
            return false;
    } else {
        if (text.find("::", gap + 1) != std::string::npos)
            return false;
        if (!Groups(text.substr(0, gap), &head) || !Groups(text.substr(gap + 2), &tail) ||
            head.size() + tail.size() > 7)
            return false;
    }
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < head.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(head[i] >> 8);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(head[i]);
    }
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const std::size_t at = 16 - 2 * (tail.size() - i);
        bytes[at] = static_cast<std::uint8_t>(tail[i] >> 8);
        bytes[at + 1] = static_cast<std::uint8_t>(tail[i]);
    }
    *out = bytes;
    return true;
}

}  // namespace plat
