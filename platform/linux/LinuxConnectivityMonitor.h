// Connectivity of the Linux interfaces as the Network List Manager reports
// it: every interface but loopback that is up is a connection, with IPv4
// Internet connectivity while it carries a default route, local-network
// connectivity with an address only. While sinks are advised, a thread
// listens to route netlink's link, address and route events and, for each
// connection whose connectivity changed, calls the sinks of connection events
// (and those of list-manager events when the PC's overall connectivity
// changed) on that thread.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/facility/NetworkListManager.h"

namespace plat {

struct LinuxNlmConnection {
    GUID connectionId{};
    GUID adapterId{};
    DWORD connectivity = 0;
};

class LinuxConnectivityMonitor {
public:
    LinuxConnectivityMonitor() = default;
    ~LinuxConnectivityMonitor();
    LinuxConnectivityMonitor(const LinuxConnectivityMonitor&) = delete;
    LinuxConnectivityMonitor& operator=(const LinuxConnectivityMonitor&) = delete;

    // The connections now, read from the kernel.
    static std::vector<LinuxNlmConnection> Current();
    // The connection id of the interface called `name`.
    static GUID ConnectionIdOf(const std::string& name);

    // The first sink starts the listening thread (in the caller's network
    // namespace); the last one leaving stops it.
    HRESULT Advise(const GUID& iid, std::shared_ptr<NetworkEventSink> sink, DWORD* cookie);
    HRESULT Unadvise(const GUID& iid, DWORD cookie);

private:
    // An eventfd that ends the listening thread, closed with its last owner.
    struct Wake {
        explicit Wake(int descriptor) : fd(descriptor) {}
        ~Wake();
        Wake(const Wake&) = delete;
        Wake& operator=(const Wake&) = delete;
        int fd;
    };

    int Start();
    void Stop(std::unique_lock<std::mutex>& lock);
    void Run(int socket, std::shared_ptr<Wake> wake);
    void Check();
    std::vector<std::shared_ptr<NetworkEventSink>> Sinks(const GUID& iid);

    std::mutex m_lock;
    std::map<GUID, std::map<DWORD, std::shared_ptr<NetworkEventSink>>> m_sinks;
    DWORD m_nextCookie = 1;
    std::thread m_thread;
    std::shared_ptr<Wake> m_wake;

    // Touched by the listening thread only (and by Start before it runs).
    std::map<GUID, DWORD> m_last;
    DWORD m_lastOverall = 0;
};

}  // namespace plat
