// The system resolver (DnsQuery_A): the records of a name in resolver order.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

struct DnsRecord {
    std::string owner;
    std::uint16_t type = 1;  // 1 A, 5 CNAME, 28 AAAA
    std::uint32_t ttl = 0;
    std::uint32_t address = 0;                // type A, network byte order
    std::array<std::uint8_t, 16> address6{};  // type AAAA
    std::string target;                       // type CNAME
};

// Lookups that run together: Lookup hands a name over and returns at once, and
// the result comes to `done` later, on a thread of the lookups. Destroying the
// object ends the lookups still under way; their `done` is not called, and
// none is called once the destructor has returned.
class DnsLookups {
public:
    // 0 and the records, or a Windows DNS error, as QueryA gives them.
    using Done = std::function<void(LONG result, std::vector<DnsRecord> records)>;
    virtual ~DnsLookups() = default;
    // False when the lookup could not be started (`done` is then not called).
    virtual bool Lookup(const std::string& name, Done done) = 0;
    // The same for the name's IPv6 addresses (AAAA and CNAME records); false
    // where the resolver has no such lookup.
    virtual bool LookupAaaa(const std::string& name, Done done) {
        (void)name;
        (void)done;
        return false;
    }
    // Lookups that run on one event loop can wait on a socket of the caller's
    // in that loop too: `ready` then runs on the loop's thread whenever `fd`
    // is readable, and the lookups it starts leave at once, with no other
    // thread to wake. False where the lookups have no such loop; the caller
    // then waits on its socket itself. Destroying the object ends the calls.
    virtual bool Watch(int fd, std::function<void()> ready) {
        (void)fd;
        (void)ready;
        return false;
    }
};

class DnsResolver {
public:
    virtual ~DnsResolver() = default;
    // 0 and the records on success, a Windows DNS error otherwise.
    virtual LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) = 0;
    // Lookups in flight together. By default a pool of threads that grows with
    // the load (up to 256) each runs QueryA; a resolver that can keep many
    // questions in flight on its own answers them itself.
    virtual std::unique_ptr<DnsLookups> OpenLookups();
};

}  // namespace plat
