// The IP helper facility on Linux: the adapter table, routes, counters,
// addresses, neighbours and ping, each kept by its own class.
#pragma once

#include "LinuxAdapters.h"
#include "LinuxAddresses.h"
#include "LinuxCounters.h"
#include "LinuxDnsServers.h"
#include "LinuxNeighbours.h"
#include "LinuxPing.h"
#include "LinuxRoutes.h"
#include "platform/facility/IpHelper.h"

namespace plat {

class LinuxNetwork : public IpHelper {
public:
    DWORD Adapters(std::vector<AdapterInfo>* out) override { return m_adapters.List(out); }
    DWORD BestInterface(std::uint32_t destination, DWORD* ifIndex) override {
        return m_routes.BestInterface(destination, ifIndex);
    }
    DWORD InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                            std::uint64_t* outOctets) override {
        return m_counters.Read(ifIndex, inOctets, outOctets);
    }
    DWORD DnsServers(DWORD ifIndex, std::vector<std::string>* out) override {
        return m_dns.Servers(ifIndex, out);
    }
    DWORD SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                           const char* gateway) override {
        return m_addresses.SetStatic(adapter, ip, mask, gateway);
    }
    DWORD SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers) override {
        return m_addresses.SetDnsServers(adapter, servers);
    }
    DWORD Neighbours(std::vector<NeighbourRow>* out) override { return m_neighbours.List(out); }
    DWORD Echo(std::uint32_t ip, DWORD timeoutMs, DWORD* status) override {
        const bool answered = m_ping.Echo(ip, timeoutMs);
        if (status != nullptr)
            *status = answered ? kIpSuccess : kIpReqTimedOut;
        return answered ? 1 : 0;
    }
    bool ReverseLookup(std::uint32_t ip, std::string* name) override {
        return m_neighbours.ReverseLookup(ip, name);
    }

private:
    LinuxAdapters m_adapters;
    LinuxRoutes m_routes;
    LinuxCounters m_counters;
    LinuxDnsServers m_dns;
    LinuxAddresses m_addresses;
    LinuxNeighbours m_neighbours;
    LinuxPing m_ping;
};

}  // namespace plat
