// The DHCP server's lease table: one entry per client MAC, holding its address,
// host name, black-list mark and whether the address is held. Not locked by
// itself; the server's lock guards it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "platform/text/MacText.h"

namespace pellion {

using plat::MacAddress;

struct Lease {
    std::uint32_t ip = 0;  // network byte order, 0 when none
    MacAddress mac{};
    std::array<char, 40> hostname{};  // at most 39 characters, NUL-terminated
    bool black = false;
    bool bound = false;      // the address is held (offered or acknowledged)
    std::uint8_t octet = 0;  // last octet of ip, 0 when none

    void SetHostname(const std::string& name);
    std::string Hostname() const;
    // Drops the address: not bound, no ip, no octet.
    void Release();
    bool operator==(const Lease& other) const = default;
};

// Orders MACs as two numbers: the last two bytes first, then the first four,
// each read little-endian.
struct MacOrder {
    bool operator()(const MacAddress& a, const MacAddress& b) const;
};

class LeaseTable {
public:
    using Map = std::map<MacAddress, Lease, MacOrder>;

    Lease* Find(const MacAddress& mac);
    const Lease* Find(const MacAddress& mac) const;
    // The entry of `mac`, created with only the MAC when missing.
    Lease& Entry(const MacAddress& mac);
    // Creates or replaces the entry of lease.mac.
    void Store(const Lease& lease);

    void AddBlack(const MacAddress& mac);
    void RemoveBlack(const MacAddress& mac);
    void ClearBlack();
    // Marks the lease as not bound; the entry, its address and its mark stay.
    bool Unbind(const MacAddress& mac);
    void Clear() { m_entries.clear(); }

    std::size_t Size() const { return m_entries.size(); }
    Map::const_iterator begin() const { return m_entries.begin(); }
    Map::const_iterator end() const { return m_entries.end(); }
    bool operator==(const LeaseTable& other) const { return m_entries == other.m_entries; }

private:
    Map m_entries;
};

}  // namespace pellion
