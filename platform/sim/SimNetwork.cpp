#include "SimNetwork.h"

#include <algorithm>

#include "SimFaults.h"
#include "platform/common/GrowingTable.h"
#include "platform/common/RegistryStore.h"
#include "platform/facility/OsInfo.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {
constexpr DWORD kErrorNetworkUnreachable = 1231;
}

std::string SimNetwork::ConnectionKey(const GUID& adapter) {
    return "SYSTEM\\CurrentControlSet\\Control\\Network\\"
           "{4D36E972-E325-11CE-BFC1-08002BE10318}\\" +
           GuidText::ToString(adapter) + "\\Connection";
}

DWORD SimNetwork::AddAdapter(const AdapterInfo& adapter) {
    if (m_registry != nullptr) {
        const std::string key = ConnectionKey(adapter.guid);
        const std::string name = adapter.friendlyName.empty()
                                     ? adapter.name
                                     : TextCodec::WideToUtf8(adapter.friendlyName);
        m_registry->CreateKey(RegRoot::LocalMachine, key);
        m_registry->SetValue(RegRoot::LocalMachine, key, "Name", RegistryStore::String(name));
    }
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& a : m_adapters) {
        if (a.guid == adapter.guid) {
            const DWORD index = a.ifIndex;
            a = adapter;
            if (a.ifIndex == 0)
                a.ifIndex = index;
            return a.ifIndex;
        }
    }
    AdapterInfo a = adapter;
    if (a.ifIndex == 0)
        a.ifIndex = m_nextIndex++;
    m_adapters.push_back(a);
    return a.ifIndex;
}

void SimNetwork::RemoveAdapter(const GUID& guid) {
    std::lock_guard<std::mutex> g(m_lock);
    m_adapters.erase(std::remove_if(m_adapters.begin(), m_adapters.end(),
                                    [&](const AdapterInfo& a) { return a.guid == guid; }),
                     m_adapters.end());
}

bool SimNetwork::FindAdapter(const GUID& guid, AdapterInfo* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& a : m_adapters) {
        if (a.guid == guid) {
            if (out != nullptr)
                *out = a;
            return true;
        }
    }
    return false;
}

void SimNetwork::Snapshot(std::vector<AdapterInfo>* out) const {
    std::lock_guard<std::mutex> g(m_lock);
    if (out != nullptr)
        *out = m_adapters;
}

void SimNetwork::SetBestInterface(DWORD ifIndex) {
    std::lock_guard<std::mutex> g(m_lock);
    m_best = ifIndex;
}

void SimNetwork::AddNeighbour(const NeighbourRow& row) {
    std::lock_guard<std::mutex> g(m_lock);
    // One row per address and interface, as in the system's table: a device
    // that takes an address replaces the one that had it.
    for (NeighbourRow& existing : m_neighbours)
        if (existing.ip == row.ip && existing.ifIndex == row.ifIndex) {
            existing = row;
            return;
        }
    m_neighbours.push_back(row);
}

void SimNetwork::RemoveNeighbour(DWORD ifIndex, std::uint32_t ip) {
    std::lock_guard<std::mutex> g(m_lock);
    std::erase_if(m_neighbours,
                  [&](const NeighbourRow& r) { return r.ip == ip && r.ifIndex == ifIndex; });
}

void SimNetwork::SetPingable(std::uint32_t ip, bool answers) {
    std::lock_guard<std::mutex> g(m_lock);
    if (answers)
        m_pingable.insert(ip);
    else
        m_pingable.erase(ip);
}

void SimNetwork::SetReverseName(std::uint32_t ip, const std::string& name) {
    std::lock_guard<std::mutex> g(m_lock);
    m_names[ip] = name;
}

void SimNetwork::HoldReverse(std::uint32_t ip) {
    std::lock_guard<std::mutex> g(m_lock);
    m_heldReverse.insert(ip);
}

void SimNetwork::ReleaseReverse(std::uint32_t ip) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_heldReverse.erase(ip);
    }
    m_reverseReleased.notify_all();
}

int SimNetwork::ReverseLookupsWaiting() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_reverseWaiting;
}

void SimNetwork::SetCounters(DWORD ifIndex, std::uint64_t in, std::uint64_t out) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& a : m_adapters) {
        if (a.ifIndex == ifIndex) {
            a.inOctets = in;
            a.outOctets = out;
        }
    }
}

void SimNetwork::AddDuringRead(const NeighbourRow& row) {
    std::lock_guard<std::mutex> g(m_lock);
    m_arriving.push_back(row);
}

