// Chooses, builds and owns the access-point manager: a hosted network on
// Windows 7 and later, an ad-hoc network before, the soft AP of a Ralink USB
// adapter, or the system's mobile hotspot on Windows 10 and later when the
// hosted network is not there. A process-wide singleton; callers serialise
// its use.
#pragma once

#include "Common/ProcessSingleton.h"

#include <memory>
#include <string>

#include "WiFiManager.h"

class CWiFiCreator {
public:
    static CWiFiCreator* GetInstance();

    // Builds a manager for `mode` (0 automatic, 1 hosted network, 2 ad hoc,
    // 3 Ralink, 4 mobile hotspot) and initialises it; returns the manager's Init result, or 1010
    // when no manager could be made. A previous manager is stopped and deleted
    // first. In automatic mode with `tryRalinkFirst` a Ralink adapter that
    // initialises is preferred.
    int Create(int mode, CWiFiEventCallback* callback, bool tryRalinkFirst);
    CWiFiManager* GetManager();
    // The current mode: the manager's own after Create, 0 when none.
    int GetMode() const;

    int Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding);
    int StopAp();
    int GetAdapterGuid(plat::GUID* out);
    // Stops a started manager, deletes it and forgets mode, flag and callback.
    void Release();

private:
    friend class ProcessSingleton<CWiFiCreator>;
    CWiFiCreator() = default;
    ~CWiFiCreator() = default;
    CWiFiCreator(const CWiFiCreator&) = delete;
    CWiFiCreator& operator=(const CWiFiCreator&) = delete;

    // Stops the current manager when it is started and deletes it.
    void DropManager();

    int m_nMode = kWiFiModeAuto;
    bool m_bTryRalinkFirst = false;
    CWiFiEventCallback* m_pCallback = nullptr;
    std::unique_ptr<CWiFiManager> m_pManager;
};
