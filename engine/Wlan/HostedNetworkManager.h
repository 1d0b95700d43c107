// The access point as a Windows hosted network (Windows 7 and later): finds a
// wireless interface that can host a network, pushes SSID and key, enables and
// force-starts the hosted network, and reports the hosted network's state
// changes and the stations joining and leaving to the engine. The reports come
// from the Native Wi-Fi library's notification thread.
#pragma once

#include <string>

#include "WiFiManager.h"
#include "WlanApi.h"

class CHostedNetworkManager : public CWiFiManager {
public:
    explicit CHostedNetworkManager(CWiFiEventCallback* callback);
    // Unregisters the notifications (waiting for one in progress), closes the
    // client handle and frees the library. The engine's callback may still be
    // running on the notification thread until then, so the manager must not
    // be destroyed while holding a lock that callback takes.
    ~CHostedNetworkManager() override;

    int Init() override;
    int StartAp() override;
    int StopAp() override;
    bool SetSsid(const std::wstring& ssid) override;
    bool SetKey(const std::wstring& key) override;
    std::wstring GetSsid() override;
    std::wstring GetKey() override;
    int GetAdapterGuid(plat::GUID* out) override;

private:
    static void LUMARI_WINAPI OnNotification(plat::WLAN_NOTIFICATION_DATA* data, void* context);
    void OnHostedNetworkStarted();
    void OnHostedNetworkStopped();
    void OnHostedNetworkAvailable();
    void OnHostedNetworkNotAvailable();
    void OnStationJoin(const std::wstring& mac);
    void OnStationLeave(const std::wstring& mac);
    void OnStationStateChange(const std::wstring& mac, plat::DWORD state);

    // Loads the library, opens a client handle and registers for the hosted
    // network's notifications; true when all of it worked.
    bool InitWlan();
    // Registers the notification handler on the current client handle.
    plat::DWORD RegisterNotification();
    // Windows 7 or later, and not a Starter edition.
    bool IsOsSupported();
    // Enumerates the interfaces, logging the failures the way Init reports them.
    plat::DWORD Enumerate(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces);

    WlanApi m_wlanApi;
};
