// The DHCP server's lease table: one entry per client MAC, holding its address,
// host name, black-list mark and whether the address is held. Not locked by
// itself; the server's lock guards it.
//
// Offers and leases end by time: an offer that is not requested returns its
// address to the pool after a short hold, a lease at its end unless renewed.
// The table is bounded: black-list marks aside, it never holds more than
// kCapacity entries, and makes room by dropping the entries that hold no
// address, least recently used first. Every operation a message needs costs
// the same whatever the table holds: entries are found by MAC through a hash
// index and by address through an index of the 256 octets, and the offers and
// leases wait for their end in queues ordered by it.
#pragma once

#include <array>
#include <bit>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/text/MacText.h"

namespace pellion {

using plat::MacAddress;
using SteadyTime = std::chrono::steady_clock::time_point;

struct Lease {
    std::uint32_t ip = 0;  // network byte order, 0 when none
    MacAddress mac{};
    std::array<char, 40> hostname{};  // at most 39 characters, NUL-terminated
    bool black = false;
    bool bound = false;         // the address is held (offered or acknowledged)
    std::uint8_t octet = 0;     // last octet of ip, 0 when none
    bool acknowledged = false;  // bound by an ACK, not only offered
    bool declined = false;      // the client declined its address: not offered to it again
    SteadyTime expires{};       // while bound: when the offer's hold or the lease ends

    void SetHostname(const std::string& name);
    std::string Hostname() const;
    bool operator==(const Lease& other) const = default;
};

// Orders MACs as two numbers: the last two bytes first, then the first four,
// each read little-endian.
struct MacOrder {
    bool operator()(const MacAddress& a, const MacAddress& b) const;
};

struct MacHash {
    std::size_t operator()(const MacAddress& mac) const;
};

// A set of last octets, 0 to 255.
class OctetSet {
public:
    bool Test(std::uint8_t octet) const { return (m_words[octet >> 6] >> (octet & 63)) & 1u; }
    void Set(std::uint8_t octet) { m_words[octet >> 6] |= std::uint64_t{1} << (octet & 63); }
    void Reset(std::uint8_t octet) { m_words[octet >> 6] &= ~(std::uint64_t{1} << (octet & 63)); }
    int Count() const {
        int n = 0;
        for (std::uint64_t w : m_words)
            n += std::popcount(w);
        return n;
    }
    // The smallest octet of [first, last] that is in neither this set nor
    // `also`; 0 when there is none.
    std::uint8_t FirstFree(std::uint8_t first, std::uint8_t last, const OctetSet& also) const;
    bool operator==(const OctetSet& other) const = default;

private:
    std::array<std::uint64_t, 4> m_words{};
};

class LeaseTable {
public:
    // The engine reads the whole table into a buffer of 256 records, and
    // refuses to read any of it when the table holds more entries: the table
    // holds at most that many, black-list marks aside.
    static constexpr std::size_t kCapacity = 256;

    LeaseTable() = default;
    LeaseTable(const LeaseTable& other);
    LeaseTable& operator=(const LeaseTable& other);
    ~LeaseTable() = default;

    const Lease* Find(const MacAddress& mac) const;
    // The entry that holds `octet` bound; null when none does.
    const Lease* Holder(std::uint8_t octet) const;
    // The offer that was made first of those still waiting for a REQUEST.
    const Lease* OldestOffer() const;
    // Octets of every entry that has an address, bound or not.
    const OctetSet& Held() const { return m_held; }
    // Octets of the bound entries.
    const OctetSet& Bound() const { return m_bound; }

    // Ends what is due at `now`: an offer's entry loses its address (which
    // goes back to the pool), an ended lease's entry is no longer bound but
    // keeps its address for when the client returns. Time never runs back for
    // the table: answers the later of `now` and the latest time seen.
    SteadyTime Advance(SteadyTime now);

    // Creates or replaces the entry of `mac` with an offer of `ip` (octet
    // `octet`) held until `expires`; with ip 0 the entry holds no address.
    void Offer(const MacAddress& mac, std::uint32_t ip, std::uint8_t octet,
               const std::string& hostname, SteadyTime expires);
    // Binds `ip` to `mac` as an acknowledged lease until `expires`.
    void Acknowledge(const MacAddress& mac, std::uint32_t ip, std::uint8_t octet,
                     SteadyTime expires);
    // The entry of `mac`, created with only the MAC and `hostname` when missing.
    const Lease& Ensure(const MacAddress& mac, const std::string& hostname);
    // Drops the address of an existing entry: not bound, no ip, no octet.
    void Drop(const MacAddress& mac);
    // Marks the lease as not bound; the entry, its address and its mark stay.
    bool Unbind(const MacAddress& mac);
    // Unbinds and marks the address as declined by its client.
    void Decline(const MacAddress& mac);

    void AddBlack(const MacAddress& mac);
    void RemoveBlack(const MacAddress& mac);
    void ClearBlack();
    // With the allow list on, only the MACs on it are served; the list is
    // kept beside the entries (it names devices that may never have asked).
    void SetAllowOnly(bool on) { m_allowOnly = on; }
    void AddAllowed(const MacAddress& mac) { m_allowed.insert(mac); }
    void RemoveAllowed(const MacAddress& mac) { m_allowed.erase(mac); }
    // Whether `mac` is refused: black-listed, or not on an allow list that is on.
    bool Refused(const MacAddress& mac) const;
    // Empties the table, the black-list marks and the allow list.
    void Clear();

    std::size_t Size() const { return m_entries.size(); }
    // Every entry in the table's order (MacOrder).
    std::vector<const Lease*> Ordered() const;
    template <class F>
    void ForEach(F&& f) const {
        for (const auto& [mac, node] : m_entries)
            f(node.lease);
    }
    // Whether the indexes and queues agree with the entries and the bound
    // holds; for tests and the fuzzer.
    bool Consistent() const;
    bool operator==(const LeaseTable& other) const;

private:
    enum class Queue : std::uint8_t { None, Offers, Leases, Idle };
    struct Node {
        Lease lease;
        Queue queue = Queue::None;
        Node* prev = nullptr;
        Node* next = nullptr;
    };
    struct List {
        Node* head = nullptr;
        Node* tail = nullptr;
        std::size_t size = 0;
        void PushBack(Node* n);
        void Remove(Node* n);
    };

    Node* FindNode(const MacAddress& mac);
    // The node of `mac`, created (with the black-list mark `black`) when missing.
    Node& NodeOf(const MacAddress& mac, bool black = false);
    List& ListOf(Queue q);
    // Take a node out of its queue and the indexes before its lease changes,
    // and put it back after.
    void Unplace(Node& n);
    void Place(Node& n);
    // Drops idle entries, oldest first, until the bound holds.
    void Trim(const Node* keep = nullptr);
    static std::vector<MacAddress> Order(const List& list);

    std::unordered_map<MacAddress, Node, MacHash> m_entries;
    List m_offers;  // bound, not acknowledged; by end of hold
    List m_leases;  // bound, acknowledged; by end of lease
    List m_idle;    // not bound, not black-listed; least recently changed first
    std::array<Node*, 256> m_holder{};
    std::array<std::uint16_t, 256> m_refs{};  // entries with each octet
    OctetSet m_held;
    OctetSet m_bound;
    SteadyTime m_latest{};
    bool m_allowOnly = false;
    std::unordered_set<MacAddress, MacHash> m_allowed;
};

}  // namespace pellion
