// The access point as an ad-hoc (IBSS) network, for systems without the hosted
// network (Windows XP and Vista) or when the engine asks for it. With the
// Native Wi-Fi library it writes a temporary WLAN profile and connects with
// it; on XP without that library, or when the profile route fails, it puts an
// ad-hoc entry at the head of the adapter's Wireless Zero Configuration
// preferred list. It raises no station events.
#pragma once

#include <string>

#include "WiFiManager.h"
#include "WlanApi.h"
#include "WzcApi.h"

class CAdHocMananger : public CWiFiManager {
public:
    explicit CAdHocMananger(CWiFiEventCallback* callback);
    // Unregisters the notifications, frees the WZC library, closes the client
    // handle and frees the Native Wi-Fi library.
    ~CAdHocMananger() override;

    int Init() override;
    int StartAp() override;
    int StopAp() override;

    // The WLAN profile of an ad-hoc network with this SSID and key. SSID and
    // key are escaped for XML.
    static std::wstring BuildProfileXml(const std::wstring& ssid, const std::wstring& key);

private:
    // Writes the ad-hoc entry at the head of the interface's WZC preferred list.
    bool ConfigureWzc(const std::wstring& interfaceText, const std::wstring& ssid,
                      const std::wstring& key);
    static void LUMARI_WINAPI OnNotification(plat::WLAN_NOTIFICATION_DATA* data, void* context);
    // Loads the libraries and opens the WLAN handle; false when neither library loaded.
    bool InitAdhoc();
    // Makes WZC manage the adapter (ControlFlags bit 0x8000), restarting WzcSvc.
    bool EnableUseWzc();
    int InitWzc();
    int InitWlan();
    plat::DWORD Enumerate(std::vector<plat::WLAN_INTERFACE_INFO>* interfaces);

    WlanApi m_wlanApi;
    WzcApi m_wzcApi;
    std::wstring m_strProfileName;
};
