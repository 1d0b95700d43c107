#include "CaresLookups.h"

#include <ares.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "LinuxResolver.h"

namespace plat {

namespace {

constexpr LONG kNameError = 9003;  // DNS_ERROR_RCODE_NAME_ERROR
constexpr LONG kNoRecords = 9501;  // DNS_INFO_NO_RECORDS
constexpr std::uint32_t kHostsTtl = 60;

// The lookups whose loop runs on this thread, if any.
thread_local const void* t_loopOf = nullptr;

bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS; });
    return ready;
}

// The records of a host lookup, as LinuxResolver makes them from getaddrinfo:
// a CNAME to the canonical name when it differs, then the addresses.
LONG HostRecords(const std::string& name, const ares_addrinfo* result, int family,
                 std::vector<DnsRecord>* out) {
    if (result == nullptr)
        return kNameError;
    std::string canonical = result->name != nullptr ? result->name : name;
    if (result->cnames != nullptr) {
        // The chain's end: the one name no other entry is an alias of.
        std::set<std::string> aliases;
        for (const ares_addrinfo_cname* c = result->cnames; c != nullptr; c = c->next)
            if (c->alias != nullptr)
                aliases.insert(c->alias);
        for (const ares_addrinfo_cname* c = result->cnames; c != nullptr; c = c->next) {
            if (c->name != nullptr && aliases.count(c->name) == 0) {
                canonical = c->name;
                break;
            }
        }
    }
    std::string owner = name;
    if (canonical != name) {
        DnsRecord cname;
        cname.owner = name;
        cname.type = 5;
        cname.ttl = kHostsTtl;
        cname.target = canonical;
        out->push_back(cname);
        owner = canonical;
    }
    for (const ares_addrinfo_node* p = result->nodes; p != nullptr; p = p->ai_next) {
        if (p->ai_family != family || p->ai_addr == nullptr)
            continue;
        if (family == AF_INET6) {
            sockaddr_in6 sin6{};
            std::memcpy(&sin6, p->ai_addr, sizeof sin6);
            DnsRecord aaaa;
            aaaa.owner = owner;
            aaaa.type = 28;
            aaaa.ttl = kHostsTtl;
            std::memcpy(aaaa.address6.data(), &sin6.sin6_addr, 16);
            out->push_back(aaaa);
            continue;
        }
        sockaddr_in sin{};
        std::memcpy(&sin, p->ai_addr, sizeof sin);
        DnsRecord a;
        a.owner = owner;
        a.type = 1;
        a.ttl = kHostsTtl;
        a.address = sin.sin_addr.s_addr;
        out->push_back(a);
    }
    return out->empty() ? kNoRecords : 0;
}

}  // namespace

std::unique_ptr<CaresLookups> CaresLookups::Open(const Options& options) {
    if (!LibraryReady())
        return nullptr;
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0)
        return nullptr;
    std::unique_ptr<CaresLookups> lookups(new CaresLookups(options, wake));
    lookups->m_stamp = lookups->Stamp();  // before the file is read
    lookups->m_channel = lookups->MakeChannel();
    if (lookups->m_channel == nullptr)
        return nullptr;
    try {
        lookups->m_thread = std::thread(&CaresLookups::Loop, lookups.get());
    } catch (const std::system_error&) {
        return nullptr;  // the destructor releases the channel
    }
    return lookups;
}

CaresLookups::CaresLookups(Options options, int wake)
    : m_options(std::move(options)), m_wake(wake) {}

CaresLookups::~CaresLookups() {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_closing = true;
    }
    const std::uint64_t one = 1;
    (void)!write(m_wake.get(), &one, sizeof one);
    if (m_thread.joinable())
        m_thread.join();
    // Lookups under way end here without a call.
    for (ares_channeldata* channel : m_retiring)
        ares_destroy(channel);
    if (m_channel != nullptr)
        ares_destroy(m_channel);
    for (Request* r : m_submitted)
        delete r;
}

