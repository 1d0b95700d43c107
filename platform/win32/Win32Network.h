// The adapter table and neighbour queries on Windows: IP Helper, ICMP and the
// resolver; addresses are set with netsh on the adapter's connection name.
#pragma once

#include "platform/common/CounterWrap.h"
#include "platform/facility/IpHelper.h"

namespace plat {

class Win32Network : public IpHelper {
public:
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
    // The connection name of the adapter, for netsh.
    bool ConnectionName(const GUID& adapter, std::string* name);
    // Totals of the 32-bit counters, where GetIfEntry2 is missing (XP).
    CounterWrap m_wrap;
};

}  // namespace plat
