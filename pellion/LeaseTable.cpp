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

bool MacOrder::operator()(const MacAddress& a, const MacAddress& b) const {
    auto key = [](const MacAddress& m) {
        const std::uint16_t high = static_cast<std::uint16_t>(m[4] | (m[5] << 8));
        const std::uint32_t low = std::uint32_t(m[0]) | (std::uint32_t(m[1]) << 8) |
                                  (std::uint32_t(m[2]) << 16) | (std::uint32_t(m[3]) << 24);
        return std::make_tuple(high, low);
    };
    return key(a) < key(b);
}

std::size_t MacHash::operator()(const MacAddress& mac) const {
    // The 48 bits mixed so that MACs differing in any byte spread over the
    // buckets (splitmix64's finaliser).
    std::uint64_t x = 0;
    for (std::uint8_t b : mac)
        x = (x << 8) | b;
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return static_cast<std::size_t>(x);
}

std::uint8_t OctetSet::FirstFree(std::uint8_t first, std::uint8_t last,
                                 const OctetSet& also) const {
    for (unsigned w = first >> 6; w <= static_cast<unsigned>(last >> 6); ++w) {
        std::uint64_t free = ~(m_words[w] | also.m_words[w]);
        const unsigned base = w * 64;
        if (base < first)
            free &= ~std::uint64_t{0} << (first - base);
        if (last < base + 63)
            free &= ~std::uint64_t{0} >> (base + 63 - last);
        if (free != 0)
            return static_cast<std::uint8_t>(base + static_cast<unsigned>(std::countr_zero(free)));
    }
    return 0;
}

void LeaseTable::List::PushBack(Node* n) {
    n->prev = tail;
    n->next = nullptr;
    if (tail != nullptr)
        tail->next = n;
    else
        head = n;
    tail = n;
    ++size;
}

void LeaseTable::List::Remove(Node* n) {
    if (n->prev != nullptr)
        n->prev->next = n->next;
    else
        head = n->next;
    if (n->next != nullptr)
        n->next->prev = n->prev;
    else
        tail = n->prev;
    n->prev = n->next = nullptr;
    --size;
}

LeaseTable::LeaseTable(const LeaseTable& other) {
    *this = other;
}

LeaseTable& LeaseTable::operator=(const LeaseTable& other) {
    if (this == &other)
        return *this;
    Clear();
    m_entries.reserve(other.m_entries.size());
    // Entries in no queue first, then each queue in its order, so the copy
    // ends entries and drops idle ones in the same order as the original.
    for (const auto& [mac, node] : other.m_entries) {
        if (node.queue == Queue::None)
            Place(m_entries[mac] = Node{node.lease});
    }
    for (const List* list : {&other.m_offers, &other.m_leases, &other.m_idle}) {
        for (const Node* n = list->head; n != nullptr; n = n->next)
            Place(m_entries[n->lease.mac] = Node{n->lease});
    }
    m_latest = other.m_latest;
    return *this;
}

LeaseTable::Node* LeaseTable::FindNode(const MacAddress& mac) {
    auto it = m_entries.find(mac);
    return it == m_entries.end() ? nullptr : &it->second;
}

const Lease* LeaseTable::Find(const MacAddress& mac) const {
    auto it = m_entries.find(mac);
    return it == m_entries.end() ? nullptr : &it->second.lease;
}

const Lease* LeaseTable::Holder(std::uint8_t octet) const {
    return m_holder[octet] != nullptr ? &m_holder[octet]->lease : nullptr;
}

const Lease* LeaseTable::OldestOffer() const {
    return m_offers.head != nullptr ? &m_offers.head->lease : nullptr;
}

LeaseTable::List& LeaseTable::ListOf(Queue q) {
    switch (q) {
        case Queue::Offers:
            return m_offers;
        case Queue::Leases:
            return m_leases;
        default:
            return m_idle;
    }
}

void LeaseTable::Unplace(Node& n) {
    if (n.queue != Queue::None)
        ListOf(n.queue).Remove(&n);
    n.queue = Queue::None;
    const Lease& l = n.lease;
    if (l.bound && m_holder[l.octet] == &n) {
        m_holder[l.octet] = nullptr;
        m_bound.Reset(l.octet);
    }
    if (l.octet != 0 && --m_refs[l.octet] == 0)
        m_held.Reset(l.octet);
}

