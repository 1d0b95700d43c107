#include "GuidText.h"

#include <cstdio>

namespace plat {

std::string GuidText::ToString(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::wstring GuidText::ToWString(const GUID& guid) {
    const std::string s = ToString(guid);
    return std::wstring(s.begin(), s.end());
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

bool GuidText::Parse(const std::string& text, GUID* out) {
    if (out == nullptr)
        return false;
    std::string s = text;
    if (s.size() == 38 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        return false;
    std::uint8_t bytes[16];
    int n = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        const int hi = HexValue(s[i]);
        const int lo = HexValue(s[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        ++i;
    }
    GUID g{};
    g.Data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
              (std::uint32_t(bytes[2]) << 8) | bytes[3];
    g.Data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = bytes[8 + i];
    *out = g;
    return true;
}

bool GuidText::Parse(const std::wstring& text, GUID* out) {
    std::string narrow;
    narrow.reserve(text.size());
    for (wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) > 0x7f)
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    return Parse(narrow, out);
}

bool GuidText::IsNull(const GUID& guid) {
    return guid == GUID_NULL_;
}

GUID GuidText::FromName(const std::string& name) {
    // Two FNV-1a passes with different bases give 128 bits; version and variant
    // bits are set as for a name-based UUID so the value reads like a real GUID.
    std::uint64_t h1 = 0xcbf29ce484222325ull, h2 = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        h1 = (h1 ^ c) * 0x100000001b3ull;
        h2 = (h2 ^ c) * 0x100000001b3ull;
        h2 ^= h2 >> 29;
    }
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(h1 >> 32);
    g.Data2 = static_cast<std::uint16_t>(h1 >> 16);
    g.Data3 = static_cast<std::uint16_t>(((h1 & 0x0fff)) | 0x5000);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<std::uint8_t>(h2 >> (56 - 8 * i));
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3f) | 0x80);
    return g;
}

}  // namespace plat
