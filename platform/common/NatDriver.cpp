#include "NatDriver.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/text/GuidText.h"
#include "platform/winapi/Win32Api.h"

namespace plat {

namespace {

std::uint32_t Rate(std::uint64_t bytes, std::chrono::nanoseconds elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (seconds <= 0)
        return 0;
    const double rate = static_cast<double>(bytes) / seconds;
    return rate >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(rate);
}

// The driver's own diagnostics, as a kernel driver would print them.
void Trace(const std::string& text) {
    OutputDebugStringA(("solvane: " + text + "\n").c_str());
}

}  // namespace

NatDriver::~NatDriver() {
    Stop();
}

DWORD NatDriver::Start() {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_started)
        return 0;
    const DWORD e = m_engine.Start();
    if (e == 0)
        m_started = true;
    return e;
}

bool NatDriver::Sharing() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_sharing;
}

void NatDriver::Stop() {
    std::lock_guard<std::mutex> g(m_lock);
    if (m_sharing)
        UnshareLocked();
}

BOOL NatDriver::Control(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                        DWORD* returned) {
    if (returned != nullptr)
        *returned = 0;
    // The buffers must be there for the sizes given.
    if ((in == nullptr && inSize > 0) || (out == nullptr && outSize > 0)) {
        SetLastError(kErrorInvalidParameter);
        return FALSE_;
    }
    std::lock_guard<std::mutex> g(m_lock);
    std::string status;
    DWORD written = 0;
    DWORD error = 0;
    switch (code) {
        case kNatIoctlEnableShare:
            error = Enable(in, inSize, &status);
            break;
        case kNatIoctlDisableShare:
            error = inSize != 0 ? kErrorInvalidParameter : Disable(&status);
            break;
        case kNatIoctlGetPeers:
            error = inSize != 0 ? kErrorInvalidParameter : GetPeers(out, outSize, &written);
            break;
        case kNatIoctlDeletePeer:
            error = DeletePeer(in, inSize);
            break;
        case kNatIoctlSetSpeedLimit:
            error = SetSpeed(in, inSize);
            break;
        case kNatIoctlSetAllowPorts:
            error = SetPorts(in, inSize, &status);
            break;
        default:
            error = kErrorInvalidFunction;
            break;
    }
    if (error != 0) {
        // A failed request hands no bytes back, as DeviceIoControl does.
        if (!status.empty())
            Trace(status);
        SetLastError(error);
        return FALSE_;
    }
    if (!status.empty())
        written = static_cast<DWORD>(NatRecords::WriteStatus(status, out, outSize));
    if (returned != nullptr)
        *returned = written;
    return TRUE_;
}

DWORD NatDriver::Enable(const void* in, DWORD inSize, std::string* status) {
    GUID pub{}, priv{};
    if (!NatRecords::ReadEnable(in, inSize, &pub, &priv)) {
        *status = "bad enable record";
        return kErrorInvalidParameter;
    }
    if (pub == priv || GuidText::IsNull(pub) || GuidText::IsNull(priv)) {
        *status = "bad connections";
        return kErrorInvalidParameter;
    }
    if (m_sharing && pub == m_public && priv == m_private) {
        *status = "sharing";
        return 0;
    }
    if (m_sharing) {
        if (const DWORD e = UnshareLocked()) {
            *status = "cannot unshare";
            return e;
        }
    }
    if (const DWORD e = m_engine.Share(pub, priv, status))
        return e;
    // What outlives a share goes to the new one: the host's ports, then every
    // client's policy.
    DWORD e = m_restricted ? m_engine.SetHostPorts(true, m_ports) : 0;
    for (auto it = m_policies.begin(); e == 0 && it != m_policies.end(); ++it)
        e = m_engine.SetPolicy(it->first, it->second.allowed, it->second.upKBps,
                               it->second.downKBps);
    if (e != 0) {
        m_engine.Unshare();
        *status = "cannot apply policy";
        return e;
    }
    m_sharing = true;
    m_public = pub;
    m_private = priv;
    *status = "sharing";
    return 0;
}

DWORD NatDriver::Disable(std::string* status) {
    if (!m_sharing) {
        *status = "not sharing";
        return 0;
    }
    if (const DWORD e = UnshareLocked()) {
        *status = "cannot unshare";
        return e;
    }
    *status = "stopped";
    return 0;
}

