// The adapter table and the neighbour queries of the system (IP Helper on
// Windows, rtnetlink and sockets on Linux, the adapters of the simulated PC).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

// IANA interface types the engine distinguishes.
constexpr DWORD kIfTypeEthernet = 6;
constexpr DWORD kIfTypePpp = 23;
constexpr DWORD kIfTypeLoopback = 24;
constexpr DWORD kIfTypeWifi = 71;
constexpr DWORD kIfTypeTunnel = 131;

struct Ipv4Address {
    std::string ip;    // dotted
    std::string mask;  // dotted
};

// One adapter as GetAdaptersAddresses / GetAdaptersInfo report it.
struct AdapterInfo {
    GUID guid{};                // the adapter name as a GUID
    std::string name;           // the system's own name ("{GUID}" on Windows, "wlan0" on Linux)
    std::wstring friendlyName;  // connection name
    std::wstring description;
    DWORD ifIndex = 0;
    DWORD ifType = kIfTypeEthernet;
    std::vector<BYTE> mac;  // physical address, any length up to 8
    std::vector<Ipv4Address> ipv4;
    std::string gateway;           // dotted, empty when none
    std::vector<std::string> dns;  // dotted, in order
    bool up = true;
    std::uint64_t inOctets = 0;
    std::uint64_t outOctets = 0;
};

// Kinds of neighbour rows (MIB_IPNET_TYPE). A row of type invalid stands for
// an address whose neighbour no longer answers (a client's former address):
// its MAC is no answer.
constexpr DWORD kNeighbourOther = 1;
constexpr DWORD kNeighbourInvalid = 2;
constexpr DWORD kNeighbourDynamic = 3;
constexpr DWORD kNeighbourStatic = 4;

// One row of the ARP (neighbour) table.
struct NeighbourRow {
    DWORD ifIndex = 0;
    std::uint32_t ip = 0;  // network byte order
    std::vector<BYTE> mac;
    DWORD type = kNeighbourDynamic;
};

// ICMP reply statuses (IP_STATUS).
constexpr DWORD kIpSuccess = 0;
constexpr DWORD kIpDestHostUnreachable = 11003;
constexpr DWORD kIpReqTimedOut = 11010;

class IpHelper {
public:
    virtual ~IpHelper() = default;

    // The IPv4 adapter table without loopback filtering. Windows code on failure.
    virtual DWORD Adapters(std::vector<AdapterInfo>* out) = 0;
    // GetBestInterface: the interface the routing table uses towards `destination`
    // (network byte order).
    virtual DWORD BestInterface(std::uint32_t destination, DWORD* ifIndex) = 0;
    // The interface's octet counters since it came up, 64-bit (GetIfEntry2;
    // where the system has only the 32-bit GetIfEntry, the backend counts
    // their wraps). The caller divides.
    virtual DWORD InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                                    std::uint64_t* outOctets) = 0;
    // GetPerAdapterInfo: the DNS servers of the interface, dotted, in order.
    virtual DWORD DnsServers(DWORD ifIndex, std::vector<std::string>* out) = 0;

    // Static IPv4 configuration of the adapter named by `adapter`. A null `ip`
    // returns the adapter to automatic addressing. Windows code (0 = success).
    virtual DWORD SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                                   const char* gateway) = 0;
    virtual DWORD SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers) = 0;

    // GetIpNetTable, sorted by address, every row with its type. An empty
    // table is an empty list.
    virtual DWORD Neighbours(std::vector<NeighbourRow>* out) = 0;
    // One ICMP echo (IcmpSendEcho2): the number of replies within the
    // time-out and the status of the first. A reply is not an answer of the
    // host: for a missing host of a local subnet the system itself replies
    // with kIpDestHostUnreachable; only kIpSuccess means the host answered.
    virtual DWORD Echo(std::uint32_t ip, DWORD timeoutMs, DWORD* status) = 0;
    // Reverse lookup (getnameinfo with NI_NAMEREQD); false when unknown.
    virtual bool ReverseLookup(std::uint32_t ip, std::string* name) = 0;
};

}  // namespace plat
