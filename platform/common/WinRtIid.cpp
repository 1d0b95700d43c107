#include "WinRtIid.h"

#include <cstdio>

namespace plat {

namespace {

// The namespace of parameterised-type ids, as its 16 bytes in network order.
constexpr std::uint8_t kPinterfaceNamespace[16] = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                                   0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};

std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

}  // namespace

std::array<std::uint8_t, 20> WinRtIid::Sha1(std::string_view bytes) {
    std::uint32_t h[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    // The message, a 0x80 byte, zeros to 56 mod 64, and the bit length (big-endian).
    std::vector<std::uint8_t> m(bytes.begin(), bytes.end());
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8u;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 7; i >= 0; --i)
        m.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));

    for (std::size_t block = 0; block < m.size(); block += 64) {
        std::uint32_t w[80];
        for (int t = 0; t < 16; ++t) {
            const std::uint8_t* p = &m[block + 4 * static_cast<std::size_t>(t)];
            w[t] = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                   (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
        }
        for (int t = 16; t < 80; ++t)
            w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int t = 0; t < 80; ++t) {
            std::uint32_t f, k;
            if (t < 20) {
                f = (b & c) | (~b & d);
                k = 0x5A827999u;
            } else if (t < 40) {
                f = b ^ c ^ d;
                k = 0x6ED9EBA1u;
            } else if (t < 60) {
                f = (b & c) | (b & d) | (c & d);
                k = 0x8F1BBCDCu;
            } else {
                f = b ^ c ^ d;
                k = 0xCA62C1D6u;
            }
            const std::uint32_t temp = Rotl(a, 5) + f + e + k + w[t];
            e = d;
            d = c;
            c = Rotl(b, 30);
            b = a;
            a = temp;
        }
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }
    std::array<std::uint8_t, 20> out{};
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            out[static_cast<std::size_t>(4 * i + j)] =
                static_cast<std::uint8_t>(h[i] >> (24 - 8 * j));
    return out;
}

GUID WinRtIid::FromSignature(std::string_view signature) {
    std::string data(reinterpret_cast<const char*>(kPinterfaceNamespace),
                     sizeof kPinterfaceNamespace);
    data.append(signature);  // the signature's bytes as UTF-8
    const std::array<std::uint8_t, 20> hash = Sha1(data);
    GUID g{};
    g.Data1 = (std::uint32_t{hash[0]} << 24) | (std::uint32_t{hash[1]} << 16) |
              (std::uint32_t{hash[2]} << 8) | std::uint32_t{hash[3]};
    g.Data2 = static_cast<std::uint16_t>((hash[4] << 8) | hash[5]);
    g.Data3 = static_cast<std::uint16_t>((hash[6] << 8) | hash[7]);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = hash[static_cast<std::size_t>(8 + i)];
    // Version 5 (name-based, SHA-1), RFC 4122 variant.
    g.Data3 = static_cast<std::uint16_t>((g.Data3 & 0x0FFFu) | 0x5000u);
    g.Data4[0] = static_cast<std::uint8_t>((g.Data4[0] & 0x3Fu) | 0x80u);
    return g;
}

std::string WinRtIid::Guid(const GUID& iid) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
                  static_cast<unsigned>(iid.Data1), static_cast<unsigned>(iid.Data2),
                  static_cast<unsigned>(iid.Data3), iid.Data4[0], iid.Data4[1], iid.Data4[2],
                  iid.Data4[3], iid.Data4[4], iid.Data4[5], iid.Data4[6], iid.Data4[7]);
    return text;
}

std::string WinRtIid::RuntimeClass(std::string_view name, const GUID& defaultInterface) {
    return "rc(" + std::string(name) + ";" + Guid(defaultInterface) + ")";
}

std::string WinRtIid::Delegate(const GUID& iid) {
    return "delegate(" + Guid(iid) + ")";
}

std::string WinRtIid::Parameterised(const GUID& generic, const std::vector<std::string>& args) {
    std::string s = "pinterface(" + Guid(generic);
    for (const std::string& a : args)
        s += ";" + a;
    return s + ")";
}

std::string WinRtIid::Enum(std::string_view name, bool flags) {
    return "enum(" + std::string(name) + (flags ? ";u4)" : ";i4)");
}

}  // namespace plat
