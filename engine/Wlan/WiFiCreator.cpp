#include "WiFiCreator.h"

#include <glog/logging.h>

#include <mutex>
#include <new>

#include "AdHocMananger.h"
#include "Common/ProcessSingleton.h"
#include "Common/WinVersion.h"
#include "HostedNetworkManager.h"
#include "MobileHotspotManager.h"
#include "RalinkApManager.h"

CWiFiCreator* CWiFiCreator::GetInstance() {
    return ProcessSingleton<CWiFiCreator>::Get();
}

void CWiFiCreator::DropManager() {
    if (m_pManager == nullptr)
        return;
    if (m_pManager->IsStarted())
        m_pManager->StopAp();
    m_pManager.reset();
}

int CWiFiCreator::Create(int mode, CWiFiEventCallback* callback, bool tryRalinkFirst) {
    m_nMode = mode;
    m_bTryRalinkFirst = tryRalinkFirst;
    m_pCallback = callback;
    // An access point is never left up by a manager that no longer exists.
    DropManager();

    CWiFiManager* manager = nullptr;
    switch (mode) {
        case kWiFiModeAuto: {
            if (tryRalinkFirst) {
                auto* ralink = new (std::nothrow) CRalinkApManager(callback);
                if (ralink != nullptr && ralink->Init() == kWiFiOk)
                    manager = ralink;
                else
                    delete ralink;
            }
            if (manager == nullptr) {
                if (IsWindowsVersionOrGreater(6, 1, 0))
                    manager = new (std::nothrow) CHostedNetworkManager(callback);
                else
                    manager = new (std::nothrow) CAdHocMananger(callback);
            }
            // Most current drivers offer no hosted network on Windows 10 and
            // later; the system's own mobile hotspot takes its place there.
            if (manager != nullptr && manager->GetMode() == kWiFiModeHosted &&
                IsWindowsVersionOrGreater(10, 0, 0)) {
                const int hosted = manager->Init();
                if (hosted != kWiFiOk) {
                    LOG(INFO) << "Hosted network not supported (" << hosted
                              << "), using the mobile hotspot";
                    delete manager;
                    manager = new (std::nothrow) CMobileHotspotManager(callback);
                }
            }
            break;
        }
        case kWiFiModeHosted:
            manager = new (std::nothrow) CHostedNetworkManager(callback);
            break;
        case kWiFiModeAdHoc:
            manager = new (std::nothrow) CAdHocMananger(callback);
            break;
        case kWiFiModeRalink:
            manager = new (std::nothrow) CRalinkApManager(callback);
            break;
        case kWiFiModeMobileHotspot:
            manager = new (std::nothrow) CMobileHotspotManager(callback);
            break;
        default:
            break;
    }
    m_pManager.reset(manager);
    if (m_pManager == nullptr)
        return kWiFiNoManager;

    // A Ralink manager chosen in automatic mode is initialised a second time
    // here; every Init can be repeated.
    const int code = m_pManager->Init();
    m_nMode = m_pManager->GetMode();
    LOG(INFO) << "Current Wifi mode: " << m_nMode;
    // The manager stays even when Init failed; the engine decides what that means.
    return code;
}

CWiFiManager* CWiFiCreator::GetManager() {
    return m_pManager.get();
}

int CWiFiCreator::GetMode() const {
    return m_nMode;
}

int CWiFiCreator::Start(const std::wstring& ssid, const std::wstring& key, int ssidEncoding) {
    if (m_pManager == nullptr)
        return kWiFiNoManager;
    return m_pManager->Start(ssid, key, ssidEncoding);
}

int CWiFiCreator::StopAp() {
    if (m_pManager == nullptr)
        return kWiFiNoManager;
    return m_pManager->StopAp();
}

int CWiFiCreator::GetAdapterGuid(plat::GUID* out) {
    if (m_pManager == nullptr)
        return kWiFiNoManager;
    return m_pManager->GetAdapterGuid(out);
}

void CWiFiCreator::Release() {
    DropManager();
    m_nMode = kWiFiModeAuto;
    m_bTryRalinkFirst = false;
    m_pCallback = nullptr;
}