void SimNetwork::AddDuringRead(const GUID& adapter, const Ipv4Address& address) {
    std::lock_guard<std::mutex> g(m_lock);
    m_arrivingAddresses.emplace_back(adapter, address);
}

namespace {
// The room an adapter takes in the table: its record and one per address.
ULONG Room(const std::vector<AdapterInfo>& adapters) {
    ULONG room = 0;
    for (const auto& a : adapters)
        room += 1 + static_cast<ULONG>(a.ipv4.size());
    return room;
}
}  // namespace

DWORD SimNetwork::ReadAdapters(std::vector<AdapterInfo>* rows, ULONG* capacity) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_adapters.empty())
        return kErrorNoData;
    const ULONG needed = Room(m_adapters);
    if (*capacity < needed) {
        *capacity = needed;
        if (!m_arrivingAddresses.empty()) {
            const auto [guid, address] = m_arrivingAddresses.front();
            m_arrivingAddresses.pop_front();
            for (auto& a : m_adapters)
                if (a.guid == guid)
                    a.ipv4.push_back(address);
        }
        return kErrorBufferOverflow;
    }
    *rows = m_adapters;
    return 0;
}

DWORD SimNetwork::Adapters(std::vector<AdapterInfo>* out) {
    if (auto f = m_faults.Take("GetAdaptersAddresses"))
        return static_cast<DWORD>(*f);
    std::vector<AdapterInfo> rows;
    const DWORD rc = GrowingTable<AdapterInfo>::Fill(
        [this](std::vector<AdapterInfo>* r, ULONG* capacity) { return ReadAdapters(r, capacity); },
        &rows);
    if (rc == 0 && out != nullptr)
        *out = std::move(rows);
    return rc;
}

DWORD SimNetwork::BestInterface(std::uint32_t destination, DWORD* ifIndex) {
    if (auto f = m_faults.Take("GetBestInterface"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    // A destination on an adapter's own subnet goes out of that adapter;
    // anything else takes the default route, when the PC has one.
    DWORD best = m_best;
    bool onLink = false;
    for (const auto& a : m_adapters) {
        for (const auto& address : a.ipv4) {
            std::uint32_t ip = 0, mask = 0;
            if (Ipv4Text::Parse(address.ip, &ip) && Ipv4Text::Parse(address.mask, &mask) &&
                (ip & mask) == (destination & mask)) {
                best = a.ifIndex;
                onLink = true;
                break;
            }
        }
        if (onLink)
            break;
    }
    if (best == 0)
        return kErrorNetworkUnreachable;
    if (ifIndex != nullptr)
        *ifIndex = best;
    return 0;
}

DWORD SimNetwork::InterfaceCounters(DWORD ifIndex, std::uint64_t* inOctets,
                                    std::uint64_t* outOctets) {
    if (auto f = m_faults.Take("GetIfEntry"))
        return static_cast<DWORD>(*f);
    // Windows before Vista has only GetIfEntry, whose counters are 32 bits.
    const bool narrow = m_os != nullptr && m_os->Version().major < 6;
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& a : m_adapters) {
        if (a.ifIndex == ifIndex) {
            std::uint64_t in = a.inOctets;
            std::uint64_t out = a.outOctets;
            if (narrow)
                m_wrap.Extend(ifIndex, static_cast<std::uint32_t>(in),
                              static_cast<std::uint32_t>(out), &in, &out);
            if (inOctets != nullptr)
                *inOctets = in;
            if (outOctets != nullptr)
                *outOctets = out;
            return 0;
        }
    }
    return 1168;
}

DWORD SimNetwork::DnsServers(DWORD ifIndex, std::vector<std::string>* out) {
    if (auto f = m_faults.Take("GetPerAdapterInfo"))
        return static_cast<DWORD>(*f);
    std::lock_guard<std::mutex> g(m_lock);
    for (const auto& a : m_adapters) {
        if (a.ifIndex == ifIndex) {
            if (out != nullptr)
                *out = a.dns;
            return 0;
        }
    }
    return kErrorInvalidParameter;
}

DWORD SimNetwork::SetStaticAddress(const GUID& adapter, const char* ip, const char* mask,
                                   const char* gateway) {
    if (auto f = m_faults.Take("SetStaticAddress"))
        return static_cast<DWORD>(*f);
    return Assign(adapter, ip, mask, gateway);
}

DWORD SimNetwork::Assign(const GUID& adapter, const char* ip, const char* mask,
                         const char* gateway) {
    // The same checks as a real system's: dotted addresses and a contiguous mask.
    auto valid = [](const char* text, bool isMask) {
        std::uint32_t a = 0;
        if (!Ipv4Text::Parse(text, &a))
            return false;
        std::uint8_t b[4];
        Ipv4Text::ToBytes(a, b);
        const std::uint32_t hostBits =  // 0x000000FF for a /24
            ~((std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
              (std::uint32_t{b[2]} << 8) | b[3]);
        return !isMask || (hostBits & (hostBits + 1)) == 0;
    };
    const bool hasMask = mask != nullptr && *mask != '\0';
    const bool hasGateway = gateway != nullptr && *gateway != '\0';
    if (ip != nullptr && (!valid(ip, false) || (hasMask && !valid(mask, true)) ||
                          (hasGateway && !valid(gateway, false))))
        return kErrorInvalidParameter;
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& a : m_adapters) {
        if (a.guid != adapter)
            continue;
        a.ipv4.clear();
        a.gateway.clear();
        if (ip != nullptr) {
            a.ipv4.push_back({ip, hasMask ? mask : "255.255.255.0"});
            if (hasGateway)
                a.gateway = gateway;
        }
        return 0;
    }
    return kErrorFileNotFound;
}

DWORD SimNetwork::SetDnsServers(const GUID& adapter, const std::vector<std::string>& servers) {
    if (auto f = m_faults.Take("SetDnsServers"))
        return static_cast<DWORD>(*f);
    return AssignDns(adapter, servers);
}

DWORD SimNetwork::AssignDns(const GUID& adapter, const std::vector<std::string>& servers) {
    std::lock_guard<std::mutex> g(m_lock);
    for (auto& a : m_adapters) {
        if (a.guid == adapter) {
            a.dns = servers;
            return 0;
        }
    }
    return kErrorFileNotFound;
}

DWORD SimNetwork::ReadNeighbours(std::vector<NeighbourRow>* rows, ULONG* capacity) {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_neighbours.empty())
        return kErrorNoData;
    const ULONG needed = static_cast<ULONG>(m_neighbours.size());
    if (*capacity < needed) {
        *capacity = needed;
        if (!m_arriving.empty()) {
            m_neighbours.push_back(m_arriving.front());
            m_arriving.pop_front();
        }
        return kErrorInsufficientBuffer;
    }
    *rows = m_neighbours;
    std::stable_sort(rows->begin(), rows->end(),
                     [](const NeighbourRow& a, const NeighbourRow& b) { return a.ip < b.ip; });
    return 0;
}

