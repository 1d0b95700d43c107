// The one object through which the engine turns Internet sharing on and off.
// At initialisation it chooses the NAT driver or Windows ICS for the run;
// afterwards every call goes to that side. It also forwards the driver's
// per-client requests and serialises them with the sharing calls under one
// lock, which the client poll and the client manager take themselves when
// they call the driver directly (the stop lock comes before it).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "IcsShareManager.h"
#include "ShareDriver.h"

class CShareManager {
public:
    // ShareMode
    static constexpr int kModeAuto = 0;
    static constexpr int kModeDriverOnly = 1;
    static constexpr int kModeIcsOnly = 2;
    // shareType
    static constexpr int kTypeNone = 0;
    static constexpr int kTypeDriver = 1;
    static constexpr int kTypeIcs = 2;

    // The process-wide instance, created on first use.
    static CShareManager* GetInstance();

    bool InitShare(int mode);
    bool EnableShare(const plat::GUID& privateGuid, const plat::GUID& publicGuid);
    bool DisableShare();
    void DeInitShare();
    // The ICS branch of InitShare on its own (the driver is left open).
    bool SwitchToIcs();
    bool IsDriverMode() const;

    // The driver's per-client requests, each under the lock.
    bool GetPeers(std::vector<plat::PEER_INFO>& peers);
    bool SetSpeedLimit(const std::wstring& mac, int allowed, int downLimit, int upLimit);
    bool SetAllowPorts(const std::vector<std::uint16_t>& ports);
    bool DeletePeers(const std::wstring& mac);

    // The last EnableShare succeeded and no DisableShare has since.
    bool IsShared() const;
    int ShareType() const;
    bool IsInitialized() const;
    plat::GUID PublicGuid() const;
    plat::GUID PrivateGuid() const;

    // For callers that use the driver directly: take the lock first.
    std::recursive_mutex& Lock() { return m_lock; }
    CShareDriver& Driver() { return m_driver; }
    CIcsShareManager& Ics() { return m_ics; }

private:
    bool _TryDriver();
    bool _TryIcs();

    mutable std::recursive_mutex m_lock;
    CIcsShareManager m_ics;
    CShareDriver m_driver;
    int m_shareType = kTypeNone;
    bool m_initialized = false;
    bool m_shared = false;
    plat::GUID m_publicGuid = plat::GUID_NULL_;
    plat::GUID m_privateGuid = plat::GUID_NULL_;
};
