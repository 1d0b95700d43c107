// The engine's side of the DHCP server in Pellion: starts it with the hotspot
// address and DNS list, and turns the library's flat lease records into engine
// values. A process-wide object without state of its own.
#pragma once

#include "Common/ProcessSingleton.h"

#include <cstdint>
#include <string>
#include <vector>

// One bound lease as the engine sees it.
struct DhcpClientEntry {
    std::uint32_t ip = 0;  // network byte order
    std::wstring mac;      // "%02X-%02X-%02X-%02X-%02X-%02X"
};

class CDhcpManager {
public:
    static CDhcpManager* GetInstance();

    // Restarts the server on `ip` with the DNS list `dns`; true when it started.
    bool Start(const std::string& ip, const std::string& dns);
    // Appends every bound lease in the library's order; `out` is left as it is
    // when there is none.
    void GetAllClients(std::vector<DhcpClientEntry>& out);
    // The host name the client sent; empty when the MAC is unknown.
    std::wstring GetClientHostName(const std::wstring& mac);
    // Releases the client's lease; true when the MAC was known.
    bool RemoveClient(const std::wstring& mac);

private:
    friend class ProcessSingleton<CDhcpManager>;
    CDhcpManager() = default;
};
