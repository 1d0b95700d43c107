// A simulated PC on which the engine can start a hotspot: a Wi-Fi card whose
// hosted network is carried by the virtual adapter "AP", an upstream
// connection "WAN" (10.0.0.5/24, gateway 10.0.0.1) that reaches the Internet,
// the services the engine stops, and (for driver mode) the NAT driver. And a
// CLumariNotify that records what the engine reports.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Common/LumariNotify.h"
#include "platform/sim/SimPc.h"
#include "platform/socket/UdpSocket.h"
#include "platform/text/GuidText.h"
#include "platform/text/Ipv4Text.h"
#include "platform/text/TextCodec.h"

namespace enginebed {

// Waits in real time (at most 20 s) for what other threads do without the
// simulated clock: a thread reaching a point, a report arriving.
template <class F>
bool Eventually(F done) {
    for (int i = 0; i < 20000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// Whether this system refuses to bind a UDP socket to an address none of its
// adapters has (192.0.2.77), as Windows and Linux do. Wine binds it.
inline bool RefusesForeignAddress() {
    plat::UdpSocket probe;
    probe.Startup();
    std::uint32_t address = 0;
    plat::Ipv4Text::Parse("192.0.2.77", &address);
    return probe.Open() == 0 && probe.Bind(address, 0) != 0;
}

inline plat::GUID GuidOf(const std::string& name) {
    return plat::GuidText::FromName(name);
}

// An adapter named `name` (connection name, device "<name> adapter" unless
// given), up, with the addresses (/24), gateway and DNS servers given.
inline plat::AdapterInfo Adapter(const std::string& name, std::vector<std::string> ips,
                                 const std::string& gateway = "", std::vector<std::string> dns = {},
                                 plat::DWORD ifType = plat::kIfTypeEthernet) {
    plat::AdapterInfo a;
    a.guid = GuidOf(name);
    a.name = plat::GuidText::ToString(a.guid);
    a.friendlyName = plat::TextCodec::Utf8ToWide(name);
    a.description = plat::TextCodec::Utf8ToWide(name + " adapter");
    a.ifType = ifType;
    a.mac = {0x00, 0x1C, 0x42, 0x0A, 0x0B, static_cast<plat::BYTE>(name.size())};
    for (auto& ip : ips)
        a.ipv4.push_back({ip, "255.255.255.0"});
    a.gateway = gateway;
    a.dns = std::move(dns);
    return a;
}

constexpr plat::DWORD kIpv4Internet = 0x40;

// The PC: `driver` installs the NAT driver (driver mode), otherwise ICS
// shares; `wanDns` are the upstream's DNS servers.
inline void Prepare(plat::SimPc& pc, bool driver = true,
                    std::vector<std::string> wanDns = {"10.0.0.1"}) {
    plat::SimWlanInterface card;
    card.guid = GuidOf("Wi-Fi");
    card.description = L"Intel Centrino";
    pc.wlan.AddInterface(card);
    pc.wlan.SetHostedNetworkDevice(GuidOf("AP"));
    plat::AdapterInfo ap = Adapter("AP", {});
    ap.description = L"Microsoft Hosted Network Virtual Adapter";
    ap.ifType = plat::kIfTypeWifi;
    pc.network.AddAdapter(ap);
    pc.network.SetBestInterface(
        pc.network.AddAdapter(Adapter("WAN", {"10.0.0.5"}, "10.0.0.1", std::move(wanDns))));
    pc.nlm.SetConnectivity(GuidOf("WAN"), kIpv4Internet);

    plat::SimService running;
    running.state = 4;
    for (const char* name : {"SharedAccess", "DeviceHealth", "DeviceHealthPluginMgr"})
        pc.services.Set(name, running);
    if (driver) {
        plat::SimService stopped;
        stopped.state = 1;
        pc.services.Set("solvanewfp", stopped);
        pc.nat.AddDevice("SOLVANEWFP");
    } else {
        pc.services.Set("SharedAccess", running);
    }
}

// Records every notification as text: "started 0", "stopped 1", "internet 1",
// "join A4-45-19-00-00-01", "update ...", "leave ...", with the last record
// of each client.
class RecordingNotify : public CLumariNotify {
public:
    void NetworkStarted(int code) override { Add("started " + std::to_string(code)); }
    void NetworkStopped(int code) override { Add("stopped " + std::to_string(code)); }
    void InternetStateChanged(int connected) override {
        Add("internet " + std::to_string(connected));
    }
    void ClientJoin(const ClientInfo& c) override { Add("join", c); }
    void ClientLeave(const ClientInfo& c) override { Add("leave", c); }
    void ClientUpdate(const ClientInfo& c) override { Add("update", c); }

    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> g(m_lock);
        return m_events;
    }
    bool Has(const std::string& event) const { return Count(event) > 0; }
    int Count(const std::string& event) const {
        std::lock_guard<std::mutex> g(m_lock);
        return static_cast<int>(std::count(m_events.begin(), m_events.end(), event));
    }
    // The last record reported for the MAC.
    ClientInfo Last(const std::wstring& mac) const {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto it = m_clients.rbegin(); it != m_clients.rend(); ++it)
            if (it->mac == mac)
                return *it;
        return ClientInfo();
    }
    void Clear() {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.clear();
        m_clients.clear();
    }

private:
    void Add(const std::string& event) {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(event);
    }
    void Add(const char* what, const ClientInfo& c) {
        std::lock_guard<std::mutex> g(m_lock);
        m_events.push_back(std::string(what) + " " + plat::TextCodec::WideToUtf8(c.mac));
        m_clients.push_back(c);
    }
    mutable std::mutex m_lock;
    std::vector<std::string> m_events;
    std::vector<ClientInfo> m_clients;
};

}  // namespace enginebed
