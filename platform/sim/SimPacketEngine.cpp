#include "SimPacketEngine.h"

#include <algorithm>

#include "SimFaults.h"
#include "SimNetwork.h"
#include "platform/records/NatRecords.h"
#include "platform/text/Ipv4Text.h"

namespace plat {

namespace {

bool ParseIp(const std::string& text, std::uint32_t* ip) {
    if (text.empty()) {
        *ip = 0;
        return true;
    }
    return Ipv4Text::Parse(text, ip);
}

std::uint64_t Cap(std::uint64_t bytes, std::uint32_t limitKBps, double seconds) {
    if (limitKBps == 0)
        return bytes;
    const double room = static_cast<double>(limitKBps) * 1024.0 * std::max(seconds, 0.0);
    return std::min<std::uint64_t>(bytes, static_cast<std::uint64_t>(room));
}

}  // namespace

DWORD SimPacketEngine::Fault(const char* name) {
    if (auto f = m_faults.Take(name))
        return static_cast<DWORD>(*f);
    return 0;
}

bool SimPacketEngine::AddPeer(const std::string& macText, const std::string& ipText) {
    MacAddress mac;
    std::uint32_t ip = 0;
    if (!MacText::Parse(macText.c_str(), &mac) || !ParseIp(ipText, &ip))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    Client& c = m_clients[mac];
    c.present = true;
    c.ip = ip;
    return true;
}

bool SimPacketEngine::RemovePeer(const std::string& macText) {
    MacAddress mac;
    if (!MacText::Parse(macText.c_str(), &mac))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_clients.find(mac);
    if (it == m_clients.end())
        return false;
    it->second.present = false;
    return true;
}

SimPacketEngine::Moved SimPacketEngine::Traffic(const std::string& macText, std::uint64_t up,
                                                std::uint64_t down, double seconds) {
    Moved moved;
    MacAddress mac;
    if (!MacText::Parse(macText.c_str(), &mac))
        return moved;
    std::lock_guard<std::mutex> g(m_lock);
    Client& c = m_clients[mac];
    c.present = true;
    if (!CanReachLocked(mac))
        return moved;
    AppliedPolicy p;
    if (auto it = m_policies.find(mac); it != m_policies.end())
        p = it->second;
    moved.up = Cap(up, p.upKBps, seconds);
    moved.down = Cap(down, p.downKBps, seconds);
    c.up += moved.up;
    c.down += moved.down;
    return moved;
}

bool SimPacketEngine::Sharing() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_sharing;
}

GUID SimPacketEngine::PublicAdapter() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_public;
}

GUID SimPacketEngine::PrivateAdapter() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_private;
}

SimPacketEngine::AppliedPolicy SimPacketEngine::Policy(const std::string& macText) const {
    MacAddress mac;
    if (!MacText::Parse(macText.c_str(), &mac))
        return {};
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_policies.find(mac);
    return it == m_policies.end() ? AppliedPolicy{} : it->second;
}

SimPacketEngine::Ports SimPacketEngine::HostPorts() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_ports;
}

bool SimPacketEngine::CanReach(const std::string& macText) const {
    MacAddress mac;
    if (!MacText::Parse(macText.c_str(), &mac))
        return false;
    std::lock_guard<std::mutex> g(m_lock);
    return CanReachLocked(mac);
}

bool SimPacketEngine::CanReachLocked(const MacAddress& mac) const {
    auto c = m_clients.find(mac);
    if (!m_sharing || c == m_clients.end() || !c->second.present)
        return false;
    auto p = m_policies.find(mac);
    return p == m_policies.end() || p->second.allowed;
}

DWORD SimPacketEngine::Start() {
    return Fault("NatStart");
}

DWORD SimPacketEngine::Share(const GUID& publicIf, const GUID& privateIf, std::string* reason) {
    if (const DWORD e = Fault("NatShare")) {
        *reason = "share failed";
        return e;
    }
    AdapterInfo a;
    if (!m_network.FindAdapter(publicIf, &a) || !m_network.FindAdapter(privateIf, &a)) {
        *reason = "no such adapter";
        return kNatErrorNotFound;
    }
    std::lock_guard<std::mutex> g(m_lock);
    if (m_sharing) {
        *reason = "already sharing";
        return kErrorBusy;
    }
    m_sharing = true;
    m_public = publicIf;
    m_private = privateIf;
    for (auto& [mac, c] : m_clients)
        c.up = c.down = 0;
    return 0;
}

DWORD SimPacketEngine::Unshare() {
    if (const DWORD e = Fault("NatUnshare"))
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    m_sharing = false;
    m_public = GUID_NULL_;
    m_private = GUID_NULL_;
    m_policies.clear();
    m_ports = Ports{};
    for (auto& [mac, c] : m_clients)
        c.up = c.down = 0;
    return 0;
}

DWORD SimPacketEngine::Peers(std::vector<NatPeerTraffic>* out) {
    if (const DWORD e = Fault("NatPeers"))
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    out->clear();
    for (const auto& [mac, c] : m_clients) {
        if (!c.present)
            continue;
        NatPeerTraffic t;
        t.mac = mac;
        t.ip = c.ip;
        t.upBytes = c.up;
        t.downBytes = c.down;
        out->push_back(t);
    }
    return 0;
}

DWORD SimPacketEngine::SetPolicy(const MacAddress& mac, bool allowed, std::uint32_t upKBps,
                                 std::uint32_t downKBps) {
    if (const DWORD e = Fault("NatSetPolicy"))
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    if (allowed && upKBps == 0 && downKBps == 0)
        m_policies.erase(mac);
    else
        m_policies[mac] = AppliedPolicy{allowed, upKBps, downKBps};
    return 0;
}

DWORD SimPacketEngine::Forget(const MacAddress& mac) {
    if (const DWORD e = Fault("NatForget"))
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_clients.find(mac);
    if (it != m_clients.end()) {
        it->second.present = false;
        it->second.up = it->second.down = 0;
    }
    return 0;
}

DWORD SimPacketEngine::SetHostPorts(bool restricted, const std::vector<std::uint16_t>& ports) {
    if (const DWORD e = Fault("NatSetHostPorts"))
        return e;
    std::lock_guard<std::mutex> g(m_lock);
    m_ports.restricted = restricted;
    m_ports.ports = restricted ? ports : std::vector<std::uint16_t>{};
    return 0;
}

}  // namespace plat
