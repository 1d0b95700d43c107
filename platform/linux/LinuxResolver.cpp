#include "LinuxResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

namespace plat {

LONG LinuxResolver::QueryA(const std::string& name, std::vector<DnsRecord>* out) {
    if (out == nullptr)
        return static_cast<LONG>(kErrorInvalidParameter);
    out->clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* raw = nullptr;
    const int rc = getaddrinfo(name.c_str(), nullptr, &hints, &raw);
    if (rc != 0)
        return 9003;  // DNS_ERROR_RCODE_NAME_ERROR
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> list(raw, &freeaddrinfo);
    std::string owner = name;
    if (raw->ai_canonname != nullptr && name != raw->ai_canonname) {
        DnsRecord cname;
        cname.owner = name;
        cname.type = 5;
        cname.ttl = 60;
        cname.target = raw->ai_canonname;
        out->push_back(cname);
        owner = raw->ai_canonname;
    }
    for (addrinfo* p = raw; p != nullptr; p = p->ai_next) {
        if (p->ai_family != AF_INET || p->ai_addr == nullptr)
            continue;
        sockaddr_in sin{};
        std::memcpy(&sin, p->ai_addr, sizeof sin);
        DnsRecord a;
        a.owner = owner;
        a.type = 1;
        a.ttl = 60;
        a.address = sin.sin_addr.s_addr;
        out->push_back(a);
    }
    return out->empty() ? 9501 /* DNS_INFO_NO_RECORDS */ : 0;
}

}  // namespace plat