ares_channeldata* CaresLookups::MakeChannel() const {
    ares_options options{};
    int mask = 0;
    if (m_options.timeoutMs > 0) {
        options.timeout = m_options.timeoutMs;
        mask |= ARES_OPT_TIMEOUTMS;
    }
    std::string path = m_options.resolvConf;
    if (!path.empty()) {
        options.resolvconf_path = path.data();
        mask |= ARES_OPT_RESOLVCONF;
    }
    ares_channel channel = nullptr;
    if (ares_init_options(&channel, &options, mask) != ARES_SUCCESS)
        return nullptr;
    if (!m_options.servers.empty() &&
        ares_set_servers_ports_csv(channel, m_options.servers.c_str()) != ARES_SUCCESS) {
        ares_destroy(channel);
        return nullptr;
    }
    return channel;
}

CaresLookups::FileStamp CaresLookups::Stamp() const {
    FileStamp s;
    struct stat st {};
    const std::string path =
        m_options.resolvConf.empty() ? "/etc/resolv.conf" : m_options.resolvConf;
    if (stat(path.c_str(), &st) != 0)
        return s;
    s.present = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<unsigned long long>(st.st_size);
    s.seconds = static_cast<unsigned long long>(st.st_mtim.tv_sec);
    s.nanoseconds = static_cast<unsigned long long>(st.st_mtim.tv_nsec);
    return s;
}

void CaresLookups::ReloadIfChanged() {
    if (!m_options.servers.empty())
        return;
    const FileStamp now = Stamp();
    // A file that is gone for a moment (being replaced) keeps the servers.
    if (!now.present || now == m_stamp)
        return;
    ares_channeldata* fresh = MakeChannel();
    if (fresh == nullptr)
        return;  // tried again with the next lookups
    m_stamp = now;
    m_retiring.push_back(m_channel);
    m_channel = fresh;
}

bool CaresLookups::Lookup(const std::string& name, Done done) {
    return Submit(name, std::move(done), ns_t_a);
}

bool CaresLookups::LookupAaaa(const std::string& name, Done done) {
    return Submit(name, std::move(done), ns_t_aaaa);
}

bool CaresLookups::Watch(int fd, std::function<void()> ready) {
    if (fd < 0 || !ready)
        return false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_closing)
            return false;
        m_watched.push_back(Watched{fd, std::move(ready)});
        m_watchedChanged = true;
    }
    const std::uint64_t one = 1;
    (void)!write(m_wake.get(), &one, sizeof one);
    return true;
}

bool CaresLookups::Submit(const std::string& name, Done done, int type) {
    if (t_loopOf == this) {
        // Asked from a watched socket's handler, on the loop itself.
        Start(new Request{this, name, std::move(done), type});
        return true;
    }
    bool wake = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_closing)
            return false;
        wake = m_submitted.empty();
        m_submitted.push_back(new Request{this, name, std::move(done), type});
    }
    if (wake) {
        const std::uint64_t one = 1;
        (void)!write(m_wake.get(), &one, sizeof one);
    }
    return true;
}

void CaresLookups::Start(Request* request) {
    ares_query(m_channel, request->name.c_str(), ns_c_in, request->type, &CaresLookups::OnAnswer,
               request);
}

void CaresLookups::OnAnswer(void* arg, int status, int, unsigned char* answer, int length) {
    auto* request = static_cast<Request*>(arg);
    if (status == ARES_EDESTRUCTION) {
        delete request;
        return;
    }
    std::vector<DnsRecord> records;
    if (status == ARES_SUCCESS &&
        LinuxResolver::ReadAnswer(answer, length, &records,
                                  static_cast<std::uint16_t>(request->type))) {
        request->done(0, std::move(records));
        delete request;
        return;
    }
    // The servers had no address for it: the host lookup has the last word.
    ares_addrinfo_hints hints{};
    hints.ai_family = request->type == ns_t_aaaa ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = ARES_AI_CANONNAME;
    ares_getaddrinfo(request->owner->m_channel, request->name.c_str(), nullptr, &hints,
                     &CaresLookups::OnHosts, request);
}

