#include "LeaseTable.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace pellion {

using plat::MacAddress;

void Lease::SetHostname(const std::string& name) {
    hostname.fill('\0');
    const std::size_t n = std::min(name.size(), hostname.size() - 1);
    std::memcpy(hostname.data(), name.data(), n);
}

std::string Lease::Hostname() const {
    return std::string(hostname.data(), strnlen(hostname.data(), hostname.size()));
}

void Lease::Release() {
    bound = false;
    ip = 0;
    octet = 0;
}

bool MacOrder::operator()(const MacAddress& a, const MacAddress& b) const {
    auto key = [](const MacAddress& m) {
        const std::uint16_t high = static_cast<std::uint16_t>(m[4] | (m[5] << 8));
        const std::uint32_t low = std::uint32_t(m[0]) | (std::uint32_t(m[1]) << 8) |
                                  (std::uint32_t(m[2]) << 16) | (std::uint32_t(m[3]) << 24);
        return std::make_tuple(high, low);
    };
    return key(a) < key(b);
}

Lease* LeaseTable::Find(const MacAddress& mac) {
    auto it = m_entries.find(mac);
    return it == m_entries.end() ? nullptr : &it->second;
}

const Lease* LeaseTable::Find(const MacAddress& mac) const {
    auto it = m_entries.find(mac);
    return it == m_entries.end() ? nullptr : &it->second;
}

Lease& LeaseTable::Entry(const MacAddress& mac) {
    auto [it, added] = m_entries.try_emplace(mac);
    if (added)
        it->second.mac = mac;
    return it->second;
}

void LeaseTable::Store(const Lease& lease) {
    m_entries[lease.mac] = lease;
}

void LeaseTable::AddBlack(const MacAddress& mac) {
    Entry(mac).black = true;
}

void LeaseTable::RemoveBlack(const MacAddress& mac) {
    if (Lease* l = Find(mac))
        l->black = false;
}

void LeaseTable::ClearBlack() {
    for (auto& [mac, lease] : m_entries)
        lease.black = false;
}

bool LeaseTable::Unbind(const MacAddress& mac) {
    Lease* l = Find(mac);
    if (l == nullptr)
        return false;
    l->bound = false;
    return true;
}

}  // namespace pellion
