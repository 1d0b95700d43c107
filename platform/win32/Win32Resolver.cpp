#include "Win32Resolver.h"

// windows.h first: the DNS API builds on it.
#include <windows.h>

#include <windns.h>

namespace plat {

LONG Win32Resolver::QueryA(const std::string& name, std::vector<DnsRecord>* out) {
    if (out == nullptr)
        return ERROR_INVALID_PARAMETER;
    out->clear();
    PDNS_RECORDA list = nullptr;
    const DNS_STATUS status = ::DnsQuery_A(name.c_str(), DNS_TYPE_A, DNS_QUERY_STANDARD, nullptr,
                                           reinterpret_cast<PDNS_RECORD*>(&list), nullptr);
    if (status != 0)
        return status;
    for (PDNS_RECORDA r = list; r != nullptr; r = r->pNext) {
        DnsRecord rec;
        rec.owner = r->pName != nullptr ? r->pName : "";
        rec.type = r->wType;
        rec.ttl = r->dwTtl;
        if (r->wType == DNS_TYPE_A)
            rec.address = r->Data.A.IpAddress;
        else if (r->wType == DNS_TYPE_CNAME && r->Data.CNAME.pNameHost != nullptr)
            rec.target = r->Data.CNAME.pNameHost;
        out->push_back(rec);
    }
    ::DnsRecordListFree(reinterpret_cast<PDNS_RECORD>(list), DnsFreeRecordList);
    return 0;
}

}  // namespace plat