void CaresLookups::OnHosts(void* arg, int status, int, ares_addrinfo* result) {
    auto* request = static_cast<Request*>(arg);
    if (status != ARES_EDESTRUCTION) {
        std::vector<DnsRecord> records;
        const LONG rc = status == ARES_SUCCESS
                            ? HostRecords(request->name, result,
                                          request->type == ns_t_aaaa ? AF_INET6 : AF_INET, &records)
                            : kNameError;
        request->done(rc, rc == 0 ? std::move(records) : std::vector<DnsRecord>{});
    }
    if (result != nullptr)
        ares_freeaddrinfo(result);
    delete request;
}

void CaresLookups::Loop() {
    t_loopOf = this;
    std::vector<Request*> starting;
    std::vector<Watched> watched;
    std::vector<pollfd> fds;
    std::vector<ares_channeldata*> owners;  // the channel of each socket in `fds`
    for (;;) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (m_closing)
                return;
            starting.swap(m_submitted);
            if (m_watchedChanged) {
                watched = m_watched;
                m_watchedChanged = false;
            }
        }
        if (!starting.empty())
            ReloadIfChanged();
        for (Request* r : starting)
            Start(r);
        starting.clear();

        fds.assign(1, pollfd{m_wake.get(), POLLIN, 0});
        owners.assign(1, nullptr);
        for (const Watched& w : watched) {
            fds.push_back(pollfd{w.fd, POLLIN, 0});
            owners.push_back(nullptr);
        }
        const std::size_t firstAres = fds.size();
        int waitMs = -1;
        auto watch = [&](ares_channeldata* channel) {
            ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
            const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
            for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
                short events = 0;
                if (ARES_GETSOCK_READABLE(bits, i))
                    events |= POLLIN;
                if (ARES_GETSOCK_WRITABLE(bits, i))
                    events |= POLLOUT;
                if (events != 0) {
                    fds.push_back(pollfd{sockets[i], events, 0});
                    owners.push_back(channel);
                }
            }
            timeval tv{};
            if (const timeval* next = ares_timeout(channel, nullptr, &tv)) {
                const int ms = static_cast<int>(next->tv_sec * 1000 + (next->tv_usec + 999) / 1000);
                waitMs = waitMs < 0 ? ms : std::min(waitMs, ms);
            }
        };
        watch(m_channel);
        for (ares_channeldata* channel : m_retiring)
            watch(channel);
        if (poll(fds.data(), fds.size(), waitMs) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0) {
            std::uint64_t value = 0;
            (void)!read(m_wake.get(), &value, sizeof value);
        }
        for (std::size_t i = firstAres; i < fds.size(); ++i) {
            const short got = fds[i].revents;
            if (got == 0)
                continue;
            const ares_socket_t readable =
                (got & (POLLIN | POLLERR | POLLHUP)) != 0 ? fds[i].fd : ARES_SOCKET_BAD;
            const ares_socket_t writable = (got & POLLOUT) != 0 ? fds[i].fd : ARES_SOCKET_BAD;
            ares_process_fd(owners[i], readable, writable);
        }
        // New questions on the watched sockets, once the answers have gone out.
        bool checked = false;
        for (std::size_t i = 1; i < firstAres; ++i) {
            if (fds[i].revents == 0)
                continue;
            if (!checked) {
                ReloadIfChanged();
                checked = true;
            }
            watched[i - 1].ready();
        }
        // The timeouts that have passed; an old channel with no lookups left closes.
        ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        for (auto it = m_retiring.begin(); it != m_retiring.end();) {
            ares_process_fd(*it, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
            timeval tv{};
            if (ares_timeout(*it, nullptr, &tv) == nullptr) {
                ares_destroy(*it);
                it = m_retiring.erase(it);
            } else {
                ++it;
            }
        }
    }
}

}  // namespace plat
