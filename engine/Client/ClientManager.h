// The table of devices that use the hotspot: who they are (MAC, address, host
// name, maker), what the user set for them (nickname, picture, ban, limits),
// how long and how much they used it, and whether they are online now. The
// engine's client monitor feeds it once a second from the NAT driver's peer
// list or the DHCP server's leases; the window reads and changes it through
// the engine; the client database keeps it across runs.
//
// One lock serialises every operation, including its calls into the NAT
// driver (through the share manager, whose lock is taken inside this one)
// and the database.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Common/ClientInfo.h"
#include "ManufactoryTable.h"

// One entry of the driver's peer list or of the DHCP server's leases.
struct ClientReport {
    std::uint32_t ip = 0;  // network byte order; 0 when not known
    std::wstring mac;      // "%02X-%02X-%02X-%02X-%02X-%02X", either case
    // The driver's counters of the current online period; zero for a lease.
    std::uint32_t upRate = 0;
    std::uint64_t periodUp = 0;
    std::uint32_t downRate = 0;
    std::uint64_t periodDown = 0;
    // A host name the reporter itself knows (the system's mobile hotspot
    // names its clients); empty otherwise.
    std::wstring name;
};

class CClientManager {
public:
    CClientManager();
    ~CClientManager();
    CClientManager(const CClientManager&) = delete;
    CClientManager& operator=(const CClientManager&) = delete;

    // Starts a run: ends what the last run left open, loads the manufacturer
    // table and the stored clients, and applies bans and limits to the driver.
    // False when the stored clients could not be read (the table in memory
    // then stays as it is).
    bool Init();
    // Ends every online period and saves every client.
    void UnInit();

    // A client was seen: true when it joined (was not online before).
    bool Add(const ClientReport& report, ClientInfo* out);
    // Refreshes an online client: true when the client is known and online;
    // `changed` tells whether its address, host name or counters changed.
    bool Update(const ClientReport& report, ClientInfo* out, bool* changed);
    // The client left: true when it was online.
    bool Remove(const std::wstring& mac, ClientInfo* out);

    bool SetSpeedLimit(const std::wstring& mac, int down, int up);
    bool BanClient(const std::wstring& mac);
    bool BlockClient(const std::wstring& mac);
    bool UnbanClient(const std::wstring& mac);
    bool SetClientNickName(const std::wstring& mac, const std::wstring& nickName);
    bool SetClientFacePath(const std::wstring& mac, const std::wstring& facePath);

    void GetClients(std::vector<ClientInfo>& out);
    void GetBannedClients(std::vector<ClientInfo>& out);
    bool GetClient(const std::wstring& mac, ClientInfo& out);
    bool FindClient(const std::wstring& mac, ClientInfo& out);
    // Sums over every client of its period counters (kilobytes).
    void GetTotalFlow(std::uint64_t* down, std::uint64_t* up);

    // The MAC text as the table keys it: upper case.
    static std::wstring Key(const std::wstring& mac);

private:
    struct Client {
        bool valid = false;         // seen in this run
        std::uint32_t address = 0;  // network byte order
        std::int64_t joinTime = 0;
        std::int64_t seenTime = 0;
        // The period counters came from a report since they last went into
        // the totals.
        bool countsFresh = false;
        ClientInfo info;
    };
    using ClientPtr = std::shared_ptr<Client>;

    ClientPtr Lookup(const std::wstring& mac) const;
    ClientPtr Create(const std::wstring& key);
    void Join(Client& c, const ClientReport& report, bool isNew);
    void EndPeriod(Client& c, std::int64_t now);
    void CompleteHostName(Client& c);
    void SetAddress(Client& c, std::uint32_t ip);
    // Sends the client's ban or limits to the driver.
    void ApplyToDriver(const Client& c);
    // Writes one client's row (inserting it when it has none yet).
    void SaveOne(Client& c);
    void SaveAllLocked();
    static std::int64_t Now();

    std::mutex m_lock;
    std::map<std::wstring, ClientPtr> m_clients;
    CManufactoryTable m_makers;
};
