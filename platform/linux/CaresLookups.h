// Lookups through c-ares: one thread runs an event loop over one resolver
// channel, which keeps every question in flight on the same upstream sockets.
// The channel reads the system's resolver configuration (/etc/resolv.conf:
// name servers, timeout, attempts, rotation) as the blocking resolver does.
// When the file changes (a new upstream connection brings new servers), new
// lookups go to a channel made from the new file; the old channel finishes
// the lookups it has and is then closed.
// A socket of the caller's can be watched in the same loop (Watch): its
// readiness is handled there, and the lookups it starts are sent at once, with
// no hand-over between threads on the way from a question to its upstream.
// An A (or AAAA) query goes to the name servers; a name they give no address for is
// asked once more through the host lookup (hosts file, then the servers with
// the search list), as LinuxResolver does with getaddrinfo.
#pragma once

#include <functional>
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
    struct Options {
        // Replace, when given, the configured name servers ("ip:port,...") and
        // first timeout; given servers are never reloaded.
        std::string servers;
        int timeoutMs = 0;
        // The configuration file (the system's when empty).
        std::string resolvConf;
    };
    // Null when c-ares cannot be set up.
    static std::unique_ptr<CaresLookups> Open(const Options& options);
    ~CaresLookups() override;
    CaresLookups(const CaresLookups&) = delete;
    CaresLookups& operator=(const CaresLookups&) = delete;

    bool Lookup(const std::string& name, Done done) override;
    bool LookupAaaa(const std::string& name, Done done) override;
    bool Watch(int fd, std::function<void()> ready) override;

private:
    struct Watched {
        int fd;
        std::function<void()> ready;
    };

    struct Request {
        CaresLookups* owner;
        std::string name;
        Done done;
        int type = 1;  // 1 A, 28 AAAA
    };

    // What tells one version of the configuration file from another.
    struct FileStamp {
        unsigned long long device = 0, inode = 0, size = 0, seconds = 0, nanoseconds = 0;
        bool present = false;
        bool operator==(const FileStamp&) const = default;
    };

    CaresLookups(Options options, int wake);
    FileStamp Stamp() const;
    ares_channeldata* MakeChannel() const;
    // A channel from the configuration file when it has changed.
    void ReloadIfChanged();
    void Loop();
    bool Submit(const std::string& name, Done done, int type);
    void Start(Request* request);
    static void OnAnswer(void* arg, int status, int timeouts, unsigned char* answer, int length);
    static void OnHosts(void* arg, int status, int timeouts, ares_addrinfo* result);

    Options m_options;
    FileStamp m_stamp;
    ares_channeldata* m_channel = nullptr;
    std::vector<ares_channeldata*> m_retiring;  // finishing their lookups
    UniqueFd m_wake;                            // eventfd: new lookups or closing
    std::mutex m_lock;
    std::vector<Request*> m_submitted;
    std::vector<Watched> m_watched;
    bool m_watchedChanged = false;
    bool m_closing = false;
    std::thread m_thread;
};

}  // namespace plat
