// The system resolver on Windows: DnsQuery_A.
#pragma once

#include "platform/facility/DnsResolver.h"

namespace plat {

class Win32Resolver : public DnsResolver {
public:
    LONG QueryA(const std::string& name, std::vector<DnsRecord>* out) override;
};

}  // namespace plat