DWORD SimNetwork::Neighbours(std::vector<NeighbourRow>* out) {
    if (auto f = m_faults.Take("GetIpNetTable"))
        return static_cast<DWORD>(*f);
    std::vector<NeighbourRow> rows;
    const DWORD rc = GrowingTable<NeighbourRow>::Fill(
        [this](std::vector<NeighbourRow>* r, ULONG* capacity) {
            return ReadNeighbours(r, capacity);
        },
        &rows);
    if (rc == 0 && out != nullptr)
        *out = std::move(rows);
    return rc;
}

DWORD SimNetwork::Echo(std::uint32_t ip, DWORD, DWORD* status) {
    DWORD replyStatus = kIpReqTimedOut;
    DWORD replies = 0;
    if (auto f = m_faults.Take("IcmpSendEcho2")) {
        // A scripted answer: the status of the one reply.
        replies = 1;
        replyStatus = static_cast<DWORD>(*f);
    } else {
        std::lock_guard<std::mutex> g(m_lock);
        if (m_pingable.count(ip) != 0) {
            replies = 1;
            replyStatus = kIpSuccess;
        } else {
            // A missing host of a local subnet: the system's own stack
            // replies that it cannot be reached. Elsewhere the echo times out.
            for (const auto& a : m_adapters) {
                for (const auto& address : a.ipv4) {
                    std::uint32_t own = 0, mask = 0;
                    if (Ipv4Text::Parse(address.ip, &own) && Ipv4Text::Parse(address.mask, &mask) &&
                        (own & mask) == (ip & mask)) {
                        replies = 1;
                        replyStatus = kIpDestHostUnreachable;
                    }
                }
            }
        }
    }
    if (status != nullptr)
        *status = replyStatus;
    return replies;
}

bool SimNetwork::ReverseLookup(std::uint32_t ip, std::string* name) {
    if (m_faults.Take("getnameinfo"))
        return false;
    std::unique_lock<std::mutex> g(m_lock);
    if (m_heldReverse.count(ip) != 0) {
        ++m_reverseWaiting;
        m_reverseReleased.wait(g, [&] { return m_heldReverse.count(ip) == 0; });
        --m_reverseWaiting;
    }
    auto it = m_names.find(ip);
    if (it == m_names.end())
        return false;
    if (name != nullptr)
        *name = it->second;
    return true;
}

}  // namespace plat
