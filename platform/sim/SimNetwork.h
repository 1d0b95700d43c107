// The adapters of the simulated PC and its neighbours: the adapter table with
// addresses and DNS servers, routes, the ARP table, hosts that answer pings and
// reverse names.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/common/CounterWrap.h"
#include "platform/facility/IpHelper.h"

namespace plat {

class RegistryStore;
class SimFaults;
class OsInfo;

class SimNetwork : public IpHelper {
public:
    // With a registry, every adapter added gets its connection name there, as
    // Windows keeps it (the friendly name, else the adapter's own name).
    // With `os`, a Windows before Vista has only 32-bit interface counters.
    explicit SimNetwork(SimFaults& faults, RegistryStore* registry = nullptr, OsInfo* os = nullptr)
        : m_faults(faults), m_registry(registry), m_os(os) {}

    // The registry key that holds an adapter's connection name ("Name").
    static std::string ConnectionKey(const GUID& adapter);

    // Adds or replaces the adapter with the same GUID; returns its interface index.
    DWORD AddAdapter(const AdapterInfo& adapter);
    void RemoveAdapter(const GUID& guid);
    bool FindAdapter(const GUID& guid, AdapterInfo* out) const;
    // The adapter table as it stands, without going through the faults.
    void Snapshot(std::vector<AdapterInfo>* out) const;
    void SetBestInterface(DWORD ifIndex);  // 0: no route
    // Adds a row, or replaces the one of the same interface and address.
    void AddNeighbour(const NeighbourRow& row);
    void RemoveNeighbour(DWORD ifIndex, std::uint32_t ip);
    void SetPingable(std::uint32_t ip, bool answers);
    void SetReverseName(std::uint32_t ip, const std::string& name);
    // Reverse lookups of a held address wait (in real time) until it is
    // released, as a slow resolver would keep them; how many wait now.
    void HoldReverse(std::uint32_t ip);
    void ReleaseReverse(std::uint32_t ip);
    int ReverseLookupsWaiting() const;
    void SetCounters(DWORD ifIndex, std::uint64_t in, std::uint64_t out);
    // The tables change while they are read, as at a hotspot start: after
    // each of the next answers "buffer too small" of the ARP table one of
    // these rows appears; after each of the adapter table's, one of these
    // addresses appears on its adapter.
    void AddDuringRead(const NeighbourRow& row);
    void AddDuringRead(const GUID& adapter, const Ipv4Address& address);

    // What the system's own configuration tools (netsh, WMI) do to an adapter:
    // the checks and changes of SetStaticAddress and SetDnsServers, without
    // their fault hooks.
    DWORD Assign(const GUID& adapter, const char* ip, const char* mask, const char* gateway);
    DWORD AssignDns(const GUID& adapter, const std::vector<std::string>& servers);

    DWORD Adapters(std::vector<AdapterInfo>* out) override;
    DWORD BestInterface(std::uint32_t destination, DWORD* ifIndex) override;
    DWORD InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                            std::uint64_t* outOctets) override;
    DWORD DnsServers(DWORD ifIndex, std::vector<std::string>* out) override;
    DWORD SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                           const char* gateway) override;
    DWORD SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers) override;
    DWORD Neighbours(std::vector<NeighbourRow>* out) override;
    DWORD Echo(std::uint32_t ip, DWORD timeoutMs, DWORD* status) override;
    bool ReverseLookup(std::uint32_t ip, std::string* name) override;

private:
    // The raw calls, with the size rules of GetAdaptersAddresses and
    // GetIpNetTable: a capacity that is too small is answered with the one
    // needed, an empty table with ERROR_NO_DATA.
    DWORD ReadAdapters(std::vector<AdapterInfo>* rows, ULONG* capacity);
    DWORD ReadNeighbours(std::vector<NeighbourRow>* rows, ULONG* capacity);

    SimFaults& m_faults;
    RegistryStore* m_registry;
    OsInfo* m_os;
    CounterWrap m_wrap;
    std::deque<NeighbourRow> m_arriving;
    std::deque<std::pair<GUID, Ipv4Address>> m_arrivingAddresses;
    mutable std::mutex m_lock;
    std::vector<AdapterInfo> m_adapters;
    DWORD m_nextIndex = 10;
    DWORD m_best = 0;
    std::vector<NeighbourRow> m_neighbours;
    std::set<std::uint32_t> m_pingable;
    std::map<std::uint32_t, std::string> m_names;
    std::set<std::uint32_t> m_heldReverse;
    int m_reverseWaiting = 0;
    std::condition_variable m_reverseReleased;
};

}  // namespace plat
