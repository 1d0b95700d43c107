#include "DnsResolver.h"

#include "platform/common/DnsLookupPool.h"

namespace plat {

std::unique_ptr<DnsLookups> DnsResolver::OpenLookups() {
    return std::make_unique<DnsLookupPool>(*this);
}

}  // namespace plat