void LeaseTable::Place(Node& n) {
    Lease& l = n.lease;
    // A bound entry holds a valid octet, which no other bound entry holds.
    if (l.bound && (l.octet == 0 || m_holder[l.octet] != nullptr)) {
        l.bound = false;
        l.acknowledged = false;
    }
    if (!l.bound) {
        l.acknowledged = false;
        l.expires = {};
    }
    if (l.octet != 0 && m_refs[l.octet]++ == 0)
        m_held.Set(l.octet);
    if (l.bound) {
        m_holder[l.octet] = &n;
        m_bound.Set(l.octet);
        n.queue = l.acknowledged ? Queue::Leases : Queue::Offers;
    } else {
        n.queue = l.black ? Queue::None : Queue::Idle;
    }
    if (n.queue != Queue::None)
        ListOf(n.queue).PushBack(&n);
}

LeaseTable::Node& LeaseTable::NodeOf(const MacAddress& mac, bool black) {
    auto [it, added] = m_entries.try_emplace(mac);
    if (added) {
        it->second.lease.mac = mac;
        it->second.lease.black = black;
        Place(it->second);
        Trim(&it->second);
    }
    return it->second;
}

void LeaseTable::Trim(const Node* keep) {
    while (m_offers.size + m_leases.size + m_idle.size > kCapacity && m_idle.head != nullptr) {
        Node* oldest = m_idle.head;
        if (oldest == keep) {
            if (oldest->next == nullptr)
                return;
            oldest = oldest->next;
        }
        Unplace(*oldest);
        m_entries.erase(oldest->lease.mac);
    }
}

SteadyTime LeaseTable::Advance(SteadyTime now) {
    m_latest = std::max(m_latest, now);
    while (m_offers.head != nullptr && m_offers.head->lease.expires <= m_latest) {
        Node& n = *m_offers.head;
        Unplace(n);
        n.lease.bound = false;
        n.lease.ip = 0;
        n.lease.octet = 0;
        Place(n);
    }
    while (m_leases.head != nullptr && m_leases.head->lease.expires <= m_latest) {
        Node& n = *m_leases.head;
        Unplace(n);
        n.lease.bound = false;
        Place(n);
    }
    return m_latest;
}

void LeaseTable::Offer(const MacAddress& mac, std::uint32_t ip, std::uint8_t octet,
                       const std::string& hostname, SteadyTime expires) {
    Node& n = NodeOf(mac);
    Unplace(n);
    n.lease = Lease{};
    n.lease.mac = mac;
    n.lease.SetHostname(hostname);
    n.lease.ip = ip;
    n.lease.octet = ip != 0 ? octet : 0;
    n.lease.bound = ip != 0;
    n.lease.expires = expires;
    Place(n);
    Trim(&n);
}

void LeaseTable::Acknowledge(const MacAddress& mac, std::uint32_t ip, std::uint8_t octet,
                             SteadyTime expires) {
    Node& n = NodeOf(mac);
    Unplace(n);
    n.lease.ip = ip;
    n.lease.octet = octet;
    n.lease.bound = true;
    n.lease.acknowledged = true;
    n.lease.declined = false;
    n.lease.expires = expires;
    Place(n);
    Trim(&n);
}

const Lease& LeaseTable::Ensure(const MacAddress& mac, const std::string& hostname) {
    if (const Node* n = FindNode(mac))
        return n->lease;
    Node& n = NodeOf(mac);
    n.lease.SetHostname(hostname);
    return n.lease;
}

void LeaseTable::Drop(const MacAddress& mac) {
    Node* n = FindNode(mac);
    if (n == nullptr)
        return;
    Unplace(*n);
    n->lease.bound = false;
    n->lease.ip = 0;
    n->lease.octet = 0;
    Place(*n);
    Trim(n);
}

bool LeaseTable::Unbind(const MacAddress& mac) {
    Node* n = FindNode(mac);
    if (n == nullptr)
        return false;
    Unplace(*n);
    n->lease.bound = false;
    Place(*n);
    Trim(n);
    return true;
}

