// The system resolver on Linux. An A query goes to the configured name servers
// (res_nquery over /etc/resolv.conf), and the answer's A and CNAME records
// come back in the order and with the TTLs of the server's answer, as
// DnsQuery_A gives them. A name the servers do not know is looked up once
// more through getaddrinfo, which also reads the hosts file; its records then
// carry a TTL of 60 seconds and at most one CNAME, to the canonical name.
// Lookups that run together go through c-ares (CaresLookups), which answers
// alike from one event loop.
#pragma once

#include <string>
#include <utility>

#include "CaresLookups.h"
#include "platform/facility/DnsResolver.h"

namespace plat {

class LinuxResolver : public DnsResolver {
public:
    LinuxResolver() = default;
    // The lookups that run together with other than the system's settings.
    explicit LinuxResolver(CaresLookups::Options options) : m_options(std::move(options)) {}

    LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) override;
    std::unique_ptr<DnsLookups> OpenLookups() override;

    // The A and CNAME records of a server's answer (a whole DNS message), in
    // its order and with its TTLs; false when it has none or is malformed.
    // `type`: the address records kept (1 A, 28 AAAA), besides CNAMEs.
    static bool ReadAnswer(const unsigned char* answer, int length, std::vector<DnsRecord>* out,
                           std::uint16_t type = 1);

private:
    CaresLookups::Options m_options;
};

}  // namespace plat
