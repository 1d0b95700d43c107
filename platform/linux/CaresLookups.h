// Lookups through c-ares: one thread runs an event loop over one resolver
// channel, which keeps every question in flight on the same upstream sockets.
// The channel reads the system's resolver configuration (/etc/resolv.conf:
// name servers, timeout, attempts, rotation) as the blocking resolver does.
// An A query goes to the name servers; a name they give no address for is
// asked once more through the host lookup (hosts file, then the servers with
// the search list), as LinuxResolver does with getaddrinfo.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "UniqueFd.h"
#include "platform/facility/DnsResolver.h"

struct ares_channeldata;
struct ares_addrinfo;

namespace plat {

class CaresLookups : public DnsLookups {
public:
    // `servers` ("ip:port,...") replaces the configured name servers and
    // `timeoutMs` the configured first timeout, when given. Null when c-ares
    // cannot be set up.
    static std::unique_ptr<CaresLookups> Open(const std::string& servers = {}, int timeoutMs = 0);
    ~CaresLookups() override;
    CaresLookups(const CaresLookups&) = delete;
    CaresLookups& operator=(const CaresLookups&) = delete;

    bool Lookup(const std::string& name, Done done) override;

private:
    struct Request {
        CaresLookups* owner;
        std::string name;
        Done done;
    };

    CaresLookups(ares_channeldata* channel, int wake);
    void Loop();
    void Start(Request* request);
    static void OnAnswer(void* arg, int status, int timeouts, unsigned char* answer, int length);
    static void OnHosts(void* arg, int status, int timeouts, ares_addrinfo* result);

    ares_channeldata* m_channel;
    UniqueFd m_wake;  // eventfd: new lookups or closing
    std::mutex m_lock;
    std::vector<Request*> m_submitted;
    bool m_closing = false;
    std::thread m_thread;
};

}  // namespace plat
