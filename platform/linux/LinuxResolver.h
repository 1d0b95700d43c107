// The system resolver on Linux. An A query goes to the configured name servers
// (res_nquery over /etc/resolv.conf), and the answer's A and CNAME records
// come back in the order and with the TTLs of the server's answer, as
// DnsQuery_A gives them. A name the servers do not know is looked up once
// more through getaddrinfo, which also reads the hosts file; its records then
// carry a TTL of 60 seconds and at most one CNAME, to the canonical name.
#pragma once

#include "platform/facility/DnsResolver.h"

namespace plat {

class LinuxResolver : public DnsResolver {
public:
    LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) override;
};

}  // namespace plat
