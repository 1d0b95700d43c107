// The engine's picture of the PC's network connections: the connection folder
// merged with the adapter table, one shared record per connection. It finds
// the connection that carries the traffic to the Internet, the DNS servers of
// a connection, gives the access point's adapter a static address that does
// not collide with another adapter's subnet, and hands it back to automatic
// addressing. Mutating calls run on the engine's worker thread; lookups may
// come from other threads and see either the old or the new list.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "NetConProperty.h"

class CConnectionManager {
public:
    using Record = std::shared_ptr<CNetConProperty>;

    // Binds the properties-freeing function of the connection folder, then
    // RefreshConnections; answers the refresh.
    bool Init();
    // Rebuilds the list; true when the adapter table could be read.
    bool RefreshConnections();
    // The public connection towards `target` (dotted) and its DNS servers
    // ("a,b"); false and outputs untouched when no connection qualifies.
    bool GetBestOutInterface(const std::string& target, plat::GUID* guid, std::string* dns);
    // The record with this GUID, or empty.
    Record FindConnection(const plat::GUID& guid);
    // Sets `ip` (moved to a free subnet when it collides) on the adapter;
    // with `check`, success only once the adapter carries it. `ip` holds the
    // address finally used.
    bool SetIp(const plat::GUID& guid, std::string& ip, bool check);
    // Returns the adapter to automatic addressing.
    void EnableDhcp(const plat::GUID& guid);
    // The connection's DNS servers joined with ","; false when it has none.
    bool GetDns(const plat::GUID& guid, std::string& out);
    bool GetFlow(const Record& record, std::uint64_t& receivedKb, std::uint64_t& sentKb);
    // The records in enumeration order (a copy of the list).
    std::vector<Record> Connections() const;

private:
    void _EnumConnectionFolder(std::vector<Record>& list);
    Record _Find(const plat::GUID& guid) const;
    void _RefreshWhenEmpty();

    mutable std::mutex m_lock;  // the list itself; records carry their own lock
    std::vector<Record> m_connections;
};