void LeaseTable::Decline(const MacAddress& mac) {
    Node* n = FindNode(mac);
    if (n == nullptr)
        return;
    Unplace(*n);
    n->lease.bound = false;
    n->lease.declined = n->lease.octet != 0;
    Place(*n);
    Trim(n);
}

void LeaseTable::AddBlack(const MacAddress& mac) {
    Node& n = NodeOf(mac, true);
    Unplace(n);
    n.lease.black = true;
    Place(n);
}

void LeaseTable::RemoveBlack(const MacAddress& mac) {
    Node* n = FindNode(mac);
    if (n == nullptr || !n->lease.black)
        return;
    Unplace(*n);
    n->lease.black = false;
    Place(*n);
    Trim(n);
}

void LeaseTable::ClearBlack() {
    for (auto& [mac, node] : m_entries) {
        if (!node.lease.black)
            continue;
        Unplace(node);
        node.lease.black = false;
        Place(node);
    }
    Trim();
}

bool LeaseTable::Refused(const MacAddress& mac) const {
    const auto it = m_entries.find(mac);
    if (it != m_entries.end() && it->second.lease.black)
        return true;
    return m_allowOnly && m_allowed.count(mac) == 0;
}

void LeaseTable::Clear() {
    m_allowOnly = false;
    m_allowed.clear();
    m_entries.clear();
    m_offers = m_leases = m_idle = List{};
    m_holder.fill(nullptr);
    m_refs.fill(0);
    m_held = m_bound = OctetSet{};
    m_latest = {};
}

std::vector<const Lease*> LeaseTable::Ordered() const {
    std::vector<const Lease*> out;
    out.reserve(m_entries.size());
    for (const auto& [mac, node] : m_entries)
        out.push_back(&node.lease);
    std::sort(out.begin(), out.end(),
              [](const Lease* a, const Lease* b) { return MacOrder{}(a->mac, b->mac); });
    return out;
}

std::vector<MacAddress> LeaseTable::Order(const List& list) {
    std::vector<MacAddress> out;
    for (const Node* n = list.head; n != nullptr; n = n->next)
        out.push_back(n->lease.mac);
    return out;
}

bool LeaseTable::Consistent() const {
    std::array<const Node*, 256> holder{};
    std::array<std::uint16_t, 256> refs{};
    OctetSet held, bound;
    std::size_t queued = 0;
    for (const auto& [mac, node] : m_entries) {
        const Lease& l = node.lease;
        if (l.mac != mac || l.hostname.back() != '\0')
            return false;
        if (l.octet != 0) {
            ++refs[l.octet];
            held.Set(l.octet);
        }
        if ((l.octet == 0) != (l.ip == 0) || (l.acknowledged && !l.bound))
            return false;
        Queue expected = l.bound ? (l.acknowledged ? Queue::Leases : Queue::Offers)
                                 : (l.black ? Queue::None : Queue::Idle);
        if (node.queue != expected)
            return false;
        if (node.queue != Queue::None)
            ++queued;
        if (l.bound) {
            if (l.octet == 0 || holder[l.octet] != nullptr)
                return false;
            holder[l.octet] = &node;
            bound.Set(l.octet);
        }
    }
    for (int o = 0; o < 256; ++o) {
        if (holder[o] != m_holder[o] || refs[o] != m_refs[o])
            return false;
    }
    std::size_t listed = 0;
    for (const List* list : {&m_offers, &m_leases, &m_idle}) {
        std::size_t n = 0;
        for (const Node* p = list->head; p != nullptr; p = p->next) {
            if ((p->next != nullptr ? p->next->prev : list->tail) != p)
                return false;
            ++n;
        }
        if (n != list->size)
            return false;
        listed += n;
    }
    return held == m_held && bound == m_bound && listed == queued && queued <= kCapacity;
}

bool LeaseTable::operator==(const LeaseTable& other) const {
    if (m_entries.size() != other.m_entries.size())
        return false;
    for (const auto& [mac, node] : m_entries) {
        const Lease* l = other.Find(mac);
        if (l == nullptr || !(*l == node.lease))
            return false;
    }
    return Order(m_offers) == Order(other.m_offers) && Order(m_leases) == Order(other.m_leases) &&
           Order(m_idle) == Order(other.m_idle);
}

}  // namespace pellion
