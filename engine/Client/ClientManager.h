// The table of devices that use the hotspot: who they are (MAC, address, host
// name, maker), what the user set for them (nickname, picture, ban, limits),
// how long and how much they used it, and whether they are online now. The
// engine's client monitor feeds it once a second from the NAT driver's peer
// list or the DHCP server's leases; the window reads and changes it through
// the engine; the client database keeps it across runs.
//
// One lock guards the table, and is held for the calls into the NAT driver
// (through the share manager, whose lock is taken inside this one). Reverse
// name lookups and the database run without it, so that a slow resolver or
// disk never holds up the window's readings: the database has a lock of its
// own, taken before the table's, and a lookup's answer is applied only when
// the client still needs it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "Common/ClientInfo.h"
#include "ManufactoryTable.h"

class CClientDb;

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

    // Puts the deny and allow lists on the DHCP server, which starts with
    // empty ones.
    void ApplyListsToDhcp();

    // A client was seen: true when it joined (was not online before); the
    // copy of a device the table (the client database) did not hold is
    // marked new.
    bool Add(const ClientReport& report, ClientInfo* out);
    // Refreshes an online client: true when the client is known and online;
    // `changed` tells whether its address, host name or counters changed.
    bool Update(const ClientReport& report, ClientInfo* out, bool* changed);
    // The client left: true when it was online.
    bool Remove(const std::wstring& mac, ClientInfo* out);

    bool SetSpeedLimit(const std::wstring& mac, int down, int up);
    // Bans the client. With the NAT driver it is cut at once. Without it (ICS)
    // the ban is kept and the DHCP server refuses the device and ends its
    // lease, but the device keeps the address it has: the answer is false, as
    // for an unknown MAC, since the device was not cut.
    //
    // The banned clients are the deny list: besides the driver's block, the
    // DHCP server refuses them in every mode.
    bool BanClient(const std::wstring& mac);
    bool BlockClient(const std::wstring& mac);
    bool UnbanClient(const std::wstring& mac);
    // Bans a device whether it was seen or not (a new one gets its row); takes
    // it off the allow list. False only for a MAC that is not well formed.
    bool DenyClient(const std::wstring& mac);
    // The allow list, kept in the client database: while it holds any device,
    // a device not on it gets no lease and is cut like a banned one. Putting a
    // device on it lifts its ban. False only for a MAC that is not well formed
    // (Disallow: also for one not on the list).
    bool AllowClient(const std::wstring& mac);
    bool DisallowClient(const std::wstring& mac);
    std::vector<std::wstring> GetAllowList();
    bool SetClientNickName(const std::wstring& mac, const std::wstring& nickName);
    bool SetClientFacePath(const std::wstring& mac, const std::wstring& facePath);

    void GetClients(std::vector<ClientInfo>& out);
    void GetBannedClients(std::vector<ClientInfo>& out);
    bool GetClient(const std::wstring& mac, ClientInfo& out);
    bool FindClient(const std::wstring& mac, ClientInfo& out);
    // What every client moved in this run (since Init), in kilobytes. Only
    // grows: a client that leaves and comes back, or whose driver counters
    // start again from zero, adds only what is new.
    void GetTotalFlow(std::uint64_t* down, std::uint64_t* up);

    // What a counter that only grows until it starts again from zero moved
    // from reading `last` to reading `now`.
    static std::uint64_t Moved(std::uint64_t last, std::uint64_t now) {
        return now >= last ? now - last : now;
    }

    // The MAC text as the table keys it: upper case.
    static std::wstring Key(const std::wstring& mac);

private:
    struct Client {
        bool valid = false;         // seen in this run
        std::uint32_t address = 0;  // network byte order
        std::int64_t joinTime = 0;
        std::int64_t seenTime = 0;
        // The driver's counters at the last report (zero again after a
        // leave, when the driver forgets the client): what a new report adds
        // is measured from them; a reading below them means the driver
        // started counting again.
        std::uint64_t lastUp = 0;
        std::uint64_t lastDown = 0;
        // What the current online period moved; goes into the totals when
        // the period ends.
        std::uint64_t periodMovedUp = 0;
        std::uint64_t periodMovedDown = 0;
        ClientInfo info;
    };
    using ClientPtr = std::shared_ptr<Client>;

    // Under m_lock.
    ClientPtr Lookup(const std::wstring& mac) const;
    ClientPtr Create(const std::wstring& key);
    void Join(Client& c, const ClientReport& report);
    void EndPeriod(Client& c, std::int64_t now);
    void SetAddress(Client& c, std::uint32_t ip);
    // Sends the client's ban or limits to the driver.
    void ApplyToDriver(const Client& c);
    // Whether the allow list lets the client in (an empty list lets all in).
    bool Allowed(const Client& c) const;
    // Ends the client's lease and has the DHCP server refuse it.
    static void RefuseLease(const std::wstring& mac);
    // The client of a well-formed MAC, made when it is not in the table.
    ClientPtr LookupOrCreate(const std::wstring& mac);
    static bool NeedsName(const Client& c);

    // Without m_lock.
    // Looks the client's name up by its address when it has none; true when
    // it got one.
    bool CompleteHostName(const ClientPtr& c);
    static std::wstring ReverseName(std::uint32_t address);
    // Writes one client's row as the table holds it now (inserting it when it
    // has none yet).
    void Save(const ClientPtr& c);
    void SaveAll();
    void StoreAllowed(const std::wstring& key, bool allowed);
    // Under m_dbLock.
    bool WriteRow(CClientDb& db, const ClientPtr& c);
    static std::int64_t Now();

    std::mutex m_dbLock;
    std::mutex m_lock;
    std::map<std::wstring, ClientPtr> m_clients;
    std::set<std::wstring> m_allowed;  // keys
    std::uint64_t m_runUp = 0;
    std::uint64_t m_runDown = 0;
    CManufactoryTable m_makers;
};
