// The system resolver on Linux (getaddrinfo), giving A records; the canonical
// name, when it differs, comes first as a CNAME record as DnsQuery_A gives it.
#pragma once

#include "platform/facility/DnsResolver.h"

namespace plat {

class LinuxResolver : public DnsResolver {
public:
    LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) override;
};

}  // namespace plat
