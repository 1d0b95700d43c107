// The system resolver (DnsQuery_A): the records of a name in resolver order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

struct DnsRecord {
    std::string owner;
    std::uint16_t type = 1;  // 1 A, 5 CNAME
    std::uint32_t ttl = 0;
    std::uint32_t address = 0;  // type A, network byte order
    std::string target;         // type CNAME
};

class DnsResolver {
public:
    virtual ~DnsResolver() = default;
    // 0 and the records on success, a Windows DNS error otherwise.
    virtual LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) = 0;
};

}  // namespace plat
