#include "LinuxResolver.h"

#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

namespace plat {

namespace {

constexpr LONG kNameError = 9003;  // DNS_ERROR_RCODE_NAME_ERROR
constexpr LONG kNoRecords = 9501;  // DNS_INFO_NO_RECORDS

// The resolver state of this thread, set up on first use.
struct ThreadResolver {
    struct __res_state state {};
    bool ready = false;
    ThreadResolver() { ready = res_ninit(&state) == 0; }
    ~ThreadResolver() {
        if (ready)
            res_nclose(&state);
    }
};

bool QueryServers(const std::string& name, std::vector<DnsRecord>* out) {
    thread_local ThreadResolver resolver;
    if (!resolver.ready)
        return false;
    unsigned char answer[NS_MAXMSG];
    const int length = res_nquery(&resolver.state, name.c_str(), ns_c_in, ns_t_a, answer,
                                  static_cast<int>(sizeof answer));
    return length > 0 && LinuxResolver::ReadAnswer(answer, length, out);
}

}  // namespace

bool LinuxResolver::ReadAnswer(const unsigned char* answer, int length, std::vector<DnsRecord>* out,
                               std::uint16_t type) {
    ns_msg msg;
    if (ns_initparse(answer, length, &msg) != 0)
        return false;
    const int count = ns_msg_count(msg, ns_s_an);
    for (int i = 0; i < count; ++i) {
        ns_rr rr;
        if (ns_parserr(&msg, ns_s_an, i, &rr) != 0)
            return false;
        DnsRecord r;
        r.owner = ns_rr_name(rr);
        r.type = ns_rr_type(rr);
        r.ttl = ns_rr_ttl(rr);
        if (r.type == ns_t_a && type == ns_t_a && ns_rr_rdlen(rr) == 4) {
            std::memcpy(&r.address, ns_rr_rdata(rr), 4);
        } else if (r.type == ns_t_aaaa && type == ns_t_aaaa && ns_rr_rdlen(rr) == 16) {
            std::memcpy(r.address6.data(), ns_rr_rdata(rr), 16);
        } else if (r.type == ns_t_cname) {
            char target[NS_MAXDNAME];
            if (ns_name_uncompress(ns_msg_base(msg), ns_msg_end(msg), ns_rr_rdata(rr), target,
                                   sizeof target) < 0)
                return false;
            r.target = target;
        } else {
            continue;
        }
        out->push_back(r);
    }
    return !out->empty();
}

namespace {

LONG QueryHosts(const std::string& name, std::vector<DnsRecord>* out) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* raw = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &raw) != 0)
        return kNameError;
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
    return out->empty() ? kNoRecords : 0;
}

}  // namespace

LONG LinuxResolver::QueryA(const std::string& name, std::vector<DnsRecord>* out) {
    if (out == nullptr)
        return static_cast<LONG>(kErrorInvalidParameter);
    out->clear();
    if (QueryServers(name, out))
        return 0;
    out->clear();
    return QueryHosts(name, out);
}

std::unique_ptr<DnsLookups> LinuxResolver::OpenLookups() {
    if (auto lookups = CaresLookups::Open(m_options))
        return lookups;
    return DnsResolver::OpenLookups();
}

}  // namespace plat