DWORD NatDriver::UnshareLocked() {
    // The counts so far stay with their clients across a re-share.
    std::vector<NatPeerTraffic> peers;
    if (m_engine.Peers(&peers) == 0) {
        for (const auto& p : peers) {
            Counts& c = m_counts[p.mac];
            c.upBase += p.upBytes;
            c.downBase += p.downBytes;
        }
    }
    const DWORD e = m_engine.Unshare();
    if (e == 0) {
        m_sharing = false;
        m_public = GUID_NULL_;
        m_private = GUID_NULL_;
    }
    return e;
}

DWORD NatDriver::GetPeers(void* out, DWORD outSize, DWORD* returned) {
    if (outSize < sizeof(PEER_INFO))
        return kErrorInsufficientBuffer;
    if (!m_sharing)
        return 0;
    std::vector<NatPeerTraffic> peers;
    if (const DWORD e = m_engine.Peers(&peers))
        return e;
    const Clock::Steady now = m_clock.Now();
    const std::size_t room = std::min<std::size_t>(outSize / sizeof(PEER_INFO), kNatMaxPeers);
    std::size_t n = 0;
    for (const auto& p : peers) {
        if (n == room)
            break;
        Counts& c = m_counts[p.mac];
        const std::uint64_t up = c.upBase + p.upBytes;
        const std::uint64_t down = c.downBase + p.downBytes;
        if (c.sampled && up >= c.lastUp && down >= c.lastDown && now > c.lastTime) {
            c.upRate = Rate(up - c.lastUp, now - c.lastTime);
            c.downRate = Rate(down - c.lastDown, now - c.lastTime);
        }
        if (!c.sampled || now > c.lastTime) {
            c.sampled = true;
            c.lastUp = up;
            c.lastDown = down;
            c.lastTime = now;
        }
        PEER_INFO record{};
        record.ip = p.ip;
        std::memcpy(record.mac, p.mac.data(), 6);
        record.upRate = c.upRate;
        record.upKb = up / 1024;
        record.downRate = c.downRate;
        record.downKb = down / 1024;
        std::memcpy(static_cast<std::uint8_t*>(out) + n * sizeof record, &record, sizeof record);
        ++n;
    }
    *returned = static_cast<DWORD>(n * sizeof(PEER_INFO));
    return 0;
}

DWORD NatDriver::DeletePeer(const void* in, DWORD inSize) {
    MacAddress mac{};
    if (!NatRecords::ReadMac(in, inSize, &mac))
        return kErrorInvalidParameter;
    if (m_sharing)
        if (const DWORD e = m_engine.Forget(mac))
            return e;
    m_counts.erase(mac);
    return 0;
}

DWORD NatDriver::SetSpeed(const void* in, DWORD inSize) {
    NatSpeedRecord r{};
    if (!NatRecords::ReadSpeed(in, inSize, &r))
        return kErrorInvalidParameter;
    MacAddress mac{};
    std::memcpy(mac.data(), r.mac, 6);
    Policy p;
    p.allowed = r.allowed != 0;
    p.upKBps = r.upLimit;
    p.downKBps = r.downLimit;
    if (m_sharing)
        if (const DWORD e = m_engine.SetPolicy(mac, p.allowed, p.upKBps, p.downKBps))
            return e;
    if (p.allowed && p.upKBps == 0 && p.downKBps == 0)
        m_policies.erase(mac);
    else
        m_policies[mac] = p;
    return 0;
}

DWORD NatDriver::SetPorts(const void* in, DWORD inSize, std::string* status) {
    std::vector<std::uint16_t> ports;
    if (!NatRecords::ReadPorts(in, inSize, &ports)) {
        *status = "bad port list";
        return kErrorInvalidParameter;
    }
    // An empty list (the single port 0) opens the host again.
    const bool restricted = !ports.empty();
    if (m_sharing)
        if (const DWORD e = m_engine.SetHostPorts(restricted, ports)) {
            *status = "cannot set ports";
            return e;
        }
    m_restricted = restricted;
    m_ports = std::move(ports);
    *status = restricted ? "ports set" : "host open";
    return 0;
}

}  // namespace plat
