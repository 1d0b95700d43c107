// DNS messages on the wire for tests: a query as a stub resolver sends it,
// and a reader for the answers of a response.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dnstest {

inline std::vector<std::uint8_t> Query(std::uint16_t id, const std::string& name,
                                       std::uint16_t type = 1, std::uint8_t flags2 = 0x01,
                                       std::uint8_t flags3 = 0x00) {
    std::vector<std::uint8_t> q = {static_cast<std::uint8_t>(id >> 8),
                                   static_cast<std::uint8_t>(id),
                                   flags2,
                                   flags3,
                                   0,
                                   1,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0};
    std::size_t start = 0;
    while (start <= name.size() && !name.empty()) {
        std::size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        q.push_back(static_cast<std::uint8_t>(dot - start));
        q.insert(q.end(), name.begin() + static_cast<long>(start),
                 name.begin() + static_cast<long>(dot));
        start = dot + 1;
    }
    q.push_back(0);
    q.push_back(static_cast<std::uint8_t>(type >> 8));
    q.push_back(static_cast<std::uint8_t>(type));
    q.push_back(0);
    q.push_back(1);
    return q;
}

struct Answer {
    std::string owner;
    std::uint16_t type = 0;
    std::uint16_t klass = 0;
    std::uint32_t ttl = 0;
    std::vector<std::uint8_t> data;
    std::string target;  // CNAME
};

struct Response {
    std::uint16_t id = 0;
    std::uint8_t flags2 = 0;
    std::uint8_t flags3 = 0;
    std::uint16_t qd = 0, an = 0, ns = 0, ar = 0;
    std::vector<Answer> answers;
};

// Reads an uncompressed name at `pos`; false past the end.
inline bool ReadName(const std::vector<std::uint8_t>& m, std::size_t& pos, std::string* name) {
    name->clear();
    for (;;) {
        if (pos >= m.size())
            return false;
        const std::size_t len = m[pos++];
        if (len == 0)
            return true;
        if (len > 63 || pos + len > m.size())
            return false;
        if (!name->empty())
            *name += '.';
        name->append(reinterpret_cast<const char*>(&m[pos]), len);
        pos += len;
    }
}

inline std::optional<Response> Parse(const std::vector<std::uint8_t>& m) {
    if (m.size() < 12)
        return std::nullopt;
    auto u16 = [&](std::size_t p) { return static_cast<std::uint16_t>((m[p] << 8) | m[p + 1]); };
    Response r;
    r.id = u16(0);
    r.flags2 = m[2];
    r.flags3 = m[3];
    r.qd = u16(4);
    r.an = u16(6);
    r.ns = u16(8);
    r.ar = u16(10);
    std::size_t pos = 12;
    std::string name;
    for (int i = 0; i < r.qd; ++i) {
        if (!ReadName(m, pos, &name) || pos + 4 > m.size())
            return std::nullopt;
        pos += 4;
    }
    for (int i = 0; i < r.an; ++i) {
        Answer a;
        if (!ReadName(m, pos, &a.owner) || pos + 10 > m.size())
            return std::nullopt;
        a.type = u16(pos);
        a.klass = u16(pos + 2);
        a.ttl = (std::uint32_t(m[pos + 4]) << 24) | (std::uint32_t(m[pos + 5]) << 16) |
                (std::uint32_t(m[pos + 6]) << 8) | m[pos + 7];
        const std::size_t len = u16(pos + 8);
        pos += 10;
        if (pos + len > m.size())
            return std::nullopt;
        a.data.assign(m.begin() + static_cast<long>(pos), m.begin() + static_cast<long>(pos + len));
        if (a.type == 5) {
            std::size_t p = pos;
            if (!ReadName(m, p, &a.target) || p != pos + len)
                return std::nullopt;
        }
        pos += len;
        r.answers.push_back(a);
    }
    if (pos != m.size())
        return std::nullopt;
    return r;
}

}  // namespace dnstest
